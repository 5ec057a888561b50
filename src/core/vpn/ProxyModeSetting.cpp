#include "core/vpn/ProxyModeSetting.h"

#include "platform/log/Log.h"
#include "platform/settings/SettingsStore.h"

namespace corvane {

ProxyModeSetting::Mode ProxyModeSetting::mode() const
{
    const std::optional<QString> stored = m_store.string(kKey);
    if (!stored)
        return Mode::local;
    if (const std::optional<Mode> known = parse(*stored))
        return *known;
    // Read at every status change: one line per value is enough.
    static QString logged;
    if (std::exchange(logged, *stored) != *stored)
        Log::warning(QStringLiteral("Unknown \"%1\" value \"%2\" in %3; using local")
                         .arg(kKey, *stored, m_store.filePath()));
    return Mode::local;
}

bool ProxyModeSetting::set(Mode mode)
{
    return m_store.setObject(name(mode), kKey);
}

QString ProxyModeSetting::name(Mode mode)
{
    switch (mode) {
    case Mode::system:
        return QStringLiteral("system");
    case Mode::systemWide:
        return QStringLiteral("system-wide");
    case Mode::local:
        break;
    }
    return QStringLiteral("local");
}

std::optional<ProxyModeSetting::Mode> ProxyModeSetting::parse(const QString &name)
{
    for (const Mode mode : {Mode::local, Mode::system, Mode::systemWide}) {
        if (name == ProxyModeSetting::name(mode))
            return mode;
    }
    return std::nullopt;
}

} // namespace corvane
