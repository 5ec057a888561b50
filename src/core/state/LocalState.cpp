#include "core/state/LocalState.h"

#include "platform/settings/SettingsStore.h"

namespace corvane {

LocalState::LocalState(SettingsStore &store) : m_store(store) {}

LocalState &LocalState::shared()
{
    static LocalState state(SettingsStore::shared());
    return state;
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

std::optional<QString> LocalState::pwdNum() const
{
    return m_store.string(kPwdNumKey);
}

void LocalState::setPhoneNum(const QString &typed)
{
    m_store.setObject(trimmed(typed), kPhoneNumKey);
}

void LocalState::setPwdNum(const QString &typed)
{
    m_store.setObject(trimmed(typed), kPwdNumKey);
}

std::shared_ptr<SCOrderContent> &currentOrderContent()
{
    static std::shared_ptr<SCOrderContent> content;
    return content;
}

} // namespace corvane
