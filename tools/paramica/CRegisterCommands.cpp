#include "CRegisterCommands.h"

#include "CCommandLine.h"

#include "backend/CDataBackend.h"
#include "items/CItem.h"
#include "protocol/CProtocolMaster.h"

namespace {
// One answer carries at most 125 registers.
const int MAX_READ_REGISTERS = 125;
const quint8 FUNCTION_READ_HOLDING = 3;
const quint8 FUNCTION_WRITE_SINGLE = 6;
}

CRegisterCommands::CRegisterCommands(CCommandLine& commandLine)
    : m_commandLine(commandLine)
{
}

QString CRegisterCommands::title() const
{
    return QStringLiteral("Commands on the registers of any Modbus device");
}

QList<QCommandLineOption> CRegisterCommands::options() const
{
    return {
        { QStringLiteral("register"), QStringLiteral("First register (decimal or 0x hex)."), QStringLiteral("addr") },
        { QStringLiteral("count"), QStringLiteral("Number of registers to read (default 1)."), QStringLiteral("n"),
          QStringLiteral("1") },
        { QStringLiteral("value"), QStringLiteral("Register value to write (decimal or 0x hex)."),
          QStringLiteral("v") },
    };
}

QList<CCommandGroup::Command> CRegisterCommands::commands()
{
    return {
        { QStringLiteral("scan"), QString(), 0, QStringLiteral("scan answer, then device identification"),
          [this](const QStringList&) { return scan(); } },
        { QStringLiteral("read"), QStringLiteral("--register A --count N"), 0,
          QStringLiteral("read N holding registers from A"), [this](const QStringList&) { return read(); }, true },
        { QStringLiteral("write"), QStringLiteral("--register A --value V"), 0,
          QStringLiteral("write one holding register"), [this](const QStringList&) { return write(); }, true },
    };
}

int CRegisterCommands::scan()
{
    if (!m_commandLine.connectDevice())
        return m_commandLine.failure();
    CDataBackend* backend = m_commandLine.backend();
    CProtocolMaster* master = backend->protocolMaster();
    const bool nfc = m_commandLine.overNfc();
    QObject::connect(master, &CProtocolMaster::scanResponse, master, [this, backend, nfc](const QStringList& entries) {
        for (const QString& entry : entries)
            CCommandLine::printLine(entry);
        // A tag has no device identification beyond what the scan found.
        if (nfc)
            m_commandLine.finish(CCommandLine::EXIT_OK);
        else
            backend->readDid();
    });
    QObject::connect(master, &CProtocolMaster::didResponse, master, [this](const QStringList& entries) {
        for (const QString& entry : entries)
            CCommandLine::printLine(entry);
        m_commandLine.finish(CCommandLine::EXIT_OK);
    });
    // The tag's arrival has started the scan already.
    if (!nfc)
        backend->scanDevice();
    const int result = m_commandLine.waitForCompletion(2 * CCommandLine::COMMAND_TIMEOUT_MS, true);
    if (m_commandLine.unanswered())
        CCommandLine::printError(QStringLiteral("No answer from device to the scan."));
    return result;
}

int CRegisterCommands::read()
{
    int address = 0;
    int count = 0;
    if (!m_commandLine.isSet(QStringLiteral("register"))) {
        CCommandLine::printError(QStringLiteral("read needs --register ADDR."));
        return CCommandLine::EXIT_USAGE;
    }
    if (!m_commandLine.parseNumber(QStringLiteral("register"), 0xFFFF, &address)
        || !m_commandLine.parseNumber(QStringLiteral("count"), MAX_READ_REGISTERS, &count) || count == 0)
        return CCommandLine::EXIT_USAGE;
    if (!m_commandLine.connectDevice())
        return m_commandLine.failure();

    CDataBackend* backend = m_commandLine.backend();
    QObject::connect(backend->protocolMaster(), &CProtocolMaster::dataResponse, backend, [this](const QByteArray& data) {
        int address = (uchar(data[0]) << 8) | uchar(data[1]);
        for (int i = 2; i + 1 < data.size(); i += 2, ++address)
            CCommandLine::printLine(QStringLiteral("%1: %2").arg(
                CCommandLine::hexWord(address), CCommandLine::hexWord((uchar(data[i]) << 8) | uchar(data[i + 1]))));
        m_commandLine.finish(CCommandLine::EXIT_OK);
    });
    backend->buildRequest(CRequest(REQUEST_READ_GENERIC, FUNCTION_READ_HOLDING, quint16(address), quint16(2 * count)));
    const int result = m_commandLine.waitForCompletion(CCommandLine::COMMAND_TIMEOUT_MS, true);
    if (m_commandLine.unanswered())
        CCommandLine::printError(
            QStringLiteral("No answer from device to the read of register %1.").arg(CCommandLine::hexWord(address)));
    return result;
}

int CRegisterCommands::write()
{
    int address = 0;
    int value = 0;
    if (!m_commandLine.isSet(QStringLiteral("register")) || !m_commandLine.isSet(QStringLiteral("value"))) {
        CCommandLine::printError(QStringLiteral("write needs --register ADDR and --value V."));
        return CCommandLine::EXIT_USAGE;
    }
    if (!m_commandLine.parseNumber(QStringLiteral("register"), 0xFFFF, &address)
        || !m_commandLine.parseNumber(QStringLiteral("value"), 0xFFFF, &value))
        return CCommandLine::EXIT_USAGE;
    if (!m_commandLine.connectDevice())
        return m_commandLine.failure();

    CDataBackend* backend = m_commandLine.backend();
    QObject::connect(backend, &CDataBackend::deviceAckResponse, backend, [this, address, value] {
        CCommandLine::printLine(
            QStringLiteral("%1: %2 written").arg(CCommandLine::hexWord(address), CCommandLine::hexWord(value)));
        m_commandLine.finish(CCommandLine::EXIT_OK);
    });
    backend->buildRequest(CRequest(REQUEST_WRITE_GENERIC_SINGLE, FUNCTION_WRITE_SINGLE, 0, 0, quint16(address), 2,
                                   CItem::valueToLowByteFirstWord(value)));
    // An unanswered write is dropped by the master without a message.
    const int result = m_commandLine.waitForCompletion(CCommandLine::COMMAND_TIMEOUT_MS, true);
    if (m_commandLine.unanswered())
        CCommandLine::printError(
            QStringLiteral("No answer from device to the write of register %1.").arg(CCommandLine::hexWord(address)));
    return result;
}
