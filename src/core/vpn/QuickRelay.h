#pragma once

namespace corvane {

class FFSSModel;
class VpnManager;

// The quick connect screen's relay: the one built-in server, and what a connect through a
// relay record writes into the manager.
class QuickRelay final
{
public:
    QuickRelay() = delete;

    // The built-in server: ServiceEndpoints' relay host and port, no password.
    static void describeBuiltIn(FFSSModel &record);
    // The record's address, password, port and method, which every connect must fill again.
    static void fillManager(VpnManager &manager, const FFSSModel &relay);
};

} // namespace corvane
