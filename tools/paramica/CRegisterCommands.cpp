#include "CRegisterCommands.h"

#include "CCommandLine.h"

#include "backend/CDataBackend.h"
#include "interfaces/CBaseInterface.h"
#include "items/CItem.h"
#include "protocol/CProtocolMaster.h"

namespace {
// One answer carries at most 125 registers.
const int MAX_READ_REGISTERS = 125;
const quint8 FUNCTION_READ_HOLDING = 3;
const quint8 FUNCTION_WRITE_SINGLE = 6;
const int MAX_UNIT = 247;
// A unit that does not answer within this time counts as absent, unless
// --timeout says otherwise.
const int UNIT_TIMEOUT_MS = 500;

// The scan's order number and parameter version, then the device
// identification's vendor, product code and revision.
const QStringList SCAN_LABELS = { QStringLiteral("Order number"), QStringLiteral("Parameter version") };
const QStringList DID_LABELS = { QStringLiteral("Vendor"), QStringLiteral("Product code"), QStringLiteral("Revision") };

QStringList labelled(const QStringList& labels, const QStringList& entries)
{
    QStringList fields;
    for (int i = 0; i < entries.size(); ++i)
        fields.append(QStringLiteral("%1: %2").arg(labels.value(i, QStringLiteral("Entry %1").arg(i + 1)), entries.at(i)));
    return fields;
}
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
        { QStringLiteral("units"),
          QStringLiteral("scan: ask each unit id from FIRST to LAST (on serial at each --baud and --parity of the "
                         "comma-separated lists)."),
          QStringLiteral("FIRST-LAST") },
    };
}

QList<CCommandGroup::Command> CRegisterCommands::commands()
{
    return {
        { QStringLiteral("scan"), QStringLiteral("[--units FIRST-LAST]"), 0,
          QStringLiteral("scan answer, then device identification (of each unit that answers)"),
          [this](const QStringList&) { return scan(); } },
        { QStringLiteral("read"), QStringLiteral("--register A --count N"), 0,
          QStringLiteral("read N holding registers from A"), [this](const QStringList&) { return read(); }, true },
        { QStringLiteral("write"), QStringLiteral("--register A --value V"), 0,
          QStringLiteral("write one holding register"), [this](const QStringList&) { return write(); }, true },
    };
}

