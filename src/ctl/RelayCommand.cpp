#include "ctl/RelayCommand.h"

#include "core/vpn/CustomRelay.h"
#include "ctl/PasswordInput.h"

namespace corvane {

namespace {
const QCommandLineOption kMethod(QStringLiteral("method"),
                                 QStringLiteral("The relay's method: chacha20 or "
                                                "chacha20-ietf-poly1305 (set)."),
                                 QStringLiteral("method"));
const QCommandLineOption kPasswordStdin(
    QStringLiteral("password-stdin"),
    QStringLiteral("Read the relay's password from the first line of standard input instead of "
                   "asking on the terminal (set)."));
const QString kSeeHelp = QStringLiteral("\nSee: corvanectl relay --help");
} // namespace

RelayCommand::RelayCommand(QObject *parent) : CtlCommand(QStringLiteral("relay"), parent) {}

RelayCommand::~RelayCommand() = default;

QString RelayCommand::summary() const
{
    return QStringLiteral("Set, show or reset your own relay for quick connect.");
}

void RelayCommand::declare(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("action"),
                                 QStringLiteral("set HOST PORT, show, or reset (back to the "
                                                "built-in relay)."),
                                 QStringLiteral("set HOST PORT|show|reset"));
    parser.addOptions({kMethod, kPasswordStdin});
}

void RelayCommand::run(const QCommandLineParser &parser)
{
    const QStringList words = parser.positionalArguments();
    const QString action = words.value(0);
    if (action == QLatin1StringView("set") && words.size() == 3) {
        set(parser, words);
    } else if (action == QLatin1StringView("show") && words.size() == 1) {
        show();
    } else if (action == QLatin1StringView("reset") && words.size() == 1) {
        if (!CustomRelay::onSharedSettings().reset()) {
            finish(CtlExit::notStored, QStringLiteral("the settings file could not be written"));
            return;
        }
        show();
    } else {
        finish(CtlExit::usage,
               QStringLiteral("relay takes set HOST PORT, show or reset") + kSeeHelp);
    }
}

void RelayCommand::set(const QCommandLineParser &parser, const QStringList &words)
{
    bool ok = false;
    const uint port = words.at(2).toUInt(&ok);
    const CustomRelay::Address address{
        words.at(1), static_cast<quint16>(ok && port <= 65535 ? port : 0), parser.value(kMethod)};
    if (const std::optional<QString> problem = CustomRelay::problem(address)) {
        finish(CtlExit::usage, *problem + kSeeHelp);
        return;
    }
    QString password;
    if (parser.isSet(kPasswordStdin)) {
        password = PasswordInput::fromStandardInput();
    } else if (const std::optional<QString> typed =
                   PasswordInput::prompt(QStringLiteral("relay password: "))) {
        password = *typed;
    } else {
        finish(CtlExit::usage,
               QStringLiteral("no terminal to ask for the password on: use --password-stdin"));
        return;
    }
    CustomRelay::onSharedSettings().set(address, password, [this](bool kept) {
        if (!kept) {
            finish(CtlExit::notStored, QStringLiteral("the relay could not be stored (the line "
                                                      "above says why)"));
            return;
        }
        show();
    });
}

void RelayCommand::show()
{
    const std::optional<CustomRelay::Address> address = CustomRelay::onSharedSettings().address();
    finish(CtlExit::done, address ? QStringLiteral("relay: %1 %2 %3")
                                        .arg(address->host)
                                        .arg(address->port)
                                        .arg(address->method)
                                  : QStringLiteral("relay: built-in"));
}

} // namespace corvane
