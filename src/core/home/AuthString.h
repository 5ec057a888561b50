#pragma once

#include <QString>
#include <optional>

namespace corvane {

// Everything the signed authentication string of one connect carries.
struct AuthFields
{
    QString orderId;
    // Signs the string; never part of it.
    QString secret;
    qint64 time = 0;
    // -1: no particular province, and no "pid" field.
    qint64 provinceIndex = -1;
    qint64 nd = 0;
    qint64 sip = 0;
    quint32 uid = 0;
};

// "orderId=…&time=…&sign=…[&pid=…]&nd=…&sip=…&uid=…", where sign is the lowercase hex MD5 of
// "orderId=…&secret=…&time=…". The service checks the fields in this order, unescaped.
QString makeAuthString(const AuthFields &fields);

// Whole seconds since 1970-01-01 00:00 UTC, the clock the service checks the string against.
qint64 authTimeNow();

// What a signed string says, read back from it: the service checks it this way, and a tunnel's
// stored configuration tells which order and choices it runs with. Texts stay as they were
// written, so the signature can be checked over them.
struct AuthStringFields
{
    QString orderId;
    QString time;
    QString sign;
    // None when the string names no province ("pid").
    std::optional<qint64> provinceIndex;
    qint64 nd = 0;
    qint64 sip = 0;
    QString uid;
};

// None unless orderId, time, sign, nd, sip and uid are all there (time, nd, sip, uid and the
// province ("pid") as whole numbers).
std::optional<AuthStringFields> parseAuthString(const QString &text);

} // namespace corvane
