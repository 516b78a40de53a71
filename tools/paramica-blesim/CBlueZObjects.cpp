#include "CBlueZObjects.h"

#include "CBridgeModule.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

typedef QMap<QString, QVariantMap> BlueZInterfaces;
typedef QMap<QDBusObjectPath, BlueZInterfaces> BlueZObjectList;
Q_DECLARE_METATYPE(BlueZInterfaces)
Q_DECLARE_METATYPE(BlueZObjectList)

namespace {
const QString BLUEZ = QStringLiteral("org.bluez");
const QString OBJECT_MANAGER = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString PROPERTIES = QStringLiteral("org.freedesktop.DBus.Properties");
const QString ADAPTER = QStringLiteral("org.bluez.Adapter1");
const QString DEVICE = QStringLiteral("org.bluez.Device1");
const QString SERVICE = QStringLiteral("org.bluez.GattService1");
const QString CHARACTERISTIC = QStringLiteral("org.bluez.GattCharacteristic1");
const QString DESCRIPTOR = QStringLiteral("org.bluez.GattDescriptor1");
const QString ADAPTER_PATH = QStringLiteral("/org/bluez/hci0");
const QString ADAPTER_ADDRESS = QStringLiteral("00:AA:BB:CC:DD:EE");
// The bridge's own service; nothing in the library asks for these UUIDs.
const QString SERVICE_UUID = QStringLiteral("7a3b0001-5c1e-4d2f-9a6b-1c2d3e4f5a6b");
const QString WRITE_UUID = QStringLiteral("7a3b0002-5c1e-4d2f-9a6b-1c2d3e4f5a6b");
const QString NOTIFY_UUID = QStringLiteral("7a3b0003-5c1e-4d2f-9a6b-1c2d3e4f5a6b");
const QString CLIENT_CONFIGURATION_UUID = QStringLiteral("00002902-0000-1000-8000-00805f9b34fb");
const QByteArray NOTIFICATIONS_ON = QByteArray::fromHex("0100");
const QByteArray NOTIFICATIONS_OFF = QByteArray::fromHex("0000");

QDBusMessage failure(const QDBusMessage& message, const QString& text)
{
    return message.createErrorReply(QStringLiteral("org.bluez.Error.Failed"), text);
}
}

CBlueZObjects::CBlueZObjects(const CBridgeOptions& options, CBridgeModule* module, QObject* parent)
    : QDBusVirtualObject(parent)
    , m_options(options)
    , m_module(module)
    , m_bus(QString())
{
    qDBusRegisterMetaType<BlueZInterfaces>();
    qDBusRegisterMetaType<BlueZObjectList>();
    m_devicePath = ADAPTER_PATH + QStringLiteral("/dev_") + QString(options.address).replace(QLatin1Char(':'), QLatin1Char('_'));
    const QString servicePath = m_devicePath + QStringLiteral("/service0010");
    m_writePath = servicePath + QStringLiteral("/char0011");
    m_notifyPath = servicePath + QStringLiteral("/char0013");
    m_descriptorPath = m_notifyPath + QStringLiteral("/desc0015");
    const QString name = module->name();

    m_objects[ADAPTER_PATH][ADAPTER] = QVariantMap{
        { "Address", ADAPTER_ADDRESS }, { "AddressType", "public" }, { "Name", "paramica-blesim" },
        { "Alias", "paramica-blesim" }, { "Class", 0u }, { "Powered", true }, { "Discoverable", false },
        { "Pairable", false }, { "Discovering", false }, { "UUIDs", QStringList() },
    };
    m_objects[m_devicePath][DEVICE] = QVariantMap{
        { "Address", options.address }, { "AddressType", "public" }, { "Name", name }, { "Alias", name },
        { "Adapter", QVariant::fromValue(QDBusObjectPath(ADAPTER_PATH)) }, { "Paired", false }, { "Trusted", false },
        { "Blocked", false }, { "LegacyPairing", false }, { "Connected", false }, { "ServicesResolved", false },
        { "UUIDs", QStringList{ SERVICE_UUID } },
    };
    m_objects[servicePath][SERVICE] = QVariantMap{
        { "UUID", SERVICE_UUID }, { "Device", QVariant::fromValue(QDBusObjectPath(m_devicePath)) }, { "Primary", true },
    };
    m_objects[m_writePath][CHARACTERISTIC] = QVariantMap{
        { "UUID", WRITE_UUID }, { "Service", QVariant::fromValue(QDBusObjectPath(servicePath)) },
        { "Value", QByteArray() }, { "Notifying", false },
        { "Flags", QStringList{ options.withResponse ? "write" : "write-without-response" } },
    };
    m_objects[m_notifyPath][CHARACTERISTIC] = QVariantMap{
        { "UUID", NOTIFY_UUID }, { "Service", QVariant::fromValue(QDBusObjectPath(servicePath)) },
        { "Value", QByteArray() }, { "Notifying", false }, { "Flags", QStringList{ "notify" } },
    };
    m_objects[m_descriptorPath][DESCRIPTOR] = QVariantMap{
        { "UUID", CLIENT_CONFIGURATION_UUID }, { "Characteristic", QVariant::fromValue(QDBusObjectPath(m_notifyPath)) },
        { "Value", NOTIFICATIONS_OFF },
    };
}

