#pragma once

#include <QString>

namespace corvane {

// corvanectl's exit codes, the contract scripts test against.
enum class CtlExit
{
    done = 0,
    usage = 2,
    notSignedIn = 3,
    refused = 4,
    // Also where the system-wide mode could not be had (the tunnel ended with the reason
    // system-wide), or corvane-netd is not there or refused the repair.
    tunnelFailed = 5,
    timedOut = 6,
    // The service could not be reached or did not answer in a usable shape: worth a retry.
    network = 7,
    // Signed in, but the credentials could be kept nowhere: later commands would not find them.
    // From logout: the stored password could not be deleted.
    notStored = 8,
    // corvanectl exec found the program but could not run it, or did not find it (as a shell).
    cannotExecute = 126,
    commandNotFound = 127,
};

// corvanectl's error: the exit code a script tests and the line standard error shows.
struct CtlFailure
{
    CtlExit code = CtlExit::done;
    QString message;
};

} // namespace corvane
