#include "screens/home/SCHomeClient.h"

#include "core/home/AuthString.h"
#include "core/home/ServiceTunnel.h"
#include "core/vpn/VpnManager.h"
#include "screens/home/SCHomeViewController.h"

#include <QLabel>

namespace corvane {

SCHomeClient::SCHomeClient(SCHomeViewController &home) : SCBaseClient(home) {}

SCHomeClient::~SCHomeClient() = default;

SCHomeViewController *SCHomeClient::home() const
{
    return qobject_cast<SCHomeViewController *>(viewController.data());
}

QString SCHomeClient::makeAuthString() const
{
    const SCHomeViewController *screen = home();
    if (!screen || !screen->currentOrder)
        return {};
    return corvane::makeAuthString(
        ServiceTunnel::authFields(*screen->currentOrder, screen->pid, VpnManager::shared()));
}

QPair<QString, QString> SCHomeClient::lookupPublicAddress()
{
    request.start([this](const PublicAddressLookup::Outcome &outcome) { showAnswer(outcome); });
    return {QStringLiteral("IP解析中"), QString()};
}

void SCHomeClient::showAnswer(const PublicAddressLookup::Outcome &outcome)
{
    SCHomeViewController *screen = home();
    if (!screen)
        return;
    if (outcome.failed) {
        if (screen->IPLbl)
            screen->IPLbl->setText(QStringLiteral("IP连接异常"));
        if (screen->addressLbl)
            screen->addressLbl->clear();
        return;
    }
    if (!outcome.answer)
        return;
    if (screen->IPLbl)
        screen->IPLbl->setText(outcome.answer->addressText());
    if (screen->addressLbl)
        screen->addressLbl->setText(outcome.answer->placeText());
}

} // namespace corvane
