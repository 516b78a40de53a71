#include "CCommandLine.h"

#include "CBridgeCommands.h"
#include "CDeviceCommands.h"
#include "CFileCommands.h"
#include "CFirmwareCommands.h"
#include "CRegisterCommands.h"

#include "backend/CDataBackend.h"
#include "backend/CLanguage.h"
#include "files/CDataPoint.h"
#include "files/CParameterFile.h"
#include "files/CParameterValues.h"
#include "items/CGlobals.h"
#include "models/CTreeModel.h"
#include "protocol/CProtocolMaster.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace {
const int DEFAULT_TCP_PORT = 502;
const uint MAX_BAUD_RATE = 4000000;
// The names --parity takes and the serial settings' values for them.
const QStringList PARITY_NAMES = { QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd") };
const QList<int> PARITY_VALUES = { 0, 2, 3 };
const uint MAX_TCP_PORT = 65535;
const int IDENTIFY_TIMEOUT_MS = 30000;
const int IDLE_WATCH_MS = 50;
const int DEFAULT_TAG_TIMEOUT_S = 30;
const int MAX_TIMEOUT_S = 86400;
// Stands for the minus of a negative number while the options are parsed.
const QChar NEGATIVE_MARK(0x1);
// A tag already on the reader is reported within this time (pcscd polls the
// reader): only a reader that stays empty longer is worth a word, and it is
// said before half of the wait has passed.
const int TAG_NOTICE_MS = 1500;

quint16 blockAddress(const QByteArray& data)
{
    return data.size() < 2 ? 0 : quint16((uchar(data[0]) << 8) | uchar(data[1]));
}
}

CCommandLine::CCommandLine(QObject* parent)
    : QObject(parent)
    , m_progressOnTerminal(isatty(STDERR_FILENO))
{
    m_groups.push_back(std::make_unique<CRegisterCommands>(*this));
    m_groups.push_back(std::make_unique<CDeviceCommands>(*this));
    m_groups.push_back(std::make_unique<CFileCommands>(*this));
    m_groups.push_back(std::make_unique<CFirmwareCommands>(*this));
    m_groups.push_back(std::make_unique<CBridgeCommands>(*this));

    m_parser.setApplicationDescription(helpText());
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
        { QStringLiteral("nfc"),
          QStringLiteral("Device whose NFC tag is on the first PC/SC reader (needs pcscd); waits for the tag.") },
        { QStringLiteral("timeout"),
          QStringLiteral("Longest wait for each answer of the device, retries included (default: each request's "
                         "own); also how long --nfc waits for a tag (default 30)."),
          QStringLiteral("seconds") },
        { QStringLiteral("version"), QStringLiteral("Print the versions of the program and the library.") },
        { QStringLiteral("ble"),
          QStringLiteral("Device behind a Bluetooth LE bridge module, e.g. \"Paramica Bridge,00:11:22:33:44:55\" "
                         "(needs BlueZ and a powered adapter)."),
          QStringLiteral("name,address") },
        { QStringLiteral("verbose"), QStringLiteral("Print the library's log lines on stderr.") },
        { QStringLiteral("language"),
          QStringLiteral("Language of the library's messages and the device's texts, e.g. de or en "
                         "(default: the system's)."),
          QStringLiteral("lang") },
    });
    for (const auto& group : m_groups)
        m_parser.addOptions(group->options());
}

CCommandLine::~CCommandLine() = default;

QString CCommandLine::helpText() const
{
    QString text = QStringLiteral("Command-line front end of the Paramica library.\n");
    int width = 0;
    for (const auto& group : m_groups) {
        for (const CCommandGroup::Command& command : group->commands())
            width = std::max(width, int((command.name + QLatin1Char(' ') + command.synopsis).size()));
    }
    for (const auto& group : m_groups) {
        text += QStringLiteral("\n%1:\n").arg(group->title());
        for (const CCommandGroup::Command& command : group->commands())
            text += QStringLiteral("  %1   %2\n")
                        .arg((command.name + QLatin1Char(' ') + command.synopsis).leftJustified(width), command.summary);
    }
    return text
        + QStringLiteral("\nA device is reached through --tcp, --serial, --nfc or --ble; read, write and the\n"
                         "firmware commands need --tcp or --serial.\n"
                         "\nExit codes: 0 done (diff: equal), 1 diff: values differ, 2 usage error, 3 no connection or no answer,\n"
                         "4 file error, 5 device error.");
}

