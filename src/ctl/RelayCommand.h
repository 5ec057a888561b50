#pragma once

#include "ctl/CtlCommand.h"

namespace corvane {

// corvanectl relay set HOST PORT --method M --password-stdin | show | reset: the relay of the
// customer's own that quick connect uses in place of the built-in one.
class RelayCommand final : public CtlCommand
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RelayCommand)

public:
    explicit RelayCommand(QObject *parent = nullptr);
    ~RelayCommand() override;

    QString summary() const override;

protected:
    Words words() const override { return Words::accepted; }
    void declare(QCommandLineParser &parser) override;
    void run(const QCommandLineParser &parser) override;

private:
    void set(const QCommandLineParser &parser, const QStringList &words);
    void show();
};

} // namespace corvane
