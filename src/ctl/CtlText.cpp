#include "ctl/CtlText.h"

#include "launch/LocaleText.h"

#include <QHash>

namespace corvane {

bool CtlText::chinese()
{
    return LocaleText::chinese();
}

QString CtlText::pick(const QString &english, const QString &chinese)
{
    return LocaleText::pick(english, chinese);
}

QString CtlText::message(const QString &text)
{
    if (chinese())
        return text;
    static const QHash<QString, QString> english{
        {QStringLiteral("请输入手机号码"), QStringLiteral("enter the mobile number")},
        {QStringLiteral("请输入正确手机号码（11位数字）"),
         QStringLiteral("enter a valid mobile number (11 digits)")},
        {QStringLiteral("请输入密码"), QStringLiteral("enter the password")},
        {QStringLiteral("密码过长，请输入较短的密码"),
         QStringLiteral("the password is too long: enter a shorter one")},
        {QStringLiteral("密码加密失败，无法登录"),
         QStringLiteral("the password could not be encrypted: cannot sign in")},
        {QStringLiteral("该手机号不存在"), QStringLiteral("no account with this mobile number")},
        {QStringLiteral("密码错误，请重新输入"), QStringLiteral("wrong password, try again")},
        {QStringLiteral("请求服务器失败"), QStringLiteral("the service could not be reached")},
        {QStringLiteral("数据解析失败"), QStringLiteral("the service's answer could not be read")},
    };
    return english.value(text, text);
}

} // namespace corvane
