#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace corvane {

// Held by the program that is bringing a tunnel back, so that another one (corvanectl's
// status) can tell reconnecting from off. A lock file: one its holder left by dying is stale.
class ReconnectMark final
{
public:
    explicit ReconnectMark(QString filePath);
    ~ReconnectMark();
    Q_DISABLE_COPY_MOVE(ReconnectMark)

    // $XDG_RUNTIME_DIR/corvane/reconnect.lock.
    static QString defaultFilePath();

    void hold(bool held);
    // A live program other than this one holds the mark.
    bool heldElsewhere() const;

private:
    QString m_filePath;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace corvane
