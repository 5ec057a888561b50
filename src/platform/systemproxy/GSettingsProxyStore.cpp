#include "platform/systemproxy/GSettingsProxyStore.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <QStringList>

namespace corvane {

namespace {

const QString kSchema = QStringLiteral("org.gnome.system.proxy");
QString quoted(const QString &text)
{
    return u'\'' + text + u'\'';
}

// `text` as a value of `key`'s type in the schema (a reference of the caller's); null when it
// is not one.
GVariant *parsed(GSettings *settings, const QString &key, const QString &text)
{
    GSettingsSchema *schema = nullptr;
    g_object_get(settings, "settings-schema", &schema, nullptr);
    GVariant *value = nullptr;
    const QByteArray name = key.toUtf8();
    if (schema && g_settings_schema_has_key(schema, name.constData())) {
        GSettingsSchemaKey *schemaKey = g_settings_schema_get_key(schema, name.constData());
        value = g_variant_parse(g_settings_schema_key_get_value_type(schemaKey),
                                text.toUtf8().constData(), nullptr, nullptr, nullptr);
        if (value && !g_settings_schema_key_range_check(schemaKey, value)) {
            g_variant_unref(value);
            value = nullptr;
        }
        g_settings_schema_key_unref(schemaKey);
    }
    if (schema)
        g_settings_schema_unref(schema);
    return value;
}

QString printed(GVariant *value)
{
    gchar *text = g_variant_print(value, FALSE);
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

} // namespace

bool GSettingsProxyStore::writes(const Key &key)
{
    static const QList<Key> written{{kSchema, QStringLiteral("mode")},
                                    {kSchema, QStringLiteral("ignore-hosts")},
                                    {kSchema + QStringLiteral(".http"), QStringLiteral("host")},
                                    {kSchema + QStringLiteral(".http"), QStringLiteral("port")},
                                    {kSchema + QStringLiteral(".https"), QStringLiteral("host")},
                                    {kSchema + QStringLiteral(".https"), QStringLiteral("port")},
                                    {kSchema + QStringLiteral(".socks"), QStringLiteral("host")},
                                    {kSchema + QStringLiteral(".socks"), QStringLiteral("port")}};
    return written.contains(key);
}

bool GSettingsProxyStore::available()
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    GSettingsSchema *schema =
        source ? g_settings_schema_source_lookup(source, kSchema.toUtf8().constData(), TRUE)
               : nullptr;
    if (!schema)
        return false;
    g_settings_schema_unref(schema);
    GSettingsBackend *backend = g_settings_backend_get_default();
    const QByteArray type(g_type_name(reinterpret_cast<GTypeInstance *>(backend)->g_class->g_type));
    g_object_unref(backend);
    if (type == "GMemorySettingsBackend" || type == "GNullSettingsBackend")
        return false;
    // dconf's writes go through its service on the session bus: without one they are lost.
    if (type != "DConfSettingsBackend")
        return true;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus)
        g_object_unref(bus);
    return bus != nullptr;
}

GSettingsProxyStore::GSettingsProxyStore()
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    for (const QString &child :
         {QString(), QStringLiteral(".http"), QStringLiteral(".https"), QStringLiteral(".socks")}) {
        GSettingsSchema *schema = source ? g_settings_schema_source_lookup(
                                               source, (kSchema + child).toUtf8().constData(), TRUE)
                                         : nullptr;
        if (!schema)
            continue;
        m_settings.insert(kSchema + child, g_settings_new_full(schema, nullptr, nullptr));
        g_settings_schema_unref(schema);
    }
}

GSettingsProxyStore::~GSettingsProxyStore()
{
    for (GSettings *settings : std::as_const(m_settings))
        g_object_unref(settings);
}

GSettings *GSettingsProxyStore::settings(const QString &group) const
{
    return m_settings.value(group);
}

QList<ProxyKeyStore::Value> GSettingsProxyStore::planned(SystemProxy::Ports ports) const
{
    QStringList hosts;
    for (const QString &host : SystemProxy::directHosts())
        hosts << quoted(host);
    const QString loopback = quoted(QStringLiteral("127.0.0.1"));
    QList<Value> values{
        {{kSchema, QStringLiteral("mode")}, quoted(QStringLiteral("manual"))},
        {{kSchema, QStringLiteral("ignore-hosts")}, u'[' + hosts.join(QStringLiteral(", ")) + u']'},
        {{kSchema + QStringLiteral(".http"), QStringLiteral("host")}, loopback},
        {{kSchema + QStringLiteral(".http"), QStringLiteral("port")}, QString::number(ports.http)},
        {{kSchema + QStringLiteral(".https"), QStringLiteral("host")}, loopback},
        {{kSchema + QStringLiteral(".https"), QStringLiteral("port")}, QString::number(ports.http)},
        {{kSchema + QStringLiteral(".socks"), QStringLiteral("host")}, loopback},
        {{kSchema + QStringLiteral(".socks"), QStringLiteral("port")},
         QString::number(ports.socks)}};
    // In the form read() gives, so that a key still holding it is recognised as ours.
    for (Value &value : values) {
        if (GSettings *store = settings(value.key.group)) {
            if (GVariant *variant = parsed(store, value.key.name, value.text)) {
                value.text = printed(variant);
                g_variant_unref(variant);
            }
        }
    }
    return values;
}

bool GSettingsProxyStore::accepts(const Key &key, const QString &text) const
{
    GSettings *store = settings(key.group);
    if (!store || !writes(key))
        return false;
    GVariant *variant = parsed(store, key.name, text);
    if (variant)
        g_variant_unref(variant);
    return variant != nullptr;
}

std::optional<QString> GSettingsProxyStore::read(const Key &key) const
{
    GSettings *store = settings(key.group);
    if (!store)
        return std::nullopt;
    GVariant *value = g_settings_get_user_value(store, key.name.toUtf8().constData());
    if (!value)
        return std::nullopt;
    const QString text = printed(value);
    g_variant_unref(value);
    return text;
}

std::optional<QString> GSettingsProxyStore::stage(const Key &key,
                                                  const std::optional<QString> &text)
{
    GSettings *store = settings(key.group);
    const QByteArray name = key.name.toUtf8();
    const QString where = key.group + u' ' + key.name;
    if (!store || !g_settings_is_writable(store, name.constData()))
        return QStringLiteral("the setting %1 cannot be written").arg(where);
    if (!text) {
        g_settings_reset(store, name.constData());
        return std::nullopt;
    }
    GVariant *value = parsed(store, key.name, *text);
    if (!value)
        return QStringLiteral("%1 is not a value of %2").arg(*text, where);
    const bool written = g_settings_set_value(store, name.constData(), value);
    g_variant_unref(value);
    if (!written)
        return QStringLiteral("the setting %1 refused %2").arg(where, *text);
    return std::nullopt;
}

std::optional<QString> GSettingsProxyStore::commit()
{
    // The writes are queued for the settings service; every other program sees them only once
    // they reached it, and a process that ends right after would otherwise lose them.
    g_settings_sync();
    return std::nullopt;
}

} // namespace corvane
