#pragma once

#include <QString>

namespace corvane {

// The user's XDG autostart entry for the application: a desktop entry in
// $XDG_CONFIG_HOME/autostart that starts `program` without options when the user logs in.
class AutostartEntry final
{
public:
    AutostartEntry(QString filePath, QString program);

    // $XDG_CONFIG_HOME/autostart/<desktopId>.desktop (or its standard fallback).
    static QString defaultFilePath(const QString &desktopId);

    QString filePath() const { return m_filePath; }
    // On when our entry is there and not switched off by the desktop (Hidden=true).
    bool isEnabled() const;
    // Writes or removes the entry; false (with the reason logged) when that failed.
    bool setEnabled(bool enabled, const QString &name, const QString &icon);

    // `program` as one Exec argument, quoted and escaped as desktop entries require.
    static QString execValue(const QString &program);

private:
    QString m_filePath;
    QString m_program;
};

} // namespace corvane
