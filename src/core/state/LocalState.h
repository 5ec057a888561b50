#pragma once

#include "core/model/SCOrderContent.h"

#include <QString>
#include <memory>
#include <optional>

namespace corvane {

class SettingsStore;

// All that the client keeps about the signed-in customer: the credentials of the last
// successful sign-in (in the settings store, so they survive a restart) and the order list of
// this run.
class LocalState final
{
public:
    static inline const QString kPhoneNumKey = QStringLiteral("phoneNum");
    static inline const QString kPwdNumKey = QStringLiteral("pwdNum");

    explicit LocalState(SettingsStore &store);
    static LocalState &shared();

    // Text as typed, trimmed at both ends of spaces (also full-width and no-break ones) and
    // tabs; line breaks are kept.
    static QString trimmed(const QString &typed);

    std::optional<QString> phoneNum() const;
    std::optional<QString> pwdNum() const;
    void setPhoneNum(const QString &typed);
    void setPwdNum(const QString &typed);

private:
    SettingsStore &m_store;
};

// The signed-in customer's orders; absent until the first successful sign-in of this run.
std::shared_ptr<SCOrderContent> &currentOrderContent();

} // namespace corvane
