#pragma once

#include "core/model/SCOrderContent.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QObject;

namespace corvane {

class Keyring;
class SettingsStore;

// All that the client keeps about the signed-in customer: the credentials of the last
// successful sign-in (so they survive a restart) and the order list of this run. With a keyring
// the password lives there and the settings file keeps only the mobile number; without one
// both are in the settings file.
class LocalState final
{
public:
    static inline const QString kPhoneNumKey = QStringLiteral("phoneNum");
    static inline const QString kPwdNumKey = QStringLiteral("pwdNum");

    using PasswordCompletion = std::function<void(const std::optional<QString> &password)>;

    // `keyring` (not owned) may be null: then the password is kept in `store` as well. Both
    // must outlive the keyring's answers.
    explicit LocalState(SettingsStore &store, Keyring *keyring = nullptr);
    static LocalState &shared();
    // Puts the shared instance's password into `keyring`; only before its first use (false
    // afterwards).
    static bool installSharedKeyring(std::unique_ptr<Keyring> keyring);

    // Text as typed, trimmed at both ends of spaces (also full-width and no-break ones) and
    // tabs; line breaks are kept.
    static QString trimmed(const QString &typed);

    std::optional<QString> phoneNum() const;
    void setPhoneNum(const QString &typed);

    // Hands the stored password to `completion`, at once without a keyring, otherwise when the
    // keyring answers, unless `context` is gone by then. A password still in the settings file
    // is moved into the keyring on the way.
    void pwdNum(const QObject *context, PasswordCompletion completion);
    void setPwdNum(const QString &typed);

private:
    void moveIntoKeyring(const QString &plain);

    SettingsStore &m_store;
    Keyring *m_keyring;
    bool m_moving = false;
};

// The signed-in customer's orders; absent until the first successful sign-in of this run.
std::shared_ptr<SCOrderContent> &currentOrderContent();

} // namespace corvane
