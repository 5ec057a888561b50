#include "core/state/LocalState.h"

#include "platform/keyring/Keyring.h"
#include "platform/log/Log.h"
#include "platform/settings/SettingsStore.h"

#include <QObject>
#include <QPointer>

namespace corvane {

namespace {
std::unique_ptr<Keyring> &sharedKeyring()
{
    static std::unique_ptr<Keyring> keyring;
    return keyring;
}

bool &sharedMade()
{
    static bool made = false;
    return made;
}
} // namespace

LocalState::LocalState(SettingsStore &store, Keyring *keyring) : m_store(store), m_keyring(keyring)
{}

LocalState &LocalState::shared()
{
    static LocalState state = [] {
        sharedMade() = true;
        return LocalState(SettingsStore::shared(), sharedKeyring().get());
    }();
    return state;
}

bool LocalState::installSharedKeyring(std::unique_ptr<Keyring> keyring)
{
    if (sharedMade())
        return false;
    sharedKeyring() = std::move(keyring);
    return true;
}

QString LocalState::trimmed(const QString &typed)
{
    // A Chinese input method types the full-width space, and pasted text brings no-break spaces.
    const auto isBlank = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\u3000' || c == u'\u00A0';
    };
    qsizetype begin = 0;
    qsizetype end = typed.size();
    while (begin < end && isBlank(typed.at(begin)))
        ++begin;
    while (end > begin && isBlank(typed.at(end - 1)))
        --end;
    return typed.mid(begin, end - begin);
}

std::optional<QString> LocalState::phoneNum() const
{
    return m_store.string(kPhoneNumKey);
}

void LocalState::setPhoneNum(const QString &typed)
{
    m_store.setObject(trimmed(typed), kPhoneNumKey);
}

void LocalState::pwdNum(const QObject *context, PasswordCompletion completion)
{
    const std::optional<QString> plain = m_store.string(kPwdNumKey);
    // A password still in the file is the newest: with a keyring it would have left the file
    // when it was stored.
    if (!m_keyring || plain) {
        completion(plain);
        if (m_keyring)
            moveIntoKeyring(*plain);
        return;
    }
    m_keyring->read(kPwdNumKey, [guard = QPointer<const QObject>(context),
                                 completion = std::move(completion)](const Keyring::Read &read) {
        if (read.status == Keyring::Read::Status::failed)
            Log::write(QStringLiteral("无法从钥匙环读取密码：") + read.error);
        if (!guard)
            return;
        completion(read.status == Keyring::Read::Status::found ? std::optional(read.value)
                                                               : std::nullopt);
    });
}

void LocalState::setPwdNum(const QString &typed)
{
    const QString password = trimmed(typed);
    if (!m_keyring) {
        m_store.setObject(password, kPwdNumKey);
        return;
    }
    // With a keyring present the password never touches the file: a refused write keeps it
    // nowhere rather than in plain form.
    m_keyring->write(kPwdNumKey, password, [this](const QString &error) {
        if (!error.isEmpty()) {
            Log::write(QStringLiteral("密码未保存：钥匙环拒绝写入：") + error);
            return;
        }
        m_store.remove(kPwdNumKey);
    });
}

void LocalState::moveIntoKeyring(const QString &plain)
{
    if (m_moving)
        return;
    m_moving = true;
    m_keyring->write(kPwdNumKey, plain, [this, plain](const QString &error) {
        m_moving = false;
        if (!error.isEmpty()) {
            Log::write(QStringLiteral("密码仍留在设置文件中：钥匙环拒绝写入：") + error);
            return;
        }
        // Only the copy the keyring now holds leaves the file; a newer one stored meanwhile
        // moves at the next read.
        if (m_store.string(kPwdNumKey) == plain)
            m_store.remove(kPwdNumKey);
    });
}

std::shared_ptr<SCOrderContent> &currentOrderContent()
{
    static std::shared_ptr<SCOrderContent> content;
    return content;
}

} // namespace corvane
