#pragma once

#include "platform/systemproxy/ProxyKeyStore.h"
#include "platform/systemproxy/SystemProxy.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <variant>

namespace corvane {

// What an apply() replaced and what it wrote, key by key, kept in a 0600 file of the user's
// before the first write: enough for any later run to give the desktop back its settings.
struct ProxyJournal final
{
    struct Entry
    {
        QString store;
        ProxyKeyStore::Key key;
        // None: the key held no value of its own (a default).
        std::optional<QString> before;
        QString written;
    };

    SystemProxy::Ports ports;
    QList<Entry> entries;

    const Entry *find(const QString &store, const ProxyKeyStore::Key &key) const;
    QByteArray toJson() const;

    // Whether the store named first holds the key and may hold the text.
    using Acceptance =
        std::function<bool(const QString &, const ProxyKeyStore::Key &, const QString &)>;
    // The journal at `path`; none when there is no file. A link (never followed), a file of
    // another user, one that does not parse, or one naming a key or value that `accepts`
    // refuses, is refused with the reason.
    static std::variant<std::optional<ProxyJournal>, QString> load(const QString &path,
                                                                   const Acceptance &accepts);
};

} // namespace corvane
