#include "ui/toolkit/PresentationOverlay.h"

#include "ui/toolkit/ViewController.h"

#include <QEasingCurve>
#include <QKeyEvent>
#include <QPainter>
#include <QVariantAnimation>

namespace corvane {

PresentationOverlay::PresentationOverlay(ViewController *presenting, ViewController *presented,
                                         QWidget *host)
    : QWidget(host), m_host(host), m_presenting(presenting), m_presented(presented),
      m_sheet(presented->modalPresentationStyle() ==
              ViewController::ModalPresentationStyle::Default),
      m_animation(new QVariantAnimation(this))
{
    setGeometry(host->rect());
    host->installEventFilter(this);
    presented->setParent(this);
    m_animation->setDuration(static_cast<int>(kDuration.count()));
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { applyProgress(value.toDouble()); });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        if (auto finish = std::exchange(m_finish, {}))
            finish();
    });
    // A presentation cannot outlive either end of it.
    connect(presenting, &QObject::destroyed, this, &QObject::deleteLater);
    connect(presented, &QObject::destroyed, this, &QObject::deleteLater);
    if (!m_sheet)
        m_coveredRoot = presenting->presentationRoot();
}

PresentationOverlay::~PresentationOverlay()
{
    if (m_host)
        m_host->removeEventFilter(this);
}

void PresentationOverlay::present(bool animated, std::function<void()> completion)
{
    applyProgress(0.0);
    show();
    raise();
    m_presented->show();
    m_presented->beginAppearanceTransition(true, animated);
    if (m_coveredRoot)
        m_coveredRoot->beginAppearanceTransition(false, animated);
    runTo(1.0, animated, [this, completion = std::move(completion)] {
        if (m_presented) {
            m_presented->endAppearanceTransition();
            m_presented->setFocus();
        }
        if (m_coveredRoot)
            m_coveredRoot->endAppearanceTransition();
        if (completion)
            completion();
    });
}

void PresentationOverlay::dismiss(bool animated, std::function<void()> completion)
{
    if (m_dismissing)
        return;
    m_dismissing = true;
    if (m_presented)
        m_presented->beginAppearanceTransition(false, animated);
    if (m_coveredRoot)
        m_coveredRoot->beginAppearanceTransition(true, animated);
    runTo(0.0, animated, [this, completion = std::move(completion)] {
        if (m_presented)
            m_presented->endAppearanceTransition();
        if (m_coveredRoot)
            m_coveredRoot->endAppearanceTransition();
        if (m_presenting)
            m_presenting->m_presented = nullptr;
        hide();
        deleteLater();
        if (completion)
            completion();
    });
}

void PresentationOverlay::runTo(double progress, bool animated, std::function<void()> finish)
{
    // A transition still running (a dismiss during the slide-in) ends at once first.
    if (m_animation->state() == QAbstractAnimation::Running) {
        m_animation->stop();
        if (auto pending = std::exchange(m_finish, {}))
            pending();
    }
    if (!animated) {
        applyProgress(progress);
        finish();
        return;
    }
    m_finish = std::move(finish);
    m_animation->setStartValue(m_progress);
    m_animation->setEndValue(progress);
    m_animation->start();
}

void PresentationOverlay::applyProgress(double progress)
{
    m_progress = progress;
    if (m_presented) {
        const QRect target = m_sheet ? rect().adjusted(0, kSheetTopInset, 0, 0) : rect();
        const int offset = static_cast<int>((1.0 - progress) * (height() - target.top()));
        m_presented->setGeometry(target.translated(0, offset));
    }
    update();
}

bool PresentationOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host && event->type() == QEvent::Resize) {
        setGeometry(m_host->rect());
        applyProgress(m_progress);
    }
    return QWidget::eventFilter(watched, event);
}

void PresentationOverlay::paintEvent(QPaintEvent *)
{
    if (!m_sheet)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, static_cast<int>(100 * m_progress)));
}

void PresentationOverlay::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void PresentationOverlay::keyPressEvent(QKeyEvent *event)
{
    event->accept();
}

} // namespace corvane
