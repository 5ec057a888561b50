#include "ctl/ConnectionsCommand.h"

#include "core/vpn/TrafficText.h"
#include "launch/LocaleText.h"

#include <QJsonArray>

namespace corvane {

namespace {
const QCommandLineOption
    kJson(QStringLiteral("json"),
          LocaleText::text(QStringLiteral("connections.print-one-json-object")));

QJsonObject toJson(const TunnelConnectionInfo &connection)
{
    return {{QStringLiteral("destination"), connection.destination},
            {QStringLiteral("rule"), connection.rule},
            {QStringLiteral("via"),
             connection.relayed ? QStringLiteral("relay") : QStringLiteral("direct")},
            {QStringLiteral("up"), qint64(connection.up)},
            {QStringLiteral("down"), qint64(connection.down)},
            {QStringLiteral("age"), connection.ageSeconds}};
}
} // namespace

ConnectionsCommand::ConnectionsCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("connections"), store, parent)
{}

ConnectionsCommand::~ConnectionsCommand() = default;

QString ConnectionsCommand::summary() const
{
    return LocaleText::text(QStringLiteral("connections.list-the-tunnels-open"));
}

void ConnectionsCommand::declare(QCommandLineParser &parser)
{
    parser.addOption(kJson);
}

void ConnectionsCommand::run(const QCommandLineParser &parser)
{
    const bool json = parser.isSet(kJson);
    withLocalProxy([this, json](const LocalProxyPorts &) {
        session().connections([this, json](std::optional<QList<TunnelConnectionInfo>> open) {
            if (!open) {
                finish(CtlExit::tunnelFailed, QStringLiteral("the tunnel's helper did not answer"));
                return;
            }
            QJsonArray list;
            for (const TunnelConnectionInfo &connection : std::as_const(*open)) {
                if (json) {
                    list.append(toJson(connection));
                    continue;
                }
                // Tabs apart: a destination or rule never holds one, so columns cut cleanly.
                printLine(QStringList{
                    connection.destination,
                    LocaleText::text(connection.relayed ? QStringLiteral("connections.relay")
                                                        : QStringLiteral("connections.direct")),
                    connection.rule, QStringLiteral("↑ ") + TrafficText::amount(connection.up),
                    QStringLiteral("↓ ") + TrafficText::amount(connection.down),
                    QString::number(connection.ageSeconds) + u's'}
                              .join(u'\t'));
            }
            if (json)
                printJson({{QStringLiteral("connections"), list}});
            finish(CtlExit::done);
        });
    });
}

} // namespace corvane