QString CCommandLine::escapeNegative(const QString& argument)
{
    static const QRegularExpression negative(QStringLiteral("^-[0-9]"));
    return negative.match(argument).hasMatch() ? NEGATIVE_MARK + argument.mid(1) : argument;
}

QString CCommandLine::unescapeNegative(const QString& argument)
{
    return argument.startsWith(NEGATIVE_MARK) ? QLatin1Char('-') + argument.mid(1) : argument;
}

int CCommandLine::run(const QStringList& rawArguments)
{
    QStringList arguments;
    for (const QString& argument : rawArguments)
        arguments.append(escapeNegative(argument));
    if (!m_parser.parse(arguments)) {
        printError(m_parser.errorText());
        return EXIT_USAGE;
    }
    if (m_parser.isSet(QStringLiteral("help"))) {
        printLine(m_parser.helpText());
        return EXIT_OK;
    }
    if (m_parser.isSet(QStringLiteral("version"))) {
        printLine(QStringLiteral("%1 %2 (library %3)")
                      .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
                           CDataBackend::version()));
        return EXIT_OK;
    }
    if (m_parser.isSet(QStringLiteral("timeout"))) {
        bool ok = false;
        const double seconds = m_parser.value(QStringLiteral("timeout")).toDouble(&ok);
        if (!ok || seconds < 0.01 || seconds > MAX_TIMEOUT_S) {
            printError(QStringLiteral("Invalid --timeout '%1' (0.01 to %2 seconds).")
                           .arg(m_parser.value(QStringLiteral("timeout")))
                           .arg(MAX_TIMEOUT_S));
            return EXIT_USAGE;
        }
        m_answerTimeoutMs = int(seconds * 1000);
    }
    QStringList positional;
    for (const QString& argument : m_parser.positionalArguments())
        positional.append(unescapeNegative(argument));
    if (positional.isEmpty()) {
        printError(QStringLiteral("No command given. See --help."));
        return EXIT_USAGE;
    }
    CCommandGroup::Command command;
    for (const auto& group : m_groups) {
        for (const CCommandGroup::Command& candidate : group->commands()) {
            if (candidate.name == positional.first())
                command = candidate;
        }
    }
    if (!command.run) {
        printError(QStringLiteral("Unknown command '%1'. See --help.").arg(positional.first()));
        return EXIT_USAGE;
    }
    const QStringList commandArguments = positional.mid(1);
    if (commandArguments.size() < command.required) {
        printError(QStringLiteral("%1 needs %2. See --help.").arg(command.name, command.synopsis));
        return EXIT_USAGE;
    }
    for (const QString& wireless : { QStringLiteral("nfc"), QStringLiteral("ble") }) {
        if (command.wiredOnly && m_parser.isSet(wireless)) {
            printError(QStringLiteral("%1 works over --tcp or --serial only, not over --%2.").arg(command.name, wireless));
            return EXIT_USAGE;
        }
    }

    const QString language = m_parser.value(QStringLiteral("language"));
    CLanguage::install(language);
    m_descriptionLanguage = CLanguage::descriptionLanguage(CLanguage::locale(language));
    m_backend = CDataBackend::instance();
    m_backend->setAnswerTimeout(m_answerTimeoutMs);
    connect(m_backend, &CDataBackend::errorMessage, this, &CCommandLine::reportMessage);
    connect(m_backend, &CDataBackend::warningMessage, this, &CCommandLine::reportMessage);
    connect(m_backend, &CDataBackend::infoMessage, this, &CCommandLine::reportMessage);
    if (m_parser.isSet(QStringLiteral("verbose")))
        connect(m_backend, &CDataBackend::log, this, &CCommandLine::printError);
    trackReads();
    // The device's texts follow the language of the messages.
    connect(m_backend, &CDataBackend::deviceActivated, this, [this] {
        for (CTreeModel* model : m_backend->models())
            model->updateModelTranslation(m_descriptionLanguage);
    });

    const int result = explainSilence(command.run(commandArguments));
    // Closing takes the tag away as far as the back end knows: not worth a word.
    disconnect(m_tagWatch);
    m_backend->closeInterface();
    return result;
}

