#include "CDeviceCommands.h"

#include "CCommandLine.h"

#include "backend/CDataBackend.h"
#include "files/CDataPoint.h"
#include "files/CParameterValues.h"
#include "items/CGlobals.h"
#include "items/CItem.h"
#include "models/CTreeModel.h"

#include <QCoreApplication>
#include <QDir>

#include <functional>

CDeviceCommands::CDeviceCommands(CCommandLine& commandLine)
    : m_commandLine(commandLine)
{
}

QString CDeviceCommands::title() const
{
    return QStringLiteral("Commands on a described device");
}

QList<QCommandLineOption> CDeviceCommands::options() const
{
    return { { QStringLiteral("file"), QStringLiteral("show: the parameters of a parameter file, without a device."),
               QStringLiteral("FILE.xml") } };
}

QList<CCommandGroup::Command> CDeviceCommands::commands()
{
    return {
        { QStringLiteral("devices"), QString(), 0, QStringLiteral("list the installed device descriptions"),
          [this](const QStringList&) { return devices(); } },
        { QStringLiteral("identify"), QString(), 0, QStringLiteral("choose and activate the description of the device"),
          [this](const QStringList&) { return identify(); } },
        { QStringLiteral("show"), QStringLiteral("[MODEL]"), 0,
          QStringLiteral("read and print a model (all models without MODEL; --file)"),
          [this](const QStringList& arguments) { return show(arguments); } },
        { QStringLiteral("set"), QStringLiteral("MODEL ITEM VALUE"), 3,
          QStringLiteral("write one value (ITEM: object name or caption), read it back"),
          [this](const QStringList& arguments) { return set(arguments); } },
    };
}

int CDeviceCommands::devices()
{
    const QStringList available = m_commandLine.backend()->availableDevices();
    for (const QString& refused : m_commandLine.backend()->refusedDeviceFiles())
        CCommandLine::printError(QStringLiteral("Skipped %1").arg(refused));
    if (available.isEmpty()) {
        CCommandLine::printError(
            QStringLiteral("No device descriptions installed in %1.")
                .arg(QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + CDataBackend::XML_PATH)));
        return CCommandLine::EXIT_FILE_ERROR;
    }
    for (const QString& device : available)
        CCommandLine::printLine(device);
    return CCommandLine::EXIT_OK;
}

int CDeviceCommands::identify()
{
    if (!m_commandLine.identifyDevice())
        return m_commandLine.failure();
    CDataBackend* backend = m_commandLine.backend();
    CCommandLine::printLine(QStringLiteral("Device: %1").arg(backend->currentDevice()));
    QStringList models;
    for (const CTreeModel* model : backend->models())
        models.append(model->objectName());
    CCommandLine::printLine(QStringLiteral("Models: %1").arg(models.join(QStringLiteral(", "))));
    return CCommandLine::EXIT_OK;
}

void CDeviceCommands::printModel(CTreeModel* model)
{
    CCommandLine::printLine(model->objectName());
    const int captionColumn = model->columnCount() - 2;
    const int valueColumn = model->columnCount() - 1;
    const std::function<void(const QModelIndex&, int)> printRows = [&](const QModelIndex& parent, int depth) {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex caption = model->index(row, captionColumn, parent);
            const CItem* item = model->itemAt(caption);
            QString line = QString(2 * depth, QLatin1Char(' ')) + model->data(caption).toString();
            if (!CParameterValues::isCaptionRow(item))
                line += QStringLiteral(": ") + model->data(model->index(row, valueColumn, parent)).toString().trimmed();
            CCommandLine::printLine(line);
            printRows(model->index(row, 0, parent), depth + 1);
        }
    };
    printRows(QModelIndex(), 1);
}

int CDeviceCommands::show(const QStringList& arguments)
{
    if (m_commandLine.isSet(QStringLiteral("file")))
        return showFile(m_commandLine.option(QStringLiteral("file")));
    if (!m_commandLine.identifyDevice())
        return m_commandLine.failure();
    QList<CTreeModel*> models = m_commandLine.backend()->models();
    if (!arguments.isEmpty()) {
        CTreeModel* model = m_commandLine.namedModel(arguments.first());
        if (!model)
            return m_commandLine.failure();
        models = { model };
    }
    for (CTreeModel* model : models) {
        if (!m_commandLine.readModel(model))
            return m_commandLine.failure();
        printModel(model);
    }
    return CCommandLine::EXIT_OK;
}

int CDeviceCommands::showFile(const QString& fileName)
{
    QMap<QString, QString> description;
    QList<CDataPoint> records;
    CTreeModel* parameter = m_commandLine.openFileOffline(fileName, &description, &records);
    if (!parameter)
        return m_commandLine.failure();
    QStringList refused;
    if (!CParameterValues::apply(parameter, records, CParameterValues::MISSING_REFUSED, &refused)) {
        CCommandLine::printError(QStringLiteral("'%1' holds values the device cannot take:")
                                     .arg(QDir::toNativeSeparators(fileName)));
        for (const QString& line : qAsConst(refused))
            CCommandLine::printError(QStringLiteral("  ") + line);
        return CCommandLine::EXIT_FILE_ERROR;
    }
    printModel(parameter);
    int notInFile = 0;
    for (const CParameterValues::Difference& difference : CParameterValues::differences(parameter, records))
        notInFile += difference.inFile ? 0 : 1;
    if (notInFile > 0)
        CCommandLine::printError(
            QStringLiteral("%1 items are not in the file; they show the description's values.").arg(notInFile));
    return CCommandLine::EXIT_OK;
}

int CDeviceCommands::set(const QStringList& arguments)
{
    const QString& modelName = arguments.at(0);
    const QString& itemName = arguments.at(1);
    const QString& valueText = arguments.at(2);
    if (!m_commandLine.identifyDevice())
        return m_commandLine.failure();
    CTreeModel* model = m_commandLine.namedModel(modelName);
    if (!model || !m_commandLine.readModel(model))
        return m_commandLine.failure();

    QStringList closest;
    CItem* item = CParameterValues::findItem(model, itemName, &closest);
    if (!item) {
        CCommandLine::printError(QStringLiteral("Model '%1' has no item '%2'.").arg(model->objectName(), itemName)
                                 + CParameterValues::closestText(closest));
        return CCommandLine::EXIT_USAGE;
    }
    QString refusal;
    const QVariant value = CParameterValues::valueForText(item, valueText, &refusal);
    if (!value.isValid()) {
        CCommandLine::printError(refusal);
        return CCommandLine::EXIT_USAGE;
    }
    item->setValue(value);
    if (!m_commandLine.writeModel(model) || !m_commandLine.readModel(model, true))
        return m_commandLine.failure();
    CCommandLine::printLine(
        QStringLiteral("%1: %2 %3").arg(item->caption(), item->toValueString(), item->unit()).trimmed());
    return CCommandLine::EXIT_OK;
}
