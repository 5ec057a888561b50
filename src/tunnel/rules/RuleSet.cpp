#include "tunnel/rules/RuleSet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <arpa/inet.h>
#include <charconv>

namespace corvane::tunnel {

namespace {

std::array<std::uint8_t, 16> mapped(const std::array<std::uint8_t, 16> &ip,
                                    TargetAddress::Kind kind)
{
    if (kind == TargetAddress::Kind::IPv6)
        return ip;
    std::array<std::uint8_t, 16> v6{};
    v6[10] = 0xff;
    v6[11] = 0xff;
    std::copy_n(ip.begin(), 4, v6.begin() + 12);
    return v6;
}

std::optional<RuleSet::Action> actionNamed(const QJsonValue &value)
{
    if (value == QLatin1String("direct"))
        return RuleSet::Action::Direct;
    if (value == QLatin1String("proxy"))
        return RuleSet::Action::Proxy;
    if (value == QLatin1String("reject"))
        return RuleSet::Action::Reject;
    return std::nullopt;
}

std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c | 0x20 : c);
    return text;
}

} // namespace

std::variant<RuleSet, std::string> RuleSet::parse(std::string_view document)
{
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(
        QByteArray(document.data(), static_cast<qsizetype>(document.size())), &error);
    if (error.error != QJsonParseError::NoError)
        return "the rules are not JSON: " + error.errorString().toStdString();
    if (!json.isObject())
        return std::string("the rules are not a JSON object");
    const QJsonObject root = json.object();
    RuleSet rules;
    if (root.contains(QLatin1String("default"))) {
        const auto action = actionNamed(root.value(QLatin1String("default")));
        if (!action)
            return std::string("the rules' \"default\" is not \"direct\", \"proxy\" or \"reject\"");
        rules.m_default = *action;
    }
    const QJsonValue list = root.value(QLatin1String("rules"));
    if (!list.isUndefined() && !list.isArray())
        return std::string("the rules' \"rules\" is not a list");
    int number = 0;
    for (const QJsonValue &entry : list.toArray()) {
        const std::string where = "rule " + std::to_string(++number);
        const QJsonObject object = entry.toObject();
        const QString type = object.value(QLatin1String("type")).toString();
        const auto action = actionNamed(object.value(QLatin1String("action")));
        if (!action)
            return where + " has no \"action\" of \"direct\", \"proxy\" or \"reject\"";
        Rule rule;
        rule.action = *action;
        const QJsonValue value = object.value(QLatin1String("value"));
        if (type == QLatin1String("final")) {
            rule.type = Rule::Type::Final;
        } else if (type == QLatin1String("domain-suffix")) {
            rule.type = Rule::Type::DomainSuffix;
            rule.suffix = lower(value.toString().toStdString());
            while (rule.suffix.starts_with('.'))
                rule.suffix.erase(0, 1);
            if (rule.suffix.empty())
                return where + " (domain-suffix) has no \"value\"";
        } else if (type == QLatin1String("ip-cidr")) {
            rule.type = Rule::Type::IpCidr;
            const std::string text = value.toString().toStdString();
            const std::size_t slash = text.find('/');
            const std::string address = text.substr(0, slash);
            std::array<std::uint8_t, 16> ip{};
            int maximum = 128;
            if (inet_pton(AF_INET, address.c_str(), ip.data()) == 1) {
                ip = mapped(ip, TargetAddress::Kind::IPv4);
                maximum = 32;
            } else if (inet_pton(AF_INET6, address.c_str(), ip.data()) != 1) {
                return where + " (ip-cidr) has no address in \"" + text + '"';
            }
            int length = maximum;
            if (slash != std::string::npos) {
                const char *first = text.data() + slash + 1;
                const char *last = text.data() + text.size();
                const auto [end, problem] = std::from_chars(first, last, length);
                if (problem != std::errc() || end != last || first == last || length < 0 ||
                    length > maximum)
                    return where + " (ip-cidr) has a bad prefix length in \"" + text + '"';
            }
            rule.network = ip;
            rule.prefixLength = length + (maximum == 32 ? 96 : 0);
        } else {
            return where + " has an unknown type \"" + type.toStdString() + '"';
        }
        rule.label = type.toStdString();
        if (rule.type != Rule::Type::Final)
            rule.label += '=' + value.toString().toStdString();
        rules.m_rules.push_back(std::move(rule));
    }
    return rules;
}

RuleSet::Decision RuleSet::decision(const TargetAddress &target) const
{
    for (const Rule &rule : m_rules) {
        if (matches(rule, target))
            return {rule.action, rule.label};
    }
    return {m_default, "default"};
}

bool RuleSet::matches(const Rule &rule, const TargetAddress &target) const
{
    switch (rule.type) {
    case Rule::Type::Final:
        return true;
    case Rule::Type::DomainSuffix: {
        if (target.kind != TargetAddress::Kind::Domain)
            return false;
        std::string name = lower(target.name);
        while (name.ends_with('.'))
            name.pop_back();
        return name == rule.suffix ||
               (name.size() > rule.suffix.size() && name.ends_with(rule.suffix) &&
                name[name.size() - rule.suffix.size() - 1] == '.');
    }
    case Rule::Type::IpCidr: {
        if (target.kind == TargetAddress::Kind::Domain)
            return false;
        const std::array<std::uint8_t, 16> ip = mapped(target.ip, target.kind);
        int left = rule.prefixLength;
        for (std::size_t i = 0; i < ip.size() && left > 0; ++i, left -= 8) {
            const int bits = left >= 8 ? 8 : left;
            const auto mask = static_cast<std::uint8_t>(0xff << (8 - bits));
            if ((ip[i] & mask) != (rule.network[i] & mask))
                return false;
        }
        return true;
    }
    }
    return false;
}

} // namespace corvane::tunnel
