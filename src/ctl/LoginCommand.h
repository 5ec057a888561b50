#pragma once

#include "ctl/CtlCommand.h"

#include <memory>

namespace corvane {

class SCLoginClient;

// corvanectl login: signs in as the sign-in screen does and stores the credentials the same
// way, so later commands (and the window) start signed in.
class LoginCommand final : public CtlCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginCommand)

public:
    explicit LoginCommand(QObject *parent = nullptr);
    ~LoginCommand() override;

    QString summary() const override;

protected:
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;

private:
    std::unique_ptr<SCLoginClient> m_client;
    // The service has answered and the credentials are being stored.
    bool m_storing = false;
};

} // namespace corvane
