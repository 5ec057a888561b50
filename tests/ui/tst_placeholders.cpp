#include "platform/scheduling/ManualClock.h"
#include "ui/feedback/placeholder/SCEmptyView.h"
#include "ui/feedback/placeholder/SCErrorView.h"
#include "ui/feedback/placeholder/SCLoadingView.h"
#include "ui/feedback/views/ImageView.h"
#include "ui/toolkit/ViewTag.h"
#include "ui/tools/Helpers.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace corvane;

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
    void errorViewGeometry_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::newRow("phone") << QRect(0, 0, 375, 667);
        QTest::newRow("zero") << QRect();
    }

    void errorViewGeometry()
    {
        QFETCH(QRect, frame);
        SCErrorView view(frame);
        const qreal w = frame.width();
        QCOMPARE(view.errorImage()->size(), QSize(117, 108));
        QCOMPARE(view.errorLabel()->geometry(), QRect(0, 126, int(w), 14));
        QCOMPARE(view.errorLabel()->text(), QStringLiteral("抱歉，网络不给力"));
        QCOMPARE(view.reloadBtn()->size(), QSize(120, 30));
        QCOMPARE(view.reloadBtn()->y(), 184);
        QCOMPARE(view.reloadBtn()->text(), QStringLiteral("刷新"));
        QCOMPARE(view.contentView()->size(), QSize(int(w), 214));
        QVERIFY(near({center(view.errorImage()).x(), 0}, {w / 2, 0}));
        QVERIFY(near({center(view.reloadBtn()).x(), 0}, {w / 2, 0}));
        QVERIFY(near(center(view.contentView()), {w / 2, frame.height() / 2.0 - 44}));
        QCOMPARE(view.palette().color(QPalette::Window), kBackgroundGrayColor());
    }

    void emptyViewGeometry()
    {
        SCEmptyView view(QRect(0, 0, 320, 480));
        QCOMPARE(view.emptyImage()->size(), QSize(104, 90));
        QVERIFY(!view.emptyImage()->image().isNull());
        QCOMPARE(view.emptyLabel()->geometry(), QRect(0, 108, 320, 14));
        QCOMPARE(view.emptyLabel()->text(), QString());
        QCOMPARE(view.contentView()->size(), QSize(320, 122));
        QCOMPARE(center(view.emptyImage()).x(), 160.0);
        QVERIFY(near(center(view.contentView()), {160, 196}));
    }

    void loadingViewGeometryAndFrames()
    {
        ManualClock clock(10);
        SCLoadingView view(QRect(0, 0, 375, 812));
        view.show(); // the strip animates only on screen
        ImageView *strip = view.loadingImage();
        QCOMPARE(strip->size(), QSize(194, 48));
        QVERIFY(!strip->image().isNull());
        QCOMPARE(view.loadingLabel()->geometry().top(), 61);
        QCOMPARE(view.loadingLabel()->text(), QStringLiteral("正在加载中..."));
        QCOMPARE(view.contentView()->size(), QSize(375, 75));
        QVERIFY(near(center(view.contentView()), {187.5, 362}));
        const auto line = view.contentView()->findChildren<ImageView *>();
        QCOMPARE(line.size(), 2);
        QCOMPARE(line.last()->geometry().size(), QSize(180, 1));
        QCOMPARE(line.last()->y(), 48);

        QCOMPARE(strip->animationImages().size(), 33);
        QCOMPARE(strip->animationDuration(), 2.0);
        QCOMPARE(strip->animationRepeatCount(), std::numeric_limits<qint64>::max());
        QVERIFY(strip->isAnimating());
        clock.advance(1.0);
        QVERIFY(qAbs(strip->currentFrame() - 16) <= 1);
        clock.advance(1.5); // the second pass
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
