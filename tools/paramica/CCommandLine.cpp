#include "CCommandLine.h"

#include "backend/CDataBackend.h"
#include "files/CDataPoint.h"
#include "files/CParameterFile.h"
#include "files/CRecordFile.h"
#include "items/CGlobals.h"
#include "items/CItem.h"
#include "models/CChartModel.h"
#include "models/CTreeModel.h"
#include "protocol/CProtocolMaster.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {
const int DEFAULT_TCP_PORT = 502;
const uint MAX_TCP_PORT = 65535;
// A read is sent up to three times with a 3 s time-out before it is reported.
const int COMMAND_TIMEOUT_MS = 15000;
const int IDENTIFY_TIMEOUT_MS = 30000;
const int MAX_READ_REGISTERS = 125;
const int RECORD_INTERVAL_MS = 1000;
const int IDLE_WATCH_MS = 50;
const int DEFAULT_RECORD_SECONDS = 10;
const QString CAPTION_COMMUNICATION = QStringLiteral("Device communication");
const QString CAPTION_RESET = QStringLiteral("Reset Interface");
const QString DEFAULT_SHOW_MODEL = QStringLiteral("Parameter");
// Rotation hours a recording accepts, in the order of the record file's choices.
const QList<int> ROTATION_HOURS = { 2, 4, 8, 12, 24, 28 };

QString hexWord(int value)
{
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
}

quint16 blockAddress(const QByteArray& data)
{
    return data.size() < 2 ? 0 : quint16((uchar(data[0]) << 8) | uchar(data[1]));
}

bool isCaptionRow(const CItem* item)
{
    return item->type() == CItem::TYPE_OBJECT || item->type() == CItem::TYPE_GROUP;
}
}

CCommandLine::CCommandLine(QObject* parent)
    : QObject(parent)
{
    m_parser.setApplicationDescription(QStringLiteral(
        "Command-line front end of the Paramica library.\n\n"
        "Commands on the registers of any Modbus device:\n"
        "  scan                           scan answer, then device identification\n"
        "  read  --register A --count N   read N holding registers from A\n"
        "  write --register A --value V   write one holding register\n\n"
        "Commands on a described device:\n"
        "  devices                        list the installed device descriptions\n"
        "  identify                       choose and activate the description of the device\n"
        "  show [MODEL]                   read and print a model (all models without MODEL)\n"
        "  set MODEL ITEM VALUE           write one value (ITEM: object name or caption), read it back\n"
        "  save FILE.xml                  save the parameters to a parameter file\n"
        "  load FILE.xml                  load a parameter file and write it to the device\n"
        "  print FILE.pdf                 print the parameters to a PDF file\n"
        "  record FILE.csv                record the process values (--seconds, --rotate)\n\n"
        "Exit codes: 0 done, 1 device error, 2 usage error, 3 no connection, 4 file error."));
    m_parser.addHelpOption();
    m_parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command and its arguments."));
    m_parser.addOptions({
        { QStringLiteral("tcp"), QStringLiteral("Modbus TCP device, port 502 unless given."),
          QStringLiteral("host[:port]") },
        { QStringLiteral("serial"), QStringLiteral("Modbus RTU device on a serial port."), QStringLiteral("device") },
        { QStringLiteral("baud"), QStringLiteral("Serial baud rate (default 115200)."), QStringLiteral("n"),
          QStringLiteral("115200") },
        { QStringLiteral("parity"), QStringLiteral("Serial parity: none, even (default) or odd."),
          QStringLiteral("parity"), QStringLiteral("even") },
        { QStringLiteral("unit"), QStringLiteral("Modbus unit id / slave address (default 1)."), QStringLiteral("n"),
          QStringLiteral("1") },
        { QStringLiteral("register"), QStringLiteral("First register (decimal or 0x hex)."), QStringLiteral("addr") },
        { QStringLiteral("count"), QStringLiteral("Number of registers to read (default 1)."), QStringLiteral("n"),
          QStringLiteral("1") },
        { QStringLiteral("value"), QStringLiteral("Register value to write (decimal or 0x hex)."),
          QStringLiteral("v") },
        { QStringLiteral("seconds"), QStringLiteral("Length of a recording (default 10)."), QStringLiteral("n"),
          QString::number(DEFAULT_RECORD_SECONDS) },
        { QStringLiteral("rotate"), QStringLiteral("Start a new record file every 2, 4, 8, 12, 24 or 28 hours."),
          QStringLiteral("hours") },
        { QStringLiteral("verbose"), QStringLiteral("Print the library's log lines on stderr.") },
    });
}

