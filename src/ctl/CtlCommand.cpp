#include "ctl/CtlCommand.h"

#include "ctl/CtlLog.h"
#include "ctl/TerminalText.h"
#include "launch/LocaleText.h"

#include <QJsonDocument>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace corvane {

namespace {
const QCommandLineOption kHelp({QStringLiteral("h"), QStringLiteral("help")},
                               LocaleText::text(QStringLiteral("command.show-this-help-and-exit")));
const QCommandLineOption
    kVerbose(QStringLiteral("verbose"),
             LocaleText::text(QStringLiteral("command.print-the-log-lines-on")));
const QCommandLineOption
    kTimeout(QStringLiteral("timeout"),
             LocaleText::text(QStringLiteral("command.give-up-after-this-many"))
                 .arg(CtlCommand::kDefaultTimeout.count()),
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

void CtlCommand::prepare(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(summary());
    if (words() == Words::commandLine)
        parser.setOptionsAfterPositionalArgumentsMode(
            QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption(kHelp);
    declare(parser);
    parser.addOption(kVerbose);
}

QString CtlCommand::helpText()
{
    QCommandLineParser parser;
    prepare(parser);
    const QString help = parser.helpText();
    // The first line names the program as it was started; the command belongs in it, before the
    // words it takes. Qt's own heading follows Qt's language, not the locale's.
    const QString options = QStringLiteral(" [options]");
    const qsizetype lineEnd = help.indexOf(u'\n');
    const qsizetype rest = help.indexOf(options);
    const QString words = rest >= 0 && rest < lineEnd
                              ? help.mid(rest + options.size(), lineEnd - rest - options.size())
                              : QString();
    return LocaleText::text(QStringLiteral("command.usage-corvanectl-1-options")).arg(m_name) +
           words +
           help.mid(lineEnd).replace(QStringLiteral("\nOptions:\n"),
                                     LocaleText::text(QStringLiteral("command.options")));
}

void CtlCommand::start(const QStringList &arguments, Clock::time_point invokedAt)
{
    m_invokedAt = invokedAt;
    QCommandLineParser parser;
    prepare(parser);
    // QCommandLineParser wants the program's name first.
    const bool parsed = parser.parse(QStringList{QStringLiteral("corvanectl")} + arguments);
    if (parsed && parser.isSet(kVerbose))
        CtlLog::setVerbose();
    if (parsed && parser.isSet(kHelp)) {
        std::fputs(helpText().toUtf8().constData(), stdout);
        finish(CtlExit::done);
        return;
    }
    if (!parsed || (words() == Words::refused && !parser.positionalArguments().isEmpty())) {
        QString problem = parser.errorText();
        if (parsed)
            problem = LocaleText::text(QStringLiteral("command.unexpected-argument")) +
                      parser.positionalArguments().join(u' ');
        else if (!parser.unknownOptionNames().isEmpty())
            problem = LocaleText::text(QStringLiteral("command.unknown-option-1"))
                          .arg(parser.unknownOptionNames().first());
        finish(CtlExit::usage,
               problem +
                   LocaleText::text(QStringLiteral("command.see-corvanectl-1-help")).arg(m_name));
        return;
    }
    if (m_hasTimeout && parser.isSet(kTimeout) && timeout(parser) <= std::chrono::seconds::zero()) {
        finish(CtlExit::usage,
               LocaleText::text(QStringLiteral("command.timeout-takes-a-whole-number"))
                   .arg(kMaxTimeout.count()));
        return;
    }
    run(parser);
}

void CtlCommand::finish(CtlExit code, const QString &message)
{
    if (m_finished)
        return;
    m_finished = true;
    // What went wrong is often told by a log line; the message may point at it.
    if (code != CtlExit::done && code != CtlExit::usage)
        CtlLog::showKept();
    if (!message.isEmpty())
        write(code == CtlExit::done ? stdout : stderr, TerminalText::printable(message));
    // Delivered later, so a command never ends inside its own start().
    QTimer::singleShot(0, this, [this, code] { Q_EMIT finished(static_cast<int>(code)); });
}

std::chrono::duration<double> CtlCommand::remainingOfStep(std::chrono::duration<double> step) const
{
    const std::chrono::duration<double> spent = Clock::now() - m_invokedAt;
    return std::max(std::chrono::duration<double>::zero(), step - spent);
}

void CtlCommand::declareTimeout(QCommandLineParser &parser)
{
    m_hasTimeout = true;
    parser.addOption(kTimeout);
}

std::chrono::seconds CtlCommand::timeout(const QCommandLineParser &parser) const
{
    if (!parser.isSet(kTimeout))
        return kDefaultTimeout;
    bool ok = false;
    const std::chrono::seconds given{parser.value(kTimeout).toInt(&ok)};
    return ok && given <= kMaxTimeout ? given : std::chrono::seconds::zero();
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