bool CCommandLine::parseNumber(const QString& option, int maximum, int* value, int minimum)
{
    bool ok = false;
    const uint number = m_parser.value(option).toUInt(&ok, 0);
    if (!ok || number > uint(maximum) || number < uint(minimum)) {
        printError(QStringLiteral("Invalid --%1 '%2' (%3 to %4).")
                       .arg(option, this->option(option))
                       .arg(minimum)
                       .arg(maximum));
        return false;
    }
    *value = int(number);
    return true;
}

bool CCommandLine::serialSettingsList(QList<STRUCT_SERIAL_SETTINGS>* list)
{
    list->clear();
    QList<int> parities;
    for (const QString& parity : m_parser.value(QStringLiteral("parity")).split(QLatin1Char(','))) {
        const int index = PARITY_NAMES.indexOf(parity.trimmed().toLower());
        if (index < 0) {
            printError(QStringLiteral("Invalid --parity '%1' (none, even or odd).").arg(parity));
            return false;
        }
        parities.append(PARITY_VALUES.at(index));
    }
    for (const QString& baud : m_parser.value(QStringLiteral("baud")).split(QLatin1Char(','))) {
        bool ok = false;
        const uint rate = baud.trimmed().toUInt(&ok);
        if (!ok || rate < 1 || rate > MAX_BAUD_RATE) {
            printError(QStringLiteral("Invalid --baud '%1' (1 to %2).").arg(baud).arg(MAX_BAUD_RATE));
            return false;
        }
        for (int parity : qAsConst(parities)) {
            STRUCT_SERIAL_SETTINGS settings = m_backend->interfaceSettings();
            settings.baudRate = int(rate);
            settings.parity = parity;
            list->append(settings);
        }
    }
    return true;
}

QString CCommandLine::serialSettingsText(const STRUCT_SERIAL_SETTINGS& settings)
{
    const int index = PARITY_VALUES.indexOf(settings.parity);
    return QStringLiteral("%1 baud, parity %2").arg(settings.baudRate).arg(PARITY_NAMES.value(index));
}

QString CCommandLine::connectionText() const
{
    if (m_parser.isSet(QStringLiteral("tcp")))
        return QStringLiteral("at %1").arg(m_endpoint);
    return QStringLiteral("on %1 (%2)")
        .arg(m_parser.value(QStringLiteral("serial")), serialSettingsText(m_backend->interfaceSettings()));
}

bool CCommandLine::connectDevice(const STRUCT_SERIAL_SETTINGS* serialSettings)
{
    const bool tcp = m_parser.isSet(QStringLiteral("tcp"));
    const bool serial = m_parser.isSet(QStringLiteral("serial"));
    const bool nfc = m_parser.isSet(QStringLiteral("nfc"));
    const bool ble = m_parser.isSet(QStringLiteral("ble"));
    m_exitCode = EXIT_USAGE;
    if (int(tcp) + int(serial) + int(nfc) + int(ble) != 1) {
        printError(QStringLiteral("Give exactly one of --tcp HOST[:PORT], --serial DEVICE, --nfc and --ble NAME,ADDRESS."));
        return false;
    }
    if (nfc)
        return openNfcReader();
    int unit = 1;
    if (!parseNumber(QStringLiteral("unit"), 247, &unit))
        return false;
    if (ble)
        return openBluetooth(uchar(unit));

    bool connected = false;
    QString failure;
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
            return false;
        }
        m_endpoint = endpoint;
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        connected = m_backend->openInterface(INTERFACE_TCP, endpoint, uchar(unit));
        failure = QStringLiteral("Could not connect to %1").arg(endpoint);
    } else {
        STRUCT_SERIAL_SETTINGS settings;
        if (serialSettings) {
            settings = *serialSettings;
        } else {
            QList<STRUCT_SERIAL_SETTINGS> settingsList;
            if (!serialSettingsList(&settingsList))
                return false;
            if (settingsList.size() != 1) {
                printError(QStringLiteral("Only scan --units takes lists of --baud and --parity."));
                return false;
            }
            settings = settingsList.first();
        }
        m_backend->setInterfaceSettings(settings);
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        // A port opened before with other settings takes the new ones only when opened anew.
        m_backend->closeInterface();
        const QString device = m_parser.value(QStringLiteral("serial"));
        connected = m_backend->openInterface(INTERFACE_SERIAL, device, uchar(unit));
        failure = QStringLiteral("Could not open serial port %1").arg(device);
    }
    if (!connected) {
        const QString cause = m_backend->connectionError();
        printError(cause.isEmpty() ? failure + QLatin1Char('.') : QStringLiteral("%1: %2.").arg(failure, cause));
        m_exitCode = EXIT_NO_CONNECTION;
        return false;
    }
    watchAnswers();
    m_exitCode = EXIT_OK;
    return true;
}

