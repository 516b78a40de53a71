#include "CVeltaTc200Plugin.h"

#include "items/CGlobals.h"

#include <QSerialPort>

const QString CVeltaTc200Plugin::ORDER_NUMBER_PREFIX = QStringLiteral("4711");

bool CVeltaTc200Plugin::setup(CDataBackend* backend, const QString& orderNumber)
{
    m_backend = backend;
    m_orderNumber = orderNumber;
    return true;
}

bool CVeltaTc200Plugin::supportsDevice(const QString& id)
{
    // Also the family's fallback for devices without a plug-in of their own.
    return id.startsWith(ORDER_NUMBER_PREFIX) || id == CGlobals::PluginIdDefault;
}

QString CVeltaTc200Plugin::pluginName() const
{
    return QStringLiteral("VELTA TC-200");
}

QString CVeltaTc200Plugin::pluginVersion() const
{
    return QStringLiteral("1.0");
}

QStringList CVeltaTc200Plugin::deviceFlashNames(const QString& name) const
{
    // Images of the whole family carry the family name, older ones the short form.
    return {name, QStringLiteral("TC-200"), QStringLiteral("TC200")};
}

STRUCT_SERIAL_SETTINGS CVeltaTc200Plugin::serialSettings() const
{
    STRUCT_SERIAL_SETTINGS settings;
    settings.baudRate = QSerialPort::Baud19200;
    settings.parity = QSerialPort::NoParity;
    settings.flowControl = QSerialPort::NoFlowControl;
    settings.dataBits = QSerialPort::Data8;
    settings.stopBits = QSerialPort::OneStop;
    return settings;
}

QList<CBaseWidget*> CVeltaTc200Plugin::pluginWidgets() const
{
    return {};
}

QObject* CVeltaTc200Plugin::deviceFront() const
{
    return nullptr;
}
