#pragma once

#include <QString>

namespace corvane {

// Everything the signed authentication string of one connect carries.
struct AuthFields
{
    QString orderId;
    // Signs the string; never part of it.
    QString secret;
    qint64 time = 0;
    // -1: no particular province, and no "pid" field.
    qint64 pid = -1;
    qint64 nd = 0;
    qint64 sip = 0;
    quint32 uid = 0;
};

// "orderId=…&time=…&sign=…[&pid=…]&nd=…&sip=…&uid=…", where sign is the lowercase hex MD5 of
// "orderId=…&secret=…&time=…". The service checks the fields in this order, unescaped.
QString makeAuthString(const AuthFields &fields);

// Whole seconds since 1970-01-01 00:00 UTC, the clock the service checks the string against.
qint64 authTimeNow();

} // namespace corvane
