#include "MemoryTunnel.h"
#include "core/config/ServiceEndpoints.h"
#include "core/state/LocalState.h"
#include "platform/scheduling/ManualClock.h"
#include "screens/MainScreens.h"
#include "screens/home/SCHomeViewController.h"
#include "ui/common/ScrollingColumn.h"
#include "ui/common/WindowFit.h"
#include "ui/toolkit/ActionSheet.h"
#include "ui/toolkit/ScreenFactory.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace std::chrono_literals;

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

namespace {

// The widgets that show text: what a reader must be able to tell apart.
QList<QWidget *> textWidgets(QWidget *root)
{
    QList<QWidget *> found;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        const auto *label = qobject_cast<QLabel *>(widget);
        const bool text = (label && !label->text().isEmpty()) ||
                          qobject_cast<QAbstractButton *>(widget) ||
                          qobject_cast<QLineEdit *>(widget);
        if (text && widget->isVisibleTo(root) && !widget->findChild<QLabel *>())
            found << widget;
    }
    return found;
}

QRect inRoot(const QWidget *widget, const QWidget *root)
{
    return QRect(widget->mapTo(root, QPoint(0, 0)), widget->size());
}

} // namespace

class TestWindowFit final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tunnel.installShared());
        registerMainScreens();
        // The home screen looks up the public address once the tunnel is on: nobody answers.
        ServiceEndpoints endpoints;
        endpoints.lookupBaseAddress = u"http://127.0.0.1:1"_s;
        ServiceEndpoints::install(endpoints);
    }

    void firstSizeFitsTheScreen_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::newRow("1920×1080 with a panel") << QRect(0, 0, 1920, 1040);
        QTest::newRow("1366×768 with a panel") << QRect(0, 27, 1366, 741);
        QTest::newRow("1280×720, panel on the left") << QRect(64, 0, 1216, 720);
        QTest::newRow("smaller than the smallest window") << QRect(0, 0, 300, 400);
    }

    void firstSizeFitsTheScreen()
    {
        QFETCH(QRect, available);
        const QSize size = WindowFit::firstSize(available);
        // Never larger than drawn for, never smaller than the screens allow; with its frame it
        // fits the screen wherever the screen can hold the smallest window.
        QVERIFY(size.width() <= WindowFit::kDesignSize.width());
        QVERIFY(size.height() <= WindowFit::kDesignSize.height());
        QVERIFY(size.width() >= WindowFit::kMinimumSize.width());
        QVERIFY(size.height() >= WindowFit::kMinimumSize.height());
        const QSize framed = size + WindowFit::kFrameAllowance;
        if (available.height() >= WindowFit::kMinimumSize.height() + 48)
            QVERIFY(framed.height() <= available.height());
        if (available.height() >= WindowFit::kDesignSize.height() + 48)
            QCOMPARE(size, WindowFit::kDesignSize);
    }

    void nothingOverlaps_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QSize>("size");
        for (const QString &screen : {u"home"_s, u"login"_s}) {
            for (const QSize &size : {WindowFit::kMinimumSize, QSize(375, 667), QSize(375, 812),
                                      QSize(1000, 700), QSize(1366, 692)}) {
                QTest::addRow("%s %dx%d", qPrintable(screen), size.width(), size.height())
                    << screen << size;
            }
        }
    }

    // Every text of the screen, the home screen with an order chosen and the tunnel on (the
    // most it shows): apart from each other, inside the window's width, and inside the window
    // or the content it scrolls; the column no wider than its limit.
    void nothingOverlaps()
    {
        QFETCH(QString, screen);
        QFETCH(QSize, size);
        ManualClock clock;
        auto content = std::make_shared<SCOrderContent>();
        auto order = std::make_shared<SCOrder>();
        order->orderId = u"B2"_s;
        order->productId = 2;
        order->buyCount = 20;
        order->tempOrderDate = u"2023-04-05 10:00:00"_s;
        content->orderInfoList = {order};
        currentOrderContent() = content;
        ViewController *shown = ScreenFactory::named(u"Main"_s).instantiate(screen);
        // Inside a window as the navigation shell holds it, at the size asked for whatever
        // the screen's layout would rather have.
        QWidget host;
        host.resize(size);
        shown->setParent(&host);
        shown->setGeometry(QRect(QPoint(0, 0), size));
        host.show();
        // Widgets laid out into a window already showing appear a turn of the loop later.
        QCoreApplication::processEvents();
        shown->setGeometry(QRect(QPoint(0, 0), size));
        QCOMPARE(shown->size(), size);
        if (auto *home = qobject_cast<SCHomeViewController *>(shown)) {
            home->selectedOrder();
            clock.advance(1s);
            shown->findChild<ActionSheet *>()->choose(0);
            clock.advance(1s);
            m_tunnel.setStatus(TunnelStatus::Connected);
            clock.advance(1s);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);

        const auto *scroll = shown->findChild<QScrollArea *>();
        const QRect window = shown->rect();
        const QList<QWidget *> texts = textWidgets(shown);
        QVERIFY(texts.size() >= 3);
        const auto scrolled = [scroll](const QWidget *text) {
            return scroll && scroll->widget()->isAncestorOf(text);
        };
        // Against what does not scroll, only the part of a scrolled text in sight counts.
        const auto seen = [&](const QWidget *text, const QWidget *alongside) {
            const QRect place = inRoot(text, shown);
            return scrolled(text) && !scrolled(alongside)
                       ? place & inRoot(scroll->viewport(), shown)
                       : place;
        };
        for (QWidget *text : texts) {
            const QRect place = inRoot(text, shown);
            const QString name = text->objectName();
            QVERIFY2(place.left() >= window.left() && place.right() <= window.right(),
                     qPrintable(name));
            const QRect room = scrolled(text) ? inRoot(scroll->widget(), shown) : window;
            QVERIFY2(room.contains(place), qPrintable(name));
            QVERIFY2(text->height() >= text->minimumSizeHint().height(), qPrintable(name));
            for (QWidget *other : texts) {
                if (other != text && !text->isAncestorOf(other) && !other->isAncestorOf(text)) {
                    QVERIFY2(!seen(text, other).intersects(seen(other, text)),
                             qPrintable(name + u" over "_s + other->objectName()));
                }
            }
        }
        // All of the scrolled content can be scrolled to.
        if (scroll) {
            QVERIFY(scroll->verticalScrollBar()->maximum() >=
                    scroll->widget()->height() - scroll->viewport()->height());
        }
        // The button under the form keeps to the column; connect stays in sight however short
        // the window, the form scrolling above it.
        const auto *button = shown->findChild<QAbstractButton *>(
            screen == u"home"_s ? u"connectBtn"_s : u"loginBtn"_s);
        QVERIFY(button->width() <= ScrollingColumn::kMaxWidth);
        if (screen == u"home"_s)
            QVERIFY(window.contains(inRoot(button, shown)));
    }

    void cleanup()
    {
        m_tunnel.setStatus(TunnelStatus::Disconnected);
        currentOrderContent().reset();
    }

private:
    MemoryTunnel m_tunnel;
};

QTEST_MAIN(TestWindowFit)
#include "tst_windowfit.moc"
