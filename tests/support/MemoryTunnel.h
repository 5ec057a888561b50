#pragma once

#include "platform/tunnel/TunnelStatus.h"

#include <QString>
#include <memory>

namespace corvane {

class MemoryTunnelConnection;
class MemoryTunnelProfileStore;

namespace test {

// The tunnel as the in-memory store keeps it, with the one profile Corvane makes (or none yet),
// for a VpnManager the test makes on store() or for the shared one; the test reports the
// helper's statuses and lets the store answer.
class MemoryTunnel final
{
public:
    enum class Profile
    {
        none,
        stored
    };

    explicit MemoryTunnel(Profile profile = Profile::stored);
    ~MemoryTunnel();
    Q_DISABLE_COPY_MOVE(MemoryTunnel)

    // Puts the store under VpnManager::shared() and makes the manager; once per process.
    bool installShared();

    MemoryTunnelProfileStore &store() const { return *m_store; }
    // The identifier of the profile made at the start; empty for Profile::none.
    const QString &profile() const { return m_profile; }
    // The stored profile's connection; null without one.
    MemoryTunnelConnection *connection() const;
    // Runs every completion the store has queued.
    void drain() const;
    // The helper reports `status`, and the store's answers are through.
    void setStatus(TunnelStatus status) const;

private:
    std::unique_ptr<MemoryTunnelProfileStore> m_owned;
    MemoryTunnelProfileStore *m_store;
    QString m_profile;
};

} // namespace test
} // namespace corvane
