#include "CBridgeOptions.h"

#include "CBridgeModule.h"

#include <QBluetoothAddress>

const QMap<QString, int> CBridgeOptions::SETTINGS = {
    { QStringLiteral("name"), CBridgeModule::SETTING_NAME },
    { QStringLiteral("uart-index"), CBridgeModule::SETTING_UART_INDEX },
    { QStringLiteral("pass-key"), CBridgeModule::SETTING_PASS_KEY },
    { QStringLiteral("advertising-flags"), CBridgeModule::SETTING_ADVERTISING_FLAGS },
};

const QMap<QString, char> CBridgeOptions::STATUSES = {
    { QStringLiteral("ok"), CBridgeModule::STATUS_OK },
    { QStringLiteral("failed"), CBridgeModule::STATUS_FAILED },
    { QStringLiteral("denied"), CBridgeModule::STATUS_DENIED },
};

namespace {

bool parseNumber(const QString& text, int low, int high, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok, 0);
    return ok && *value >= low && *value <= high;
}

// SETTING=STATUS
bool parseStatus(const QString& text, QMap<int, char>* statuses)
{
    const QString setting = text.section(QLatin1Char('='), 0, 0);
    const QString status = text.section(QLatin1Char('='), 1);
    if (!CBridgeOptions::SETTINGS.contains(setting) || !CBridgeOptions::STATUSES.contains(status))
        return false;
    statuses->insert(CBridgeOptions::SETTINGS.value(setting), CBridgeOptions::STATUSES.value(status));
    return true;
}
}

bool CBridgeOptions::parse(const QStringList& arguments, QString* error)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString option = arguments.at(i);
        const bool flag = option == "--private-bus" || option == "--with-response" || option == "--refuse-connect" || option == "--stall-connect"
            || option == "--refuse-data";
        if (!flag && i + 1 >= arguments.size()) {
            *error = QStringLiteral("%1 needs a value").arg(option);
            return false;
        }
        const QString value = flag ? QString() : arguments.at(++i);
        bool ok = true;
        if (option == "--bus")
            busAddress = value;
        else if (option == "--private-bus")
            privateBus = true;
        else if (option == "--address") {
            address = value.toUpper();
            ok = !QBluetoothAddress(address).isNull();
        }
        else if (option == "--name")
            name = value;
        else if (option == "--pass-key")
            passKey = value;
        else if (option == "--advertising-flags")
            ok = parseNumber(value, 0, 255, &advertisingFlags);
        else if (option == "--uart-index")
            ok = parseNumber(value, 0, 255, &uartIndex);
        else if (option == "--serial")
            serialPath = value;
        else if (option == "--packet-size")
            ok = parseNumber(value, 1, CBridgeModule::MAX_DATA_PER_PACKET, &packetSize);
        else if (option == "--packet-gap")
            ok = parseNumber(value, 0, 60000, &packetGapMs);
        else if (option == "--read-status")
            ok = parseStatus(value, &readStatus);
        else if (option == "--write-status")
            ok = parseStatus(value, &writeStatus);
        else if (option == "--vanish-after")
            ok = parseNumber(value, 0, 1000000, &vanishAfter);
        else if (option == "--with-response")
            withResponse = true;
        else if (option == "--refuse-connect")
            refuseConnect = true;
        else if (option == "--stall-connect")
            stallConnect = true;
        else if (option == "--refuse-data")
            refuseDataWrites = true;
        else {
            *error = QStringLiteral("unknown option %1").arg(option);
            return false;
        }
        if (!ok) {
            *error = QStringLiteral("%1: invalid value '%2'").arg(option, value);
            return false;
        }
    }
    return true;
}

QString CBridgeOptions::usage()
{
    return QStringLiteral(
        "Usage: paramica-blesim [OPTIONS]\n"
        "A Bluetooth LE bridge module as BlueZ would show it on the D-Bus system bus:\n"
        "one adapter, one device, a GATT service with a characteristic written\n"
        "without response and a notifying one. Data packets go to a serial line\n"
        "(or are echoed); command packets read and write the module's settings.\n"
        "It owns org.bluez, so it runs on a bus of its own (--private-bus, or\n"
        "DBUS_SYSTEM_BUS_ADDRESS, or --bus); the front end then runs with\n"
        "DBUS_SYSTEM_BUS_ADDRESS set to that bus and BLUETOOTH_FORCE_DBUS_LE_VERSION=5.66.\n"
        "It prints 'serving NAME,ADDRESS' once ready, then a line per event.\n"
        "\n"
        "  --private-bus              start a D-Bus daemon of its own and print\n"
        "                             'bus ADDRESS' (the daemon ends with it)\n"
        "  --bus ADDRESS              D-Bus address instead of the system bus\n"
        "  --address AA:BB:CC:DD:EE:FF  device address (00:11:22:33:44:55)\n"
        "  --name TEXT                radio device name (Paramica Bridge)\n"
        "  --pass-key TEXT            static pass key (123456)\n"
        "  --advertising-flags N      advertising flags (6)\n"
        "  --uart-index N             UART configuration index (86: 115200, even)\n"
        "  --serial DEVICE            bridge data to this serial line (default: echo)\n"
        "  --packet-size N            data bytes per notification, 1 to 243 (243)\n"
        "  --packet-gap MS            pause between notifications of one answer (0)\n"
        "  --read-status SETTING=ok|failed|denied   answer reads of SETTING so\n"
        "  --write-status SETTING=ok|failed|denied  answer writes of SETTING so\n"
        "                             SETTING: name, pass-key, advertising-flags, uart-index\n"
        "  --with-response            the write characteristic takes writes with response only\n"
        "  --refuse-connect           refuse every connection at once\n"
        "  --stall-connect            connect, but never resolve the services\n"
        "  --refuse-data              fail every write of a data packet\n"
        "  --vanish-after N           bridge N data packets, then drop the connection\n"
        "                             and disappear on the next one\n");
}
