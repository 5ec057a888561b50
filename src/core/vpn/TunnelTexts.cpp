#include "core/vpn/TunnelTexts.h"

#include "platform/resources/Localization.h"

namespace corvane {

QString TunnelTexts::connecting()
{
    return QStringLiteral("连接中...");
}

QString TunnelTexts::disconnecting()
{
    return QStringLiteral("断开中...");
}

QString TunnelTexts::switching()
{
    return QStringLiteral("切换中...");
}

QString TunnelTexts::buttonTitle(VPNStatus status, bool changing)
{
    switch (status) {
    case VPNStatus::off:
        return changing ? connecting() : Localization::string(QStringLiteral("connect"));
    case VPNStatus::connecting:
        return connecting();
    case VPNStatus::on:
        return changing ? switching() : Localization::string(QStringLiteral("disconnect"));
    case VPNStatus::disconnecting:
        return changing ? connecting() : disconnecting();
    }
    return {};
}

QString TunnelTexts::statusLine(VPNStatus status)
{
    switch (status) {
    case VPNStatus::off:
        return Localization::string(QStringLiteral("connect.off"));
    case VPNStatus::connecting:
        return Localization::string(QStringLiteral("connect.ing"));
    case VPNStatus::on:
        return Localization::string(QStringLiteral("connect.on"));
    case VPNStatus::disconnecting:
        return Localization::string(QStringLiteral("connect.dis"));
    }
    return {};
}

} // namespace corvane
