#include "DemoService.h"

#include "core/crypto/DESEncode.h"
#include "core/home/AuthString.h"
#include "core/province/ProvinceFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace corvane {

namespace {

QJsonObject success(const QJsonValue &result)
{
    return QJsonObject{{QStringLiteral("code"), 0},
                       {QStringLiteral("message"), QStringLiteral("success")},
                       {QStringLiteral("result"), result}};
}

QJsonObject failure(int code, const QString &message)
{
    return QJsonObject{{QStringLiteral("code"), code},
                       {QStringLiteral("message"), message},
                       {QStringLiteral("result"), QJsonValue::Null}};
}

} // namespace

DemoService::DemoService(Clock clock, quint32 seed)
    : m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentSecsSinceEpoch(); })),
      m_accounts(demoAccounts(QDateTime::fromSecsSinceEpoch(m_clock()))),
      m_addresses(ProvinceFile::load().value_or(QStringList()), seed)
{}

QJsonObject DemoService::signIn(const QByteArray &body) const
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    const QJsonObject request = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        !request.value(QLatin1StringView("mobile")).isString() ||
        !request.value(QLatin1StringView("password")).isString()) {
        return failure(400, QStringLiteral("request body must be a JSON object with the text "
                                           "members mobile and password"));
    }
    const QString mobile = request.value(QLatin1StringView("mobile")).toString();
    const auto account = std::find_if(m_accounts.cbegin(), m_accounts.cend(),
                                      [&](const DemoAccount &a) { return a.mobile == mobile; });
    if (account == m_accounts.cend())
        return failure(500, QStringLiteral("mobile not exist"));
    const std::optional<QString> password =
        DESEncode::decryptUseDES(request.value(QLatin1StringView("password")).toString(),
                                 QString::fromLatin1(DESEncode::kKey));
    if (!password || *password != account->password)
        return failure(500, QStringLiteral("password is error"));
    return success(account->orders);
}

std::optional<QString> DemoService::secretOf(const QString &orderId) const
{
    for (const DemoAccount &account : m_accounts) {
        for (const QJsonValue &order :
             account.orders.value(QLatin1StringView("orderInfoList")).toArray()) {
            if (order[QLatin1StringView("orderId")].toString() == orderId)
                return order[QLatin1StringView("secret")].toString();
        }
    }
    return std::nullopt;
}

void DemoService::forgetOldUids(qint64 now)
{
    // A string older than the time tolerance is refused anyway, so its uid need not be kept.
    for (auto order = m_uids.begin(); order != m_uids.end(); ++order)
        order->removeIf(
            [now](const auto &seen) { return now - seen.value() > 2 * kTimeTolerance; });
}

QJsonObject DemoService::openTunnel(const QByteArray &authString)
{
    const qint64 now = m_clock();
    const std::optional<AuthStringFields> auth = parseAuthString(QString::fromUtf8(authString));
    if (!auth)
        return failure(400, QStringLiteral("auth is malformed"));
    const std::optional<QString> secret = secretOf(auth->orderId);
    if (!secret)
        return failure(500, QStringLiteral("order not exist"));
    const QString signing = QStringLiteral("orderId=") + auth->orderId +
                            QStringLiteral("&secret=") + *secret + QStringLiteral("&time=") +
                            auth->time;
    const QByteArray expected =
        QCryptographicHash::hash(signing.toUtf8(), QCryptographicHash::Md5).toHex();
    if (auth->sign.toLatin1() != expected)
        return failure(500, QStringLiteral("sign is error"));
    if (qAbs(now - auth->time.toLongLong()) > kTimeTolerance)
        return failure(500, QStringLiteral("time is expired"));
    forgetOldUids(now);
    QHash<QString, qint64> &uids = m_uids[auth->orderId];
    if (uids.contains(auth->uid))
        return failure(500, QStringLiteral("uid is reused"));
    auto granted =
        m_addresses.grant(auth->orderId, auth->provinceIndex.value_or(-1), auth->nd == 1, now);
    if (const auto *reason = std::get_if<QString>(&granted))
        return failure(500, *reason);
    uids.insert(auth->uid, now);
    const ExitAddressBook::ExitAddress exit = std::get<ExitAddressBook::ExitAddress>(granted);
    return success(QJsonObject{{QStringLiteral("ip"), exit.ip},
                               {QStringLiteral("cname"), exit.place},
                               {QStringLiteral("pid"), exit.province}});
}

QByteArray DemoService::lookupAnswer(const QString &peer) const
{
    const qint64 province = m_addresses.provinceOf(peer).value_or(-1);
    const QJsonObject answer{
        {QStringLiteral("cip"), peer},
        {QStringLiteral("cid"), province >= 0 ? QString::number(province) : QStringLiteral("CN")},
        {QStringLiteral("cname"), m_addresses.placeOf(province)}};
    return "var returnCitySN = " + QJsonDocument(answer).toJson(QJsonDocument::Compact) + ';';
}

} // namespace corvane
