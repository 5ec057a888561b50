#include "core/state/LocalState.h"

#include "platform/keyring/Keyring.h"
#include "platform/log/Log.h"
#include "platform/scheduling/Scheduler.h"
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

LocalState::LocalState(SettingsStore &store, Keyring *keyring)
    : m_store(store), m_keyring(keyring), m_context(std::make_unique<QObject>())
{}

LocalState::~LocalState() = default;

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

bool LocalState::setPhoneNum(const QString &typed)
{
    return m_store.setObject(trimmed(typed), kPhoneNumKey);
}

void LocalState::pwdNum(const QObject *context, PasswordCompletion completion)
{
    secret(kPwdNumKey, context, std::move(completion));
}

void LocalState::setPwdNum(const QString &typed, StoreCompletion done)
{
    setSecret(kPwdNumKey, trimmed(typed), std::move(done));
}

void LocalState::secret(const QString &key, const QObject *context, PasswordCompletion completion)
{
    const std::optional<QString> plain = m_store.string(key);
    // A password still in the file is the newest: with a keyring it would have left the file
    // when it was stored.
    if (!m_keyring || plain) {
        completion(plain);
        if (m_keyring)
            moveIntoKeyring(key, *plain);
        return;
    }
    m_keyring->read(key, [guard = QPointer<const QObject>(context),
                          completion = std::move(completion)](const Keyring::Read &read) {
        if (read.status == Keyring::Read::Status::failed)
            Log::warn(QStringLiteral("无法从钥匙环读取密码：") + read.error);
        if (!guard)
            return;
        completion(read.status == Keyring::Read::Status::found ? std::optional(read.value)
                                                               : std::nullopt);
    });
}

void LocalState::setSecret(const QString &key, const QString &password, StoreCompletion done)
{
    if (!done)
        done = [](bool) {};
    if (!m_keyring) {
        done(m_store.setObject(password, key));
        return;
    }
    writeToKeyring(
        key, password, [this, key, password, done](const std::optional<QString> &refusal) {
            if (refusal) {
                const bool stored = m_store.setObject(password, key);
                Log::warn(*refusal + (stored
                                          ? QStringLiteral("；密码改存在设置文件中（仅本用户可读）")
                                          : QStringLiteral("；设置文件也无法写入，密码未保存")));
                done(stored);
            } else if (!m_store.remove(key)) {
                // An older password left in the file would be taken for the newest.
                Log::warn(QStringLiteral("密码已存入钥匙环，但设置文件中的旧密码无法删除"));
                done(false);
            } else {
                done(true);
            }
        });
}

void LocalState::moveIntoKeyring(const QString &key, const QString &plain)
{
    if (m_moving.contains(key))
        return;
    m_moving.append(key);
    writeToKeyring(key, plain, [this, key, plain](const std::optional<QString> &refusal) {
        m_moving.removeOne(key);
        if (refusal) {
            Log::warn(QStringLiteral("密码仍留在设置文件中：") + *refusal);
        } else if (m_store.string(key) == plain) {
            // Only the copy the keyring now holds leaves the file; a newer one stored meanwhile
            // moves at the next read.
            m_store.remove(key);
        }
    });
}

void LocalState::writeToKeyring(const QString &key, const QString &password, KeyringOutcome outcome)
{
    ++m_writing;
    const auto decide = [this, outcome](const std::optional<QString> &refusal) {
        outcome(refusal);
        if (--m_writing > 0)
            return;
        const QList<std::function<void()>> waiting = std::exchange(m_whenSettled, {});
        for (const std::function<void()> &done : waiting)
            done();
    };
    // Whichever comes first, the keyring's answer or the end of the wait, decides.
    const std::shared_ptr<bool> decided =
        waitForKeyring([decide](const QString &why) { decide(why); });
    m_keyring->write(key, password, [decide, decided](const std::optional<QString> &error) {
        if (std::exchange(*decided, true))
            return;
        decide(error ? std::optional(QStringLiteral("钥匙环拒绝写入：") + *error) : std::nullopt);
    });
}

std::shared_ptr<bool> LocalState::waitForKeyring(std::function<void(const QString &why)> silence)
{
    auto decided = std::make_shared<bool>(false);
    delay(kKeyringWait, m_context.get(), [decided, silence = std::move(silence)] {
        if (!std::exchange(*decided, true))
            silence(QStringLiteral("钥匙环 %1 秒内没有应答").arg(kKeyringWait.count()));
    });
    return decided;
}

void LocalState::forgetPwdNum(ForgetCompletion done)
{
    forgetSecret(kPwdNumKey, std::move(done));
}

void LocalState::forgetSecret(const QString &key, ForgetCompletion done)
{
    whenSettled([this, key, done = std::move(done)] {
        auto outcome = std::make_shared<Forgetting>();
        outcome->wasStored = !m_store.object(key).isUndefined();
        if (!m_store.remove(key))
            outcome->failure = QStringLiteral("设置文件中的密码无法删除");
        const auto finish = [outcome, done](const std::optional<QString> &failure) {
            if (!outcome->failure)
                outcome->failure = failure;
            if (outcome->failure)
                Log::warn(QStringLiteral("密码未能删除：") + *outcome->failure);
            done(*outcome);
        };
        if (!m_keyring) {
            finish(std::nullopt);
            return;
        }
        // One wait for the whole exchange: the read that tells whether there is an entry, and
        // its removal.
        const std::shared_ptr<bool> decided = waitForKeyring([outcome, finish](const QString &why) {
            // A keyring that does not answer may hold it still.
            outcome->wasStored = true;
            finish(why);
        });
        m_keyring->read(key, [this, key, outcome, finish, decided](const Keyring::Read &read) {
            if (*decided)
                return;
            if (read.status == Keyring::Read::Status::missing) {
                *decided = true;
                finish(std::nullopt);
                return;
            }
            // A keyring that cannot read may still delete.
            outcome->wasStored = true;
            m_keyring->remove(key, [finish, decided](const std::optional<QString> &error) {
                if (std::exchange(*decided, true))
                    return;
                finish(error ? std::optional(QStringLiteral("钥匙环拒绝删除：") + *error)
                             : std::nullopt);
            });
        });
    });
}

void LocalState::whenSettled(std::function<void()> done)
{
    if (m_writing == 0) {
        done();
        return;
    }
    m_whenSettled.append(std::move(done));
}

std::shared_ptr<SCOrderContent> &currentOrderContent()
{
    static std::shared_ptr<SCOrderContent> content;
    return content;
}

} // namespace corvane
