#pragma once

#include "platform/settings/SettingsStore.h"

namespace corvane {

// The autoReconnect setting: whether a tunnel that went down by itself is brought back. On
// unless turned off, so a missing or unreadable value keeps the tunnel up.
class ReconnectSetting final
{
public:
    ReconnectSetting() = delete;

    static inline const QString kKey = QStringLiteral("autoReconnect");

    static bool enabled(const SettingsStore &store);
    // False if the settings file could not be written.
    static bool setEnabled(SettingsStore &store, bool on);
};

} // namespace corvane
