#pragma once

#include "ctl/CtlExit.h"

#include <QCommandLineParser>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <chrono>

namespace corvane {

// One subcommand of corvanectl: it reads its own options, does its work on the event loop and
// reports the exit code once, through finished().
class CtlCommand : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CtlCommand)

public:
    // How long a command waits for the tunnel or the service unless told otherwise.
    static constexpr std::chrono::seconds kDefaultTimeout{60};
    // Longer waits are no use to a script, and in milliseconds they would overflow a timer.
    static constexpr std::chrono::seconds kMaxTimeout = std::chrono::hours{24};

    explicit CtlCommand(QString name, QObject *parent = nullptr);
    ~CtlCommand() override;

    QString name() const { return m_name; }
    // What `corvanectl --help` says of the command, in one line.
    virtual QString summary() const = 0;
    using Clock = std::chrono::steady_clock;

    // Reads `arguments` (those after the command's name) and starts. `invokedAt` is when the
    // program was started: the moment the script asked.
    void start(const QStringList &arguments, Clock::time_point invokedAt = Clock::now());
    // What --help prints.
    QString helpText();
    // The exit code when SIGINT, SIGTERM or SIGHUP ends the command: the shell's 128 + number.
    virtual int interruptedExitCode(int signalNumber) const { return 128 + signalNumber; }

Q_SIGNALS:
    void finished(int code);

protected:
    // What the command makes of words that are not options: refuses them, reads them among its
    // options, or takes the first and everything after it as a command line of its own.
    enum class Words
    {
        refused,
        accepted,
        commandLine,
    };
    virtual Words words() const { return Words::refused; }
    // Adds the command's options to `parser`.
    virtual void declare(QCommandLineParser &parser) = 0;
    // Starts the work with the options read; a usage error ends it through finish().
    virtual void run(const QCommandLineParser &parser) = 0;

    // Ends the command: `message` goes to standard error unless the command succeeded.
    void finish(CtlExit code, const QString &message = {});
    bool isFinished() const { return m_finished; }
    // What is left of a step of `seconds` that began when the program was started.
    std::chrono::duration<double> remainingOfStep(std::chrono::duration<double> step) const;
    // The --timeout option every waiting command offers.
    void declareTimeout(QCommandLineParser &parser);
    // The --timeout given, or the default; zero for a value out of range or not a number.
    std::chrono::seconds timeout(const QCommandLineParser &parser) const;

    static void printLine(const QString &line);
    static void printJson(const QJsonObject &object);

private:
    void prepare(QCommandLineParser &parser);

    QString m_name;
    bool m_finished = false;
    bool m_hasTimeout = false;
    Clock::time_point m_invokedAt;
};

} // namespace corvane
