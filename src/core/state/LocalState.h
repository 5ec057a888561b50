#pragma once

#include "core/model/SCOrderContent.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace corvane {

class Keyring;
class SettingsStore;

// All that the client keeps about the signed-in customer: the credentials of the last
// successful sign-in (so they survive a restart) and the order list of this run. With a keyring
// the password lives there and the settings file keeps only the mobile number; without one, or
// where the keyring does not take it, both are in the settings file.
class LocalState final
{
public:
    static inline const QString kPhoneNumKey = QStringLiteral("phoneNum");
    static inline const QString kPwdNumKey = QStringLiteral("pwdNum");

    using PasswordCompletion = std::function<void(const std::optional<QString> &password)>;
    // Told whether the password is kept somewhere it will be read from.
    using StoreCompletion = std::function<void(bool stored)>;

    // How long a password write waits for the keyring before it keeps the password in the file:
    // a keyring that wants to be unlocked may ask the user, who may be away.
    static constexpr std::chrono::seconds kKeyringWait{10};

    // `keyring` (not owned) may be null: then the password is kept in `store` as well. Both
    // must outlive the keyring's answers.
    explicit LocalState(SettingsStore &store, Keyring *keyring = nullptr);
    ~LocalState();
    Q_DISABLE_COPY_MOVE(LocalState)
    static LocalState &shared();
    // Puts the shared instance's password into `keyring`; only before its first use (false
    // afterwards).
    static bool installSharedKeyring(std::unique_ptr<Keyring> keyring);

    // Text as typed, trimmed at both ends of spaces (also full-width and no-break ones) and
    // tabs; line breaks are kept.
    static QString trimmed(const QString &typed);

    std::optional<QString> phoneNum() const;
    // False when the settings file could not be written; the reason is logged.
    bool setPhoneNum(const QString &typed);

    // Hands the stored password to `completion`, at once without a keyring, otherwise when the
    // keyring answers, unless `context` is gone by then. A password still in the settings file
    // is moved into the keyring on the way.
    void pwdNum(const QObject *context, PasswordCompletion completion);
    // Keeps the password in the keyring, or where there is none, or it refuses or does not
    // answer within kKeyringWait, in the settings file (with a log line saying why). `done`
    // runs once, when the password is kept or could be kept nowhere.
    void setPwdNum(const QString &typed, StoreCompletion done = {});
    // Runs `done` once no password write is waiting for the keyring any more: at once when
    // none is. A program that is about to end waits for this, or its writes are lost.
    void whenSettled(std::function<void()> done);

    // What forgetting a password found.
    struct Forgetting
    {
        // A password was kept, in the keyring or the settings file.
        bool wasStored = false;
        // Why it may still be kept somewhere (also logged); none once it is gone everywhere.
        std::optional<QString> failure;
    };
    using ForgetCompletion = std::function<void(const Forgetting &outcome)>;

    // Deletes the stored password from the keyring and the settings file, once the writes on
    // their way are settled, so that none of them brings it back. The mobile number stays.
    // `done` runs once, at the latest kKeyringWait after the keyring was asked.
    void forgetPwdNum(ForgetCompletion done);

    // Any other password, kept under `key` as the sign-in password is, taken as given.
    void secret(const QString &key, const QObject *context, PasswordCompletion completion);
    void setSecret(const QString &key, const QString &value, StoreCompletion done = {});
    void forgetSecret(const QString &key, ForgetCompletion done);

private:
    // Told why the keyring did not take the password; nothing when it confirmed the write.
    using KeyringOutcome = std::function<void(const std::optional<QString> &refusal)>;

    void moveIntoKeyring(const QString &key, const QString &plain);
    // Writes to the keyring, waiting at most kKeyringWait for its answer.
    void writeToKeyring(const QString &key, const QString &password, KeyringOutcome outcome);
    // Set once the keyring's answer or the end of kKeyringWait has decided; `silence` runs when
    // the wait ends first.
    std::shared_ptr<bool> waitForKeyring(std::function<void(const QString &why)> silence);

    SettingsStore &m_store;
    Keyring *m_keyring;
    // The keys whose password is on its way from the file into the keyring.
    QStringList m_moving;
    int m_writing = 0;
    QList<std::function<void()>> m_whenSettled;
    // Bounds the keyring waits to this object's life.
    std::unique_ptr<QObject> m_context;
};

// The signed-in customer's orders; absent until the first successful sign-in of this run.
std::shared_ptr<SCOrderContent> &currentOrderContent();

} // namespace corvane
