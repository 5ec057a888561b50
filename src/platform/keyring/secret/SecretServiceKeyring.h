#pragma once

#include "platform/keyring/Keyring.h"

#include <QObject>
#include <memory>

class QDBusConnection;

namespace corvane {

// The desktop's keyring through QtKeychain: the Secret Service (GNOME Keyring, KeePassXC, ...)
// or KWallet, whichever the desktop offers. Entries are filed under `service`.
class SecretServiceKeyring final : public Keyring
{
public:
    explicit SecretServiceKeyring(QString service);
    ~SecretServiceKeyring() override;
    Q_DISABLE_COPY_MOVE(SecretServiceKeyring)

    // Whether a Secret Service runs on `bus`, or would start on the first request.
    static bool available(const QDBusConnection &bus);

    void read(const QString &key, ReadCompletion completion) override;
    void write(const QString &key, const QString &value, WriteCompletion completion) override;
    void remove(const QString &key, WriteCompletion completion) override;

private:
    QString m_service;
    // Owns the jobs in flight: none answers once this keyring is gone.
    std::unique_ptr<QObject> m_jobs;
};

} // namespace corvane
