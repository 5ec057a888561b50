#pragma once

#include "DeviceLease.h"

#include <QObject>

namespace corvane {

// The TUN device from corvane-netd on the system bus, which asks polkit first.
class NetdLease final : public QObject, public DeviceLease
{
    Q_OBJECT

public:
    using QObject::QObject;

    void bringUp(const QStringList &relays, bool ipv6, std::function<void(Answer)> done) override;
    void bringDown() override;
};

} // namespace corvane
