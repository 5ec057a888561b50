#include "ctl/ModeCommand.h"

#include "core/vpn/SystemProxyFollower.h"
#include "launch/LocaleText.h"
#include "platform/settings/SettingsStore.h"

namespace corvane {

namespace {
const QCommandLineOption kJson(QStringLiteral("json"),
                               LocaleText::text(QStringLiteral("mode.print-as-json")));
} // namespace

ModeCommand::ModeCommand(TunnelProfileStore &store, QObject *parent)
    : TunnelCommand(QStringLiteral("mode"), store, parent)
{}

ModeCommand::~ModeCommand() = default;

QString ModeCommand::summary() const
{
    return LocaleText::text(QStringLiteral("mode.summary"));
}

void ModeCommand::declare(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("mode"),
                                 LocaleText::text(QStringLiteral("mode.argument")),
                                 QStringLiteral("[local|system|system-wide]"));
    parser.addOption(kJson);
}

void ModeCommand::run(const QCommandLineParser &parser)
{
    m_json = parser.isSet(kJson);
    const QStringList words = parser.positionalArguments();
    const std::optional<ProxyModeSetting::Mode> asked =
        words.size() == 1 ? ProxyModeSetting::parse(words.first()) : std::nullopt;
    if (words.size() > 1 || (words.size() == 1 && !asked)) {
        finish(CtlExit::usage,
               LocaleText::text(QStringLiteral("mode.takes-local-system-or-system-wide")));
        return;
    }
    // Once the tunnel's status is known, so that a change while it is on takes effect now.
    session().snapshot([this, asked](const TunnelSession::Snapshot &) {
        if (asked) {
            SystemProxyFollower *follower = session().follower();
            const bool kept = follower ? follower->setMode(*asked)
                                       : ProxyModeSetting(SettingsStore::shared()).set(*asked);
            if (!kept) {
                finish(CtlExit::notStored,
                       LocaleText::text(QStringLiteral("mode.the-settings-file-could-not")));
                return;
            }
        }
        report();
    });
}

void ModeCommand::report()
{
    const ProxyModeSetting::Mode mode = ProxyModeSetting(SettingsStore::shared()).mode();
    const SystemProxyFollower *follower = session().follower();
    const bool available = follower && follower->available();
    const bool pointsHere = follower && follower->pointsHere();
    if (m_json) {
        printJson({{QStringLiteral("mode"), ProxyModeSetting::name(mode)},
                   {QStringLiteral("systemProxyAvailable"), available},
                   {QStringLiteral("systemProxyPointsHere"), pointsHere}});
    } else {
        printLine(ProxyModeSetting::name(mode));
        if (mode == ProxyModeSetting::Mode::system && !available)
            printLine(LocaleText::text(QStringLiteral("mode.no-system-proxy-here")));
    }
    finish(CtlExit::done);
}

} // namespace corvane
