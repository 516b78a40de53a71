#include "protocol/CModbusMaster.h"

#include "items/CGlobals.h"
#include "protocol/CFlasher.h"
#include "protocol/CModbusRTUMode.h"
#include "protocol/CModbusTCPMode.h"

#include <QEventLoop>
#include <QMetaMethod>
#include <QPointer>
#include <QTimer>

#include <cstring>

namespace {
const uchar FUNCTION_GOTO = 0x57;
const uchar EXCEPTION_BIT = 0x80;
const quint16 SECOND_SCAN_ADDRESS = 0x0300;
const quint16 SCAN_LENGTH = 20;
// A Modbus PDU is at most 253 bytes: the function code and 252 bytes of data.
// What a request reads must fit an answer (byte count and registers), what it
// writes the request itself.
const int MAX_READ_BYTES = 250;        // 125 registers
const int MAX_WRITE_BYTES = 246;       // 123 registers after address, count and byte count
const int MAX_READ_WRITE_BYTES = 242;  // 121 registers after both addresses, counts and byte count

// Value of a single write or go-to request: host order (low byte first).
bool singleValue(const CRequest& request, quint16* value)
{
    if (request.writeLength != 2 || request.data.size() != 2)
        return false;
    *value = quint16(uchar(request.data[0]) | (uchar(request.data[1]) << 8));
    return true;
}

// Register bytes of a multiple or read/write request, in wire order; the
// request has been checked to carry exactly writeLength bytes.
bool copyRegisters(const CRequest& request, Modbus::UNION_MODBUS_RD_WR& data, int offset)
{
    if (request.writeLength == 0)
        return false;
    std::memcpy(data.raw + offset, request.data.constData(), size_t(request.writeLength));
    return true;
}
}

CModbusMaster::CModbusMaster(QObject* parent)
    : CModbusMaster(PROTOCOL_MODBUS_RTU, parent)
{
}

CModbusMaster::CModbusMaster(ENUM_PROTOCOL_TYPE type, QObject* parent)
    : CProtocolMaster(type, parent)
    , m_flasher(new CFlasher(this))
{
    qRegisterMetaType<Modbus::UNION_MODBUS_RD_WR>();
    setObjectName(CGlobals::ModbusMaster);
    connect(this, &CModbusMaster::updateAck, m_flasher, &CFlasher::handleResponse);
    connect(m_flasher, &CFlasher::buildTelegram, this, &CModbusMaster::buildUpdateRequest);
    connect(m_flasher, &CFlasher::updateDone, this, &CModbusMaster::firmwareUpdateFinished);
    connect(m_flasher, &CFlasher::updateStarted, this, &CModbusMaster::firmwareUpdateStarted);
    connect(m_flasher, &CFlasher::updateProgress, this, &CModbusMaster::firmwareUpdateProgress);
    // Why an update fails reaches the user the way the master's own reports do.
    connect(m_flasher, &CMessageSender::warningMessage, this, &CMessageSender::warningMessage);
    connect(m_flasher, &CMessageSender::logMessage, this, &CMessageSender::logMessage);
    if (type == PROTOCOL_MODBUS_TCP)
        m_mode = new CModbusTCPMode;
    else
        m_mode = new CModbusRTUMode;
    m_cycleTimer->start(CYCLE_INTERVAL_MS);
}

CModbusMaster::~CModbusMaster()
{
    delete m_mode;
}

void CModbusMaster::setDeviceAddress(uchar address)
{
    if (address != m_mode->identifier())
        m_mode->setIdentifier(address);
}

uchar CModbusMaster::deviceAddress() const
{
    return m_mode->identifier();
}

int CModbusMaster::startUpdate(const QString& fileName, bool withChecks)
{
    stopUpdate();
    emit logMessage(tr("Start Firmware Update..."));
    m_flasher->setFileName(fileName);
    m_flasher->enableChecks(withChecks);
    const QPointer<CModbusMaster> alive(this);
    const int result = m_flasher->exec();
    // The run waited in the event loop, where the master may have been released.
    if (alive)
        clearRequests(REQUEST_FIRMWARE_UPDATE);
    return result;
}

