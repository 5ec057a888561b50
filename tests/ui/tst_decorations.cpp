#include "platform/scheduling/ManualClock.h"
#include "ui/common/Helpers.h"
#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/pulse/PulseHalo.h"
#include "ui/feedback/pulse/PulseView.h"
#include "ui/feedback/refresh/SCRefreshFooter.h"
#include "ui/feedback/refresh/SCRefreshHeader.h"
#include "ui/feedback/views/ActivityIndicator.h"
#include "ui/feedback/views/ImageView.h"

#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPropertyAnimation>
#include <QSignalSpy>
#include <QTest>
#include <functional>

using namespace std::chrono_literals;

using namespace corvane;

class TestDecorations final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cornerRadiusDecidesClipping()
    {
        QWidget view;
        ViewDecoration *layer = ViewDecoration::of(&view);
        QCOMPARE(ViewDecoration::of(&view), layer);
        layer->setCornerRadius(8);
        QVERIFY(layer->masksToBounds());
        layer->setCornerRadius(0);
        QVERIFY(!layer->masksToBounds());
        QCOMPARE(layer->cornerRadius(), 0.0);
    }

    void borderWidthIsNeverNegative()
    {
        QWidget view;
        ViewDecoration *layer = ViewDecoration::of(&view);
        layer->setBorderWidth(-2);
        QCOMPARE(layer->borderWidth(), 0.0);
        layer->setBorderWidth(1.5);
        QCOMPARE(layer->borderWidth(), 1.5);
        layer->setBorderColor(hexColor(0x0E7EF5));
        QCOMPARE(layer->borderColor(), QColor(14, 126, 245));
    }

    void addShadow()
    {
        QWidget view;
        ViewDecoration *layer = ViewDecoration::of(&view);
        layer->setCornerRadius(6);
        QVERIFY(!layer->addShadow());
        layer->setAddShadow(true);
        QVERIFY(layer->addShadow());
        QCOMPARE(layer->backgroundColor(), QColor(Qt::white));
        QCOMPARE(layer->shadowOpacity(), 1.0);
        QCOMPARE(layer->shadowRadius(), 3.0);
        QCOMPARE(layer->shadowOffset(), QPointF(0, 0));
        QCOMPARE(layer->cornerRadius(), 6.0);

        layer->setCornerRadius(4);
        const QColor shadow = layer->shadowColor();
        layer->setAddShadow(false);
        QVERIFY(layer->masksToBounds());
        QCOMPARE(layer->shadowColor(), shadow);
        QCOMPARE(layer->backgroundColor(), QColor(Qt::white));
    }

    void twoStartsLeaveOneHaloBelowTheView()
    {
        QWidget parent;
        auto *view = new QWidget(&parent);
        view->setGeometry(100, 100, 80, 80);
        ViewDecoration::of(view)->setCornerRadius(40);
        auto *sibling = new QWidget(&parent);
        PulseView::startPulse(view, Qt::white, PulseView::radar);
        PulseView::startPulse(view, Qt::white, PulseView::radar);

        const auto halos = parent.findChildren<PulseHalo *>(QStringLiteral("PulseLayerName"));
        QCOMPARE(halos.size(), 1);
        PulseHalo *halo = halos.first();
        QCOMPARE(PulseView::externalBorderLayer(view), halo);
        QCOMPARE(parent.children().indexOf(halo) + 1, parent.children().indexOf(view));
        QVERIFY(!ViewDecoration::of(view)->masksToBounds());
        QCOMPARE(halo->cornerRadius(), 40.0);
        QCOMPARE(halo->baseFrame(), view->geometry());
        QVERIFY(halo->findChild<QPropertyAnimation *>(QStringLiteral("PulseScaleKey")));
        QVERIFY(halo->findChild<QPropertyAnimation *>(QStringLiteral("PulseRadarKey")));

        PulseView::stopPulse(sibling); // no halo of its own: nothing changes
        QCOMPARE(PulseView::externalBorderLayer(view), halo);
        PulseView::stopPulse(view);
        QVERIFY(parent.findChildren<PulseHalo *>().isEmpty());
        PulseView::stopPulse(view);
    }

    void siblingsKeepTheirOwnHalos()
    {
        QWidget parent;
        auto *first = new QWidget(&parent);
        auto *second = new QWidget(&parent);
        PulseView::startPulse(first, Qt::red);
        PulseView::startPulse(second, Qt::blue);
        QCOMPARE(parent.findChildren<PulseHalo *>().size(), 2);
        PulseView::stopPulse(second);
        QVERIFY(PulseView::externalBorderLayer(first));
    }

    void pulseAnimations_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<double>("scaleAtHalf");
        QTest::addColumn<double>("scaleAtEnd");
        QTest::addColumn<bool>("fades");
        // Breathing: 1.1 -> 1.3 in a second and back in the next. Radar: 1.0 -> 1.4 every 1.5 s.
        QTest::newRow("breathing") << 0 << 1.3 << 1.1 << false;
        QTest::newRow("radar") << 1 << 1.2 << 1.0 << true;
    }

    void pulseAnimations()
    {
        QFETCH(int, type);
        QFETCH(double, scaleAtHalf);
        QFETCH(double, scaleAtEnd);
        QFETCH(bool, fades);
        ManualClock clock(10);
        QWidget parent;
        auto *view = new QWidget(&parent);
        view->setGeometry(0, 0, 100, 100);
        parent.show();
        if (type == 0)
            PulseView::startPulse(view, Qt::white);
        else
            PulseView::startPulse(view, Qt::white, PulseView::radar);
        PulseHalo *halo = PulseView::externalBorderLayer(view);
        QVERIFY(halo);
        const std::chrono::milliseconds period = type == 0 ? 2000ms : 1500ms;
        clock.advance(period / 2);
        // Within a frame of where the animation is.
        QVERIFY(qAbs(halo->scale() - scaleAtHalf) < 0.05);
        if (fades)
            QVERIFY(qAbs(halo->opacity() - 0.35) < 0.05);
        clock.advance(period / 2 + 100ms); // into the next loop
        QVERIFY(qAbs(halo->scale() - scaleAtEnd) < 0.05);
        QVERIFY(halo->width() < 100 * 1.42);
    }

    void haloFollowsItsViewAndRestsWhileHidden()
    {
        ManualClock clock(10);
        QWidget window;
        auto *layout = new QHBoxLayout(&window);
        auto *view = new QWidget(&window);
        view->setFixedSize(100, 100);
        layout->addStretch();
        layout->addWidget(view);
        layout->addStretch();
        window.resize(300, 200);
        window.show();
        PulseView::startPulse(view, Qt::white, PulseView::radar);
        PulseHalo *halo = PulseView::externalBorderLayer(view);
        QVERIFY(halo);
        clock.advance(500ms);

        // The layout moves the view when the window grows; then the view itself grows.
        for (const auto &change :
             QList<std::function<void()>>{[&window] { window.resize(500, 320); },
                                          [view] { view->setFixedSize(140, 140); }}) {
            change();
            layout->activate();
            QCOMPARE(halo->baseFrame(), view->geometry());
            const QPointF offset =
                QRectF(halo->geometry()).center() - QRectF(view->geometry()).center();
            QVERIFY(offset.manhattanLength() <= 1.0);
        }

        // A hidden window's halo does not tick; it picks up where it was once shown again.
        window.hide();
        const qreal scale = halo->scale();
        clock.advance(500ms);
        QCOMPARE(halo->scale(), scale);
        for (const QAbstractAnimation *animation : halo->findChildren<QAbstractAnimation *>())
            QCOMPARE(animation->state(), QAbstractAnimation::Paused);
        window.show();
        clock.advance(300ms);
        QVERIFY(halo->scale() > scale);
    }

    void hexColorIgnoresHighBits()
    {
        QCOMPARE(hexColor(0xFF0E7EF5), hexColor(0x0E7EF5));
        QCOMPARE(hexColor(0x2E458B), QColor(46, 69, 139));
        QCOMPARE(kBackgroundGrayColor(), QColor(251, 251, 251));
        QCOMPARE(kDarkGrayColor(), QColor(85, 85, 85));
    }

    void suffix_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("expected");
        QTest::newRow("drops one") << QStringLiteral("abc") << 1 << QStringLiteral("bc");
        QTest::newRow("as long") << QStringLiteral("abc") << 3 << QStringLiteral("abc");
        QTest::newRow("longer") << QStringLiteral("abc") << 9 << QStringLiteral("abc");
        QTest::newRow("zero") << QStringLiteral("abc") << 0 << QStringLiteral("abc");
        QTest::newRow("emoji is one character")
            << QStringLiteral("😀ab") << 1 << QStringLiteral("ab");
    }

    void suffix()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(QString, expected);
        QCOMPARE(corvane::suffix(text, n), expected);
    }

    void jsonObjectParsesOrGivesNone()
    {
        QCOMPARE(jsonObject(QStringLiteral("{\"a\":1}"))->toObject().value(u"a").toInt(), 1);
        QCOMPARE(jsonObject(QStringLiteral("[1,2]"))->toArray().size(), 2);
        QCOMPARE(jsonObject(QStringLiteral("7"))->toInt(), 7);
        QVERIFY(!jsonObject(QStringLiteral("1,2")));
        QVERIFY(!jsonObject(QStringLiteral("{")));
        QVERIFY(!jsonObject(QString()));
    }

    void widthsScaleToTheScreen()
    {
        const qreal width = kScreenWidth();
        QVERIFY(width > 0);
        QCOMPARE(scaledWidth(375), width);
        QCOMPARE(scaledWidthIfNarrow(100), width < 375 ? width * 100 / 375 : 100.0);
        QVERIFY(textWidth(systemFont(14), QStringLiteral("ab\nabcd")) >
                textWidth(systemFont(14), QStringLiteral("ab")));
    }

    void headerLaysOutUnderItsText()
    {
        SCRefreshHeader header;
        header.resize(375, 54);
        header.setImages({QPixmap(60, 40)}, 0, RefreshControl::Idle);
        header.show();
        QVERIFY(QTest::qWaitForWindowExposed(&header));
        QCOMPARE(header.height(), 85);
        QCOMPARE(header.stateLabel()->geometry(), QRect(0, 5, 375, 14));
        QCOMPARE(header.gifView()->y(), 19);
        QVERIFY(qAbs(QRectF(header.gifView()->geometry()).center().x() - 187.5) <= 0.5);
    }

    void footerSpinsOnlyWhileRefreshing()
    {
        ManualClock clock(10);
        SCRefreshFooter footer;
        footer.resize(375, 44);
        footer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&footer));
        ActivityIndicator *loading = footer.loading();
        QSignalSpy requests(&footer, &RefreshControl::refreshingRequested);

        footer.setPullingPercent(1.2);
        QCOMPARE(footer.state(), RefreshControl::Pulling);
        footer.releasePull();
        QCOMPARE(footer.state(), RefreshControl::Refreshing);
        QCOMPARE(requests.size(), 1);
        QVERIFY(loading->isAnimating());
        QVERIFY(loading->isVisible());
        QCOMPARE(loading->color(), kDarkGrayColor());
        QLabel *label = footer.stateLabel();
        QCOMPARE(label->x(), loading->x() + 30 + 10);
        QCOMPARE(QRectF(loading->geometry()).center().y(), 22.0);
        QVERIFY(qAbs(QRectF(label->geometry()).center().y() - 22.0) <= 0.5);
        const qreal rowCenter = (loading->x() + label->x() + label->width()) / 2.0;
        QVERIFY(qAbs(rowCenter - 187.5) <= 1);

        footer.endRefreshing();
        QCOMPARE(footer.state(), RefreshControl::Idle);
        QVERIFY(!loading->isAnimating());
        QVERIFY(loading->isVisible());
    }
};

QTEST_MAIN(TestDecorations)
#include "tst_decorations.moc"