int CCommandLine::run(const QStringList& arguments)
{
    if (!m_parser.parse(arguments)) {
        printError(m_parser.errorText());
        return EXIT_USAGE;
    }
    if (m_parser.isSet(QStringLiteral("help"))) {
        printLine(m_parser.helpText());
        return EXIT_OK;
    }
    const QStringList positional = m_parser.positionalArguments();
    if (positional.isEmpty()) {
        printError(QStringLiteral("No command given. See --help."));
        return EXIT_USAGE;
    }
    static const QMap<QString, Command> commands = {
        { QStringLiteral("scan"), &CCommandLine::scan },       { QStringLiteral("read"), &CCommandLine::readRegisters },
        { QStringLiteral("write"), &CCommandLine::writeRegister }, { QStringLiteral("devices"), &CCommandLine::devices },
        { QStringLiteral("identify"), &CCommandLine::identify }, { QStringLiteral("show"), &CCommandLine::show },
        { QStringLiteral("set"), &CCommandLine::set },         { QStringLiteral("save"), &CCommandLine::save },
        { QStringLiteral("load"), &CCommandLine::load },       { QStringLiteral("print"), &CCommandLine::print },
        { QStringLiteral("record"), &CCommandLine::record },
    };
    const Command command = commands.value(positional.first());
    if (!command) {
        printError(QStringLiteral("Unknown command '%1'. See --help.").arg(positional.first()));
        return EXIT_USAGE;
    }

    m_backend = CDataBackend::instance();
    connect(m_backend, &CDataBackend::errorMessage, this, &CCommandLine::reportMessage);
    connect(m_backend, &CDataBackend::warningMessage, this, &CCommandLine::reportMessage);
    connect(m_backend, &CDataBackend::infoMessage, this, &CCommandLine::reportMessage);
    if (m_parser.isSet(QStringLiteral("verbose")))
        connect(m_backend, &CDataBackend::log, this, &CCommandLine::printError);

    const int result = (this->*command)();
    m_backend->closeInterface();
    return result;
}

QString CCommandLine::positional(int index, const QString& what)
{
    const QStringList arguments = m_parser.positionalArguments();
    if (index < arguments.size())
        return arguments.at(index);
    printError(QStringLiteral("%1 needs %2. See --help.").arg(arguments.first(), what));
    return QString();
}

bool CCommandLine::parseNumber(const QString& option, int maximum, int* value)
{
    bool ok = false;
    const uint number = m_parser.value(option).toUInt(&ok, 0);
    if (!ok || number > uint(maximum)) {
        printError(QStringLiteral("Invalid --%1 '%2' (0 to %3).").arg(option, m_parser.value(option)).arg(maximum));
        return false;
    }
    *value = int(number);
    return true;
}

