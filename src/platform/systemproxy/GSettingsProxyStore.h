#pragma once

#include "platform/systemproxy/ProxyKeyStore.h"

#include <QHash>

typedef struct _GSettings GSettings;

namespace corvane {

// org.gnome.system.proxy and its http, https and socks children, through GIO's GSettings, which
// GNOME, Cinnamon, MATE, Budgie, libproxy, Firefox ("use system proxy settings") and Chromium
// read. Values are GVariant text, so a value is given back with its type exactly.
class GSettingsProxyStore final : public ProxyKeyStore
{
public:
    // Only when available().
    GSettingsProxyStore();
    ~GSettingsProxyStore() override;
    Q_DISABLE_COPY_MOVE(GSettingsProxyStore)

    // The proxy schemas are installed and settings are kept somewhere (not GIO's memory
    // stand-in, which forgets them with the process and tells no other program).
    static bool available();
    // Whether `key` is one Corvane writes.
    static bool writes(const Key &key);

    QString name() const override { return QStringLiteral("gsettings"); }
    QList<Value> planned(SystemProxy::Ports ports) const override;
    bool accepts(const Key &key, const QString &text) const override;
    std::optional<QString> read(const Key &key) const override;
    std::optional<QString> stage(const Key &key, const std::optional<QString> &text) override;
    std::optional<QString> commit() override;

private:
    GSettings *settings(const QString &group) const;

    QHash<QString, GSettings *> m_settings;
};

} // namespace corvane
