#include "CDeviceCommands.h"

#include "CCommandLine.h"

#include "backend/CDataBackend.h"
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

QList<CCommandGroup::Command> CDeviceCommands::commands()
{
    return {
        { QStringLiteral("devices"), QString(), 0, QStringLiteral("list the installed device descriptions"),
          [this](const QStringList&) { return devices(); } },
        { QStringLiteral("identify"), QString(), 0, QStringLiteral("choose and activate the description of the device"),
          [this](const QStringList&) { return identify(); } },
        { QStringLiteral("show"), QStringLiteral("[MODEL]"), 0,
          QStringLiteral("read and print a model (all models without MODEL)"),
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
            if (!CCommandLine::isCaptionRow(item))
                line += QStringLiteral(": ") + model->data(model->index(row, valueColumn, parent)).toString().trimmed();
            CCommandLine::printLine(line);
            printRows(model->index(row, 0, parent), depth + 1);
        }
    };
    printRows(QModelIndex(), 1);
}

int CDeviceCommands::show(const QStringList& arguments)
{
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

    CItem* item = model->findChild<CItem*>(itemName);
    for (CItem* candidate : model->findChildren<CItem*>()) {
        if (!item && !CCommandLine::isCaptionRow(candidate) && candidate->caption() == itemName)
            item = candidate;
    }
    if (!item || CCommandLine::isCaptionRow(item)) {
        CCommandLine::printError(QStringLiteral("Model '%1' has no item '%2'.").arg(modelName, itemName));
        return CCommandLine::EXIT_USAGE;
    }
    if (item->isReadOnly() || item->type() == CItem::TYPE_BIT) {
        CCommandLine::printError(QStringLiteral("%1 cannot be written.").arg(item->caption()));
        return CCommandLine::EXIT_USAGE;
    }
    QString refusal;
    const QVariant value = item->valueFromString(valueText, &refusal);
    if (!value.isValid()) {
        CCommandLine::printError(
            QStringLiteral("'%1' is not a valid value for %2: %3").arg(valueText, item->caption(), refusal));
        return CCommandLine::EXIT_USAGE;
    }
    item->setValue(value);
    if (!m_commandLine.writeModel(model) || !m_commandLine.readModel(model, true))
        return m_commandLine.failure();
    CCommandLine::printLine(
        QStringLiteral("%1: %2 %3").arg(item->caption(), item->toValueString(), item->unit()).trimmed());
    return CCommandLine::EXIT_OK;
}
