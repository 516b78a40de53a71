#pragma once

#include "paramica_export.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// Names shared by the back end, the models and the parameter file, and the
// text form of a device identity.
class PARAMICA_EXPORT CGlobals
{
    Q_DECLARE_TR_FUNCTIONS(CGlobals)

public:
    static const QString ModelName_DeviceInfo;
    static const QString ModelName_Parameter;
    static const QString ModelName_Pab;
    static const QString ModelName_Data;
    static const QString ModelName_Setup;
    static const QString ModbusMaster;
    static const QString NfcMaster;
    static const QString Item_Bestellnummer;
    static const QString Item_Seriennummer;
    static const QString Item_SoftwareVersion;
    static const QString Item_Parameterversion;
    static const QString PluginNameDefault;
    static const QString PluginIdDefault;

    // The fixed part of an order number: everything before its first X or x.
    static QString orderNumberMask(const QString& orderNumber);
    static QString createDeviceIdString(const QString& name, const QString& orderNumber,
                                        const QString& parameterVersion);
    // name, parameter version, order number
    static QStringList splitDeviceIdString(const QString& deviceId);
};