bool CBlueZObjects::publish(const QDBusConnection& bus, QString* error)
{
    m_bus = bus;
    if (!m_bus.isConnected()) {
        *error = QStringLiteral("no bus: %1").arg(m_bus.lastError().message());
        return false;
    }
    if (!m_bus.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath)) {
        *error = QStringLiteral("cannot register the objects: %1").arg(m_bus.lastError().message());
        return false;
    }
    if (!m_bus.registerService(BLUEZ)) {
        *error = QStringLiteral("cannot own %1: %2").arg(BLUEZ, m_bus.lastError().message());
        return false;
    }
    return true;
}

QString CBlueZObjects::introspect(const QString& path) const
{
    QString xml;
    for (const QString& interface : m_objects.value(path).keys())
        xml += QStringLiteral("<interface name=\"%1\"/>").arg(interface);
    // Children one level below, so that tools can walk the tree.
    const QString prefix = path == QLatin1String("/") ? path : path + QLatin1Char('/');
    QStringList children;
    for (const QString& object : m_objects.keys()) {
        if (object.startsWith(prefix)) {
            const QString child = object.mid(prefix.size()).section(QLatin1Char('/'), 0, 0);
            if (!children.contains(child))
                children.append(child);
        }
    }
    for (const QString& child : qAsConst(children))
        xml += QStringLiteral("<node name=\"%1\"/>").arg(child);
    return xml;
}

bool CBlueZObjects::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const QString path = message.path();
    QDBusMessage reply;
    if (message.interface() == OBJECT_MANAGER && message.member() == QLatin1String("GetManagedObjects")) {
        BlueZObjectList objects;
        for (auto object = m_objects.cbegin(); object != m_objects.cend(); ++object)
            objects.insert(QDBusObjectPath(object.key()), object.value());
        reply = message.createReply(QVariant::fromValue(objects));
    } else if (!m_objects.contains(path)) {
        return false;
    } else if (message.interface() == PROPERTIES) {
        reply = propertiesCall(message);
    } else if (message.interface() == DEVICE && path == m_devicePath) {
        reply = deviceCall(message);
    } else if (message.interface() == CHARACTERISTIC && m_objects.value(path).contains(CHARACTERISTIC)) {
        reply = characteristicCall(message);
    } else if (message.interface() == DESCRIPTOR && path == m_descriptorPath) {
        reply = descriptorCall(message);
    } else if (message.interface() == ADAPTER && path == ADAPTER_PATH) {
        reply = message.createReply(); // discovery and its filter: nothing to find
    } else {
        return false;
    }
    if (reply.type() != QDBusMessage::InvalidMessage)
        connection.send(reply);
    return true;
}

QDBusMessage CBlueZObjects::propertiesCall(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    const QVariantMap properties = m_objects.value(message.path()).value(arguments.value(0).toString());
    const QString member = message.member();
    if (member == QLatin1String("GetAll"))
        return message.createReply(QVariant(properties));
    const QString name = arguments.value(1).toString();
    if (!properties.contains(name))
        return message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                        QStringLiteral("No such property '%1'").arg(name));
    if (member == QLatin1String("Get"))
        return message.createReply(QVariant::fromValue(QDBusVariant(properties.value(name))));
    if (member == QLatin1String("Set")) {
        changeProperties(message.path(), arguments.value(0).toString(),
                         { { name, qvariant_cast<QDBusVariant>(arguments.value(2)).variant() } });
        return message.createReply();
    }
    return message.createErrorReply(QDBusError::UnknownMethod, member);
}