void CCommandLine::watchAnswers()
{
    connect(m_backend->protocolMaster(), &CProtocolMaster::dataResponse, this, &CCommandLine::blockAnswered,
            Qt::UniqueConnection);
    m_connected = true;
    m_deviceAnswered = false;
    connect(m_backend, &CDataBackend::dataRead, this, &CCommandLine::deviceAnswered, Qt::UniqueConnection);
}

void CCommandLine::deviceAnswered()
{
    m_deviceAnswered = true;
}

int CCommandLine::explainSilence(int exitCode)
{
    if (exitCode != EXIT_DEVICE_ERROR || !m_connected || m_deviceAnswered
        || !(m_parser.isSet(QStringLiteral("tcp")) || m_parser.isSet(QStringLiteral("serial"))))
        return exitCode;
    const QString scan = m_parser.isSet(QStringLiteral("serial"))
        ? QStringLiteral("scan --units 1-247 --baud 9600,19200,38400,57600,115200 --parity none,even,odd")
        : QStringLiteral("scan --units 1-247");
    printError(QStringLiteral("No answer from unit %1 %2. Check the unit id and the port settings, or list the units "
                              "that answer with: paramica %3")
                   .arg(m_parser.value(QStringLiteral("unit")), connectionText(), scan));
    return EXIT_NO_CONNECTION;
}

bool CCommandLine::bluetoothPort(QString* portName)
{
    // NAME,ADDRESS and optionally the class of device, as the interface takes it.
    static const QRegularExpression form(
        QStringLiteral("^[^,]+,([0-9A-Fa-f]{2}:){5}[0-9A-Fa-f]{2}(,[0-9]+)?$"));
    const QString value = m_parser.value(QStringLiteral("ble")).trimmed();
    if (!form.match(value).hasMatch()) {
        printError(QStringLiteral("Invalid --ble '%1' (NAME,ADDRESS such as \"Paramica Bridge,00:11:22:33:44:55\").")
                       .arg(m_parser.value(QStringLiteral("ble"))));
        m_exitCode = EXIT_USAGE;
        return false;
    }
    *portName = value;
    return true;
}

bool CCommandLine::openBluetooth(uchar unit)
{
    QString portName;
    if (!bluetoothPort(&portName))
        return false;
    // Why a connection fails is known only to the log: it is shown then.
    QStringList lines;
    const QMetaObject::Connection logged =
        connect(m_backend, &CDataBackend::log, this, [&lines](const QString& line) { lines.append(line); });
    // A module whose UART did not suit the device is set up and let go.
    bool reconfigured = false;
    const QMetaObject::Connection warned =
        connect(m_backend, &CDataBackend::warningMessage, this, [&reconfigured](const QString& caption) {
            reconfigured = caption == QLatin1String(CMessageSender::CAPTION_RESET_INTERFACE);
        });
    // Modbus RTU travels through the module to the device's UART.
    m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
    const bool connected = m_backend->openInterface(INTERFACE_BLUETOOTH, portName, unit);
    disconnect(logged);
    disconnect(warned);
    if (!connected) {
        if (!m_parser.isSet(QStringLiteral("verbose"))) {
            // The log's own time stamps go.
            for (const QString& line : qAsConst(lines))
                printError(line.section(QStringLiteral(", "), 1));
        }
        printError(QStringLiteral("Could not connect to the Bluetooth module %1.").arg(portName));
        if (reconfigured)
            printError(QStringLiteral("Its UART now suits the device: run the command again."));
        m_exitCode = EXIT_NO_CONNECTION;
        return false;
    }
    watchAnswers();
    m_exitCode = EXIT_OK;
    return true;
}

