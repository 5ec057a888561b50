#pragma once

#include "platform/keyring/Keyring.h"

#include <QHash>
#include <QList>

namespace corvane {

// A keyring in memory for tests. Answers come at once unless held, so a test can look at the
// moment between a request and its answer; it can also refuse reads or writes.
class MemoryKeyring final : public Keyring
{
public:
    MemoryKeyring() = default;
    Q_DISABLE_COPY_MOVE(MemoryKeyring)

    void read(const QString &key, ReadCompletion completion) override;
    void write(const QString &key, const QString &value, WriteCompletion completion) override;
    void remove(const QString &key, WriteCompletion completion) override;

    // Held answers wait for releaseAnswers(); a refused write stores nothing, a refused removal
    // removes nothing.
    void setHoldAnswers(bool hold) { m_hold = hold; }
    void setRefuseWrites(bool refuse) { m_refuseWrites = refuse; }
    void setRefuseRemovals(bool refuse) { m_refuseRemovals = refuse; }
    void setRefuseReads(bool refuse) { m_refuseReads = refuse; }
    void releaseAnswers();

    QHash<QString, QString> entries;
    int writeCount = 0;

private:
    void answer(std::function<void()> deliver);

    bool m_hold = false;
    bool m_refuseWrites = false;
    bool m_refuseReads = false;
    bool m_refuseRemovals = false;
    QList<std::function<void()>> m_held;
};

} // namespace corvane