void CModbusMaster::stopUpdate()
{
    if (m_flasher->isRunning()) {
        emit logMessage(tr("Abort Firmware Update..."));
        m_flasher->exit(-1);
        // What the run still had queued belongs to no run.
        clearRequests(REQUEST_FIRMWARE_UPDATE);
        emit firmwareUpdateFinished(0);
    }
    m_state = STATE_IDLE;
}

void CModbusMaster::buildUpdateRequest(uchar functionCode, uint byteCount, Modbus::UNION_MODBUS_RD_WR userData)
{
    if (byteCount == 0)
        return;
    enqueue(CRequest(REQUEST_FIRMWARE_UPDATE, functionCode), m_mode->buildTelegram(functionCode, byteCount, userData));
}

void CModbusMaster::buildRequest(const CRequest& request)
{
    const QString refusal = refusalReason(request);
    if (!refusal.isEmpty()) {
        emit logMessage(refusal);
        emit warningMessage(CAPTION_COMMUNICATION, refusal);
        return;
    }
    enqueue(request, buildTelegram(request));
}

bool CModbusMaster::isRegisterRead(ENUM_REQUEST_TYPE type)
{
    switch (type) {
    case REQUEST_SCAN:
    case REQUEST_READ_DEVICE_INFO:
    case REQUEST_READ_PARA:
    case REQUEST_READ_PAB:
    case REQUEST_READ_GENERIC:
    case REQUEST_READ_DATETIME:
    case REQUEST_READ_ERRORLOG:
    case REQUEST_READ_IO_MAPPING:
    case REQUEST_READ_PROGRAM:
    case REQUEST_READ_RECORD:
        return true;
    default:
        return false;
    }
}

QString CModbusMaster::refusalReason(const CRequest& request)
{
    // Bytes the request may read and write; 0 where it does neither.
    int readLimit = 0;
    int writeLimit = 0;
    if (isRegisterRead(request.type))
        readLimit = MAX_READ_BYTES;
    switch (request.type) {
    case REQUEST_READ_WRITE_COMMISSIONING:
        readLimit = MAX_READ_BYTES;
        writeLimit = MAX_READ_WRITE_BYTES;
        break;
    case REQUEST_WRITE_PARA:
    case REQUEST_WRITE_GENERIC:
    case REQUEST_WRITE_DATETIME:
    case REQUEST_WRITE_IO_MAPPING:
    case REQUEST_WRITE_PROGRAM:
        writeLimit = MAX_WRITE_BYTES;
        break;
    case REQUEST_WRITE_GENERIC_SINGLE:
    case REQUEST_CLEAR_ERRORLOG:
    case REQUEST_GOTO_BOOTLOADER:
    case REQUEST_GOTO_APPLICATION:
        writeLimit = 2; // one register
        break;
    default:
        if (readLimit == 0)
            return QString();
        break;
    }
    const QString what = requestTypeText(request.type);
    if (request.readLength > readLimit && readLimit > 0)
        return tr("%1: Request refused! %2 bytes to read exceed the %3 bytes one telegram carries, Register %4")
            .arg(what)
            .arg(request.readLength)
            .arg(readLimit)
            .arg(registerText(request));
    // A request without anything to write builds no telegram and needs no word.
    if (writeLimit == 0 || request.writeLength == 0)
        return QString();
    if (request.data.size() != request.writeLength)
        return tr("%1: Request refused! %2 bytes of data for %3 bytes to write, Register %4")
            .arg(what)
            .arg(request.data.size())
            .arg(request.writeLength)
            .arg(registerText(request));
    if (request.writeLength > writeLimit || request.writeLength % 2 != 0)
        return tr("%1: Request refused! %2 bytes to write are no whole registers within the %3 bytes one "
                  "telegram carries, Register %4")
            .arg(what)
            .arg(request.writeLength)
            .arg(writeLimit)
            .arg(registerText(request));
    return QString();
}

