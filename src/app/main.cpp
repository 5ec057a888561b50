#include "app/AppDelegate.h"
#include "app/ConnectOnLaunch.h"
#include "app/HeadlessLaunch.h"
#include "app/TunnelStatusLine.h"
#include "ui/gallery/FeedbackGalleryPages.h"
#include "ui/gallery/GalleryWidget.h"
#include "ui/gallery/MorphingGalleryPages.h"
#include "ui/gallery/ShellGalleryPages.h"

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
    const QCommandLineOption connect(
        QStringLiteral("connect"),
        QStringLiteral("Connect at launch through CORVANE_TUNNEL_HOST (127.0.0.1 by default)."));
    parser.addOption(connect);
    const QCommandLineOption gallery(
        QStringLiteral("gallery"),
        QStringLiteral("Show the screen components on a phone-sized window."));
    parser.addOption(gallery);
    parser.process(app);

    if (parser.isSet(gallery)) {
        corvane::GalleryWidget window(corvane::shellGalleryPages() +
                                      corvane::feedbackGalleryPages() +
                                      corvane::morphingGalleryPages());
        window.show();
        return QApplication::exec();
    }

    corvane::AppDelegate delegate(app);
    if (parser.isSet(disconnectAndExit)) {
        corvane::HeadlessLaunch launch;
        delegate.didFinishLaunching();
        return QApplication::exec();
    }
    corvane::TunnelStatusLine statusLine;
    delegate.window = &statusLine;
    delegate.didFinishLaunching();
    if (parser.isSet(connect))
        corvane::ConnectOnLaunch::connect();
    statusLine.show();
    QApplication::exec();
    return 0;
}
