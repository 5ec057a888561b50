#include "ctl/SystemWideCommand.h"

#include "launch/LocaleText.h"
#include "platform/systemwide/SystemWideService.h"

namespace corvane {

SystemWideCommand::SystemWideCommand(QObject *parent)
    : CtlCommand(QStringLiteral("system-wide"), parent)
{}

SystemWideCommand::~SystemWideCommand() = default;

QString SystemWideCommand::summary() const
{
    return LocaleText::text(QStringLiteral("system-wide.summary"));
}

void SystemWideCommand::declare(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("repair"),
                                 LocaleText::text(QStringLiteral("system-wide.argument")),
                                 QStringLiteral("repair"));
}

void SystemWideCommand::run(const QCommandLineParser &parser)
{
    if (parser.positionalArguments() != QStringList{QStringLiteral("repair")}) {
        finish(CtlExit::usage, LocaleText::text(QStringLiteral("system-wide.takes-repair")));
        return;
    }
    SystemWideService::down(this, [this](const SystemWideService::Outcome &outcome) {
        switch (outcome.kind) {
        case SystemWideService::Outcome::Kind::done:
            finish(CtlExit::done, LocaleText::text(QStringLiteral("system-wide.repaired")));
            return;
        case SystemWideService::Outcome::Kind::absent:
            finish(CtlExit::tunnelFailed,
                   LocaleText::text(QStringLiteral("system-wide.not-installed-1"))
                       .arg(outcome.message));
            return;
        case SystemWideService::Outcome::Kind::refused:
            break;
        }
        finish(CtlExit::tunnelFailed,
               LocaleText::text(QStringLiteral("system-wide.refused-1")).arg(outcome.message));
    });
}

} // namespace corvane
