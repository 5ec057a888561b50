#include "ctl/ConfigCommand.h"

#include "platform/settings/ReconnectSetting.h"

namespace corvane {

namespace {
const QCommandLineOption kJson(QStringLiteral("json"),
                               QStringLiteral("Print the setting as one JSON object."));
const QString kAutoReconnect = QStringLiteral("auto-reconnect");
} // namespace

ConfigCommand::ConfigCommand(QObject *parent) : CtlCommand(QStringLiteral("config"), parent) {}

ConfigCommand::~ConfigCommand() = default;

QString ConfigCommand::summary() const
{
    return QStringLiteral("Show or set auto-reconnect (on by default).");
}

void ConfigCommand::declare(QCommandLineParser &parser)
{
    parser.addPositionalArgument(kAutoReconnect,
                                 QStringLiteral("Bring a tunnel that went down by itself back "
                                                "(on), or leave it off (off); shown without."),
                                 QStringLiteral("auto-reconnect [on|off]"));
    parser.addOption(kJson);
}

void ConfigCommand::run(const QCommandLineParser &parser)
{
    const QStringList words = parser.positionalArguments();
    const QString value = words.value(1);
    if (words.value(0) != kAutoReconnect || words.size() > 2 ||
        (words.size() == 2 && value != u"on" && value != u"off")) {
        finish(CtlExit::usage, QStringLiteral("config takes auto-reconnect [on|off]\nSee: "
                                              "corvanectl config --help"));
        return;
    }
    SettingsStore &store = SettingsStore::shared();
    if (words.size() == 2 && !ReconnectSetting::setEnabled(store, value == u"on")) {
        finish(CtlExit::notStored, QStringLiteral("the settings file could not be written"));
        return;
    }
    const bool enabled = ReconnectSetting::enabled(store);
    if (parser.isSet(kJson)) {
        printJson({{ReconnectSetting::kKey, enabled}});
        finish(CtlExit::done);
        return;
    }
    finish(CtlExit::done, kAutoReconnect + QStringLiteral(": ") +
                              (enabled ? QStringLiteral("on") : QStringLiteral("off")));
}

} // namespace corvane
