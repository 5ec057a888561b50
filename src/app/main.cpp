#include "app/AppDelegate.h"
#include "app/HeadlessLaunch.h"
#include "app/TunnelStatusLine.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane"));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption disconnectAndExit(
        QStringLiteral("disconnect-and-exit"),
        QStringLiteral("Run start-up without a window, stop any running tunnel and quit."));
    parser.addOption(disconnectAndExit);
    parser.process(app);

    corvane::AppDelegate delegate(app);
    if (parser.isSet(disconnectAndExit)) {
        corvane::HeadlessLaunch launch;
        delegate.didFinishLaunching();
        return QApplication::exec();
    }
    corvane::TunnelStatusLine statusLine;
    delegate.window = &statusLine;
    delegate.didFinishLaunching();
    statusLine.show();
    QApplication::exec();
    return 0;
}
