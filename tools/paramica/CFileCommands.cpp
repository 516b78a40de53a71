#include "CFileCommands.h"

#include "CCommandLine.h"

#include "backend/CDataBackend.h"
#include "files/CDataPoint.h"
#include "files/CParameterFile.h"
#include "files/CParameterValues.h"
#include "files/CRecordFile.h"
#include "items/CGlobals.h"
#include "items/CItem.h"
#include "models/CChartModel.h"
#include "models/CTreeModel.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>


namespace {
const int RECORD_INTERVAL_MS = 1000;
const int DEFAULT_RECORD_SECONDS = 10;
const int MAX_RECORD_SECONDS = 7 * 86400;
// Rotation hours a recording accepts, in the order of the record file's choices.
const QList<int> ROTATION_HOURS = { 2, 4, 8, 12, 24, 28 };

}

CFileCommands::CFileCommands(CCommandLine& commandLine)
    : m_commandLine(commandLine)
{
}

QString CFileCommands::title() const
{
    return QStringLiteral("Commands on the files of a described device");
}

QList<QCommandLineOption> CFileCommands::options() const
{
    return {
        { QStringLiteral("seconds"), QStringLiteral("Length of a recording (default 10)."), QStringLiteral("n"),
          QString::number(DEFAULT_RECORD_SECONDS) },
        { QStringLiteral("rotate"), QStringLiteral("Start a new record file every 2, 4, 8, 12, 24 or 28 hours."),
          QStringLiteral("hours") },
    };
}

QList<CCommandGroup::Command> CFileCommands::commands()
{
    return {
        { QStringLiteral("save"), QStringLiteral("FILE.xml"), 1, QStringLiteral("save the parameters to a parameter file"),
          [this](const QStringList& arguments) {
              const QString& fileName = arguments.first();
              return saveParameters(
                  fileName,
                  [&fileName](const QMap<QString, QString>& description, const QList<CDataPoint>& data, QString* error) {
                      return CParameterFile::saveFile(fileName, description, data, error);
                  },
                  QStringLiteral("Could not write the parameter file '%1'."),
                                    QStringLiteral("Parameters saved to %1"));
          } },
        { QStringLiteral("load"), QStringLiteral("FILE.xml"), 1,
          QStringLiteral("load a parameter file and write it to the device"),
          [this](const QStringList& arguments) { return load(arguments.first()); } },
        { QStringLiteral("diff"), QStringLiteral("FILE.xml"), 1,
          QStringLiteral("compare the device with a parameter file (exit 1 when they differ)"),
          [this](const QStringList& arguments) { return diff(arguments.first()); } },
        { QStringLiteral("edit"), QStringLiteral("FILE.xml ITEM VALUE [ITEM VALUE ...]"), 3,
          QStringLiteral("change values of a parameter file, without a device"),
          [this](const QStringList& arguments) { return edit(arguments); } },
        { QStringLiteral("print"), QStringLiteral("FILE.pdf"), 1, QStringLiteral("print the parameters to a PDF file"),
          [this](const QStringList& arguments) {
              const QString& fileName = arguments.first();
              return saveParameters(
                  fileName,
                  [&fileName](const QMap<QString, QString>& description, const QList<CDataPoint>& data, QString*) {
                      return CParameterFile::savePdf(fileName, description, data);
                  },
                  QStringLiteral("Could not write the PDF file '%1'."),
                                    QStringLiteral("Parameters printed to %1"));
          } },
        { QStringLiteral("record"), QStringLiteral("FILE.csv"), 1,
          QStringLiteral("record the process values (--seconds, --rotate)"),
          [this](const QStringList& arguments) { return record(arguments.first()); } },
    };
}

int CFileCommands::saveParameters(const QString& fileName, const Writer& write, const QString& failure,
                                  const QString& success)
{
    if (!m_commandLine.identifyDevice())
        return m_commandLine.failure();
    CTreeModel* parameter = m_commandLine.namedModel(CGlobals::ModelName_Parameter);
    if (!parameter || !m_commandLine.readModel(parameter))
        return m_commandLine.failure();
    QString why;
    if (!write(m_commandLine.backend()->parameterFileDescription(), CParameterFile::parameterData(parameter), &why)) {
        CCommandLine::printError(failure.arg(QDir::toNativeSeparators(fileName)));
        if (!why.isEmpty())
            CCommandLine::printError(why);
        return CCommandLine::EXIT_FILE_ERROR;
    }
    CCommandLine::printLine(success.arg(QDir::toNativeSeparators(fileName)));
    return CCommandLine::EXIT_OK;
}

