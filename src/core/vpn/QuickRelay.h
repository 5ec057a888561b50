#pragma once

namespace corvane {

class FFSSModel;

// The quick connect screen's one built-in relay server.
class QuickRelay final
{
public:
    QuickRelay() = delete;

    // The built-in server: ServiceEndpoints' relay host and port, no password.
    static void describeBuiltIn(FFSSModel &record);
};

} // namespace corvane
