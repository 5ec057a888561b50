#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace corvane {

// One customer of the demo service, with the order list the sign-in answers.
struct DemoAccount
{
    QString mobile;
    QString password;
    QString userName;
    // The "result" of a successful sign-in: {"secret": …, "orderInfoList": [...]}.
    QJsonObject orders;
};

// The three demo customers. Each has a traffic order, a bandwidth order of each period (a
// month, a quarter, a year) and a trial order; dates run from `now`, so nothing has expired.
QList<DemoAccount> demoAccounts(const QDateTime &now);

} // namespace corvane
