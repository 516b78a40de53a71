#pragma once

#include "backend/CPluginInterface.h"

#include <QObject>

// Example plug-in for the TC-200 controllers: their display name, the names of
// their firmware images and the serial settings of their service port.
class CVeltaTc200Plugin : public QObject, public CPluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CPluginInterface_iid)
    Q_INTERFACES(CPluginInterface)

public:
    static const QString ORDER_NUMBER_PREFIX;

    bool setup(CDataBackend* backend, const QString& orderNumber) override;
    bool supportsDevice(const QString& id) override;
    QString pluginName() const override;
    QString pluginVersion() const override;
    QStringList deviceFlashNames(const QString& name) const override;
    STRUCT_SERIAL_SETTINGS serialSettings() const override;
    QList<CBaseWidget*> pluginWidgets() const override;
    QObject* deviceFront() const override;

private:
    CDataBackend* m_backend = nullptr;
    QString m_orderNumber;
};
