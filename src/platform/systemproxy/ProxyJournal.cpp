#include "platform/systemproxy/ProxyJournal.h"

#include "platform/files/RegularFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

// A journal of a dozen keys is well under this.
constexpr qint64 kMaxSize = 64 * 1024;

std::optional<quint16> port(const QJsonValue &value)
{
    const int number = value.toInt(-1);
    if (!value.isDouble() || number < 1 || number > 65535)
        return std::nullopt;
    return static_cast<quint16>(number);
}

std::optional<ProxyJournal::Entry> entry(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    const QJsonValue before = object.value(QLatin1StringView("before"));
    for (const char *field : {"store", "group", "key", "written"}) {
        if (!object.value(QLatin1StringView(field)).isString())
            return std::nullopt;
    }
    if (!before.isString() && !before.isNull())
        return std::nullopt;
    ProxyJournal::Entry parsed{object.value(QLatin1StringView("store")).toString(),
                               {object.value(QLatin1StringView("group")).toString(),
                                object.value(QLatin1StringView("key")).toString()},
                               before.isNull() ? std::nullopt
                                               : std::optional<QString>(before.toString()),
                               object.value(QLatin1StringView("written")).toString()};
    return parsed;
}

} // namespace

const ProxyJournal::Entry *ProxyJournal::find(const QString &store,
                                              const ProxyKeyStore::Key &key) const
{
    for (const Entry &entry : entries) {
        if (entry.store == store && entry.key == key)
            return &entry;
    }
    return nullptr;
}

QByteArray ProxyJournal::toJson() const
{
    QJsonArray keys;
    for (const Entry &entry : entries) {
        keys.append(QJsonObject{
            {QStringLiteral("store"), entry.store},
            {QStringLiteral("group"), entry.key.group},
            {QStringLiteral("key"), entry.key.name},
            {QStringLiteral("before"), entry.before ? QJsonValue(*entry.before) : QJsonValue()},
            {QStringLiteral("written"), entry.written}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("socksPort"), ports.socks},
                                     {QStringLiteral("httpPort"), ports.http},
                                     {QStringLiteral("keys"), keys}})
        .toJson();
}

std::variant<std::optional<ProxyJournal>, QString> ProxyJournal::load(const QString &path,
                                                                      const Acceptance &accepts)
{
    const RegularFile::Content content = RegularFile::read(path, kMaxSize);
    using Outcome = RegularFile::Content::Outcome;
    if (content.outcome == Outcome::Missing)
        return std::nullopt;
    if (content.outcome == Outcome::Refused)
        return content.reason;
    if (content.outcome == Outcome::TooLarge)
        return QStringLiteral("it is larger than a journal can be");
    struct stat info
    {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || info.st_uid != ::geteuid())
        return QStringLiteral("it belongs to another user");

    const QJsonObject object = QJsonDocument::fromJson(content.data).object();
    ProxyJournal journal;
    const auto socks = port(object.value(QLatin1StringView("socksPort")));
    const auto http = port(object.value(QLatin1StringView("httpPort")));
    const QJsonArray keys = object.value(QLatin1StringView("keys")).toArray();
    if (!socks || !http || keys.isEmpty())
        return QStringLiteral("it is not a journal of Corvane's");
    journal.ports = {*socks, *http};
    for (const QJsonValue &value : keys) {
        const std::optional<Entry> parsed = entry(value);
        if (!parsed)
            return QStringLiteral("it is not a journal of Corvane's");
        const QString where = parsed->key.group + u' ' + parsed->key.name;
        if (journal.find(parsed->store, parsed->key))
            return QStringLiteral("it names %1 twice").arg(where);
        if (!accepts(parsed->store, parsed->key, parsed->written) ||
            (parsed->before && !accepts(parsed->store, parsed->key, *parsed->before)))
            return QStringLiteral("it names %1 (%2) with a value that Corvane does not write "
                                  "there, or a key it never writes")
                .arg(where, parsed->store);
        journal.entries.append(*parsed);
    }
    return journal;
}

} // namespace corvane
