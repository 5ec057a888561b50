#include "platform/tunnel/linux/SystemWideBlock.h"

#include "platform/log/Log.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>

namespace corvane {

namespace {
constexpr int kPatienceMs = 10000;
} // namespace

bool SystemWideBlock::isLeftBy(const TunnelChannel &channel)
{
    return QFile::exists(channel.blockPath());
}

void SystemWideBlock::release(const TunnelChannel &channel)
{
    if (!isLeftBy(channel))
        return;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("com.corvane.Corvane.Network"),
        QStringLiteral("/com/corvane/Corvane/Network"),
        QStringLiteral("com.corvane.Corvane.Network1"), QStringLiteral("Down"));
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, kPatienceMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        Log::warning(QStringLiteral("Cannot give the machine's networking back: ") +
                     reply.errorMessage());
        return;
    }
    QFile::remove(channel.blockPath());
    Log::info(QStringLiteral("Gave the machine's networking back"));
}

} // namespace corvane
