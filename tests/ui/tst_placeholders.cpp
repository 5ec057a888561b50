#include "platform/scheduling/ManualClock.h"
#include "ui/common/Helpers.h"
#include "ui/feedback/placeholder/SCEmptyView.h"
#include "ui/feedback/placeholder/SCErrorView.h"
#include "ui/feedback/placeholder/SCLoadingView.h"
#include "ui/feedback/views/ImageView.h"
#include "ui/toolkit/ViewTag.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

// Integer frames round half-point positions; a centre is right within half a point.
bool near(QPointF actual, QPointF expected)
{
    return qAbs(actual.x() - expected.x()) <= 0.5 && qAbs(actual.y() - expected.y()) <= 0.5;
}

QPointF center(const QWidget *view)
{
    return QRectF(view->geometry()).center();
}

} // namespace

class TestPlaceholders final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each placeholder's group: its parts stacked top to bottom in the order they were added,
    // each centred on the group, which holds them all, spans the view and sits above its middle.
    void groupIsStackedCentredAndWhole_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("texts");
        const QStringList error{u"抱歉，网络不给力"_s, u"刷新"_s};
        for (const QSize size : {QSize(375, 667), QSize(320, 480)}) {
            const QString at = u" %1x%2"_s.arg(size.width()).arg(size.height());
            QTest::newRow(qPrintable(u"error"_s + at)) << 0 << size << error;
            QTest::newRow(qPrintable(u"empty"_s + at)) << 1 << size << QStringList{QString()};
            QTest::newRow(qPrintable(u"loading"_s + at))
                << 2 << size << QStringList{u"正在加载中..."_s};
        }
    }

    void groupIsStackedCentredAndWhole()
    {
        QFETCH(int, kind);
        QFETCH(QSize, size);
        QFETCH(QStringList, texts);
        const QRect frame(QPoint(), size);
        std::unique_ptr<QWidget> view;
        if (kind == 0)
            view = std::make_unique<SCErrorView>(frame);
        else if (kind == 1)
            view = std::make_unique<SCEmptyView>(frame);
        else
            view = std::make_unique<SCLoadingView>(frame);
        QCOMPARE(view->palette().color(QPalette::Window), kBackgroundGrayColor());
        const QList<QWidget *> parts = view->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(parts.size(), 1);
        const QWidget *group = parts.first();
        QCOMPARE(group->width(), size.width());
        QVERIFY(near(center(group), {size.width() / 2.0, center(group).y()}));
        QVERIFY(group->y() >= 0 && center(group).y() < size.height() / 2.0);

        int below = 0;
        QStringList shown;
        for (const QWidget *part : group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(part->y() >= below, part->metaObject()->className());
            QVERIFY(part->height() > 0);
            QVERIFY(near({center(part).x(), 0}, {size.width() / 2.0, 0}));
            below = part->geometry().bottom() + 1;
            if (const auto *label = qobject_cast<const QLabel *>(part))
                shown << label->text();
            if (const auto *button = qobject_cast<const QPushButton *>(part))
                shown << button->text();
            if (const auto *image = qobject_cast<const ImageView *>(part))
                QVERIFY(!image->image().isNull());
        }
        QCOMPARE(below, group->height());
        QCOMPARE(shown, texts);
    }

    void loadingStripCyclesItsFramesForever()
    {
        ManualClock clock(10);
        SCLoadingView view(QRect(0, 0, 375, 812));
        view.show(); // the strip animates only on screen
        ImageView *strip = view.loadingImage();
        QCOMPARE(strip->animationImages().size(), 33);
        QCOMPARE(strip->animationDuration(), 2.0);
        QCOMPARE(strip->animationRepeatCount(), std::numeric_limits<qint64>::max());
        QVERIFY(strip->isAnimating());
        clock.advance(1s);
        QVERIFY(qAbs(strip->currentFrame() - 16) <= 1);
        clock.advance(1500ms); // the second pass
        QVERIFY(qAbs(strip->currentFrame() - 8) <= 1);
        QVERIFY(strip->isAnimating());
    }

    void zeroFrameStaysWhereItWasLaidOut()
    {
        SCLoadingView view{QRect()};
        QCOMPARE(view.contentView()->width(), 0);
        QVERIFY(near(center(view.contentView()), {0, -44}));
        view.resize(375, 812);
        QVERIFY(near(center(view.contentView()), {0, -44}));
    }

    void tagsAreFoundBySearch()
    {
        QWidget root;
        auto *nested = new QWidget(new QWidget(&root));
        auto *loading = new SCLoadingView(QRect(0, 0, 100, 100), nested);
        auto *error = new SCErrorView(QRect(0, 0, 100, 100), &root);
        auto *empty = new SCEmptyView(QRect(0, 0, 100, 100), nested);
        QCOMPARE(findViewWithTag(&root, 89757), loading);
        QCOMPARE(findViewWithTag(&root, 89758), error);
        QCOMPARE(findViewWithTag(&root, 89759), empty);
        QCOMPARE(findViewWithTag(loading, 89757), loading);
        QCOMPARE(findViewWithTag(&root, 89760), nullptr);
    }

    void reloadRunsClickOncePerTap()
    {
        QWidget window;
        window.resize(375, 667);
        auto *view = new SCErrorView(window.rect(), &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(view->reloadBtn(), Qt::LeftButton); // no click set: nothing happens
        int taps = 0;
        view->setClick([&taps] { ++taps; });
        QTest::mouseClick(view->reloadBtn(), Qt::LeftButton);
        QCOMPARE(taps, 1);
        QTest::mouseClick(view->reloadBtn(), Qt::LeftButton);
        QCOMPARE(taps, 2);
    }
};

QTEST_MAIN(TestPlaceholders)
#include "tst_placeholders.moc"
