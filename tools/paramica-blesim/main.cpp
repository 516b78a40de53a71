// paramica-blesim: a Bluetooth LE bridge module on a D-Bus system bus, for
// tests and for trying the wireless transport without a module.

#include "CBlueZObjects.h"
#include "CBridgeModule.h"
#include "CBridgeOptions.h"
#include "CPrivateBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace {
const int EXIT_BAD_SETUP = 2;
// A stop request reaches the event loop through this pipe: a signal handler
// may only write to it.
int stopPipe[2] = { -1, -1 };

void requestStop(int)
{
    const char byte = 0;
    (void)!write(stopPipe[1], &byte, 1);
}
}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains("--help") || arguments.contains("-h")) {
        out << CBridgeOptions::usage();
        return 0;
    }
    CBridgeOptions options;
    QString error;
    if (!options.parse(arguments, &error)) {
        err << "paramica-blesim: " << error << "\nTry 'paramica-blesim --help'.\n";
        return EXIT_BAD_SETUP;
    }

    CBridgeModule module(options);
    CBlueZObjects objects(options, &module);
    // Each event on a line of its own, at once: tests and users follow them.
    const auto print = [&out](const QString& line) { out << line << Qt::endl; };
    QObject::connect(&module, &CBridgeModule::report, print);
    QObject::connect(&objects, &CBlueZObjects::report, print);
    QObject::connect(&module, &CBridgeModule::packetToSend, &objects, &CBlueZObjects::notify);
    QObject::connect(&module, &CBridgeModule::vanishRequested, &objects, &CBlueZObjects::vanish);

    std::unique_ptr<CPrivateBus> privateBus;
    if (options.privateBus) {
        privateBus = std::make_unique<CPrivateBus>();
        options.busAddress = QString::fromUtf8(privateBus->address());
        if (!privateBus->isValid()) {
            err << "paramica-blesim: cannot start dbus-daemon\n";
            return EXIT_BAD_SETUP;
        }
        print(QStringLiteral("bus %1").arg(options.busAddress));
    }
    const QDBusConnection bus = options.busAddress.isEmpty()
        ? QDBusConnection::systemBus()
        : QDBusConnection::connectToBus(options.busAddress, QStringLiteral("paramica-blesim"));
    if (!module.openSerial(&error) || !objects.publish(bus, &error)) {
        err << "paramica-blesim: " << error << "\n";
        return EXIT_BAD_SETUP;
    }
    // The private bus and the serial line are left cleanly on SIGINT and SIGTERM.
    if (pipe(stopPipe) != 0) {
        err << "paramica-blesim: no pipe for stop requests\n";
        return EXIT_BAD_SETUP;
    }
    QSocketNotifier stopNotifier(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &application, &QCoreApplication::quit);
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    print(QStringLiteral("serving %1,%2").arg(module.name(), options.address));
    return application.exec();
}
