#include "CCommandLine.h"

#include "backend/CDataBackend.h"
#include "protocol/CProtocolMaster.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace {
const int DEFAULT_TCP_PORT = 502;
// A read is sent up to three times with a 3 s time-out before it is reported.
const int COMMAND_TIMEOUT_MS = 15000;
const int MAX_READ_REGISTERS = 125;
const QString CAPTION_COMMUNICATION = QStringLiteral("Device communication");
const QString CAPTION_RESET = QStringLiteral("Reset Interface");

QString hexWord(int value)
{
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
}
}

CCommandLine::CCommandLine(QObject* parent)
    : QObject(parent)
{
    m_parser.setApplicationDescription(QStringLiteral(
        "Command-line front end of the Paramica library.\n\n"
        "Commands:\n"
        "  scan                      identify the device: scan answer, then device identification\n"
        "  read  --register A --count N   read N holding registers from A\n"
        "  write --register A --value V   write one holding register"));
    m_parser.addHelpOption();
    m_parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("scan, read or write"));
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
    const QString command = positional.first();
    if (command != QLatin1String("scan") && command != QLatin1String("read") && command != QLatin1String("write")) {
        printError(QStringLiteral("Unknown command '%1'. See --help.").arg(command));
        return EXIT_USAGE;
    }

    m_backend = CDataBackend::instance();
    connect(m_backend, &CDataBackend::errorMessage, this, &CCommandLine::reportMessage);
    connect(m_backend, &CDataBackend::warningMessage, this, &CCommandLine::reportMessage);
    connect(m_backend, &CDataBackend::infoMessage, this, &CCommandLine::reportMessage);
    if (m_parser.isSet(QStringLiteral("verbose")))
        connect(m_backend, &CDataBackend::log, this, &CCommandLine::printError);

    int result = EXIT_USAGE;
    if (command == QLatin1String("scan"))
        result = scan();
    else if (command == QLatin1String("read"))
        result = readRegisters();
    else
        result = writeRegister();
    m_backend->closeInterface();
    return result;
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
    return waitForCompletion(2 * COMMAND_TIMEOUT_MS);
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
    return waitForCompletion(COMMAND_TIMEOUT_MS);
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
    const int result = waitForCompletion(COMMAND_TIMEOUT_MS);
    if (result == EXIT_DEVICE_ERROR && !m_messageSeen)
        printError(QStringLiteral("No answer from device to the write of register %1.").arg(hexWord(address)));
    return result;
}

int CCommandLine::waitForCompletion(int timeoutMs)
{
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    connect(&bound, &QTimer::timeout, &loop, [&loop] { loop.exit(EXIT_DEVICE_ERROR); });
    bound.start(timeoutMs);
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
    m_messageSeen = true;
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
