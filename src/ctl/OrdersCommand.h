#pragma once

#include "ctl/CtlCommand.h"

namespace corvane {

class StoredSignIn;

// corvanectl orders: the orders the home screen offers, with its titles and residue texts.
class OrdersCommand final : public CtlCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OrdersCommand)

public:
    explicit OrdersCommand(QObject *parent = nullptr);
    ~OrdersCommand() override;

    QString summary() const override;

protected:
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;

private:
    StoredSignIn *m_signIn;
};

} // namespace corvane
