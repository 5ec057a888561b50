#include "DemoHttpServer.h"
#include "DemoRelays.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

// A stand-in for the service on 127.0.0.1, so the whole road can be walked without it: three
// demo customers, the service relay that checks each tunnel's signed string and relays from
// its exit address, the quick connect screen's plain relay, and the public-address lookup.
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
    const QCommandLineOption relayPort(
        QStringLiteral("relay-port"),
        QStringLiteral("Port of the service relay (the home screen's tunnel); 0 picks one."),
        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption plainRelayPort(
        QStringLiteral("plain-relay-port"),
        QStringLiteral("Port of the quick connect relay (CHACHA20, no password); 0 picks one."),
        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption refuse(
        QStringLiteral("refuse-tunnels"),
        QStringLiteral("Refuse every tunnel at the service relay with this reason, to see how a "
                       "client shows a refusal."),
        QStringLiteral("reason"));
    parser.addOption(port);
    parser.addOption(relayPort);
    parser.addOption(plainRelayPort);
    parser.addOption(refuse);
    parser.process(app);

    quint16 wanted[3] = {};
    const QCommandLineOption *options[3] = {&port, &relayPort, &plainRelayPort};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const uint value = parser.value(*options[i]).toUInt(&ok);
        if (!ok || value > 65535) {
            std::fprintf(stderr, "corvane-demo-service: --%s takes a number from 0 to 65535\n",
                         qPrintable(options[i]->names().constFirst()));
            return 2;
        }
        wanted[i] = static_cast<quint16>(value);
    }
    corvane::DemoHttpServer server;
    corvane::DemoRelays relays(server.service(), parser.value(refuse));
    const quint16 bound[3] = {server.listen(wanted[0]), relays.listenServiceRelay(wanted[1]),
                              relays.listenPlainRelay(wanted[2])};
    for (int i = 0; i < 3; ++i) {
        if (bound[i] == 0) {
            std::fprintf(stderr, "corvane-demo-service: cannot listen on 127.0.0.1:%u\n",
                         wanted[i]);
            return 1;
        }
    }
    // The first line tells a launcher where to find the service, the next two its relays.
    std::printf("listening on http://127.0.0.1:%u\n", bound[0]);
    std::printf("relay on 127.0.0.1:%u\n", bound[1]);
    std::printf("plain relay on 127.0.0.1:%u\n", bound[2]);
    for (const corvane::DemoAccount &account : server.service().accounts())
        std::printf("account %s password %s\n", qPrintable(account.mobile),
                    qPrintable(account.password));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
