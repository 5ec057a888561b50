#pragma once

#include "core/vpn/TunnelRequest.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace corvane {

class FFSSModel;
class LocalState;
class SettingsStore;

// A relay of the customer's own that the quick connect screen and the tray use in place of the
// built-in one: its address and method in the settings file, its password kept as the sign-in
// password is (the keyring where one runs, else the settings file).
class CustomRelay final
{
public:
    static inline const QString kKey = QStringLiteral("relay");
    static inline const QString kPasswordKey = QStringLiteral("relayPwd");

    struct Address
    {
        QString host;
        quint16 port = 0;
        QString method;
    };

    CustomRelay(SettingsStore &store, LocalState &state);
    // A new one on the shared settings and local state.
    static CustomRelay onSharedSettings();
    // What quick connect asks for: the customer's own relay where one is set, else the
    // built-in one.
    static TunnelRequest quickConnect();

    // The methods a relay may use.
    static QStringList methods();
    // Why `address` cannot be used; none when it can.
    static std::optional<QString> problem(const Address &address);

    std::optional<Address> address() const;
    // Keeps `address` and `password`; `done` is told whether both are kept.
    void set(const Address &address, const QString &password, std::function<void(bool)> done);
    // Goes back to the built-in relay; false when the settings file could not be written.
    bool reset();
    // Describes the relay to connect through in `record`, the customer's own where one is set,
    // and runs `done` once the record is complete, unless `context` is gone by then.
    void describe(FFSSModel &record, const QObject *context, std::function<void()> done) const;

private:
    SettingsStore &m_store;
    LocalState &m_state;
};

} // namespace corvane