bool CCommandLine::connectDevice()
{
    const bool tcp = m_parser.isSet(QStringLiteral("tcp"));
    const bool serial = m_parser.isSet(QStringLiteral("serial"));
    if (tcp == serial) {
        printError(QStringLiteral("Give exactly one of --tcp HOST[:PORT] and --serial DEVICE."));
        m_exitCode = EXIT_USAGE;
        return false;
    }
    int unit = 1;
    if (!parseNumber(QStringLiteral("unit"), 247, &unit)) {
        m_exitCode = EXIT_USAGE;
        return false;
    }

    if (tcp) {
        QString endpoint = m_parser.value(QStringLiteral("tcp"));
        if (!endpoint.contains(QLatin1Char(':')))
            endpoint += QStringLiteral(":%1").arg(DEFAULT_TCP_PORT);
        bool portOk = false;
        const uint port = endpoint.section(QLatin1Char(':'), -1).toUInt(&portOk);
        if (!portOk || port < 1 || port > MAX_TCP_PORT) {
            printError(QStringLiteral("Invalid --tcp '%1' (HOST or HOST:PORT, port 1 to %2).")
                           .arg(m_parser.value(QStringLiteral("tcp")))
                           .arg(MAX_TCP_PORT));
            m_exitCode = EXIT_USAGE;
            return false;
        }
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        if (m_backend->openInterface(INTERFACE_TCP, endpoint, uchar(unit)))
            return true;
        printError(QStringLiteral("Could not connect to %1.").arg(endpoint));
    } else {
        STRUCT_SERIAL_SETTINGS settings = m_backend->interfaceSettings();
        const QString parity = m_parser.value(QStringLiteral("parity"));
        if (parity == QLatin1String("none"))
            settings.parity = 0;
        else if (parity == QLatin1String("even"))
            settings.parity = 2;
        else if (parity == QLatin1String("odd"))
            settings.parity = 3;
        else {
            printError(QStringLiteral("Invalid --parity '%1' (none, even or odd).").arg(parity));
            m_exitCode = EXIT_USAGE;
            return false;
        }
        if (!parseNumber(QStringLiteral("baud"), 4000000, &settings.baudRate)) {
            m_exitCode = EXIT_USAGE;
            return false;
        }
        m_backend->setInterfaceSettings(settings);
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        const QString device = m_parser.value(QStringLiteral("serial"));
        if (m_backend->openInterface(INTERFACE_SERIAL, device, uchar(unit)))
            return true;
        printError(QStringLiteral("Could not open serial port %1.").arg(device));
    }
    m_exitCode = EXIT_NO_CONNECTION;
    return false;
}

int CCommandLine::scan()
{
    if (!connectDevice())
        return m_exitCode;
    CProtocolMaster* master = m_backend->protocolMaster();
    connect(master, &CProtocolMaster::scanResponse, this, [this](const QStringList& entries) {
        for (const QString& entry : entries)
            printLine(entry);
        m_backend->readDid();
    });
    connect(master, &CProtocolMaster::didResponse, this, [this](const QStringList& entries) {
        for (const QString& entry : entries)
            printLine(entry);
        finish(EXIT_OK);
    });
    m_backend->scanDevice();
    const int result = waitForCompletion(2 * COMMAND_TIMEOUT_MS, true);
    if (m_unanswered)
        printError(QStringLiteral("No answer from device to the scan."));
    return result;
}

int CCommandLine::readRegisters()
{
    int address = 0;
    int count = 0;
    if (!m_parser.isSet(QStringLiteral("register"))) {
        printError(QStringLiteral("read needs --register ADDR."));
        return EXIT_USAGE;
    }
    if (!parseNumber(QStringLiteral("register"), 0xFFFF, &address)
        || !parseNumber(QStringLiteral("count"), MAX_READ_REGISTERS, &count) || count == 0)
        return EXIT_USAGE;
    if (!connectDevice())
        return m_exitCode;

    connect(m_backend->protocolMaster(), &CProtocolMaster::dataResponse, this, [this](const QByteArray& data) {
        int address = (uchar(data[0]) << 8) | uchar(data[1]);
        for (int i = 2; i + 1 < data.size(); i += 2, ++address)
            printLine(QStringLiteral("%1: %2").arg(hexWord(address), hexWord((uchar(data[i]) << 8) | uchar(data[i + 1]))));
        finish(EXIT_OK);
    });
    m_backend->buildRequest(CRequest(REQUEST_READ_GENERIC, 3, quint16(address), quint16(2 * count)));
    const int result = waitForCompletion(COMMAND_TIMEOUT_MS, true);
    if (m_unanswered)
        printError(QStringLiteral("No answer from device to the read of register %1.").arg(hexWord(address)));
    return result;
}

