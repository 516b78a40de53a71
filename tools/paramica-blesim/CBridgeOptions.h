#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// What the emulated bridge module publishes, how it answers and which faults
// it injects, from its command line.
struct CBridgeOptions
{
    QString busAddress; // empty: the system bus (DBUS_SYSTEM_BUS_ADDRESS)
    bool privateBus = false;
    QString address = QStringLiteral("00:11:22:33:44:55");
    QString name = QStringLiteral("Paramica Bridge");
    QString passKey = QStringLiteral("123456");
    int advertisingFlags = 0x06;
    int uartIndex = 86;
    QString serialPath; // empty: data packets are echoed
    int packetSize = 243;
    int packetGapMs = 0;
    // Settings index to the status byte the module answers with.
    QMap<int, char> readStatus;
    QMap<int, char> writeStatus;
    bool withResponse = false;
    bool refuseConnect = false;
    bool stallConnect = false;
    bool refuseDataWrites = false;
    int vanishAfter = -1; // data packets bridged before the module vanishes; -1 never

    // Fills the options; on failure returns false with the reason in error.
    bool parse(const QStringList& arguments, QString* error);
    static QString usage();
    // The command-line names of the module's settings, by settings index.
    static const QMap<QString, int> SETTINGS;
    // The command-line names of the answers' status bytes.
    static const QMap<QString, char> STATUSES;
};