int CFileCommands::readFileAndDevice(const QString& fileName, QList<CDataPoint>* records, CTreeModel** parameter)
{
    QMap<QString, QString> description;
    if (!m_commandLine.loadParameterFile(fileName, &description, records))
        return m_commandLine.failure();
    if (!m_commandLine.identifyDevice())
        return m_commandLine.failure();
    *parameter = m_commandLine.namedModel(CGlobals::ModelName_Parameter);
    if (!*parameter || !m_commandLine.readModel(*parameter))
        return m_commandLine.failure();
    const QString mismatch =
        CParameterFile::deviceMismatch(description, m_commandLine.backend()->parameterFileDescription());
    if (!mismatch.isEmpty()) {
        CCommandLine::printError(mismatch);
        return CCommandLine::EXIT_FILE_ERROR;
    }
    return CCommandLine::EXIT_OK;
}

int CFileCommands::load(const QString& fileName)
{
    QList<CDataPoint> records;
    CTreeModel* parameter = nullptr;
    if (const int failure = readFileAndDevice(fileName, &records, &parameter))
        return failure;
    // Every value is checked before the first one reaches the device.
    QStringList refused;
    int applied = 0;
    if (!CParameterValues::apply(parameter, records, CParameterValues::MISSING_REFUSED, &refused, &applied)) {
        CCommandLine::printError(QStringLiteral("'%1' holds values the device cannot take; nothing was written:")
                                     .arg(QDir::toNativeSeparators(fileName)));
        for (const QString& line : qAsConst(refused))
            CCommandLine::printError(QStringLiteral("  ") + line);
        return CCommandLine::EXIT_FILE_ERROR;
    }
    if (!m_commandLine.writeModel(parameter) || !m_commandLine.readModel(parameter, true))
        return m_commandLine.failure();
    CCommandLine::printLine(QStringLiteral("%1 parameters loaded from %2 and written to the device")
                                .arg(applied)
                                .arg(QDir::toNativeSeparators(fileName)));
    return CCommandLine::EXIT_OK;
}

int CFileCommands::diff(const QString& fileName)
{
    QList<CDataPoint> records;
    CTreeModel* parameter = nullptr;
    if (const int failure = readFileAndDevice(fileName, &records, &parameter))
        return failure;
    const QList<CParameterValues::Difference> differences = CParameterValues::differences(parameter, records);
    const QString absent = QStringLiteral("(none)");
    for (const CParameterValues::Difference& difference : differences)
        CCommandLine::printLine(QStringLiteral("%1: device %2, file %3")
                                    .arg(difference.caption, difference.inDevice ? difference.deviceText : absent,
                                         difference.inFile ? difference.fileText : absent));
    if (differences.isEmpty()) {
        CCommandLine::printLine(
            QStringLiteral("The device holds the values of %1.").arg(QDir::toNativeSeparators(fileName)));
        return CCommandLine::EXIT_OK;
    }
    CCommandLine::printLine((differences.size() == 1 ? QStringLiteral("1 value differs.") : QStringLiteral("%1 values differ.").arg(differences.size())));
    return CCommandLine::EXIT_DIFFERENT;
}

int CFileCommands::edit(const QStringList& arguments)
{
    const QString& fileName = arguments.first();
    if (arguments.size() % 2 == 0) {
        CCommandLine::printError(QStringLiteral("edit needs a VALUE after each ITEM. See --help."));
        return CCommandLine::EXIT_USAGE;
    }
    QMap<QString, QString> description;
    QList<CDataPoint> records;
    CTreeModel* parameter = m_commandLine.openFileOffline(fileName, &description, &records);
    if (!parameter)
        return m_commandLine.failure();
    // Every value is checked before the file is written.
    QStringList refused;
    QStringList edited;
    for (int index = 1; index + 1 < arguments.size(); index += 2) {
        QString why;
        const int record = CParameterValues::editRecord(parameter, &records, arguments.at(index),
                                                        arguments.at(index + 1), &why);
        if (record < 0) {
            refused.append(why);
            continue;
        }
        const CItem* item = CParameterValues::findItem(parameter, arguments.at(index));
        edited.append(
            QStringLiteral("%1: %2 %3").arg(item->caption(), records.at(record).valueText, item->unit()).trimmed());
    }
    if (!refused.isEmpty()) {
        for (const QString& line : qAsConst(refused))
            CCommandLine::printError(line);
        CCommandLine::printError(
            QStringLiteral("%1 was not changed.").arg(QDir::toNativeSeparators(fileName)));
        return CCommandLine::EXIT_USAGE;
    }
    CParameterValues::restoreObjectRecords(parameter, &records);
    QString why;
    if (!CParameterFile::saveFile(fileName, description, records, &why)) {
        CCommandLine::printError(
            QStringLiteral("Could not write the parameter file '%1'.").arg(QDir::toNativeSeparators(fileName)));
        if (!why.isEmpty())
            CCommandLine::printError(why);
        return CCommandLine::EXIT_FILE_ERROR;
    }
    for (const QString& line : qAsConst(edited))
        CCommandLine::printLine(line);
    CCommandLine::printLine(QStringLiteral("%1 saved").arg(QDir::toNativeSeparators(fileName)));
    return CCommandLine::EXIT_OK;
}