QByteArray CModbusMaster::buildTelegram(const CRequest& request)
{
    Modbus::UNION_MODBUS_RD_WR data;
    std::memset(data.raw, 0, sizeof(data.raw));
    const uchar fc = request.functionCode;
    quint16 value = 0;

    if (isRegisterRead(request.type)) {
        if (request.readLength == 0)
            return QByteArray();
        Modbus::setWord(data, 0, request.readAddress);
        Modbus::setWord(data, 2, request.readLength / 2);
        return m_mode->buildTelegram(fc, 4, data);
    }
    switch (request.type) {
    case REQUEST_READ_DEVICE_ID:
        data.raw[0] = 0x0E;
        data.raw[1] = 0x01;
        data.raw[2] = 0x00;
        return m_mode->buildTelegram(fc, 3, data);
    case REQUEST_READ_WRITE_COMMISSIONING:
        if (!copyRegisters(request, data, 9))
            return QByteArray();
        Modbus::setWord(data, 0, request.readAddress);
        Modbus::setWord(data, 2, request.readLength / 2);
        Modbus::setWord(data, 4, request.writeAddress);
        Modbus::setWord(data, 6, request.writeLength / 2);
        data.raw[8] = quint8(request.writeLength);
        return m_mode->buildTelegram(fc, request.writeLength + 9u, data);
    case REQUEST_WRITE_PARA:
    case REQUEST_WRITE_GENERIC:
    case REQUEST_WRITE_DATETIME:
    case REQUEST_WRITE_IO_MAPPING:
    case REQUEST_WRITE_PROGRAM:
        if (!copyRegisters(request, data, 5))
            return QByteArray();
        Modbus::setWord(data, 0, request.writeAddress);
        Modbus::setWord(data, 2, request.writeLength / 2);
        data.raw[4] = quint8(request.writeLength);
        return m_mode->buildTelegram(fc, request.writeLength + 5u, data);
    case REQUEST_WRITE_GENERIC_SINGLE:
    case REQUEST_CLEAR_ERRORLOG:
        if (!singleValue(request, &value))
            return QByteArray();
        Modbus::setWord(data, 0, request.writeAddress);
        Modbus::setWord(data, 2, value);
        return m_mode->buildTelegram(fc, 4, data);
    case REQUEST_GOTO_BOOTLOADER:
    case REQUEST_GOTO_APPLICATION:
        if (!singleValue(request, &value))
            return QByteArray();
        CFlasher::setBootLoaderCommand(data, request.writeAddress, value);
        return m_mode->buildTelegram(fc, 11, data);
    default:
        // Update telegrams come only from the flasher.
        return QByteArray();
    }
}

void CModbusMaster::resolveResponse(const char* buffer, int byteCount)
{
    emit logMessage(telegramToString(QByteArray(buffer, byteCount), LOG_RX));

    // Only the answer to the telegram on the line is taken: an answer that
    // arrives after its request timed out or was reset belongs to no request.
    if (m_state != STATE_WAITING) {
        emit logMessage(tr("Answer without a pending request dropped."));
        return;
    }
    if (!m_mode->resolveResponse(buffer, byteCount) || m_mode->identifier(buffer) != m_mode->identifier()
        || (m_mode->functionCode(buffer) & ~EXCEPTION_BIT) != m_currentRequest.functionCode) {
        // The response timer keeps running: the time-out decides on the request.
        resetInterface();
        return;
    }
    if (!m_mode->isAnswerTo(buffer, m_currentTelegram)) {
        emit logMessage(tr("Answer to an earlier request dropped."));
        return;
    }

    const uchar fc = m_mode->functionCode(buffer);
    if (fc == FUNCTION_GOTO) {
        // The wait runs the event loop: the master may be replaced and the
        // request may time out or be reset meanwhile.
        const quint64 sent = m_sendCount;
        if (!resetInterface() || m_sendCount != sent || m_state != STATE_WAITING)
            return;
    }

    m_responseTimer->stop();
    m_answered = true;
    m_state = STATE_IDLE;

    Modbus::UNION_MODBUS_RD_WR data;
    std::memset(data.raw, 0, sizeof(data.raw));
    const char* user = m_mode->userData(buffer);
    const int available = qBound(0, int(buffer + byteCount - user), int(sizeof(data.raw)));
    std::memcpy(data.raw, user, size_t(available));

    if (fc != FUNCTION_GOTO && (fc & EXCEPTION_BIT)) {
        if (m_currentRequest.type != REQUEST_SCAN) {
            handleErrorAnswer(data, m_mode->exceptionByteCount(byteCount));
            return;
        }
        if (++m_scanExceptionCount > 1) {
            handleErrorAnswer(data, m_mode->exceptionByteCount(byteCount));
            m_scanExceptionCount = 0;
            return;
        }
        buildRequest(CRequest(REQUEST_SCAN, 3, SECOND_SCAN_ADDRESS, SCAN_LENGTH));
        return;
    }

    m_scanExceptionCount = 0;
    handleAnswer(data, m_mode->userByteCount(byteCount));
}

