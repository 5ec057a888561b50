#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace corvane {

// A file of ours that no longer decodes is kept, not overwritten: it is renamed to
// "<name>.corrupt-<UTC time>" (mode 0600, as it may hold secrets) so the user's only copy
// survives the next save. Only the newest few copies are kept, so a file that keeps breaking
// cannot fill the disk.
class CorruptCopies final
{
public:
    static constexpr qsizetype kKept = 5;

    // Moves the file at `path` aside and deletes all but the newest kKept copies. The copy's
    // path, or none when the file could not be moved (it is then left as it was).
    static std::optional<QString> moveAside(const QString &path);
    // The copies of `path`, oldest first.
    static QStringList copies(const QString &path);
};

} // namespace corvane