bool CCommandLine::openNfcReader()
{
    const int tagWaitMs = m_answerTimeoutMs > 0 ? m_answerTimeoutMs : DEFAULT_TAG_TIMEOUT_S * 1000;
    m_backend->setComProtocol(PROTOCOL_NFC);
    // The tag stands for the device; its address plays no part.
    if (!m_backend->openInterface(INTERFACE_NFC, QString(), 0)) {
        // The library has said why (no service, no reader).
        printError(QStringLiteral("Could not open the NFC reader."));
        m_exitCode = EXIT_NO_CONNECTION;
        return false;
    }
    if (!waitForTag(tagWaitMs)) {
        printError(QStringLiteral("No tag on the reader %1 within %2 s.")
                       .arg(m_backend->portName())
                       .arg(tagWaitMs / 1000.0));
        m_exitCode = EXIT_NO_CONNECTION;
        return false;
    }
    watchAnswers();
    m_tagWatch = connect(m_backend, &CDataBackend::deviceConnected, this, [](bool present) {
        printError(present ? QStringLiteral("The tag is back on the reader.") : QStringLiteral("The tag left the reader."));
    });
    m_exitCode = EXIT_OK;
    return true;
}

bool CCommandLine::waitForTag(int timeoutMs)
{
    if (m_backend->isConnected())
        return true;
    const QMetaObject::Connection arrived = connect(m_backend, &CDataBackend::deviceConnected, this, [this](bool present) {
        if (present)
            finish(EXIT_OK);
    });
    const int noticeMs = std::min(TAG_NOTICE_MS, timeoutMs / 2);
    int result = waitForCompletion(noticeMs, false);
    if (result != EXIT_OK) {
        printError(QStringLiteral("Waiting for a tag on the reader %1 ...").arg(m_backend->portName()));
        result = waitForCompletion(timeoutMs - noticeMs, false);
    }
    disconnect(arrived);
    return result == EXIT_OK;
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
    if (!overNfc())
        m_backend->scanDevice();
    m_exitCode = waitForCompletion(IDENTIFY_TIMEOUT_MS, true);
    disconnect(checked);
    disconnect(refused);
    if (m_exitCode == EXIT_OK && m_backend->isDeviceActive())
        return true;
    if (m_unanswered)
        printError(QStringLiteral("No device identified."));
    m_exitCode = EXIT_DEVICE_ERROR;
    return false;
}

