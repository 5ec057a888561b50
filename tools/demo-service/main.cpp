#include "DemoHttpServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

// A stand-in for the service on 127.0.0.1, so the whole road can be walked without it: three
// demo customers, the tunnel's check of the signed string and the public-address lookup.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-demo-service"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays the Corvane service on 127.0.0.1 for the demo and the tests."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port to listen on; 0 picks a free one."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    parser.addOption(port);
    parser.process(app);

    bool ok = false;
    const uint wanted = parser.value(port).toUInt(&ok);
    if (!ok || wanted > 65535) {
        std::fprintf(stderr, "corvane-demo-service: --port takes a number from 0 to 65535\n");
        return 2;
    }
    corvane::DemoHttpServer server;
    const quint16 bound = server.listen(static_cast<quint16>(wanted));
    if (bound == 0) {
        std::fprintf(stderr, "corvane-demo-service: cannot listen on 127.0.0.1:%u\n", wanted);
        return 1;
    }
    // The first line tells a launcher where to find the service.
    std::printf("listening on http://127.0.0.1:%u\n", bound);
    for (const corvane::DemoAccount &account : server.service().accounts())
        std::printf("account %s password %s\n", qPrintable(account.mobile),
                    qPrintable(account.password));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
