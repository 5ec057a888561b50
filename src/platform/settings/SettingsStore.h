#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

namespace corvane {

// The per-user key-value store (a JSON object in one file under the config location). Without a
// keyring the file holds the password in plain form, so it is kept at mode 0600 in a 0700 folder. Every read
// goes to the file, so a second store object, or another process, sees what the last one wrote.
// A file that does not decode is logged and moved aside before anything is written over it;
// anything but a regular file (a symbolic link, a FIFO, a folder) is refused, never followed.
class SettingsStore final
{
public:
    // A settings file holds a few short texts; a larger file is not ours.
    static constexpr qint64 kMaxFileSize = 1 << 20;

    // Closes up the file's mode if it is open to others.
    explicit SettingsStore(QString filePath);

    // $XDG_CONFIG_HOME/corvane/settings.json (or its standard fallback).
    static QString defaultFilePath();
    // Where earlier builds kept it: $XDG_CONFIG_HOME/Corvane/settings.json.
    static QString legacyFilePath();
    // The store on defaultFilePath(), made on first use: it moves a file left at
    // legacyFilePath() and closes up the folder's mode too. The application makes it at launch,
    // so a loose mode does not wait for the first sign-in.
    static SettingsStore &shared();
    // Moves the regular file `from` to `to` when `to` does not exist yet, and drops the folder
    // of `from` if that leaves it empty. True if the file was moved.
    static bool moveLegacyFile(const QString &from, const QString &to);

    QString filePath() const { return m_filePath; }

    // Writes `value` under `key`, replacing any earlier value. Returns false if the file could
    // not be read or written; the old file is then left as it was.
    bool setObject(const QJsonValue &value, const QString &key);
    // Drops `key`; true when it is gone (also when it was never there).
    bool remove(const QString &key);
    // The stored value, or undefined when absent or when the file is missing or unreadable.
    QJsonValue object(const QString &key) const;
    // The stored value if it is text; anything else counts as absent.
    std::optional<QString> string(const QString &key) const;

    // The settings object that `data` holds; none when it holds anything else.
    static std::optional<QJsonObject> decode(const QByteArray &data);

private:
    // Everything stored; an empty object for a missing or corrupt file (moved aside), none for
    // a file that must not be written over because it could not be read.
    std::optional<QJsonObject> load() const;
    bool write(const QJsonObject &object);
    void tightenPermissions() const;

    QString m_filePath;
};

} // namespace corvane
