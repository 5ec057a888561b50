#include "MemoryTunnel.h"
#include "core/config/ServiceEndpoints.h"
#include "core/vpn/SystemProxyFollower.h"
#include "core/vpn/TunnelSequencer.h"
#include "core/vpn/VpnManager.h"
#include "platform/scheduling/ManualClock.h"
#include "platform/settings/SettingsStore.h"
#include "platform/systemproxy/SystemProxy.h"
#include "platform/tunnel/memory/MemoryTunnelConnection.h"
#include "platform/tunnel/memory/MemoryTunnelProfileStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;
using Mode = SystemProxyFollower::Mode;

namespace {
// Counts what the follower asks of the desktop.
class CountingSystemProxy final : public SystemProxy
{
public:
    bool available() const override { return desktop; }
    std::optional<QString> apply(Ports ports) override
    {
        ++applies;
        journal = true;
        last = ports;
        return std::nullopt;
    }
    std::optional<QString> restore() override
    {
        ++restores;
        journal = false;
        return std::nullopt;
    }
    bool applied() const override { return journal; }

    bool desktop = true;
    bool journal = false;
    int applies = 0;
    int restores = 0;
    Ports last;
};

enum class End
{
    disconnect,
    byItself,
    failedChange,
    modeToLocal,
};
} // namespace

class TestSystemProxyFollower final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<MemoryTunnel> m_tunnel;
    std::unique_ptr<VpnManager> m_manager;
    std::unique_ptr<TunnelSequencer> m_sequencer;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<CountingSystemProxy> m_proxy;
    std::unique_ptr<SystemProxyFollower> m_follower;

    void status(TunnelStatus status)
    {
        m_tunnel->drain();
        m_tunnel->connection()->setLocalProxy(status == TunnelStatus::Connected
                                                  ? std::optional(LocalProxyPorts{21080, 21081})
                                                  : std::nullopt);
        m_tunnel->setStatus(status);
        m_tunnel->drain();
    }

    void bringUp(Mode mode)
    {
        ProxyModeSetting(*m_settings).set(mode);
        auto order = std::make_shared<SCOrder>();
        order->orderId = u"B7"_s;
        m_sequencer->connectTunnel(TunnelRequest{TunnelRequest::Service{order, -1, 0, 0}});
        status(TunnelStatus::Connected);
    }

