#include "core/vpn/TunnelTexts.h"

#include "platform/resources/Localization.h"

namespace corvane {

QString TunnelTexts::connecting()
{
    return Localization::string(QStringLiteral("connect.ing"));
}

QString TunnelTexts::disconnecting()
{
    return Localization::string(QStringLiteral("connect.dis"));
}

QString TunnelTexts::switching()
{
    return Localization::string(QStringLiteral("switching"));
}

QString TunnelTexts::reconnecting()
{
    return Localization::string(QStringLiteral("reconnecting"));
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

QString TunnelTexts::connectFailure(const TunnelError &error)
{
    const QString cannotStart = QStringLiteral("无法启动隧道：");
    switch (error.kind) {
    case TunnelError::Kind::store:
        return cannotStart + QStringLiteral("无法保存隧道配置");
    case TunnelError::Kind::rules:
        return cannotStart + QStringLiteral("缺少规则文件");
    case TunnelError::Kind::runtimeFolder:
        return cannotStart + QStringLiteral("没有可用的运行目录");
    case TunnelError::Kind::helperMissing:
        return cannotStart + QStringLiteral("找不到隧道程序");
    case TunnelError::Kind::helperNotRunnable:
        return cannotStart + QStringLiteral("隧道程序无法运行");
    case TunnelError::Kind::stillStopping:
        return cannotStart + QStringLiteral("上一个隧道仍在断开，请稍后再试");
    case TunnelError::Kind::other:
        break;
    }
    return cannotStart + QStringLiteral("详情见日志");
}

QString TunnelTexts::endReason(const TunnelEndReason &reason)
{
    if (reason.kind == TunnelEndReason::Kind::refused)
        return reason.detail.isEmpty() ? QStringLiteral("隧道被服务拒绝")
                                       : QStringLiteral("隧道被服务拒绝：") + reason.detail;
    if (reason.kind == TunnelEndReason::Kind::systemWide)
        return reason.detail.isEmpty() ? QStringLiteral("无法开启全局模式")
                                       : QStringLiteral("无法开启全局模式：") + reason.detail;
    const QString cause = endCause(reason);
    return cause.isEmpty() ? QStringLiteral("隧道已断开") : QStringLiteral("隧道已断开：") + cause;
}

QString TunnelTexts::endCause(const TunnelEndReason &reason)
{
    switch (reason.kind) {
    case TunnelEndReason::Kind::port:
        return QStringLiteral("本地代理端口已被占用");
    case TunnelEndReason::Kind::unreachable:
        return QStringLiteral("无法连接到隧道服务器");
    case TunnelEndReason::Kind::protocol:
        return QStringLiteral("隧道服务器的应答不符合协议");
    case TunnelEndReason::Kind::lost:
        return QStringLiteral("与隧道服务器的连接中断");
    case TunnelEndReason::Kind::refused:
    case TunnelEndReason::Kind::systemWide:
    case TunnelEndReason::Kind::other:
        break;
    }
    return {};
}

QString TunnelTexts::trafficBlocked(const std::optional<TunnelEndReason> &why)
{
    const QString blocked = Localization::string(QStringLiteral("systemWide.blocked"));
    const QString cause = why ? endCause(*why) : QString();
    return cause.isEmpty() ? blocked
                           : blocked + QStringLiteral("（") + cause + QStringLiteral("）");
}

} // namespace corvane
