#include "CBridgeCommands.h"

#include "CCommandLine.h"

#include "interfaces/CBluetoothInterface.h"

namespace {
// A module answers its commands at once; the link itself is slower to give up.
const int ANSWER_TIMEOUT_MS = 5000;

// A byte in decimal or 0x hex; -1 when it is none.
int byteValue(const QString& text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 0);
    return ok && value <= 0xFF ? int(value) : -1;
}

QString flagsText(int flags)
{
    return QStringLiteral("0x%1").arg(flags, 2, 16, QLatin1Char('0'));
}
}

CBridgeCommands::CBridgeCommands(CCommandLine& commandLine)
    : m_commandLine(commandLine)
{
}

QString CBridgeCommands::title() const
{
    return QStringLiteral("Commands on a Bluetooth LE bridge module (--ble)");
}

QList<QCommandLineOption> CBridgeCommands::options() const
{
    return {
        { QStringLiteral("name"), QStringLiteral("bridge: write the module's radio name."), QStringLiteral("text") },
        { QStringLiteral("pass-key"), QStringLiteral("bridge: write the module's static pass key."),
          QStringLiteral("text") },
        { QStringLiteral("advertising-flags"), QStringLiteral("bridge: write the module's advertising flags (0 to 255)."),
          QStringLiteral("n") },
        { QStringLiteral("uart-index"),
          QStringLiteral("bridge: write the module's UART configuration index (86: 115200 baud, even parity)."),
          QStringLiteral("n") },
    };
}

QList<CCommandGroup::Command> CBridgeCommands::commands()
{
    return { { QStringLiteral("bridge"), QString(), 0,
               QStringLiteral("print the module's settings after writing those given (bridge: options)"),
               [this](const QStringList&) { return bridge(); } } };
}

QString CBridgeCommands::uartConfigText(int index)
{
    if (!CBluetoothInterface::UART_CONFIG_TABLE.contains(uchar(index)))
        return QStringLiteral("%1 (not a configuration of the table)").arg(index);
    const STRUCT_UART_CONFIG config = CBluetoothInterface::UART_CONFIG_TABLE.value(uchar(index));
    return QStringLiteral("%1 (%2 baud, %3 parity, %4 flow control)")
        .arg(index)
        .arg(config.baudRate)
        .arg(config.parity == 2 ? QStringLiteral("even") : QStringLiteral("no"),
             config.flowControl == 1 ? QStringLiteral("hardware") : QStringLiteral("no"));
}

QList<CBridgeCommands::Setting> CBridgeCommands::settings()
{
    using Texts = std::function<void(const QString&)>;
    using Outcomes = std::function<void(bool)>;
    return {
        { QStringLiteral("name"), QStringLiteral("Radio name"), &CBluetoothInterface::readRfDeviceName,
          [](CBluetoothInterface& bridge, const Texts& answer) {
              return QObject::connect(&bridge, &CBluetoothInterface::rfDeviceNameReceived, &bridge, answer);
          },
          [](CBluetoothInterface& bridge, const QString& value) { bridge.writeRfDeviceName(value); },
          [](CBluetoothInterface& bridge, const Outcomes& answer) {
              return QObject::connect(&bridge, &CBluetoothInterface::rfDeviceNameWritten, &bridge, answer);
          } },
        { QStringLiteral("pass-key"), QStringLiteral("Pass key"), &CBluetoothInterface::readRfStaticPassKey,
          [](CBluetoothInterface& bridge, const Texts& answer) {
              return QObject::connect(&bridge, &CBluetoothInterface::rfStaticPassKeyReceived, &bridge, answer);
          },
          [](CBluetoothInterface& bridge, const QString& value) { bridge.writeRfStaticPassKey(value); },
          [](CBluetoothInterface& bridge, const Outcomes& answer) {
              return QObject::connect(&bridge, &CBluetoothInterface::rfStaticPassKeyWritten, &bridge, answer);
          } },
        { QStringLiteral("advertising-flags"), QStringLiteral("Advertising flags"),
          &CBluetoothInterface::readRfAdvertisingFlags,
          [](CBluetoothInterface& bridge, const Texts& answer) {
              return QObject::connect(&bridge, &CBluetoothInterface::rfAdvertisingFlagsReceived, &bridge,
                                      [answer](int flags) { answer(flags < 0 ? QString() : flagsText(flags)); });
          },
          [](CBluetoothInterface& bridge, const QString& value) { bridge.writeRfAdvertisingFlags(uchar(byteValue(value))); },
          [](CBluetoothInterface& bridge, const Outcomes& answer) {
              return QObject::connect(&bridge, &CBluetoothInterface::rfAdvertisingFlagsWritten, &bridge, answer);
          } },
        { QStringLiteral("uart-index"), QStringLiteral("UART configuration"), &CBluetoothInterface::readUartConfigIndex,
          [](CBluetoothInterface& bridge, const Texts& answer) {
              return QObject::connect(&bridge, &CBluetoothInterface::uartConfigIndexReceived, &bridge,
                                      [answer](int index) { answer(index < 0 ? QString() : uartConfigText(index)); });
          },
          [](CBluetoothInterface& bridge, const QString& value) { bridge.writeUartConfigIndex(uchar(byteValue(value))); },
          [](CBluetoothInterface& bridge, const Outcomes& answer) {
              return QObject::connect(&bridge, &CBluetoothInterface::uartConfigIndexWritten, &bridge, answer);
          } },
    };
}