int CCommandLine::writeRegister()
{
    int address = 0;
    int value = 0;
    if (!m_parser.isSet(QStringLiteral("register")) || !m_parser.isSet(QStringLiteral("value"))) {
        printError(QStringLiteral("write needs --register ADDR and --value V."));
        return EXIT_USAGE;
    }
    if (!parseNumber(QStringLiteral("register"), 0xFFFF, &address) || !parseNumber(QStringLiteral("value"), 0xFFFF, &value))
        return EXIT_USAGE;
    if (!connectDevice())
        return m_exitCode;

    connect(m_backend, &CDataBackend::deviceAckResponse, this, [this, address, value] {
        printLine(QStringLiteral("%1: %2 written").arg(hexWord(address), hexWord(value)));
        finish(EXIT_OK);
    });
    // A single write carries its value in host order, low byte first.
    QByteArray data;
    data.append(char(value & 0xFF));
    data.append(char(value >> 8));
    m_backend->buildRequest(CRequest(REQUEST_WRITE_GENERIC_SINGLE, 6, 0, 0, quint16(address), 2, data));
    // An unanswered write is dropped by the master without a message.
    const int result = waitForCompletion(COMMAND_TIMEOUT_MS, true);
    if (m_unanswered)
        printError(QStringLiteral("No answer from device to the write of register %1.").arg(hexWord(address)));
    return result;
}

int CCommandLine::devices()
{
    const QStringList available = m_backend->availableDevices();
    if (available.isEmpty()) {
        printError(QStringLiteral("No device descriptions installed in %1.")
                       .arg(QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + CDataBackend::XML_PATH)));
        return EXIT_FILE_ERROR;
    }
    for (const QString& device : available)
        printLine(device);
    return EXIT_OK;
}

bool CCommandLine::identifyDevice()
{
    if (!connectDevice())
        return false;
    const QMetaObject::Connection checked =
        connect(m_backend, &CDataBackend::deviceChecked, this, [this](bool state) {
            finish(state ? EXIT_OK : EXIT_DEVICE_ERROR);
        });
    // An unknown or mismatching device ends the identification.
    const QMetaObject::Connection refused =
        connect(m_backend, &CDataBackend::errorMessage, this, [this] { finish(EXIT_DEVICE_ERROR); });
    m_backend->scanDevice();
    m_exitCode = waitForCompletion(IDENTIFY_TIMEOUT_MS, true);
    disconnect(checked);
    disconnect(refused);
    if (m_exitCode == EXIT_OK && m_backend->isDeviceActive())
        return true;
    if (m_unanswered)
        printError(QStringLiteral("No device identified within %1 s.").arg(IDENTIFY_TIMEOUT_MS / 1000));
    m_exitCode = EXIT_DEVICE_ERROR;
    return false;
}

int CCommandLine::identify()
{
    if (!identifyDevice())
        return m_exitCode;
    printLine(QStringLiteral("Device: %1").arg(m_backend->currentDevice()));
    QStringList models;
    for (const CTreeModel* model : m_backend->models())
        models.append(model->objectName());
    printLine(QStringLiteral("Models: %1").arg(models.join(QStringLiteral(", "))));
    return EXIT_OK;
}

CTreeModel* CCommandLine::namedModel(const QString& name)
{
    if (CTreeModel* model = m_backend->model(name))
        return model;
    QStringList models;
    for (const CTreeModel* model : m_backend->models())
        models.append(model->objectName());
    printError(QStringLiteral("The device has no model '%1' (models: %2).").arg(name, models.join(QStringLiteral(", "))));
    m_exitCode = EXIT_USAGE;
    return nullptr;
}

bool CCommandLine::readModel(CTreeModel* model)
{
    // The answers of this read are known by their start addresses.
    QList<quint16> pending;
    const QMetaObject::Connection requested =
        connect(model, &CTreeModel::buildReadRequests, this, [&pending](const QList<CRequest>& requests) {
            for (const CRequest& request : requests)
                pending.append(request.readAddress);
        });
    const QMetaObject::Connection answered =
        connect(m_backend->protocolMaster(), &CProtocolMaster::dataResponse, this, [this, &pending](const QByteArray& data) {
            if (pending.removeOne(blockAddress(data)) && pending.isEmpty())
                finish(EXIT_OK);
        });
    model->readData();
    disconnect(requested);
    m_exitCode = pending.isEmpty() ? EXIT_OK : waitForCompletion(COMMAND_TIMEOUT_MS, true);
    disconnect(answered);
    // Cyclic process-value reads are given up without a warning of the library.
    if (m_unanswered)
        printError(QStringLiteral("No answer from device to the read of %1 (register %2).")
                       .arg(model->objectName(), hexWord(pending.first())));
    return m_exitCode == EXIT_OK;
}

