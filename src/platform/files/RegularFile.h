#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace corvane {

// The application's own files are regular files. Reading one never follows a symbolic link and
// never blocks (a FIFO in its place would hang the open); anything else found at the path is
// refused with the reason, and left where it is.
class RegularFile final
{
public:
    struct Content
    {
        enum class Outcome
        {
            Missing,
            Read,
            // A regular file larger than the caller accepts: not one of ours.
            TooLarge,
            Refused
        };
        Outcome outcome = Outcome::Missing;
        QByteArray data;
        // For a refusal: why, as a clause such as "it is a symbolic link".
        QString reason;
    };

    static Content read(const QString &path, qint64 maxSize);
    // Why `path` must not be replaced: it exists and is not a regular file, or it cannot be
    // examined. None when it is missing or a regular file.
    static std::optional<QString> refusalToReplace(const QString &path);
    // "it is a folder", "it is a FIFO"... for a file type from stat().
    static QString describeType(unsigned mode);
};

} // namespace corvane
