#include "ctl/StatusCommand.h"
#include "launch/LocaleText.h"

#include <QDateTime>

namespace corvane {

namespace {
const QCommandLineOption kJson(QStringLiteral("json"),
                               LocaleText::text(QStringLiteral("status.print-the-status-as-one")));
const QCommandLineOption kWatch(QStringLiteral("watch"),
                                LocaleText::text(QStringLiteral("status.print-a-line-for-every")));
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
    parser.addOptions({kJson, kWatch});
}

void StatusCommand::run(const QCommandLineParser &parser)
{
    m_json = parser.isSet(kJson);
    m_watch = parser.isSet(kWatch);
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
            print(snapshot, address);
        });
    });
}

void StatusCommand::print(const TunnelSession::Snapshot &snapshot,
                          const std::optional<PublicAddressAnswer> &address)
{
    const QJsonObject state = TunnelSession::toJson(snapshot, address);
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