bool CCommandLine::writeModel(CTreeModel* model)
{
    int pending = 0;
    const QMetaObject::Connection requested = connect(
        model, &CTreeModel::buildWriteRequests, this, [&pending](const QList<CRequest>& requests) { pending += requests.size(); });
    const QMetaObject::Connection acknowledged = connect(m_backend, &CDataBackend::deviceAckResponse, this, [this, &pending] {
        if (--pending == 0)
            finish(EXIT_OK);
    });
    model->writeData();
    disconnect(requested);
    m_exitCode = pending == 0 ? EXIT_OK : waitForCompletion(COMMAND_TIMEOUT_MS, true);
    disconnect(acknowledged);
    if (m_unanswered)
        printError(QStringLiteral("The device did not confirm the write of %1.").arg(model->objectName()));
    return m_exitCode == EXIT_OK;
}

void CCommandLine::printModel(CTreeModel* model)
{
    printLine(model->objectName());
    const int captionColumn = model->columnCount() - 2;
    const int valueColumn = model->columnCount() - 1;
    const std::function<void(const QModelIndex&, int)> printRows = [&](const QModelIndex& parent, int depth) {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex caption = model->index(row, captionColumn, parent);
            const CItem* item = model->itemAt(caption);
            QString line = QString(2 * depth, QLatin1Char(' ')) + model->data(caption).toString();
            if (!isCaptionRow(item))
                line += QStringLiteral(": ") + model->data(model->index(row, valueColumn, parent)).toString().trimmed();
            printLine(line);
            printRows(model->index(row, 0, parent), depth + 1);
        }
    };
    printRows(QModelIndex(), 1);
}

int CCommandLine::show()
{
    const QStringList arguments = m_parser.positionalArguments();
    if (!identifyDevice())
        return m_exitCode;
    QList<CTreeModel*> models = m_backend->models();
    if (arguments.size() > 1) {
        CTreeModel* model = namedModel(arguments.at(1));
        if (!model)
            return m_exitCode;
        models = { model };
    }
    for (CTreeModel* model : models) {
        if (!readModel(model))
            return m_exitCode;
        printModel(model);
    }
    return EXIT_OK;
}

int CCommandLine::set()
{
    const QString modelName = positional(1, QStringLiteral("MODEL ITEM VALUE"));
    const QString itemName = positional(2, QStringLiteral("MODEL ITEM VALUE"));
    const QString valueText = positional(3, QStringLiteral("MODEL ITEM VALUE"));
    if (valueText.isNull())
        return EXIT_USAGE;
    if (!identifyDevice())
        return m_exitCode;
    CTreeModel* model = namedModel(modelName);
    if (!model || !readModel(model))
        return m_exitCode;

    CItem* item = model->findChild<CItem*>(itemName);
    for (CItem* candidate : model->findChildren<CItem*>()) {
        if (!item && !isCaptionRow(candidate) && candidate->caption() == itemName)
            item = candidate;
    }
    if (!item || isCaptionRow(item)) {
        printError(QStringLiteral("Model '%1' has no item '%2'.").arg(modelName, itemName));
        return EXIT_USAGE;
    }
    if (item->isReadOnly() || item->type() == CItem::TYPE_BIT) {
        printError(QStringLiteral("%1 cannot be written.").arg(item->caption()));
        return EXIT_USAGE;
    }
    const QVariant value = item->valueFromString(valueText);
    if (!value.isValid()) {
        printError(QStringLiteral("'%1' is not a valid value for %2.").arg(valueText, item->caption()));
        return EXIT_USAGE;
    }
    item->setValue(value);
    if (!writeModel(model) || !readModel(model))
        return m_exitCode;
    printLine(QStringLiteral("%1: %2 %3").arg(item->caption(), item->toValueString(), item->unit()).trimmed());
    return EXIT_OK;
}

QMap<QString, QString> CCommandLine::fileDescription()
{
    CTreeModel* deviceInfo = m_backend->model(CGlobals::ModelName_DeviceInfo);
    const CDeviceDescription device = m_backend->currentDeviceDescription();
    return {
        { QStringLiteral("le_device"), device.name },
        { QStringLiteral("le_order_number"), CParameterFile::parameter(CGlobals::Item_Bestellnummer, deviceInfo) },
        { QStringLiteral("le_serial_number"), CParameterFile::parameter(CGlobals::Item_Seriennummer, deviceInfo) },
        { QStringLiteral("le_version"), device.parameterVersion },
        { QStringLiteral("le_device_description"), m_backend->currentDevice() },
        { QStringLiteral("le_date"), QDateTime::currentDateTime().toString(CItem::dateTimeFormat(false)) },
    };
}

