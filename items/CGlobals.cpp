#include "items/CGlobals.h"

#include <QRegularExpression>

const QString CGlobals::ModelName_DeviceInfo = QStringLiteral("DeviceInfo");
const QString CGlobals::ModelName_Parameter = QStringLiteral("Parameter");
const QString CGlobals::ModelName_Pab = QStringLiteral("PabOut");
const QString CGlobals::ModelName_Data = QStringLiteral("_Data");
const QString CGlobals::ModelName_Setup = QStringLiteral("Setup");
const QString CGlobals::ModbusMaster = QStringLiteral("ModbusMaster");
const QString CGlobals::NfcMaster = QStringLiteral("NfcMaster");
const QString CGlobals::Item_Bestellnummer = QStringLiteral("Bestellnummer");
const QString CGlobals::Item_Seriennummer = QStringLiteral("Seriennummer");
const QString CGlobals::Item_SoftwareVersion = QStringLiteral("SoftwareVersion");
const QString CGlobals::Item_Parameterversion = QStringLiteral("ParameterVersion");
const QString CGlobals::PluginNameDefault = QStringLiteral("Default");
const QString CGlobals::PluginIdDefault = QStringLiteral("00000000");

QString CGlobals::orderNumberMask(const QString& orderNumber)
{
    if (orderNumber.isEmpty())
        return QString();
    static const QRegularExpression wildcard(QStringLiteral("[Xx].*"));
    QString mask = orderNumber;
    return mask.remove(wildcard);
}

QString CGlobals::createDeviceIdString(const QString& name, const QString& orderNumber,
                                       const QString& parameterVersion)
{
    return QStringLiteral("%1 (%2 %3, %4 %5)")
        .arg(name, tr("Parameter version:"),
             parameterVersion.isEmpty() ? QStringLiteral("0.00") : parameterVersion,
             tr("Order number:"),
             orderNumber.isEmpty() ? QStringLiteral("0") : orderNumber);
}

QStringList CGlobals::splitDeviceIdString(const QString& deviceId)
{
    // Only the last word of each piece is taken, so the labels may be
    // translated into any number of words.
    const QStringList parts = deviceId.split(QStringLiteral(" ("), Qt::KeepEmptyParts);
    const QString name = parts.first();
    QString rest;
    if (parts.size() > 1)
        rest = parts.last();
    rest.remove(QLatin1Char(')'));

    const QStringList pieces = rest.split(QLatin1Char(','), Qt::KeepEmptyParts);
    const auto lastWord = [](const QString& piece) {
        const QStringList words = piece.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        return words.isEmpty() ? QString() : words.last();
    };
    QString version;
    QString orderNumber;
    if (parts.size() > 1) {
        version = lastWord(pieces.first());
        orderNumber = lastWord(pieces.last());
    }
    return QStringList{name, version, orderNumber};
}
