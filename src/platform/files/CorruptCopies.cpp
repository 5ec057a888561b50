#include "platform/files/CorruptCopies.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace corvane {

namespace {
const auto kMarker = QStringLiteral(".corrupt-");
} // namespace

std::optional<QString> CorruptCopies::moveAside(const QString &path)
{
    // The time stamp sorts as text, and so does the zero-padded counter that tells apart two
    // copies made within one millisecond.
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString base = path + kMarker + stamp;
    // The counter goes past every copy of this millisecond, not into the first free name: a
    // pruned first copy would otherwise give its name to the newest, which then sorts oldest.
    int next = 0;
    for (const QString &existing : copies(path)) {
        if (existing.startsWith(base))
            next = std::max(next, QStringView(existing).mid(base.size() + 1).toInt() + 1);
    }
    const auto named = [&base](int n) {
        return n == 0 ? base : base + QStringLiteral("-%1").arg(n, 3, 10, QLatin1Char('0'));
    };
    while (QFileInfo::exists(named(next)) || QFileInfo(named(next)).isSymLink())
        ++next;
    const QString copy = named(next);
    if (!QFile::rename(path, copy))
        return std::nullopt;
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);

    // The copy just made is kept whatever its name sorts as: a clock set back names it before
    // older ones.
    QStringList older = copies(path);
    older.removeAll(copy);
    while (older.size() >= kKept)
        QFile::remove(older.takeFirst());
    return copy;
}

QStringList CorruptCopies::copies(const QString &path)
{
    const QFileInfo file(path);
    QDir folder = file.absoluteDir();
    QStringList names = folder.entryList({file.fileName() + kMarker + u'*'},
                                         QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    QStringList paths;
    for (const QString &name : std::as_const(names))
        paths << folder.filePath(name);
    return paths;
}

} // namespace corvane
