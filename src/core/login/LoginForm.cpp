#include "core/login/LoginForm.h"

#include "core/crypto/DESEncode.h"
#include "core/state/LocalState.h"

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
        return QStringLiteral("请输入手机号码");
    const QString mobile = LocalState::trimmed(typedMobile);
    if (userPerceivedLength(mobile) != kMobileLength)
        return QStringLiteral("请输入正确手机号码（11位数字）");
    if (typedPassword.isEmpty())
        return QStringLiteral("请输入密码");
    const QString password = LocalState::trimmed(typedPassword);
    if (password.toUtf8().size() >= DESEncode::kOutputLimit)
        return QStringLiteral("密码过长，请输入较短的密码");
    const std::optional<QString> encoded =
        DESEncode::encryptUseDES(password, QString::fromLatin1(DESEncode::kKey));
    if (!encoded)
        return QStringLiteral("密码加密失败，无法登录");
    return LoginRequest{mobile, password, *encoded};
}

QString LoginForm::userMessage(const QString &serviceMessage)
{
    if (serviceMessage == QLatin1StringView("mobile not exist"))
        return QStringLiteral("该手机号不存在");
    if (serviceMessage == QLatin1StringView("password is error"))
        return QStringLiteral("密码错误，请重新输入");
    return serviceMessage;
}

} // namespace corvane