int CRegisterCommands::scan()
{
    if (m_commandLine.isSet(QStringLiteral("units")))
        return scanUnits();
    if (!m_commandLine.connectDevice())
        return m_commandLine.failure();
    CDataBackend* backend = m_commandLine.backend();
    CProtocolMaster* master = backend->protocolMaster();
    const bool nfc = m_commandLine.overNfc();
    QObject::connect(master, &CProtocolMaster::scanResponse, master, [this, backend, nfc](const QStringList& entries) {
        for (const QString& field : labelled(SCAN_LABELS, entries))
            CCommandLine::printLine(field);
        // A tag has no device identification beyond what the scan found.
        if (nfc)
            m_commandLine.finish(CCommandLine::EXIT_OK);
        else
            backend->readDid();
    });
    QObject::connect(master, &CProtocolMaster::didResponse, master, [this](const QStringList& entries) {
        for (const QString& field : labelled(DID_LABELS, entries))
            CCommandLine::printLine(field);
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

int CRegisterCommands::scanUnits()
{
    const QStringList range = m_commandLine.option(QStringLiteral("units")).split(QLatin1Char('-'));
    bool firstOk = false;
    bool lastOk = false;
    const int first = range.first().trimmed().toInt(&firstOk);
    const int last = range.last().trimmed().toInt(&lastOk);
    if (range.size() > 2 || !firstOk || !lastOk || first < 1 || last < first || last > MAX_UNIT) {
        CCommandLine::printError(QStringLiteral("Invalid --units '%1' (FIRST-LAST, from 1 to %2).")
                                     .arg(m_commandLine.option(QStringLiteral("units")))
                                     .arg(MAX_UNIT));
        return CCommandLine::EXIT_USAGE;
    }
    if (m_commandLine.overNfc() || m_commandLine.isSet(QStringLiteral("ble"))) {
        CCommandLine::printError(QStringLiteral("scan --units works over --tcp or --serial only."));
        return CCommandLine::EXIT_USAGE;
    }
    const bool serial = m_commandLine.isSet(QStringLiteral("serial"));
    QList<STRUCT_SERIAL_SETTINGS> settingsList;
    if (serial && !m_commandLine.serialSettingsList(&settingsList))
        return CCommandLine::EXIT_USAGE;
    if (!serial)
        settingsList.append(STRUCT_SERIAL_SETTINGS());

    CDataBackend* backend = m_commandLine.backend();
    const int waitMs = m_commandLine.answerTimeout() > 0 ? m_commandLine.answerTimeout() : UNIT_TIMEOUT_MS;
    backend->setAnswerTimeout(waitMs);
    // Absent units are the rule here, not worth a message each.
    m_commandLine.muteMessages(true);
    int found = 0;
    for (const STRUCT_SERIAL_SETTINGS& settings : qAsConst(settingsList)) {
        if (!m_commandLine.connectDevice(serial ? &settings : nullptr)) {
            m_commandLine.muteMessages(false);
            return m_commandLine.failure();
        }
        // The units are only listed: no description is activated for them.
        QObject::disconnect(backend->protocolMaster(), &CProtocolMaster::scanResponse, backend,
                            &CDataBackend::scanResponse);
        const QString prefix = serial ? CCommandLine::serialSettingsText(settings) + QStringLiteral(", unit")
                                      : QStringLiteral("Unit");
        for (int unit = first; unit <= last; ++unit) {
            backend->setDeviceAddress(uchar(unit));
            const QString identification = identifyUnit(waitMs);
            if (identification.isEmpty())
                continue;
            ++found;
            CCommandLine::printLine(QStringLiteral("%1 %2: %3").arg(prefix).arg(unit).arg(identification));
        }
    }
    m_commandLine.muteMessages(false);
    if (found == 0) {
        CCommandLine::printError(QStringLiteral("No unit from %1 to %2 answers %3.")
                                     .arg(first)
                                     .arg(last)
                                     .arg(serial ? QStringLiteral("on %1").arg(m_commandLine.option(QStringLiteral("serial")))
                                                 : m_commandLine.connectionText()));
        return CCommandLine::EXIT_NO_CONNECTION;
    }
    return CCommandLine::EXIT_OK;
}

QString CRegisterCommands::identifyUnit(int waitMs)
{
    CDataBackend* backend = m_commandLine.backend();
    CProtocolMaster* master = backend->protocolMaster();
    QStringList scanned;
    QStringList identified;
    const QMetaObject::Connection scanAnswer =
        QObject::connect(master, &CProtocolMaster::scanResponse, master, [this, &scanned](const QStringList& entries) {
            scanned = entries;
            m_commandLine.finish(CCommandLine::EXIT_OK);
        });
    const QMetaObject::Connection didAnswer =
        QObject::connect(master, &CProtocolMaster::didResponse, master, [this, &identified](const QStringList& entries) {
            identified = entries;
            m_commandLine.finish(CCommandLine::EXIT_OK);
        });
    // The wait ends early when the master gives up; the bound is a safety net.
    backend->scanDevice();
    m_commandLine.waitForCompletion(4 * waitMs + 1000, true);
    if (!scanned.isEmpty()) {
        backend->readDid();
        m_commandLine.waitForCompletion(4 * waitMs + 1000, true);
    }
    QObject::disconnect(scanAnswer);
    QObject::disconnect(didAnswer);
    // Whatever is left for this unit must not reach the next one.
    master->reset();
    if (scanned.isEmpty())
        return QString();
    return (labelled(SCAN_LABELS, scanned) + labelled(DID_LABELS, identified)).join(QStringLiteral(", "));
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
        || !m_commandLine.parseNumber(QStringLiteral("count"), MAX_READ_REGISTERS, &count, 1))
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