int CCommandLine::save()
{
    return saveParameters(QStringLiteral("FILE.xml"), &CParameterFile::saveFile,
                          QStringLiteral("Could not write the parameter file '%1'."),
                          QStringLiteral("Parameters saved to %1"));
}

int CCommandLine::print()
{
    return saveParameters(QStringLiteral("FILE.pdf"), &CParameterFile::savePdf,
                          QStringLiteral("Could not write the PDF file '%1'."),
                          QStringLiteral("Parameters printed to %1"));
}

int CCommandLine::saveParameters(const QString& what, SaveFunction saveFunction, const QString& failure,
                                 const QString& success)
{
    const QString fileName = positional(1, what);
    if (fileName.isNull())
        return EXIT_USAGE;
    if (!identifyDevice())
        return m_exitCode;
    CTreeModel* parameter = namedModel(CGlobals::ModelName_Parameter);
    if (!parameter || !readModel(parameter))
        return m_exitCode;
    if (!saveFunction(fileName, fileDescription(), CParameterFile::parameterData(parameter))) {
        printError(failure.arg(QDir::toNativeSeparators(fileName)));
        return EXIT_FILE_ERROR;
    }
    printLine(success.arg(QDir::toNativeSeparators(fileName)));
    return EXIT_OK;
}

int CCommandLine::load()
{
    const QString fileName = positional(1, QStringLiteral("FILE.xml"));
    if (fileName.isNull())
        return EXIT_USAGE;
    // A damaged file is refused before the device is touched.
    QMap<QString, QString> description;
    QList<CDataPoint> records;
    if (!CParameterFile::loadFile(fileName, &description, &records)) {
        printError(QStringLiteral("'%1' is no readable parameter file.").arg(QDir::toNativeSeparators(fileName)));
        return EXIT_FILE_ERROR;
    }
    if (!identifyDevice())
        return m_exitCode;
    CTreeModel* parameter = namedModel(CGlobals::ModelName_Parameter);
    if (!parameter || !readModel(parameter))
        return m_exitCode;
    const QMap<QString, QString> device = fileDescription();
    for (const QString& key : { QStringLiteral("le_device"), QStringLiteral("le_order_number") }) {
        if (description.value(key) != device.value(key)) {
            printError(QStringLiteral("The parameter file belongs to %1 (order number %2), not to the connected %3 "
                                      "(order number %4).")
                           .arg(description.value(QStringLiteral("le_device")),
                                description.value(QStringLiteral("le_order_number")),
                                device.value(QStringLiteral("le_device")), device.value(QStringLiteral("le_order_number"))));
            return EXIT_FILE_ERROR;
        }
    }

    int applied = 0;
    for (const CDataPoint& record : qAsConst(records)) {
        CItem* item = parameter->findChild<CItem*>(record.name);
        if (!item || isCaptionRow(item) || item->id() != record.id || item->type() != record.type)
            continue;
        item->setValue(record.value);
        ++applied;
    }
    if (!writeModel(parameter) || !readModel(parameter))
        return m_exitCode;
    printLine(QStringLiteral("%1 parameters loaded from %2 and written to the device")
                  .arg(applied)
                  .arg(QDir::toNativeSeparators(fileName)));
    return EXIT_OK;
}