QDBusMessage CBlueZObjects::deviceCall(const QDBusMessage& message)
{
    const QString member = message.member();
    if (member == QLatin1String("Connect")) {
        if (m_options.refuseConnect) {
            emit report(QStringLiteral("connection refused"));
            return failure(message, QStringLiteral("le-connection-abort-by-local"));
        }
        // The reply first, then the link and its services, as BlueZ reports them.
        m_bus.send(message.createReply());
        changeProperties(m_devicePath, DEVICE, { { "Connected", true } });
        if (m_options.stallConnect) {
            emit report(QStringLiteral("connected, services left unresolved"));
            return QDBusMessage();
        }
        changeProperties(m_devicePath, DEVICE, { { "ServicesResolved", true } });
        emit report(QStringLiteral("connected"));
        return QDBusMessage();
    }
    if (member == QLatin1String("Disconnect")) {
        m_bus.send(message.createReply());
        changeProperties(m_notifyPath, CHARACTERISTIC, { { "Notifying", false } });
        changeProperties(m_devicePath, DEVICE, { { "ServicesResolved", false } });
        changeProperties(m_devicePath, DEVICE, { { "Connected", false } });
        emit report(QStringLiteral("disconnected"));
        return QDBusMessage();
    }
    return failure(message, QStringLiteral("%1 is not supported").arg(member));
}

QDBusMessage CBlueZObjects::characteristicCall(const QDBusMessage& message)
{
    const QString path = message.path();
    const QString member = message.member();
    const QVariantMap properties = m_objects.value(path).value(CHARACTERISTIC);
    if (!m_objects.value(m_devicePath).value(DEVICE).value("Connected").toBool())
        return message.createErrorReply(QStringLiteral("org.bluez.Error.NotConnected"), QStringLiteral("Not Connected"));
    if (member == QLatin1String("ReadValue"))
        return message.createReply(QVariant(properties.value("Value").toByteArray()));
    if (member == QLatin1String("WriteValue") && path == m_writePath) {
        const QByteArray packet = message.arguments().value(0).toByteArray();
        return m_module->receivePacket(packet) ? message.createReply() : failure(message, QStringLiteral("Write refused"));
    }
    if ((member == QLatin1String("StartNotify") || member == QLatin1String("StopNotify")) && path == m_notifyPath) {
        const bool on = member == QLatin1String("StartNotify");
        m_bus.send(message.createReply());
        changeProperties(m_notifyPath, CHARACTERISTIC, { { "Notifying", on } });
        m_objects[m_descriptorPath][DESCRIPTOR]["Value"] = on ? NOTIFICATIONS_ON : NOTIFICATIONS_OFF;
        emit report(on ? QStringLiteral("notifications on") : QStringLiteral("notifications off"));
        return QDBusMessage();
    }
    return message.createErrorReply(QStringLiteral("org.bluez.Error.NotSupported"), QStringLiteral("Operation is not supported"));
}

QDBusMessage CBlueZObjects::descriptorCall(const QDBusMessage& message)
{
    if (message.member() == QLatin1String("ReadValue"))
        return message.createReply(QVariant(m_objects.value(m_descriptorPath).value(DESCRIPTOR).value("Value").toByteArray()));
    // BlueZ leaves the client configuration to StartNotify and StopNotify.
    return message.createErrorReply(QStringLiteral("org.bluez.Error.NotPermitted"), QStringLiteral("Write not permitted"));
}

void CBlueZObjects::notify(const QByteArray& packet)
{
    if (!m_objects.value(m_notifyPath).value(CHARACTERISTIC).value("Notifying").toBool()) {
        emit report(QStringLiteral("notification dropped: notifications are off"));
        return;
    }
    changeProperties(m_notifyPath, CHARACTERISTIC, { { "Value", packet } });
}

void CBlueZObjects::vanish()
{
    changeProperties(m_notifyPath, CHARACTERISTIC, { { "Notifying", false } });
    changeProperties(m_devicePath, DEVICE, { { "ServicesResolved", false }, { "Connected", false } });
    // Deepest objects first, as BlueZ removes them.
    const QStringList paths = m_objects.keys();
    for (auto path = paths.crbegin(); path != paths.crend(); ++path) {
        if (!path->startsWith(m_devicePath))
            continue;
        QDBusMessage removed = QDBusMessage::createSignal(QStringLiteral("/"), OBJECT_MANAGER, QStringLiteral("InterfacesRemoved"));
        removed << QVariant::fromValue(QDBusObjectPath(*path)) << QStringList(m_objects.value(*path).keys());
        m_bus.send(removed);
        m_objects.remove(*path);
    }
    emit report(QStringLiteral("vanished"));
}

void CBlueZObjects::changeProperties(const QString& path, const QString& interface, const QVariantMap& values)
{
    if (!m_objects.contains(path))
        return;
    QVariantMap& properties = m_objects[path][interface];
    for (auto value = values.cbegin(); value != values.cend(); ++value)
        properties.insert(value.key(), value.value());
    QDBusMessage changed = QDBusMessage::createSignal(path, PROPERTIES, QStringLiteral("PropertiesChanged"));
    changed << interface << values << QStringList();
    m_bus.send(changed);
}
