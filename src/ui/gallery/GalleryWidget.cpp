#include "ui/gallery/GalleryWidget.h"

#include "ui/toolkit/UserInteraction.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace corvane {

GalleryWidget::GalleryWidget(QWidget *parent) : GalleryWidget(QList<GalleryPage>{}, parent) {}

GalleryWidget::GalleryWidget(const QList<GalleryPage> &pages, QWidget *parent)
    : QWidget(parent), m_stack(new QStackedWidget(this)), m_index(new QListWidget(m_stack))
{
    setWindowTitle(QStringLiteral("Corvane gallery"));
    setFixedSize(kDesignSize);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
    m_index->setStyleSheet(QStringLiteral("QListWidget { font-size: 17px; border: none; } "
                                          "QListWidget::item { padding: 12px 16px; "
                                          "border-bottom: 1px solid #C8C7CC; }"));
    m_index->setAccessibleName(QStringLiteral("组件页面"));
    m_stack->addWidget(m_index);
    connect(m_index, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { showPage(m_index->row(item)); });
    connect(m_index, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { showPage(m_index->row(item)); });
    auto step = [this](qsizetype by) {
        if (!m_pages.isEmpty())
            showPage(((m_current + by) % m_pages.size() + m_pages.size()) % m_pages.size());
    };
    connect(new QShortcut(QKeySequence(Qt::Key_PageDown), this), &QShortcut::activated, this,
            [step] { step(1); });
    connect(new QShortcut(QKeySequence(Qt::Key_PageUp), this), &QShortcut::activated, this,
            [step] { step(-1); });
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            [this] { showPage(-1); });
    setPages(pages);
}

GalleryWidget::~GalleryWidget() = default;

void GalleryWidget::setPages(const QList<GalleryPage> &pages)
{
    for (QWidget *page : std::as_const(m_built))
        delete page;
    m_pages = pages;
    m_built = QList<QWidget *>(pages.size(), nullptr);
    m_index->clear();
    for (const GalleryPage &page : pages)
        m_index->addItem(page.title);
    showPage(-1);
}

QString GalleryWidget::pageTitle(qsizetype index) const
{
    return index >= 0 && index < m_pages.size() ? m_pages.at(index).title : QString();
}

void GalleryWidget::keyPressEvent(QKeyEvent *event)
{
    // Pages that are not screens get Return on their buttons here.
    if (!activateFocusedButton(event))
        QWidget::keyPressEvent(event);
}

void GalleryWidget::showPage(qsizetype index)
{
    if (index < 0 || index >= m_pages.size()) {
        m_current = -1;
        m_stack->setCurrentWidget(m_index);
        return;
    }
    if (!m_built.at(index)) {
        QWidget *page = m_pages.at(index).make ? m_pages.at(index).make(m_stack) : nullptr;
        if (!page)
            page = new QWidget(m_stack);
        m_built[index] = page;
        m_stack->addWidget(page);
    }
    m_current = index;
    m_stack->setCurrentWidget(m_built.at(index));
}

} // namespace corvane
