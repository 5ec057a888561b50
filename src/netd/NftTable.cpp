#include "NftTable.h"

#include "NetdConstants.h"

#include <QProcess>

using namespace Qt::StringLiterals;

namespace corvane::netd {

namespace {

// Declaring the table first makes the delete succeed whether or not it was there.
constexpr auto kRemove = "table inet corvane\ndelete table inet corvane\n";

std::optional<QString> run(const QByteArray &script)
{
    QProcess nft;
    nft.setProcessChannelMode(QProcess::MergedChannels);
    nft.start(QStringLiteral(CORVANE_NFT_PROGRAM), {u"-f"_s, u"-"_s});
    if (!nft.waitForStarted())
        return u"nft could not be started: "_s + nft.errorString();
    nft.write(script);
    nft.closeWriteChannel();
    nft.waitForFinished();
    if (nft.exitStatus() != QProcess::NormalExit || nft.exitCode() != 0)
        return u"nft refused the table: "_s + QString::fromLocal8Bit(nft.readAll()).trimmed();
    return std::nullopt;
}

} // namespace

std::optional<QString> NftTable::install()
{
    // Nothing but the device itself may hand packets to its addresses, where the helper's
    // listeners wait: a neighbour on the LAN routing them to this machine is dropped.
    const QByteArray device = kDeviceName;
    const QByteArray script =
        QByteArray(kRemove) +
        "table inet corvane {\n"
        "  chain guard {\n"
        "    type filter hook prerouting priority raw; policy accept;\n"
        "    iifname != \"" +
        device + "\" ip daddr " + kNetwork4 + "/" + QByteArray::number(kPrefix4) +
        " fib saddr type != local drop\n"
        "    iifname != \"" +
        device + "\" ip6 daddr " + kNetwork6 + "/" + QByteArray::number(kPrefix6) +
        " fib saddr type != local drop\n"
        "  }\n"
        "}\n";
    return run(script);
}

std::optional<QString> NftTable::remove()
{
    return run(kRemove);
}

} // namespace corvane::netd
