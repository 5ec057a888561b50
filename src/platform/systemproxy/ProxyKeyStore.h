#pragma once

#include "platform/systemproxy/SystemProxy.h"

#include <QList>
#include <QString>
#include <optional>

namespace corvane {

// One place where the desktop keeps its proxy settings (GSettings, KIO's kioslaverc), seen as
// keys whose values are text that round-trips exactly: what was read can be written back and
// reads the same.
class ProxyKeyStore
{
public:
    struct Key
    {
        QString group;
        QString name;
        bool operator==(const Key &) const = default;
    };
    struct Value
    {
        Key key;
        QString text;
    };

    ProxyKeyStore() = default;
    virtual ~ProxyKeyStore() = default;
    Q_DISABLE_COPY_MOVE(ProxyKeyStore)

    // The name the journal files the store's keys under.
    virtual QString name() const = 0;
    // What Corvane writes to point this store at `ports`.
    virtual QList<Value> planned(SystemProxy::Ports ports) const = 0;
    // Whether `text` is a value this store could hold for `key`, a key Corvane writes.
    virtual bool accepts(const Key &key, const QString &text) const = 0;
    // The person's value of `key`; none when the key holds no value of its own (a default).
    virtual std::optional<QString> read(const Key &key) const = 0;
    // Sets `key` to `text`, or back to no value of its own when `text` is none, for commit().
    virtual std::optional<QString> stage(const Key &key, const std::optional<QString> &text) = 0;
    // Makes every staged change reach the store (and tells its readers); why not, on failure.
    virtual std::optional<QString> commit() = 0;
};

} // namespace corvane