int CCommandLine::record()
{
    const QString fileName = positional(1, QStringLiteral("FILE.csv"));
    if (fileName.isNull())
        return EXIT_USAGE;
    int seconds = 0;
    if (!parseNumber(QStringLiteral("seconds"), 7 * 86400, &seconds) || seconds == 0)
        return EXIT_USAGE;
    int interval = 0;
    if (m_parser.isSet(QStringLiteral("rotate"))) {
        interval = ROTATION_HOURS.indexOf(m_parser.value(QStringLiteral("rotate")).toInt()) + 1;
        if (interval == 0) {
            printError(QStringLiteral("Invalid --rotate '%1' (2, 4, 8, 12, 24 or 28).").arg(m_parser.value("rotate")));
            return EXIT_USAGE;
        }
    }
    if (!identifyDevice())
        return m_exitCode;
    CTreeModel* process = nullptr;
    for (CTreeModel* model : m_backend->models()) {
        if (!process && m_backend->chartModel(model->objectName()))
            process = model;
    }
    if (!process) {
        printError(QStringLiteral("The device has no process values to record."));
        return EXIT_USAGE;
    }
    CChartModel* chart = m_backend->chartModel(process->objectName());

    CRecordFile recorder;
    connect(&recorder, &CMessageSender::errorMessage, this, &CCommandLine::reportMessage);
    if (m_parser.isSet(QStringLiteral("verbose")))
        connect(&recorder, &CMessageSender::logMessage, this, &CCommandLine::printError);
    const CDeviceDescription device = m_backend->currentDeviceDescription();
    recorder.setDevice(device.name, device.pabVersion);
    recorder.setHeaderNames(chart->dataNames());
    recorder.setFileInterval(interval);
    recorder.setFilePath(QFileInfo(fileName).absolutePath());
    if (!recorder.start(fileName))
        return EXIT_FILE_ERROR;

    int rows = 0;
    QElapsedTimer elapsed;
    connect(chart, qOverload<QHash<QString, QString>>(&CChartModel::newDataAdded), this,
            [&](const QHash<QString, QString>& texts) {
                recorder.appendData(texts);
                ++rows;
                std::fprintf(stderr, "\rRecording %s: %lld of %d s, %d rows", qPrintable(recorder.fileName()),
                             (elapsed.elapsed() + 500) / 1000, seconds, rows);
                std::fflush(stderr);
            });
    // Process values are polled, as a front end's chart timer does.
    QTimer poll;
    connect(&poll, &QTimer::timeout, process, &CTreeModel::readData);
    QTimer end;
    end.setSingleShot(true);
    connect(&end, &QTimer::timeout, this, [this] { finish(EXIT_OK); });
    elapsed.start();
    process->readData();
    poll.start(RECORD_INTERVAL_MS);
    end.start(seconds * 1000);
    const int result = waitForCompletion(seconds * 1000 + COMMAND_TIMEOUT_MS, false);
    recorder.stop();
    std::fprintf(stderr, "\n");
    if (result != EXIT_OK)
        return result;
    printLine(QStringLiteral("%1 rows recorded to %2").arg(rows).arg(QDir::toNativeSeparators(fileName)));
    return rows > 0 ? EXIT_OK : EXIT_DEVICE_ERROR;
}
int CCommandLine::waitForCompletion(int timeoutMs, bool untilMasterIdle)
{
    QEventLoop loop;
    m_unanswered = false;
    const auto giveUp = [this, &loop] {
        m_unanswered = true;
        loop.exit(EXIT_DEVICE_ERROR);
    };
    QTimer bound;
    bound.setSingleShot(true);
    connect(&bound, &QTimer::timeout, &loop, giveUp);
    bound.start(timeoutMs);
    // A master with nothing queued and nothing on the line has given up what
    // was asked (some requests time out without a message): no need to wait
    // for the bound then.
    QTimer idleWatch;
    if (untilMasterIdle) {
        connect(&idleWatch, &QTimer::timeout, &loop, [this, giveUp] {
            const CProtocolMaster* master = m_backend->protocolMaster();
            if (!master || (master->state() == CProtocolMaster::STATE_IDLE && master->queuedCount() == 0))
                giveUp();
        });
        idleWatch.start(IDLE_WATCH_MS);
    }
    m_loop = &loop;
    const int result = loop.exec();
    m_loop = nullptr;
    return result;
}

void CCommandLine::finish(int exitCode)
{
    if (m_loop)
        m_loop->exit(exitCode);
}

void CCommandLine::reportMessage(const QString& caption, const QString& text)
{
    printError(QStringLiteral("%1: %2").arg(caption, text));
    // Communication failures end the command; other notices are only shown.
    if (caption == CAPTION_COMMUNICATION || caption == CAPTION_RESET)
        finish(EXIT_DEVICE_ERROR);
}

void CCommandLine::printLine(const QString& line)
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

void CCommandLine::printError(const QString& line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}
