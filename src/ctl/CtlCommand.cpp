#include "ctl/CtlCommand.h"

#include "ctl/TerminalText.h"

#include <QJsonDocument>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace corvane {

namespace {
const QCommandLineOption kHelp({QStringLiteral("h"), QStringLiteral("help")},
                               QStringLiteral("Show this help and exit."));
const QCommandLineOption kTimeout(QStringLiteral("timeout"),
                                  QStringLiteral("Give up after this many seconds (default %1); "
                                                 "exit code 6.")
                                      .arg(CtlCommand::kDefaultTimeoutSeconds),
                                  QStringLiteral("seconds"));

void write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

CtlCommand::CtlCommand(QString name, QObject *parent) : QObject(parent), m_name(std::move(name)) {}

CtlCommand::~CtlCommand() = default;

void CtlCommand::start(const QStringList &arguments, Clock::time_point invokedAt)
{
    m_invokedAt = invokedAt;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(summary());
    if (words() == Words::commandLine)
        parser.setOptionsAfterPositionalArgumentsMode(
            QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption(kHelp);
    declare(parser);
    // QCommandLineParser wants the program's name first.
    const bool parsed = parser.parse(QStringList{QStringLiteral("corvanectl")} + arguments);
    if (parsed && parser.isSet(kHelp)) {
        QString help = parser.helpText();
        // The first line names the program as it was started; the command belongs in it, before
        // the words it takes.
        const QString options = QStringLiteral(" [options]");
        const qsizetype lineEnd = help.indexOf(u'\n');
        const qsizetype rest = help.indexOf(options);
        help = QStringLiteral("Usage: corvanectl ") + m_name + options +
               help.mid(rest >= 0 && rest < lineEnd ? rest + options.size() : lineEnd);
        std::fputs(help.toUtf8().constData(), stdout);
        finish(CtlExit::done);
        return;
    }
    if (!parsed || (words() == Words::refused && !parser.positionalArguments().isEmpty())) {
        finish(CtlExit::usage, (parsed ? QStringLiteral("unexpected argument: ") +
                                             parser.positionalArguments().join(u' ')
                                       : parser.errorText()) +
                                   QStringLiteral("\nSee: corvanectl ") + m_name +
                                   QStringLiteral(" --help"));
        return;
    }
    if (m_hasTimeout && parser.isSet(kTimeout) && timeoutSeconds(parser) <= 0) {
        finish(CtlExit::usage, QStringLiteral("--timeout takes a whole number of seconds from 1 "
                                              "to %1 (a day)")
                                   .arg(kMaxTimeoutSeconds));
        return;
    }
    run(parser);
}

void CtlCommand::finish(CtlExit code, const QString &message)
{
    if (m_finished)
        return;
    m_finished = true;
    if (!message.isEmpty())
        write(code == CtlExit::done ? stdout : stderr, TerminalText::printable(message));
    // Delivered later, so a command never ends inside its own start().
    QTimer::singleShot(0, this, [this, code] { Q_EMIT finished(static_cast<int>(code)); });
}

double CtlCommand::remainingOfStep(double seconds) const
{
    const std::chrono::duration<double> spent = Clock::now() - m_invokedAt;
    return std::max(0.0, seconds - spent.count());
}

void CtlCommand::declareTimeout(QCommandLineParser &parser)
{
    m_hasTimeout = true;
    parser.addOption(kTimeout);
}

int CtlCommand::timeoutSeconds(const QCommandLineParser &parser) const
{
    if (!parser.isSet(kTimeout))
        return kDefaultTimeoutSeconds;
    bool ok = false;
    const int seconds = parser.value(kTimeout).toInt(&ok);
    return ok && seconds <= kMaxTimeoutSeconds ? seconds : 0;
}

void CtlCommand::printLine(const QString &line)
{
    write(stdout, TerminalText::printable(line));
}

void CtlCommand::printJson(const QJsonObject &object)
{
    write(stdout, TerminalText::escapedJson(
                      QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact))));
}

} // namespace corvane
