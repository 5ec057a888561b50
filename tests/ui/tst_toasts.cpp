#include "platform/scheduling/ManualClock.h"
#include "support/StdoutCapture.h"
#include "ui/feedback/decoration/ViewDecoration.h"
#include "ui/feedback/placeholder/SCLoadingView.h"
#include "ui/feedback/toast/ShowToast.h"
#include "ui/feedback/toast/ToastBuilder.h"
#include "ui/feedback/toast/ToastHost.h"
#include "ui/feedback/toast/ToastManager.h"
#include "ui/toolkit/ViewTag.h"

#include <QAccessible>
#include <QFontMetricsF>
#include <QLabel>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

using namespace corvane;

namespace {

qreal alphaOf(QWidget *toast)
{
    return ViewDecoration::of(toast)->alpha();
}

QList<QWidget *> active(QWidget *host)
{
    ToastHost *toasts = ToastHost::find(host);
    return toasts ? toasts->activeToasts() : QList<QWidget *>();
}

} // namespace

class TestToasts final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_host;

private Q_SLOTS:
    void init()
    {
        m_host = std::make_unique<QWidget>();
        m_host->resize(375, 812);
        m_host->show();
        ToastManager::shared().isQueueEnabled = false;
    }

    void cleanup()
    {
        m_host.reset();
        ToastManager::shared().isQueueEnabled = false;
    }

    void helperToastFadesInStaysAndFadesOut()
    {
        ManualClock clock(10);
        sc_showToast(m_host.get(), QStringLiteral("请选择订单"));
        QCOMPARE(active(m_host.get()).size(), 1);
        QWidget *toast = active(m_host.get()).first();
        QCOMPARE(QRectF(toast->geometry()).center().x(), 187.5);
        QVERIFY(qAbs(QRectF(toast->geometry()).center().y() - 406) <= 0.5);
        QCOMPARE(alphaOf(toast), 0.0);

        double opaqueAt = -1, fadingAt = -1, goneAt = -1;
        for (int step = 1; step <= 300 && goneAt < 0; ++step) {
            clock.advance(10ms);
            const double now = step / 100.0;
            if (active(m_host.get()).isEmpty()) {
                goneAt = now;
            } else if (opaqueAt < 0 && alphaOf(toast) == 1.0) {
                opaqueAt = now;
            } else if (opaqueAt >= 0 && fadingAt < 0 && alphaOf(toast) < 1.0) {
                fadingAt = now;
            }
        }
        QVERIFY2(opaqueAt >= 0.19 && opaqueAt <= 0.23, qPrintable(QString::number(opaqueAt)));
        QVERIFY2(qAbs(fadingAt - opaqueAt - 1.5) <= 0.03, qPrintable(QString::number(fadingAt)));
        QVERIFY2(goneAt - fadingAt >= 0.17 && goneAt - fadingAt <= 0.23,
                 qPrintable(QString::number(goneAt)));
        QVERIFY(m_host->findChildren<QWidget *>().isEmpty());
    }

    void completionTellsTapFromTimeout_data()
    {
        QTest::addColumn<int>("taps");
        QTest::addColumn<bool>("didTap");
        QTest::newRow("timeout") << 0 << false;
        QTest::newRow("tap") << 1 << true;
        QTest::newRow("second tap while fading out") << 2 << true;
    }

    void completionTellsTapFromTimeout()
    {
        QFETCH(int, taps);
        QFETCH(bool, didTap);
        ManualClock clock(10);
        QList<bool> results;
        const ToastManager &manager = ToastManager::shared();
        ToastHost::of(m_host.get())
            ->makeToast(QStringLiteral("hello"), manager.duration, ToastPosition::center,
                        std::nullopt, QPixmap(), manager.style,
                        [&results](bool tapped) { results.append(tapped); });
        clock.advance(300ms);
        QWidget *toast = active(m_host.get()).value(0);
        QVERIFY(toast);
        for (int i = 0; i < taps; ++i)
            QTest::mouseClick(toast, Qt::LeftButton);
        if (taps > 0) {
            clock.advance(250ms);
            QVERIFY(active(m_host.get()).isEmpty());
        }
        clock.advance(3s);
        QCOMPARE(results, QList<bool>{didTap});
    }

    void quickToastsOverlapEachOnItsOwnTimer()
    {
        ManualClock clock(10);
        sc_showToast(m_host.get(), QStringLiteral("一"));
        clock.advance(500ms);
        sc_showToast(m_host.get(), QStringLiteral("二"));
        const QList<QWidget *> both = active(m_host.get());
        QCOMPARE(both.size(), 2);
        QCOMPARE(QRectF(both[0]->geometry()).center(), QRectF(both[1]->geometry()).center());
        QVERIFY(both[0]->isVisible() && both[1]->isVisible());
        clock.advance(1600ms); // 2.1 s: the first is gone, the second still shows
        QCOMPARE(active(m_host.get()), QList<QWidget *>{both[1]});
        clock.advance(500ms);
        QVERIFY(active(m_host.get()).isEmpty());
    }

    void queuedToastWaitsAndKeepsItsDurationAndPoint()
    {
        ManualClock clock(10);
        ToastManager &manager = ToastManager::shared();
        manager.isQueueEnabled = true;
        ToastHost *host = ToastHost::of(m_host.get());
        host->makeToast(QStringLiteral("first"), 1.5, ToastPosition::center, std::nullopt,
                        QPixmap(), manager.style);
        host->makeToast(QStringLiteral("second"), 0.5, QPointF(100, 200), std::nullopt, QPixmap(),
                        manager.style);
        QCOMPARE(host->activeToasts().size(), 1);
        QCOMPARE(host->queue().size(), 1);
        QWidget *second = host->queue().first();
        QVERIFY(!second->isVisible());

        clock.advance(1850ms); // the first is still fading out
        QCOMPARE(host->queue().size(), 1);
        clock.advance(100ms);
        QCOMPARE(host->activeToasts(), QList<QWidget *>{second});
        QVERIFY(qAbs(QRectF(second->geometry()).center().x() - 100) <= 0.5);
        QVERIFY(qAbs(QRectF(second->geometry()).center().y() - 200) <= 0.5);
        clock.advance(650ms); // fade-in and most of its own half second
        QCOMPARE(host->activeToasts(), QList<QWidget *>{second});
        clock.advance(300ms);
        QVERIFY(host->activeToasts().isEmpty());
    }

    void bubbleGeometry_data()
    {
        QTest::addColumn<std::optional<QString>>("message");
        QTest::addColumn<bool>("withImage");
        QTest::addColumn<bool>("minimumWidth");
        QTest::newRow("short message") << std::optional(QStringLiteral("好")) << false << true;
        QTest::newRow("empty message") << std::optional(QString()) << false << true;
        QTest::newRow("image only") << std::optional<QString>() << true << true;
        QTest::newRow("long message")
            << std::optional(QStringLiteral("网络连接失败，请检查网络设置后再次尝试连接服务器"))
            << false << false;
    }

    void bubbleGeometry()
    {
        QFETCH(std::optional<QString>, message);
        QFETCH(bool, withImage);
        QFETCH(bool, minimumWidth);
        QPixmap image;
        if (withImage) {
            image = QPixmap(48, 48);
            image.fill(Qt::white);
        }
        const ToastStyle &style = ToastManager::shared().style;
        const auto built =
            ToastBuilder::toastView(m_host.get(), message, std::nullopt, image, style);
        QVERIFY(std::holds_alternative<QWidget *>(built));
        QWidget *toast = std::get<QWidget *>(built);
        if (minimumWidth)
            QCOMPARE(toast->width(), 117);
        else
            QVERIFY(toast->width() > 117 && toast->width() <= 375 * 0.8 + 20);
        if (message && message->isEmpty())
            QCOMPARE(toast->height(), 40);
        if (withImage)
            QCOMPARE(toast->height(), 20 + 48 + 12 + 20);
    }

    void longTextWrapsAnywhereAndElides_data()
    {
        QTest::addColumn<QSize>("hostSize");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("elided");
        QTest::newRow("one long word")
            << QSize(375, 812) << QString(120, QLatin1Char('W')) << false;
        QTest::newRow("a long address among words")
            << QSize(375, 812)
            << QStringLiteral("无法打开 https://corvane.example/orders/20240101/"
                              "0123456789abcdefghijklmnopqrstuvwxyz 请稍后再试")
            << false;
        QTest::newRow("more than the bubble holds")
            << QSize(375, 120) << QString(600, QLatin1Char('W')) << true;
    }

    void longTextWrapsAnywhereAndElides()
    {
        QFETCH(QSize, hostSize);
        QFETCH(QString, message);
        QFETCH(bool, elided);
        m_host->resize(hostSize);
        const ToastStyle &style = ToastManager::shared().style;
        const auto built =
            ToastBuilder::toastView(m_host.get(), message, std::nullopt, QPixmap(), style);
        QVERIFY(std::holds_alternative<QWidget *>(built));
        auto *label = std::get<QWidget *>(built)->findChild<QLabel *>();
        QVERIFY(label);

        // Every line the label shows fits its width whole: no glyph is cut at the edge.
        const QFontMetricsF metrics(label->font());
        const QStringList lines = label->text().split(QLatin1Char('\n'));
        QVERIFY(lines.size() > 1);
        for (const QString &line : lines) {
            QVERIFY2(metrics.horizontalAdvance(line) <= label->width(), qPrintable(line));
            QVERIFY(!line.isEmpty());
        }
        QVERIFY(label->height() <= hostSize.height() * style.maxHeightPercentage);
        QVERIFY(label->height() >= metrics.lineSpacing() * lines.size() - 1);
        QCOMPARE(lines.last().endsWith(QChar(0x2026)), elided);
        if (!elided) {
            QString joined = lines.join(QString());
            QCOMPARE(joined.remove(QLatin1Char(' ')), QString(message).remove(QLatin1Char(' ')));
        }
        // Assistive technology reads the whole message, not the broken lines.
        QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), message);
    }

    void loadingViewGoesOneSecondAfterTheRequest()
    {
        ManualClock clock(10);
        auto *content = new QWidget(m_host.get());
        new SCLoadingView(QRect(0, 0, 375, 700), content);
        sc_showToast(m_host.get(), QStringLiteral("失败"), SCToastKind::failure);
        clock.advance(990ms);
        QVERIFY(findViewWithTag(m_host.get(), 89757));
        clock.advance(20ms);
        QVERIFY(!findViewWithTag(m_host.get(), 89757));
        QCOMPARE(active(m_host.get()).size(), 1);
    }

    void missingPartsPrintOneLineAndShowNothing_data()
    {
        QTest::addColumn<bool>("atPosition");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("point") << false
                               << QByteArray(
                                      "Error: message, title, and image cannot all be nil\n");
        QTest::newRow("position") << true
                                  << QByteArray("Error: message, title, and image are all nil\n");
    }

    void missingPartsPrintOneLineAndShowNothing()
    {
        QFETCH(bool, atPosition);
        QFETCH(QByteArray, line);
        const ToastStyle &style = ToastManager::shared().style;
        test::StdoutCapture capture;
        if (atPosition)
            ToastHost::of(m_host.get())
                ->makeToast(std::nullopt, 1.5, ToastPosition::top, std::nullopt, QPixmap(), style);
        else
            ToastHost::of(m_host.get())
                ->makeToast(std::nullopt, 1.5, QPointF(10, 10), std::nullopt, QPixmap(), style);
        QCOMPARE(capture.text(), line);
        QVERIFY(active(m_host.get()).isEmpty());
    }

    void helperWithoutMessageStillClearsUp()
    {
        ManualClock clock(10);
        new SCLoadingView(QRect(0, 0, 375, 700), m_host.get());
        ToastHost *host = ToastHost::of(m_host.get());
        host->makeToastActivity(ToastPosition::center);
        clock.advance(300ms);
        QVERIFY(host->activityView());

        test::StdoutCapture capture;
        sc_showToast(m_host.get(), std::nullopt);
        QCOMPARE(capture.text(),
                 QByteArray("Error: message, title, and image cannot all be nil\n"));
        QVERIFY(host->activeToasts().isEmpty());
        clock.advance(300ms);
        QVERIFY(!host->activityView());
        clock.advance(750ms);
        QVERIFY(!findViewWithTag(m_host.get(), 89757));
    }

    void hideAllClearsTheQueueAndEndsEveryToast()
    {
        ManualClock clock(10);
        ToastManager &manager = ToastManager::shared();
        manager.isQueueEnabled = true;
        ToastHost *host = ToastHost::of(m_host.get());
        int completions = 0;
        for (int i = 0; i < 3; ++i)
            host->makeToast(QString::number(i), 1.5, ToastPosition::bottom, std::nullopt, QPixmap(),
                            manager.style, [&completions](bool) { ++completions; });
        QCOMPARE(host->queue().size(), 2);
        host->hideAllToasts();
        QVERIFY(host->queue().isEmpty());
        clock.advance(300ms);
        QVERIFY(host->activeToasts().isEmpty());
        QCOMPARE(completions, 1);
        QVERIFY(m_host->findChildren<QWidget *>().isEmpty());
    }
};

QTEST_MAIN(TestToasts)
#include "tst_toasts.moc"
