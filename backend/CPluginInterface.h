#pragma once

#include "interfaces/CBaseInterface.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtPlugin>

class CBaseWidget; // the front end's widget type; the library only passes pointers on
class CDataBackend;

// What a device plug-in offers the back end. A plug-in is a Qt plug-in library
// in the plug-in directory whose root object implements this interface.
class CPluginInterface
{
public:
    virtual ~CPluginInterface() = default;

    // Called when the plug-in is bound to an activated device; the plug-in may
    // keep the back end.
    virtual bool setup(CDataBackend* backend, const QString& orderNumber) = 0;
    // True for the order numbers the plug-in serves, and for the default
    // identifier when it is the fallback plug-in.
    virtual bool supportsDevice(const QString& id) = 0;
    virtual QString pluginName() const = 0;
    // For the front end's about box; the library itself does not call it.
    virtual QString pluginVersion() const = 0;
    // Names under which firmware files for the device may be found.
    virtual QStringList deviceFlashNames(const QString& name) const = 0;
    virtual STRUCT_SERIAL_SETTINGS serialSettings() const = 0;
    virtual QList<CBaseWidget*> pluginWidgets() const = 0;
    virtual QObject* deviceFront() const = 0;
};

#define CPluginInterface_iid "org.velta.paramica.plugin/1.0"
Q_DECLARE_INTERFACE(CPluginInterface, CPluginInterface_iid)
