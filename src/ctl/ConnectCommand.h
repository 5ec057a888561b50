#pragma once

#include "core/model/SCOrderContent.h"
#include "ctl/TunnelCommand.h"

namespace corvane {

class StoredSignIn;

// corvanectl connect: the home screen's connect for one order, province, de-duplication rule
// and abnormal-IP switch, a step after the command, as the button does.
class ConnectCommand final : public TunnelCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConnectCommand)

public:
    explicit ConnectCommand(TunnelProfileStore &store, QObject *parent = nullptr);
    ~ConnectCommand() override;

    QString summary() const override;

protected:
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;

private:
    struct Choices
    {
        QString orderId;
        qint64 provinceIndex = -1;
        qint64 nd = 0;
        qint64 sip = 0;
        bool wait = false;
        bool json = false;
    };

    std::optional<Choices> read(const QCommandLineParser &parser);
    void connectWith(const std::shared_ptr<SCOrderContent> &orders);
    void follow(VPNStatus status);

    StoredSignIn *m_signIn;
    Choices m_choices;
    bool m_started = false;
    bool m_sawProgress = false;
};

} // namespace corvane