int CFileCommands::record(const QString& fileName)
{
    int seconds = 0;
    if (!m_commandLine.parseNumber(QStringLiteral("seconds"), MAX_RECORD_SECONDS, &seconds, 1))
        return CCommandLine::EXIT_USAGE;
    int interval = 0;
    if (m_commandLine.isSet(QStringLiteral("rotate"))) {
        const QString hours = m_commandLine.option(QStringLiteral("rotate"));
        interval = ROTATION_HOURS.indexOf(hours.toInt()) + 1;
        if (interval == 0) {
            CCommandLine::printError(QStringLiteral("Invalid --rotate '%1' (2, 4, 8, 12, 24 or 28).").arg(hours));
            return CCommandLine::EXIT_USAGE;
        }
    }
    if (!m_commandLine.identifyDevice())
        return m_commandLine.failure();
    CDataBackend* backend = m_commandLine.backend();
    CTreeModel* process = nullptr;
    for (CTreeModel* model : backend->models()) {
        if (!process && backend->chartModel(model->objectName()))
            process = model;
    }
    if (!process) {
        CCommandLine::printError(QStringLiteral("The device has no process values to record."));
        return CCommandLine::EXIT_USAGE;
    }
    CChartModel* chart = backend->chartModel(process->objectName());

    CRecordFile recorder;
    QObject::connect(&recorder, &CMessageSender::errorMessage, &m_commandLine, &CCommandLine::reportMessage);
    if (m_commandLine.isSet(QStringLiteral("verbose")))
        QObject::connect(&recorder, &CMessageSender::logMessage, &recorder, &CCommandLine::printError);
    const CDeviceDescription device = backend->currentDeviceDescription();
    recorder.setDevice(device.name, device.pabVersion);
    recorder.setHeaderNames(chart->dataNames());
    recorder.setFileInterval(interval);
    recorder.setFilePath(QFileInfo(fileName).absolutePath());
    if (!recorder.start(fileName))
        return CCommandLine::EXIT_FILE_ERROR;

    int rows = 0;
    QElapsedTimer elapsed;
    QObject::connect(chart, qOverload<QHash<QString, QString>>(&CChartModel::newDataAdded), &recorder,
                     [&](const QHash<QString, QString>& texts) {
                         recorder.appendData(texts);
                         ++rows;
                         const qint64 second = qMin<qint64>((elapsed.elapsed() + 500) / 1000, seconds);
                         m_commandLine.showProgress(QStringLiteral("Recording %1: %2 of %3 s, %4 rows")
                                                        .arg(recorder.fileName())
                                                        .arg(second)
                                                        .arg(seconds)
                                                        .arg(rows),
                                                    int(100 * second / seconds));
                     });
    // Process values are polled, as a front end's chart timer does.
    int polls = 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, process, [process, &polls] {
        ++polls;
        process->readData();
    });
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, &end, [this] { m_commandLine.finish(CCommandLine::EXIT_OK); });
    elapsed.start();
    process->readData();
    poll.start(RECORD_INTERVAL_MS);
    end.start(seconds * 1000);
    const int result = m_commandLine.waitForCompletion(seconds * 1000 + CCommandLine::COMMAND_TIMEOUT_MS, false);
    poll.stop();
    // The last read is answered or given up before the rows are counted.
    m_commandLine.waitForCompletion(CCommandLine::COMMAND_TIMEOUT_MS, true);
    recorder.stop();
    m_commandLine.endProgress();
    if (result != CCommandLine::EXIT_OK)
        return result;
    if (rows < polls)
        CCommandLine::printError(
            QStringLiteral("%1 of %2 reads of the process values went unanswered.").arg(polls - rows).arg(polls));
    CCommandLine::printLine(
        QStringLiteral("%1 rows recorded to %2").arg(rows).arg(QDir::toNativeSeparators(fileName)));
    return rows > 0 ? CCommandLine::EXIT_OK : CCommandLine::EXIT_DEVICE_ERROR;
}