void CModbusMaster::handleAnswer(const Modbus::UNION_MODBUS_RD_WR& data, int byteCount)
{
    const ENUM_REQUEST_TYPE type = m_currentRequest.type;
    if (type > REQUEST_READ_WRITE_GENERIC) {
        if (type == REQUEST_FIRMWARE_UPDATE)
            emit updateAck(data);
        else
            emit ack();
        return;
    }
    if (type == REQUEST_READ_DEVICE_ID) {
        emit didResponse(CFlasher::handleDidResponse(data, byteCount + 1));
        return;
    }

    const int expected = m_currentRequest.readLength;
    bool accepted = false;
    switch (type) {
    case REQUEST_SCAN:
    case REQUEST_READ_DEVICE_INFO:
        accepted = expected <= byteCount;
        break;
    case REQUEST_READ_IO_MAPPING:
        accepted = expected >= byteCount;
        break;
    default:
        accepted = expected == byteCount;
        break;
    }
    if (!accepted) {
        if (type == REQUEST_READ_PAB || type == REQUEST_READ_WRITE_COMMISSIONING)
            return;
        const QString message = tr("%1: No valid answer from device!").arg(requestTypeText(type));
        emit logMessage(message);
        emit warningMessage(CAPTION_COMMUNICATION, message);
        return;
    }

    if (type == REQUEST_SCAN) {
        emit scanResponse(scanEntries(data, byteCount));
        return;
    }

    QByteArray answer;
    answer.reserve(byteCount + 2);
    answer.append(char(m_currentRequest.readAddress >> 8));
    answer.append(char(m_currentRequest.readAddress & 0xFF));
    answer.append(reinterpret_cast<const char*>(data.raw + 1), qBound(0, byteCount, int(sizeof(data.raw)) - 1));
    if (type == REQUEST_READ_PROGRAM)
        emit programDataResponse(answer);
    else if (type == REQUEST_READ_RECORD)
        emit recordResponse(answer);
    else
        emit dataResponse(answer);
}

QStringList CModbusMaster::scanEntries(const Modbus::UNION_MODBUS_RD_WR& data, int byteCount)
{
    quint16 words[10] = {};
    const int available = qMin(10, qMax(0, byteCount) / 2);
    for (int i = 0; i < available; ++i)
        words[i] = Modbus::word(data, 1 + 2 * i);
    const quint32 orderNumber = (quint32(words[3]) << 16) | words[2];
    return { QString::number(orderNumber), QString::number(words[9] / 100.0, 'f', 2) };
}

