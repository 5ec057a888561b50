#include "NetdConstants.h"
#include "NetworkService.h"
#include "NetworkSetup.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>

#include <sys/signalfd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

using namespace corvane::netd;

namespace {

int cleanUp()
{
    NetworkSetup setup;
    if (const auto error = setup.cleanAll()) {
        qCritical("Clean-up failed: %s", qPrintable(*error));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // SIGTERM and SIGINT are read from a descriptor on the event loop, so that a stop takes the
    // mode away; blocked before Qt starts a thread, which inherits the mask.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);

    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments == QStringList{QStringLiteral("--cleanup")})
        return cleanUp();
    if (!arguments.isEmpty()) {
        std::fputs("usage: corvane-netd [--cleanup]\n", stderr);
        return 2;
    }

    const UniqueFd signals(::signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK));
    QSocketNotifier stopped(signals.get(), QSocketNotifier::Read);
    QObject::connect(&stopped, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCritical("No system bus: %s", qPrintable(bus.lastError().message()));
        cleanUp();
        return 1;
    }
    NetworkService service(bus);
    if (!bus.registerObject(kObjectPath, &service,
                            QDBusConnection::ExportScriptableSlots |
                                QDBusConnection::ExportScriptableSignals) ||
        !bus.registerService(kServiceName)) {
        qCritical("%s could not be owned: %s", qPrintable(kServiceName),
                  qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}
