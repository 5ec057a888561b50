#include "platform/tunnel/linux/TrafficLines.h"

#include <QList>

namespace corvane {

namespace {
// A destination's name comes from the client: at most 255 bytes, any of them.
QByteArray encoded(const QString &text)
{
    return text.toUtf8().toPercentEncoding(QByteArrayLiteral(":/[]="));
}

QString decoded(const QByteArray &field)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field));
}

std::optional<QList<quint64>> numbers(const QList<QByteArray> &fields, qsizetype from,
                                      qsizetype count)
{
    QList<quint64> values;
    for (qsizetype i = from; i < from + count; ++i) {
        bool ok = false;
        values << fields.value(i).toULongLong(&ok);
        if (!ok)
            return std::nullopt;
    }
    return values;
}
} // namespace

QByteArray TrafficLines::trafficLine(const TunnelTraffic &traffic)
{
    QByteArray line("traffic");
    for (const quint64 value : {traffic.up, traffic.down, traffic.upRate, traffic.downRate,
                                traffic.relayUp, traffic.relayDown})
        line += ' ' + QByteArray::number(value);
    return line + '\n';
}

std::optional<TunnelTraffic> TrafficLines::parseTrafficLine(QByteArrayView line)
{
    const QList<QByteArray> fields = line.toByteArray().split(' ');
    if (fields.value(0) != "traffic")
        return std::nullopt;
    const std::optional<QList<quint64>> values = numbers(fields, 1, 6);
    if (!values)
        return std::nullopt;
    const QList<quint64> &v = *values;
    return TunnelTraffic{v[0], v[1], v[2], v[3], v[4], v[5]};
}

QByteArray TrafficLines::connectionLine(const TunnelConnectionInfo &connection)
{
    return "connection " + QByteArray(connection.relayed ? "relay " : "direct ") +
           QByteArray::number(connection.up) + ' ' + QByteArray::number(connection.down) + ' ' +
           QByteArray::number(connection.ageSeconds) + ' ' + encoded(connection.rule) + ' ' +
           encoded(connection.destination) + '\n';
}

std::optional<TunnelConnectionInfo> TrafficLines::parseConnectionLine(QByteArrayView line)
{
    const QList<QByteArray> fields = line.toByteArray().split(' ');
    if (fields.size() != 7 || fields[0] != "connection" ||
        (fields[1] != "relay" && fields[1] != "direct"))
        return std::nullopt;
    const std::optional<QList<quint64>> values = numbers(fields, 2, 3);
    if (!values)
        return std::nullopt;
    return TunnelConnectionInfo{decoded(fields[6]),   decoded(fields[5]),
                                fields[1] == "relay", (*values)[0],
                                (*values)[1],         static_cast<qint64>((*values)[2])};
}

} // namespace corvane
