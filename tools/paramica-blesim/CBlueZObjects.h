#pragma once

#include "CBridgeOptions.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QMap>
#include <QVariantMap>

class CBridgeModule;

// What BlueZ publishes on the system bus for one adapter with the bridge
// module in range: the adapter, the device, and the device's GATT service
// with a characteristic the central writes and a notifying one with its
// client configuration descriptor, all through ObjectManager and Properties.
// Connecting, notifications and writes behave as BlueZ's do; the packets
// written go to the module, and the module's packets become notifications.
class CBlueZObjects : public QDBusVirtualObject
{
    Q_OBJECT

public:
    CBlueZObjects(const CBridgeOptions& options, CBridgeModule* module, QObject* parent = nullptr);

    // Registers the objects and takes the name org.bluez; false with the
    // reason when the bus refuses.
    bool publish(const QDBusConnection& bus, QString* error);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

public slots:
    // Sent to the central while it has notifications on.
    void notify(const QByteArray& packet);
    // The device drops the connection and goes out of range.
    void vanish();

signals:
    void report(QString line);

private:
    typedef QMap<QString, QVariantMap> Interfaces;

    QDBusMessage deviceCall(const QDBusMessage& message);
    QDBusMessage characteristicCall(const QDBusMessage& message);
    QDBusMessage descriptorCall(const QDBusMessage& message);
    QDBusMessage propertiesCall(const QDBusMessage& message);
    // Stores the values and tells the bus, as BlueZ does.
    void changeProperties(const QString& path, const QString& interface, const QVariantMap& values);

    const CBridgeOptions m_options;
    CBridgeModule* m_module;
    QDBusConnection m_bus;
    // Object path to its interfaces and their properties.
    QMap<QString, Interfaces> m_objects;
    QString m_devicePath;
    QString m_writePath;
    QString m_notifyPath;
    QString m_descriptorPath;
};
