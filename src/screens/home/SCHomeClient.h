#pragma once

#include "core/home/PublicAddressLookup.h"
#include "core/network/SCBaseClient.h"

#include <QPair>
#include <QString>

namespace corvane {

class SCHomeViewController;

// The home screen's client: the signed string each connect carries and the public-address
// lookup whose answer it writes into the screen's address and place labels. Its success and
// failure callbacks are not used.
class SCHomeClient final : public SCBaseClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SCHomeClient)

public:
    explicit SCHomeClient(SCHomeViewController &home);
    ~SCHomeClient() override;

    // For the screen's chosen order and province and the manager's current choices and uid,
    // signed at this moment. The screen has an order whenever it asks.
    QString makeAuthString() const;
    // Starts a lookup (cancelling one in flight) and hands back at once the texts to show
    // until its answer arrives: "IP解析中" and an empty place.
    QPair<QString, QString> lookupPublicAddress();

    // The lookup in flight, if any.
    PublicAddressLookup request;

private:
    void showAnswer(const PublicAddressLookup::Outcome &outcome);
    SCHomeViewController *home() const;
};

} // namespace corvane