CTreeModel* CCommandLine::namedModel(const QString& name)
{
    if (CTreeModel* model = m_backend->model(name))
        return model;
    QStringList models;
    for (CTreeModel* model : m_backend->models()) {
        if (model->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return model;
        models.append(model->objectName());
    }
    printError(QStringLiteral("The device has no model '%1' (models: %2).").arg(name, models.join(QStringLiteral(", ")))
               + CParameterValues::closestText(CParameterValues::closestNames(models, name)));
    m_exitCode = EXIT_USAGE;
    return nullptr;
}

void CCommandLine::trackReads()
{
    connect(m_backend, &CDataBackend::deviceActivated, this, [this] {
        m_unansweredBlocks.clear();
        m_readModels.clear();
        for (CTreeModel* model : m_backend->models()) {
            connect(model, &CTreeModel::buildReadRequests, this, [this, model](const QList<CRequest>& requests) {
                for (const CRequest& request : requests)
                    m_unansweredBlocks[model].append(request.readAddress);
            });
        }
    });
}

void CCommandLine::blockAnswered(const QByteArray& data)
{
    const quint16 address = blockAddress(data);
    for (auto it = m_unansweredBlocks.begin(); it != m_unansweredBlocks.end(); ++it) {
        if (!it.value().removeOne(address))
            continue;
        if (it.value().isEmpty()) {
            m_readModels.insert(it.key());
            if (it.key() == m_awaitedModel)
                finish(EXIT_OK);
        }
        return;
    }
}

bool CCommandLine::readModel(CTreeModel* model, bool again)
{
    if (!again && m_readModels.contains(model))
        return true;
    if (m_unansweredBlocks.value(model).isEmpty()) {
        m_readModels.remove(model);
        model->readData();
        if (m_unansweredBlocks.value(model).isEmpty())
            return true; // a section that is not read from the device
    }
    m_awaitedModel = model;
    m_exitCode = waitForCompletion(COMMAND_TIMEOUT_MS, true);
    m_awaitedModel = nullptr;
    // Cyclic process-value reads are given up without a warning of the library.
    if (m_unanswered)
        printError(QStringLiteral("No answer from device to the read of %1 (register %2).")
                       .arg(model->objectName(), hexWord(m_unansweredBlocks.value(model).value(0))));
    return m_exitCode == EXIT_OK;
}

bool CCommandLine::writeModel(CTreeModel* model)
{
    int pending = 0;
    const QMetaObject::Connection requested = connect(model, &CTreeModel::buildWriteRequests, this,
                                                      [&pending](const QList<CRequest>& requests) { pending += requests.size(); });
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

bool CCommandLine::loadParameterFile(const QString& fileName, QMap<QString, QString>* description,
                                     QList<CDataPoint>* records)
{
    if (CParameterFile::loadFile(fileName, description, records))
        return true;
    printError(QStringLiteral("'%1' is no readable parameter file.").arg(QDir::toNativeSeparators(fileName)));
    m_exitCode = EXIT_FILE_ERROR;
    return false;
}

CTreeModel* CCommandLine::openFileOffline(const QString& fileName, QMap<QString, QString>* description,
                                          QList<CDataPoint>* records)
{
    if (!loadParameterFile(fileName, description, records))
        return nullptr;
    // The back end says which description is missing.
    m_exitCode = EXIT_FILE_ERROR;
    if (!m_backend->activateDeviceByName(CGlobals::createDeviceIdString(
            description->value(CParameterFile::KEY_DEVICE), description->value(CParameterFile::KEY_ORDER_NUMBER),
            description->value(CParameterFile::KEY_VERSION))))
        return nullptr;
    return namedModel(CGlobals::ModelName_Parameter);
}

int CCommandLine::waitForCompletion(int timeoutMs, bool untilMasterIdle)
{
    QEventLoop loop;
    m_unanswered = false;
    m_loopEnding = false;
    const auto giveUp = [this, &loop] {
        // The loop may not have returned yet from an ending asked for
        // earlier in the same pass: that one stands.
        if (m_loopEnding)
            return;
        m_loopEnding = true;
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
    if (m_loop && !m_loopEnding) {
        m_loopEnding = true;
        m_loop->exit(exitCode);
    }
}

void CCommandLine::reportMessage(const QString& caption, const QString& text)
{
    if (!m_messagesMuted)
        printError(QStringLiteral("%1: %2").arg(CMessageSender::captionText(caption), text));
    // Communication failures end the command; other notices are only shown.
    if (caption == QLatin1String(CMessageSender::CAPTION_COMMUNICATION)
        || caption == QLatin1String(CMessageSender::CAPTION_RESET_INTERFACE))
        finish(EXIT_DEVICE_ERROR);
}

void CCommandLine::showProgress(const QString& text, int percent)
{
    if (m_progressOnTerminal) {
        // Erase what a longer earlier text left at the end of the line.
        std::fprintf(stderr, "\r%s\033[K", qPrintable(text));
        std::fflush(stderr);
        m_progressShown = true;
    } else if (percent / 10 > m_progressTenths) {
        m_progressTenths = percent / 10;
        printError(text);
    }
}

void CCommandLine::endProgress()
{
    if (m_progressShown)
        std::fprintf(stderr, "\n");
    m_progressShown = false;
    m_progressTenths = -1;
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

QString CCommandLine::hexWord(int value)
{
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
}
