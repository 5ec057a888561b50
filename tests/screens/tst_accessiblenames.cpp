#include "core/vpn/VpnManager.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"
#include "screens/quick/MainViewController.h"
#include "ui/gallery/FeedbackGalleryPages.h"
#include "ui/gallery/GalleryWidget.h"
#include "ui/gallery/MorphingGalleryPages.h"
#include "ui/gallery/ShellGalleryPages.h"
#include "ui/morphing/MorphingLabel.h"

#include <QAccessible>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

using namespace corvane;

namespace {

// Roles a user operates rather than reads: each needs a name a screen reader can say.
bool isInteractive(const QAccessibleInterface *node)
{
    switch (node->role()) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Link:
    case QAccessible::MenuItem:
    case QAccessible::PageTab:
    case QAccessible::ListItem:
        return true;
    default:
        return node->state().focusable;
    }
}

QString describe(const QAccessibleInterface *node)
{
    QObject *object = node->object();
    return QStringLiteral("%1 %2 \"%3\"")
        .arg(object ? QString::fromLatin1(object->metaObject()->className()) : QString())
        .arg(object ? object->objectName() : QString())
        .arg(node->text(QAccessible::Name));
}

// What a screen reader would find wrong on screen: interactive parts without a name, and
// morphing labels that do not read as their text.
void collectProblems(QAccessibleInterface *node, QStringList &problems)
{
    if (!node || node->state().invisible)
        return;
    if (isInteractive(node) && node->text(QAccessible::Name).trimmed().isEmpty())
        problems.append(QStringLiteral("unnamed: ") + describe(node));
    if (auto *label = qobject_cast<MorphingLabel *>(node->object())) {
        if (node->role() != QAccessible::StaticText ||
            node->text(QAccessible::Name) != label->text())
            problems.append(QStringLiteral("unreadable: ") + describe(node));
    }
    for (int i = 0; i < node->childCount(); ++i)
        collectProblems(node->child(i), problems);
}

QStringList problemsOf(QWidget *window)
{
    QStringList problems;
    collectProblems(QAccessible::queryAccessibleInterface(window), problems);
    return problems;
}

} // namespace

// Walks every gallery page and the quick connect screen as assistive technology sees them.
class TestAccessibleNames final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ManualClock> m_clock;

private Q_SLOTS:
    void initTestCase()
    {
        m_clock = std::make_unique<ManualClock>();
        QVERIFY(VpnManager::installSharedStore(std::make_unique<MemoryTunnelProfileStore>()));
    }

    void everyGalleryPage_data()
    {
        QTest::addColumn<qsizetype>("page");
        const GalleryWidget gallery(galleryPages());
        // -1 is the index of pages.
        for (qsizetype page = -1; page < gallery.pageCount(); ++page) {
            const QString title = page < 0 ? QStringLiteral("index") : gallery.pageTitle(page);
            QTest::newRow(qPrintable(title)) << page;
        }
    }

    void everyGalleryPage()
    {
        QFETCH(qsizetype, page);
        GalleryWidget gallery(galleryPages());
        gallery.show();
        gallery.showPage(page);
        // Presentations and sheets that a page opens on arrival are in place by then.
        m_clock->advance(1500ms);
        const QStringList problems = problemsOf(&gallery);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n"))));
    }

    void quickConnectScreen()
    {
        MainViewController screen;
        screen.resize(375, 812);
        screen.show();
        m_clock->advance(1500ms);
        const QStringList problems = problemsOf(&screen);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n"))));
    }

private:
    static QList<GalleryPage> galleryPages()
    {
        return shellGalleryPages() + feedbackGalleryPages() + morphingGalleryPages();
    }
};

QTEST_MAIN(TestAccessibleNames)
#include "tst_accessiblenames.moc"