QString CBridgeCommands::refusal(const Setting& setting) const
{
    const QString value = m_commandLine.option(setting.option);
    if (setting.option == QLatin1String("name") || setting.option == QLatin1String("pass-key")) {
        if (value.isEmpty())
            return QStringLiteral("--%1 needs a text.").arg(setting.option);
        // The module stores single bytes.
        if (QString::fromLatin1(value.toLatin1()) != value)
            return QStringLiteral("--%1 '%2' has characters the module cannot store (Latin-1 only).")
                .arg(setting.option, value);
        return QString();
    }
    const int number = byteValue(value);
    if (setting.option == QLatin1String("advertising-flags")) {
        if (number < 0)
            return QStringLiteral("Invalid --advertising-flags '%1' (0 to 255, decimal or 0x hex).").arg(value);
        return QString();
    }
    // An index outside the table could leave the module's UART unusable.
    if (number < 0 || !CBluetoothInterface::UART_CONFIG_TABLE.contains(uchar(number))) {
        QStringList indexes;
        for (const uchar index : CBluetoothInterface::UART_CONFIG_TABLE.keys())
            indexes.append(QString::number(index));
        return QStringLiteral("Invalid --uart-index '%1' (one of %2).").arg(value, indexes.join(QStringLiteral(", ")));
    }
    return QString();
}

void CBridgeCommands::exchange(const std::function<void()>& send, const bool& answered, const QString& what)
{
    send();
    if (answered)
        return;
    m_commandLine.waitForCompletion(ANSWER_TIMEOUT_MS, false);
    // A link that ended has said so itself.
    if (m_commandLine.unanswered())
        CCommandLine::printError(QStringLiteral("No answer from the module to the %1.").arg(what));
}

int CBridgeCommands::bridge()
{
    const bool otherDevice = m_commandLine.isSet(QStringLiteral("tcp")) || m_commandLine.isSet(QStringLiteral("serial"))
        || m_commandLine.isSet(QStringLiteral("nfc"));
    if (!m_commandLine.isSet(QStringLiteral("ble")) || otherDevice) {
        CCommandLine::printError(QStringLiteral("bridge needs --ble NAME,ADDRESS and no other device option."));
        return CCommandLine::EXIT_USAGE;
    }
    QString portName;
    if (!m_commandLine.bluetoothPort(&portName))
        return m_commandLine.failure();
    const QList<Setting> all = settings();
    QList<Setting> writes;
    for (const Setting& setting : all) {
        if (!m_commandLine.isSet(setting.option))
            continue;
        const QString why = refusal(setting);
        if (!why.isEmpty()) {
            CCommandLine::printError(why);
            return CCommandLine::EXIT_USAGE;
        }
        writes.append(setting);
    }

    // The module itself, without the back end: opening through it would
    // change the module's UART configuration to suit a device.
    CBluetoothInterface bridge;
    bridge.setPortName(portName);
    const bool verbose = m_commandLine.isSet(QStringLiteral("verbose"));
    QStringList log;
    QObject::connect(&bridge, &CMessageSender::logMessage, &bridge, [verbose, &log](const QString& line) {
        if (verbose)
            CCommandLine::printError(line);
        else
            log.append(line);
    });
    QObject::connect(&bridge, &CMessageSender::errorMessage, &m_commandLine, &CCommandLine::reportMessage);
    QObject::connect(&bridge, &CMessageSender::warningMessage, &m_commandLine, &CCommandLine::reportMessage);
    if (!bridge.openPort()) {
        // Why it failed is known only to the log.
        for (const QString& line : qAsConst(log))
            CCommandLine::printError(line);
        CCommandLine::printError(QStringLiteral("Could not connect to the Bluetooth module %1.").arg(portName));
        return CCommandLine::EXIT_NO_CONNECTION;
    }
    const QMetaObject::Connection lost = QObject::connect(&bridge, &CBluetoothInterface::disconnected, &bridge, [this] {
        CCommandLine::printError(QStringLiteral("The connection to the module ended."));
        m_commandLine.finish(CCommandLine::EXIT_DEVICE_ERROR);
    });

    int result = CCommandLine::EXIT_OK;
    for (const Setting& setting : qAsConst(writes)) {
        if (!bridge.isPortOpen())
            break;
        bool answered = false;
        bool written = false;
        const QMetaObject::Connection answer = setting.writeAnswer(bridge, [&](bool ok) {
            answered = true;
            written = ok;
            m_commandLine.finish(CCommandLine::EXIT_OK);
        });
        const QString what = QStringLiteral("write of the %1").arg(setting.caption.toLower());
        exchange([&] { setting.write(bridge, m_commandLine.option(setting.option)); }, answered, what);
        QObject::disconnect(answer);
        if (answered && !written)
            CCommandLine::printError(QStringLiteral("The module refused the %1.").arg(what));
        if (!answered || !written)
            result = CCommandLine::EXIT_DEVICE_ERROR;
    }
    // Read back after writing: what the module keeps is what counts.
    for (const Setting& setting : all) {
        if (!bridge.isPortOpen())
            break;
        bool answered = false;
        QString value;
        const QMetaObject::Connection answer = setting.readAnswer(bridge, [&](const QString& text) {
            answered = true;
            value = text;
            m_commandLine.finish(CCommandLine::EXIT_OK);
        });
        const QString what = QStringLiteral("read of the %1").arg(setting.caption.toLower());
        exchange([&] { setting.read(bridge); }, answered, what);
        QObject::disconnect(answer);
        if (answered && value.isEmpty())
            CCommandLine::printError(QStringLiteral("The module refused the %1.").arg(what));
        if (value.isEmpty())
            result = CCommandLine::EXIT_DEVICE_ERROR;
        else
            CCommandLine::printLine(QStringLiteral("%1: %2").arg(setting.caption, value));
    }
    QObject::disconnect(lost);
    bridge.closePort();
    return result;
}
