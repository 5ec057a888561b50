#include "platform/settings/ReconnectSetting.h"

namespace corvane {

bool ReconnectSetting::enabled(const SettingsStore &store)
{
    return store.object(kKey).toBool(true);
}

bool ReconnectSetting::setEnabled(SettingsStore &store, bool on)
{
    return store.setObject(on, kKey);
}

} // namespace corvane
