#include "ctl/StatusCommand.h"
#include "core/vpn/TrafficText.h"
#include "launch/LocaleText.h"

#include <QDateTime>

namespace corvane {

namespace {
const QCommandLineOption kJson(QStringLiteral("json"),
                               LocaleText::text(QStringLiteral("status.print-the-status-as-one")));
const QCommandLineOption kWatch(QStringLiteral("watch"),
                                LocaleText::text(QStringLiteral("status.print-a-line-for-every")));
const QCommandLineOption kTraffic(QStringLiteral("traffic"),
                                  LocaleText::text(QStringLiteral("status.with-watch-print-the")));
} // namespace

StatusCommand::StatusCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("status"), store, parent)
{}

StatusCommand::~StatusCommand() = default;

QString StatusCommand::summary() const
{
    return LocaleText::text(QStringLiteral("status.tell-the-tunnels-status-order"));
}

void StatusCommand::declare(QCommandLineParser &parser)
{
    parser.addOptions({kJson, kWatch, kTraffic});
}

void StatusCommand::run(const QCommandLineParser &parser)
{
    m_json = parser.isSet(kJson);
    m_watch = parser.isSet(kWatch);
    m_traffic = parser.isSet(kTraffic);
    if (m_traffic && !m_watch) {
        finish(CtlExit::usage, LocaleText::text(QStringLiteral("status.traffic-goes-with-watch")));
        return;
    }
    if (m_watch)
        session().onStatusChanged([this](VPNStatus) { report(); });
    report();
}

void StatusCommand::report()
{
    // One report at a time, in order; changes meanwhile make one more afterwards.
    if (m_reporting) {
        m_again = true;
        return;
    }
    m_reporting = true;
    session().snapshot([this](const TunnelSession::Snapshot &snapshot) {
        if (snapshot.status != VPNStatus::on) {
            print(snapshot, std::nullopt);
            return;
        }
        session().lookUp([this, snapshot](const std::optional<PublicAddressAnswer> &address) {
            if (m_watch || !m_json) {
                print(snapshot, address);
                if (m_traffic)
                    followTraffic(snapshot, address);
                return;
            }
            session().followTraffic(
                [this, snapshot, address](const std::optional<TunnelTraffic> &traffic) {
                    TunnelSession::Snapshot told = snapshot;
                    told.traffic = traffic;
                    print(told, address);
                    return false;
                });
        });
    });
}

void StatusCommand::followTraffic(const TunnelSession::Snapshot &snapshot,
                                  const std::optional<PublicAddressAnswer> &address)
{
    // One following for as long as the tunnel runs; a status change after it makes another.
    if (std::exchange(m_following, true))
        return;
    session().followTraffic([this, snapshot, address](const std::optional<TunnelTraffic> &traffic) {
        if (!traffic) {
            m_following = false;
            return false;
        }
        if (m_json) {
            TunnelSession::Snapshot told = snapshot;
            told.traffic = traffic;
            printJson(TunnelSession::toJson(told, address));
        } else {
            printLine(QDateTime::currentDateTime().toString(Qt::ISODate) + u' ' +
                      LocaleText::text(QStringLiteral("status.traffic-line"))
                          .arg(TrafficText::rate(traffic->upRate),
                               TrafficText::rate(traffic->downRate),
                               TrafficText::amount(traffic->up + traffic->down)));
        }
        return true;
    });
}

void StatusCommand::print(const TunnelSession::Snapshot &snapshot,
                          const std::optional<PublicAddressAnswer> &address)
{
    QJsonObject state = TunnelSession::toJson(snapshot, address);
    // Watching tells the figures only with --traffic, on lines of their own.
    if (m_watch)
        state.remove(QStringLiteral("traffic"));
    // The channel also reports the status it starts from, which the first line told already.
    if (m_watch && state == std::exchange(m_printed, state)) {
        // Nothing to tell.
    } else if (m_json) {
        printJson(state);
    } else if (m_watch) {
        const QStringList lines = TunnelSession::toText(snapshot, address);
        printLine(QDateTime::currentDateTime().toString(Qt::ISODate) + u' ' +
                  lines.first().mid(lines.first().indexOf(u' ') + 1) + u' ' +
                  lines.last().mid(lines.last().indexOf(u':') + 2));
    } else {
        for (const QString &line : TunnelSession::toText(snapshot, address))
            printLine(line);
    }
    m_reporting = false;
    if (!m_watch) {
        finish(CtlExit::done);
        return;
    }
    if (std::exchange(m_again, false))
        report();
}

} // namespace corvane
