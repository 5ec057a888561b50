#pragma once

#include "platform/tunnel/TunnelProfileStore.h"

#include <QHash>
#include <QStringList>

namespace corvane {

class MemoryTunnelConnection;

// A profile store kept in memory, for tests of the code above it: it records every request in
// issue order and can be told to fail any kind of request.
class MemoryTunnelProfileStore final : public TunnelProfileStore
{
    Q_OBJECT

public:
    explicit MemoryTunnelProfileStore(QObject *parent = nullptr);
    ~MemoryTunnelProfileStore() override;
    Q_DISABLE_COPY_MOVE(MemoryTunnelProfileStore)

    void loadAll(LoadCompletion completion) override;
    void save(const TunnelProfilePtr &profile, Completion completion) override;
    void reload(const TunnelProfilePtr &profile, Completion completion) override;
    void remove(const TunnelProfilePtr &profile, Completion completion) override;
    TunnelProfilePtr makeProfile() override;

    // Stores a profile described `description` directly, as if saved by an earlier run.
    QString addStoredProfile(const QString &description, bool enabled = true);
    std::optional<TunnelProfile> storedProfile(const QString &identifier) const;
    QList<TunnelProfile> storedProfiles() const { return m_profiles; }
    MemoryTunnelConnection *connection(const QString &identifier);

    // A load error makes loadAll hand back no list at all.
    void setLoadError(std::optional<TunnelError> error) { m_loadError = std::move(error); }
    void setSaveError(std::optional<TunnelError> error) { m_saveError = std::move(error); }
    void setReloadError(std::optional<TunnelError> error) { m_reloadError = std::move(error); }
    void setRemoveError(std::optional<TunnelError> error) { m_removeError = std::move(error); }

    // "load", "save <id>", "reload <id>", "remove <id>" in the order carried out.
    QStringList requests() const { return m_requests; }
    // True while completions or status notifications are still queued.
    bool hasPendingCompletions() const { return m_pending > 0; }
    void enqueue(std::function<void()> fn);

private:
    qsizetype indexOf(const QString &identifier) const;

    QList<TunnelProfile> m_profiles;
    QHash<QString, MemoryTunnelConnection *> m_connections;
    std::optional<TunnelError> m_loadError;
    std::optional<TunnelError> m_saveError;
    std::optional<TunnelError> m_reloadError;
    std::optional<TunnelError> m_removeError;
    QStringList m_requests;
    int m_pending = 0;
    int m_nextIdentifier = 1;
};

} // namespace corvane
