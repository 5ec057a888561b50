#include "tunnel/client/TunnelConfiguration.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvane::tunnel {

std::variant<TunnelConfiguration, std::string> TunnelConfiguration::parse(std::string_view json)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())));
    if (!document.isObject())
        return std::string("the configuration is not an object");
    const QJsonObject config = document.object();
    for (const char *key :
         {"ss_address", "ss_method", "ss_password", "ss_ip", "ss_auth", "json_conf"}) {
        // Appended, not "…" + std::string: GCC 12 takes that for an overlapping copy.
        if (!config.value(QLatin1String(key)).isString())
            return std::string("\"").append(key).append("\" is missing or not text");
    }
    TunnelConfiguration configuration;
    configuration.relayHost = config.value(QLatin1String("ss_address")).toString().toStdString();
    if (configuration.relayHost.empty())
        return std::string("\"ss_address\" is empty");
    const QJsonValue port = config.value(QLatin1String("ss_port"));
    const double number = port.toDouble();
    if (!port.isDouble() || number < 1 || number > 65535 || number != static_cast<int>(number))
        return std::string("\"ss_port\" is 0 or not a port number");
    configuration.relayPort = static_cast<std::uint16_t>(number);
    const std::string method = config.value(QLatin1String("ss_method")).toString().toStdString();
    const std::optional<RelayMethod::Form> form = RelayMethod::formNamed(method);
    if (!form)
        return "\"ss_method\" names no supported method: \"" + method + '"';
    configuration.form = *form;
    configuration.password = config.value(QLatin1String("ss_password")).toString().toStdString();
    configuration.auth = config.value(QLatin1String("ss_auth")).toString().toStdString();
    const QString rulesText = config.value(QLatin1String("json_conf")).toString();
    QJsonParseError error;
    const QJsonDocument rulesDocument = QJsonDocument::fromJson(rulesText.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return "\"json_conf\" is not valid JSON: " + error.errorString().toStdString();
    auto rules = RuleSet::parse(rulesText.toStdString());
    if (const auto *problem = std::get_if<std::string>(&rules))
        return "\"json_conf\" is not usable: " + *problem;
    configuration.rules = std::get<RuleSet>(std::move(rules));
    // Names would need a lookup that itself goes nowhere but through the tunnel: skipped.
    const QJsonArray servers = rulesDocument.object()
                                   .value(QLatin1String("dns"))
                                   .toObject()
                                   .value(QLatin1String("servers"))
                                   .toArray();
    for (const QJsonValue &server : servers) {
        const auto address = TargetAddress::fromHost(server.toString().toStdString(), 53);
        if (address && address->kind != TargetAddress::Kind::Domain)
            configuration.dnsServers.push_back(*address);
    }
    return configuration;
}

} // namespace corvane::tunnel