QString CModbusMaster::exceptionName(int code)
{
    switch (code) {
    case 1: return QStringLiteral("Illegal Function");
    case 2: return QStringLiteral("Illegal Data Address");
    case 3: return QStringLiteral("Illegal Data Value");
    case 4: return QStringLiteral("Slave Device Failure");
    case 5: return QStringLiteral("Acknowledge");
    case 6: return QStringLiteral("Slave Device Busy");
    case 7: return QStringLiteral("Negative Acknowledge");
    case 10: return QStringLiteral("Gateway Path Unavailable");
    case 11: return QStringLiteral("Gateway Target Device Failed to Respond");
    default: return QStringLiteral("-");
    }
}

QString CModbusMaster::registerText(const CRequest& request)
{
    const quint16 address = request.type > REQUEST_READ_WRITE_GENERIC ? request.writeAddress : request.readAddress;
    return QStringLiteral("0x%1").arg(address, 4, 16, QLatin1Char('0'));
}

void CModbusMaster::handleErrorAnswer(const Modbus::UNION_MODBUS_RD_WR& data, int kind)
{
    QString exception;
    if (kind == 1) {
        exception = tr("Exception code %1 (%2)").arg(data.raw[0]).arg(exceptionName(data.raw[0]));
    } else if (kind == 2) {
        exception = tr("MEI Type %3, Exception code %1 (%2)")
                        .arg(data.raw[1])
                        .arg(exceptionName(data.raw[1]))
                        .arg(data.raw[0]);
    } else {
        exception = tr("Exception code %1 (%2)").arg(0).arg(exceptionName(0));
    }
    const ENUM_REQUEST_TYPE type = m_currentRequest.type;
    const QString message = tr("%1: Function denied! Function code %2, Register %3, %4")
                                .arg(requestTypeText(type))
                                .arg(m_currentRequest.functionCode)
                                .arg(registerText(m_currentRequest), exception);
    emit logMessage(message);
    if (type != REQUEST_READ_PAB && type != REQUEST_READ_WRITE_COMMISSIONING && type != REQUEST_FIRMWARE_UPDATE)
        emit warningMessage(CAPTION_COMMUNICATION, message);
    emit nack();
}

void CModbusMaster::timeout()
{
    const ENUM_REQUEST_TYPE type = m_currentRequest.type;
    const QString message = tr("%1: No answer from device (device address: %2)! Function code %3, Register %4")
                                .arg(requestTypeText(type))
                                .arg(m_mode->identifier())
                                .arg(m_currentRequest.functionCode)
                                .arg(registerText(m_currentRequest));
    if (m_state != STATE_WAITING)
        return;

    switch (type) {
    case REQUEST_READ_PAB:
    case REQUEST_READ_WRITE_COMMISSIONING:
    case REQUEST_READ_WRITE_GENERIC:
    case REQUEST_GOTO_BOOTLOADER:
    case REQUEST_GOTO_APPLICATION:
    case REQUEST_FIRMWARE_UPDATE:
        m_state = STATE_IDLE;
        if (!m_answered)
            emit logMessage(message);
        return;
    default:
        break;
    }

    ++m_currentRequest.retryCount;
    if (mayRetry(type, m_currentRequest.retryCount, MAX_TRIES)) {
        m_state = STATE_RETRY;
        return;
    }
    m_responseTimer->stop();
    m_state = STATE_IDLE;
    if (type <= REQUEST_READ_WRITE_GENERIC && !m_answered) {
        emit logMessage(message);
        emit warningMessage(CAPTION_COMMUNICATION, message);
    }
}

bool CModbusMaster::resetInterface()
{
    // The wait gives the back end time to reset the transport; without one
    // wired there is nothing to wait for.
    if (!isSignalConnected(QMetaMethod::fromSignal(&CModbusMaster::resetInterfaceInitiated)))
        return true;
    QPointer<CModbusMaster> alive(this);
    QEventLoop loop;
    QTimer::singleShot(RESET_WAIT_MS, &loop, &QEventLoop::quit);
    connect(this, &CModbusMaster::resetInterfaceFinished, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer::singleShot(RESET_SIGNAL_DELAY_MS, this, &CModbusMaster::resetInterfaceInitiated);
    loop.exec();
    return !alive.isNull();
}
