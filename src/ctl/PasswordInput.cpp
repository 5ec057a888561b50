#include "ctl/PasswordInput.h"

#include <QByteArray>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace corvane {

namespace {
QString readLine()
{
    QByteArray line;
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n')
        line.append(static_cast<char>(c));
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}
} // namespace

QString PasswordInput::fromStandardInput()
{
    return readLine();
}

std::optional<QString> PasswordInput::prompt(const QString &question)
{
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    std::fputs(question.toUtf8().constData(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool quiet = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        silent.c_lflag |= ECHONL;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    const QString password = readLine();
    if (quiet)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    return password;
}

} // namespace corvane
