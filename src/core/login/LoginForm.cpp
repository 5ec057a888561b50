#include "core/login/LoginForm.h"

#include "core/crypto/DESEncode.h"
#include "core/state/LocalState.h"
#include "platform/resources/Localization.h"

#include <QTextBoundaryFinder>

namespace corvane {

namespace {

qsizetype userPerceivedLength(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

} // namespace

std::variant<LoginRequest, QString> LoginForm::check(const QString &typedMobile,
                                                     const QString &typedPassword)
{
    if (typedMobile.isEmpty())
        return Localization::string(QStringLiteral("login.mobile.missing"));
    const QString mobile = LocalState::trimmed(typedMobile);
    if (userPerceivedLength(mobile) != kMobileLength)
        return Localization::string(QStringLiteral("login.mobile.invalid"));
    if (typedPassword.isEmpty())
        return Localization::string(QStringLiteral("login.password.missing"));
    const QString password = LocalState::trimmed(typedPassword);
    if (password.toUtf8().size() >= DESEncode::kOutputLimit)
        return Localization::string(QStringLiteral("login.password.long"));
    const std::optional<QString> encoded =
        DESEncode::encryptUseDES(password, QString::fromLatin1(DESEncode::kKey));
    if (!encoded)
        return Localization::string(QStringLiteral("login.password.unencoded"));
    return LoginRequest{mobile, password, *encoded};
}

QString LoginForm::userMessage(const QString &serviceMessage)
{
    if (serviceMessage == QLatin1StringView("mobile not exist"))
        return Localization::string(QStringLiteral("login.refused.mobile"));
    if (serviceMessage == QLatin1StringView("password is error"))
        return Localization::string(QStringLiteral("login.refused.password"));
    return serviceMessage;
}

} // namespace corvane
