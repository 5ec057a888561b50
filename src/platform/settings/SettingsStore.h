#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

namespace corvane {

// The per-user key-value store (a JSON object in one file under the config location). Without a
// keyring the file holds the password in plain form, so it is kept at mode 0600. Every read goes
// to the file, so a second store object, or another process, sees what the last one wrote.
class SettingsStore final
{
public:
    explicit SettingsStore(QString filePath);

    // $XDG_CONFIG_HOME/Corvane/settings.json (or its standard fallback).
    static QString defaultFilePath();
    static SettingsStore &shared();

    QString filePath() const { return m_filePath; }

    // Writes `value` under `key`, replacing any earlier value. Returns false if the file could
    // not be written; the old file is then left as it was.
    bool setObject(const QJsonValue &value, const QString &key);
    // Drops `key`; true when it is gone (also when it was never there).
    bool remove(const QString &key);
    // The stored value, or undefined when absent or when the file is missing or unreadable.
    QJsonValue object(const QString &key) const;
    // The stored value if it is text; anything else counts as absent.
    std::optional<QString> string(const QString &key) const;

private:
    bool write(const QJsonObject &object);
    void tightenPermissions() const;

    QString m_filePath;
};

} // namespace corvane
