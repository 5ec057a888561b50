#include "platform/keyring/memory/MemoryKeyring.h"

namespace corvane {

void MemoryKeyring::read(const QString &key, ReadCompletion completion)
{
    answer([this, key, completion = std::move(completion)] {
        if (m_refuseReads) {
            completion(Read{Read::Status::failed, {}, QStringLiteral("refused by the test")});
            return;
        }
        const auto found = entries.constFind(key);
        completion(found == entries.cend() ? Read{Read::Status::missing, {}, {}}
                                           : Read{Read::Status::found, *found, {}});
    });
}

void MemoryKeyring::write(const QString &key, const QString &value, WriteCompletion completion)
{
    ++writeCount;
    answer([this, key, value, completion = std::move(completion)] {
        if (m_refuseWrites) {
            completion(QStringLiteral("refused by the test"));
            return;
        }
        entries.insert(key, value);
        completion(std::nullopt);
    });
}

void MemoryKeyring::remove(const QString &key, WriteCompletion completion)
{
    answer([this, key, completion = std::move(completion)] {
        if (m_refuseRemovals) {
            completion(QStringLiteral("refused by the test"));
            return;
        }
        entries.remove(key);
        completion(std::nullopt);
    });
}

void MemoryKeyring::releaseAnswers()
{
    // An answer may ask again; those requests are held for the next release.
    const QList<std::function<void()>> held = std::exchange(m_held, {});
    for (const std::function<void()> &deliver : held)
        deliver();
}

void MemoryKeyring::answer(std::function<void()> deliver)
{
    if (m_hold)
        m_held.append(std::move(deliver));
    else
        deliver();
}

} // namespace corvane
