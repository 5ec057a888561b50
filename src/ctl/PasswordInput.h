#pragma once

#include <QString>
#include <optional>

namespace corvane {

// Where corvanectl gets a password from: never the command line, where any user of the machine
// could read it in /proc.
class PasswordInput final
{
public:
    PasswordInput() = delete;

    // The first line of standard input, without its line break.
    static QString fromStandardInput();
    // Asks on the terminal without echoing what is typed; none when standard input is not a
    // terminal.
    static std::optional<QString> prompt(const QString &question);
};

} // namespace corvane
