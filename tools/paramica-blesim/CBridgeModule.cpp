#include "CBridgeModule.h"

#include "interfaces/CBluetoothInterface.h"

#include <QSerialPort>
#include <QTimer>

namespace {
QString statusName(char status)
{
    return CBridgeOptions::STATUSES.key(status, QStringLiteral("0x%1").arg(uchar(status), 2, 16, QLatin1Char('0')));
}

QString settingName(int index)
{
    return CBridgeOptions::SETTINGS.key(index, QStringLiteral("setting %1").arg(index));
}
}

CBridgeModule::CBridgeModule(const CBridgeOptions& options, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_packetTimer(new QTimer(this))
{
    m_settings.insert(SETTING_NAME, options.name.toLatin1());
    m_settings.insert(SETTING_PASS_KEY, options.passKey.toLatin1());
    m_settings.insert(SETTING_ADVERTISING_FLAGS,
                      QByteArray(1, char(options.advertisingFlags)));
    m_settings.insert(SETTING_UART_INDEX, QByteArray(1, char(options.uartIndex)));
    m_packetTimer->setSingleShot(true);
    connect(m_packetTimer, &QTimer::timeout, this, &CBridgeModule::sendNextPacket);
}

QString CBridgeModule::name() const
{
    return QString::fromLatin1(m_settings.value(SETTING_NAME));
}

bool CBridgeModule::openSerial(QString* error)
{
    if (m_options.serialPath.isEmpty())
        return true;
    m_serial = new QSerialPort(m_options.serialPath, this);
    applyUartConfig();
    if (!m_serial->open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("cannot open %1: %2").arg(m_options.serialPath, m_serial->errorString());
        return false;
    }
    connect(m_serial, &QSerialPort::readyRead, this, &CBridgeModule::readSerial);
    return true;
}

void CBridgeModule::applyUartConfig()
{
    const uchar index = uchar(m_settings.value(SETTING_UART_INDEX).at(0));
    if (!m_serial || !CBluetoothInterface::UART_CONFIG_TABLE.contains(index))
        return;
    const STRUCT_UART_CONFIG config = CBluetoothInterface::UART_CONFIG_TABLE.value(index);
    m_serial->setBaudRate(config.baudRate);
    m_serial->setParity(QSerialPort::Parity(config.parity));
    m_serial->setFlowControl(QSerialPort::FlowControl(config.flowControl));
}

bool CBridgeModule::receivePacket(const QByteArray& packet)
{
    const char kind = packet.isEmpty() ? 0 : packet.at(0);
    if (kind == PACKET_COMMAND) {
        answerCommand(packet.mid(1));
        return true;
    }
    if (kind != PACKET_DATA) {
        emit report(QStringLiteral("ignored packet %1").arg(QString::fromLatin1(packet.toHex())));
        return true;
    }
    emit report(QStringLiteral("data packet %1").arg(packet.size()));
    if (m_options.refuseDataWrites) {
        emit report(QStringLiteral("data packet refused"));
        return false;
    }
    if (m_options.vanishAfter >= 0 && m_dataPackets++ >= m_options.vanishAfter) {
        emit vanishRequested();
        return true;
    }
    if (m_serial)
        m_serial->write(packet.mid(1));
    else
        queueData(packet.mid(1));
    return true;
}

void CBridgeModule::answerCommand(const QByteArray& command)
{
    const int index = command.size() >= 2 ? uchar(command.at(1)) : -1;
    if (index >= 0 && command.at(0) == COMMAND_READ)
        emit packetToSend(readAnswer(index));
    else if (index >= 0 && command.at(0) == COMMAND_WRITE)
        emit packetToSend(writeAnswer(index, command.mid(2)));
    else
        emit report(QStringLiteral("ignored command %1").arg(QString::fromLatin1(command.toHex())));
}

QByteArray CBridgeModule::readAnswer(int index)
{
    char status = m_options.readStatus.value(index, STATUS_OK);
    if (!m_settings.contains(index))
        status = STATUS_FAILED;
    QByteArray answer = QByteArray(1, PACKET_COMMAND) + ANSWER_READ + status;
    if (status == STATUS_OK)
        answer += isText(index) ? m_settings.value(index).leftJustified(TEXT_FIELD_LENGTH, '\0') : m_settings.value(index);
    emit report(QStringLiteral("read %1: %2").arg(settingName(index), statusName(status)));
    return answer;
}

QByteArray CBridgeModule::writeAnswer(int index, const QByteArray& value)
{
    char status = m_options.writeStatus.value(index, STATUS_OK);
    const int end = value.indexOf('\0');
    const QByteArray stored = isText(index) && end >= 0 ? value.left(end) : value;
    const bool valid = m_settings.contains(index)
        && (isText(index) || value.size() == 1)
        && (index != SETTING_UART_INDEX
            || CBluetoothInterface::UART_CONFIG_TABLE.contains(uchar(value.isEmpty() ? 0 : value.at(0))));
    if (!valid)
        status = STATUS_FAILED;
    const QString shown = isText(index) ? QString::fromLatin1(stored) : QString::number(uchar(value.isEmpty() ? 0 : value.at(0)));
    emit report(QStringLiteral("write %1 %2: %3").arg(settingName(index), shown, statusName(status)));
    if (status == STATUS_OK) {
        m_settings.insert(index, stored);
        if (index == SETTING_UART_INDEX)
            applyUartConfig();
    }
    return QByteArray(1, PACKET_COMMAND) + ANSWER_WRITE + status;
}

bool CBridgeModule::isText(int index)
{
    return index == SETTING_NAME
        || index == SETTING_PASS_KEY;
}

void CBridgeModule::readSerial()
{
    queueData(m_serial->readAll());
}

void CBridgeModule::queueData(const QByteArray& bytes)
{
    m_outgoing.append(bytes);
    if (!m_packetTimer->isActive())
        sendNextPacket();
}

void CBridgeModule::sendNextPacket()
{
    if (m_outgoing.isEmpty())
        return;
    emit packetToSend(QByteArray(1, PACKET_DATA) + m_outgoing.left(m_options.packetSize));
    m_outgoing.remove(0, m_options.packetSize);
    if (!m_outgoing.isEmpty())
        m_packetTimer->start(m_options.packetGapMs);
}