private Q_SLOTS:
    void init()
    {
        m_clock = std::make_unique<ManualClock>();
        m_tunnel = std::make_unique<MemoryTunnel>();
        m_manager = std::make_unique<VpnManager>(m_tunnel->store());
        m_sequencer = std::make_unique<TunnelSequencer>(*m_manager);
        m_settings = std::make_unique<SettingsStore>(m_folder.filePath(u"settings.json"_s));
        m_settings->remove(ProxyModeSetting::kKey);
        m_proxy = std::make_unique<CountingSystemProxy>();
        m_follower = std::make_unique<SystemProxyFollower>(*m_sequencer, *m_manager, *m_proxy,
                                                           ProxyModeSetting(*m_settings));
        m_tunnel->drain();
        ServiceEndpoints::install(ServiceEndpoints());
    }

    void cleanup()
    {
        m_follower.reset();
        m_sequencer.reset();
        m_manager.reset();
        m_tunnel.reset();
        m_clock.reset();
    }

    void theModeReadsAsLocalUnlessChosen_data()
    {
        QTest::addColumn<QJsonValue>("stored");
        QTest::addColumn<Mode>("mode");
        QTest::newRow("absent") << QJsonValue() << Mode::local;
        QTest::newRow("system") << QJsonValue(u"system"_s) << Mode::system;
        QTest::newRow("system-wide") << QJsonValue(u"system-wide"_s) << Mode::systemWide;
        QTest::newRow("a later build's") << QJsonValue(u"per-app"_s) << Mode::local;
        QTest::newRow("not text") << QJsonValue(1) << Mode::local;
    }
    void theModeReadsAsLocalUnlessChosen()
    {
        QFETCH(QJsonValue, stored);
        if (!stored.isUndefined())
            m_settings->setObject(stored, ProxyModeSetting::kKey);
        QFETCH(Mode, mode);
        QCOMPARE(ProxyModeSetting(*m_settings).mode(), mode);
        // What is written reads back as itself.
        QVERIFY(ProxyModeSetting(*m_settings).set(mode));
        QCOMPARE(ProxyModeSetting(*m_settings).mode(), mode);
    }

    void onlyTheSystemModePointsTheDesktop_data()
    {
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<int>("applies");
        QTest::newRow("local") << Mode::local << 0;
        QTest::newRow("system") << Mode::system << 1;
        // Every program goes through the device then; the desktop's settings stay as they are.
        QTest::newRow("system-wide") << Mode::systemWide << 0;
    }
    void onlyTheSystemModePointsTheDesktop()
    {
        QFETCH(Mode, mode);
        QFETCH(int, applies);
        bringUp(mode);
        // A status announced again changes nothing.
        status(TunnelStatus::Connected);
        QCOMPARE(m_proxy->applies, applies);
        QCOMPARE(m_follower->pointsHere(), applies == 1);
        QCOMPARE(m_proxy->last.http, applies == 1 ? 21081 : 0);
    }

    // The ports stay through a change of exit address: nothing is given back or applied again,
    // and the old helper is told to leave the setting to the next one.
    void aChangeOfAddressKeepsTheSetting()
    {
        bringUp(Mode::system);
        QVERIFY(m_sequencer->changeAddress());
        m_clock->advance(TunnelSequencer::kStepDelay);
        status(TunnelStatus::Disconnecting);
        status(TunnelStatus::Disconnected);
        m_clock->advance(TunnelSequencer::kStepDelay);
        status(TunnelStatus::Connecting);
        status(TunnelStatus::Connected);
        QVERIFY(!m_sequencer->isSwitching());
        QCOMPARE(m_tunnel->connection()->handOverCount(), 1);
        QCOMPARE(m_proxy->applies, 1);
        QCOMPARE(m_proxy->restores, 0);
    }

    void everyEndGivesItBack_data()
    {
        QTest::addColumn<End>("end");
        QTest::newRow("disconnect") << End::disconnect;
        QTest::newRow("off by itself") << End::byItself;
        QTest::newRow("a change of address that fails") << End::failedChange;
        QTest::newRow("the mode back to local") << End::modeToLocal;
    }
    void everyEndGivesItBack()
    {
        QFETCH(End, end);
        bringUp(Mode::system);
        // A relay being reached again is no end.
        status(TunnelStatus::Reasserting);
        QCOMPARE(m_proxy->restores, 0);
        status(TunnelStatus::Connected);
        switch (end) {
        case End::disconnect:
            m_sequencer->disconnectTunnel();
            status(TunnelStatus::Disconnecting);
            status(TunnelStatus::Disconnected);
            break;
        case End::byItself:
            status(TunnelStatus::Disconnected);
            break;
        case End::failedChange:
            m_sequencer->changeAddress();
            m_clock->advance(TunnelSequencer::kStepDelay);
            status(TunnelStatus::Disconnected);
            m_clock->advance(TunnelSequencer::kStepDelay);
            QCOMPARE(m_proxy->restores, 0);
            status(TunnelStatus::Disconnected);
            break;
        case End::modeToLocal:
            m_follower->setMode(Mode::local);
            break;
        }
        QVERIFY(!m_sequencer->isSwitching());
        QCOMPARE(m_proxy->restores, 1);
        QVERIFY(!m_follower->pointsHere());
        QCOMPARE(m_proxy->applies, 1);
    }

    void theSystemModeChosenWhileOnTakesEffectAtOnce()
    {
        bringUp(Mode::local);
        m_follower->setMode(Mode::system);
        QCOMPARE(m_proxy->applies, 1);
        QCOMPARE(ProxyModeSetting(*m_settings).mode(), Mode::system);
    }

    // A bare window manager: said once, and the local proxies stay the way.
    void aDesktopWithoutSettingsIsToldOnce()
    {
        m_proxy->desktop = false;
        QSignalSpy told(m_follower.get(), &SystemProxyFollower::foundUnavailable);
        bringUp(Mode::system);
        status(TunnelStatus::Connected);
        QCOMPARE(told.count(), 1);
        QVERIFY(m_follower->unavailable());
        QCOMPARE(m_proxy->applies, 0);
    }
};

QTEST_GUILESS_MAIN(TestSystemProxyFollower)
#include "tst_systemproxyfollower.moc"
