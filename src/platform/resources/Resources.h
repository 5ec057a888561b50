#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace corvane {

// The application's own files (rules, province list, images, texts), found by name and type:
// "rules" + "json" is rules.json in any folder of the compiled-in resources.
class Resources final
{
public:
    // Full path of the first file named `name`.`type` under the search roots; empty if none.
    static QString path(const QString &name, const QString &type);
    static std::optional<QByteArray> data(const QString &name, const QString &type);

    // The folders searched, in order; ":/" (the compiled-in resources) by default. Tests put a
    // folder of their own first to replace or hide a resource.
    static QStringList searchRoots();
    static void setSearchRoots(const QStringList &roots);
};

} // namespace corvane
