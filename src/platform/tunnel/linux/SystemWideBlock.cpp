#include "platform/tunnel/linux/SystemWideBlock.h"

#include "platform/log/Log.h"
#include "platform/systemwide/SystemWideService.h"

#include <QFile>

namespace corvane {

bool SystemWideBlock::isLeftBy(const TunnelChannel &channel)
{
    return QFile::exists(channel.blockPath());
}

void SystemWideBlock::release(QObject *context, const TunnelChannel &channel)
{
    if (!isLeftBy(channel))
        return;
    SystemWideService::down(
        context, [path = channel.blockPath()](const SystemWideService::Outcome &outcome) {
            if (outcome.kind != SystemWideService::Outcome::Kind::done) {
                Log::warning(QStringLiteral("Cannot give the machine's networking back: ") +
                             outcome.message);
                return;
            }
            QFile::remove(path);
            Log::info(QStringLiteral("Gave the machine's networking back"));
        });
}

} // namespace corvane
