#pragma once

namespace corvane {

// corvanectl's exit codes, the contract scripts test against.
enum class CtlExit
{
    done = 0,
    usage = 2,
    notSignedIn = 3,
    refused = 4,
    tunnelFailed = 5,
    timedOut = 6,
    // Signed in, but the credentials could be kept nowhere: later commands would not find them.
    notStored = 7,
    // corvanectl exec found the program but could not run it, or did not find it (as a shell).
    cannotExecute = 126,
    commandNotFound = 127,
};

} // namespace corvane
