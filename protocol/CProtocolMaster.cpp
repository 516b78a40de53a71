#include "protocol/CProtocolMaster.h"

#include <QTimer>

CProtocolMaster::CProtocolMaster(ENUM_PROTOCOL_TYPE type, QObject* parent)
    : CMessageSender(parent)
    , m_type(type)
    , m_cycleTimer(new QTimer(this))
    , m_responseTimer(new QTimer(this))
{
    qRegisterMetaType<CRequest>();
    qRegisterMetaType<QList<CRequest>>();
    m_currentRequest.type = REQUEST_NONE;
    m_responseTimer->setSingleShot(true);
    connect(m_responseTimer, &QTimer::timeout, this, &CProtocolMaster::timeout);
    connect(m_cycleTimer, &QTimer::timeout, this, &CProtocolMaster::statemachine);
}

void CProtocolMaster::setType(ENUM_PROTOCOL_TYPE type)
{
    m_type = type;
    reset();
}

void CProtocolMaster::setDeviceAddress(uchar)
{
}

void CProtocolMaster::reset()
{
    m_responseTimer->stop();
    m_queue.clear();
    m_answered = true;
    m_state = STATE_IDLE;
    m_currentRequest.type = REQUEST_NONE;
    m_currentTelegram.clear();
    m_scanList.clear();
    m_lastScanList.clear();
}

void CProtocolMaster::setStateToNone()
{
    m_state = STATE_IDLE;
}

void CProtocolMaster::buildRequests(const QList<CRequest>& requests)
{
    for (const CRequest& request : requests)
        buildRequest(request);
}

void CProtocolMaster::buildRequest(const CRequest&)
{
}

void CProtocolMaster::resolveResponse(const char*, int)
{
}

void CProtocolMaster::timeout()
{
}

void CProtocolMaster::clearRequests(ENUM_REQUEST_TYPE type)
{
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->first.type == type)
            it = m_queue.erase(it);
        else
            ++it;
    }
}

void CProtocolMaster::enqueue(const CRequest& request, const QByteArray& telegram)
{
    if (!telegram.isEmpty())
        m_queue.append(qMakePair(request, telegram));
}

int CProtocolMaster::responseTimeout(ENUM_REQUEST_TYPE type) const
{
    int milliseconds = 3000;
    switch (type) {
    case REQUEST_READ_PAB:
    case REQUEST_READ_WRITE_COMMISSIONING:
        milliseconds = 1000;
        break;
    case REQUEST_GOTO_BOOTLOADER:
    case REQUEST_GOTO_APPLICATION:
    case REQUEST_FIRMWARE_UPDATE:
        milliseconds = 2000;
        break;
    default:
        break;
    }
    return m_answerTimeoutMs > 0 ? qMin(milliseconds, m_answerTimeoutMs) : milliseconds;
}

bool CProtocolMaster::mayRetry(ENUM_REQUEST_TYPE type, int tries, int maxTries) const
{
    if (tries >= maxTries)
        return false;
    return m_answerTimeoutMs == 0 || (tries + 1) * responseTimeout(type) <= m_answerTimeoutMs;
}

void CProtocolMaster::statemachine()
{
    switch (m_state) {
    case STATE_IDLE: {
        if (!m_ready) {
            m_currentRequest.type = REQUEST_NONE;
            return;
        }
        if (m_queue.isEmpty())
            return;
        m_state = STATE_WAITING;
        m_answered = false;
        const QPair<CRequest, QByteArray> next = m_queue.takeFirst();
        m_currentRequest = next.first;
        m_currentTelegram = next.second;
        ++m_sendCount;
        const QString text = requestToString(m_currentRequest.type);
        if (!text.isEmpty())
            emit logMessage(text);
        emit logMessage(telegramToString(next.second, LOG_TX));
        m_responseTimer->start(responseTimeout(m_currentRequest.type));
        emit write(next.second.constData(), next.second.size());
        break;
    }
    case STATE_RETRY:
        switch (m_currentRequest.type) {
        case REQUEST_SCAN:
        case REQUEST_READ_DEVICE_INFO:
        case REQUEST_READ_DEVICE_ID:
        case REQUEST_READ_PARA:
        case REQUEST_READ_GENERIC:
        case REQUEST_READ_DATETIME:
        case REQUEST_READ_ERRORLOG:
        case REQUEST_READ_IO_MAPPING:
        case REQUEST_READ_PROGRAM:
        case REQUEST_READ_RECORD:
            // Goes to the end of the queue with a freshly built telegram.
            buildRequest(m_currentRequest);
            break;
        default:
            break;
        }
        m_state = STATE_IDLE;
        break;
    default:
        break;
    }
}

QString CProtocolMaster::requestToString(ENUM_REQUEST_TYPE type)
{
    switch (type) {
    case REQUEST_SCAN: return tr("Scan for Device...");
    case REQUEST_READ_DEVICE_INFO: return tr("Read Device Info...");
    case REQUEST_READ_DEVICE_ID: return tr("Read Device Identification...");
    case REQUEST_READ_PARA: return tr("Read Parameter...");
    case REQUEST_READ_DATETIME: return tr("Read DateTime...");
    case REQUEST_READ_ERRORLOG: return tr("Read ErrorLog...");
    case REQUEST_READ_IO_MAPPING: return tr("Read IO Mapping...");
    case REQUEST_READ_PROGRAM: return tr("Read Program...");
    case REQUEST_READ_WRITE_COMMISSIONING: return tr("Read Write Inbetriebnahmedaten...");
    case REQUEST_WRITE_PARA: return tr("Write Parameter...");
    case REQUEST_WRITE_DATETIME: return tr("Write DateTime...");
    case REQUEST_CLEAR_ERRORLOG: return tr("Clear ErrorLog...");
    case REQUEST_WRITE_IO_MAPPING: return tr("Write IO Mapping...");
    case REQUEST_WRITE_PROGRAM: return tr("Write Program...");
    case REQUEST_GOTO_BOOTLOADER: return tr("Go to Bootloader...");
    case REQUEST_GOTO_APPLICATION: return tr("Go to Application...");
    default: return QString();
    }
}

QString CProtocolMaster::requestTypeText(ENUM_REQUEST_TYPE type)
{
    switch (type) {
    case REQUEST_SCAN: return tr("Scan");
    case REQUEST_READ_DEVICE_INFO: return tr("Read DeviceInfo");
    case REQUEST_READ_DEVICE_ID: return tr("Read DeviceId");
    case REQUEST_READ_PARA: return tr("Read Para");
    // Cyclic and commissioning reads log no line when sent, but their failures
    // still have to say what failed.
    case REQUEST_READ_PAB: return tr("Read Process Data");
    case REQUEST_READ_GENERIC: return tr("Read Generic");
    case REQUEST_READ_DATETIME: return tr("Read DateTime");
    case REQUEST_READ_ERRORLOG: return tr("Read ErrorLog");
    case REQUEST_READ_IO_MAPPING: return tr("Read IO Mapping");
    case REQUEST_READ_PROGRAM: return tr("Read Program");
    case REQUEST_READ_RECORD: return tr("Read Device Record");
    case REQUEST_READ_WRITE_COMMISSIONING: return tr("Read Write Inbetriebnahmedaten");
    case REQUEST_READ_WRITE_GENERIC: return tr("Read Write Generic");
    case REQUEST_WRITE_PARA: return tr("Write Para");
    case REQUEST_WRITE_GENERIC_SINGLE: return tr("Write Generic");
    case REQUEST_WRITE_GENERIC: return tr("Write Generic");
    case REQUEST_WRITE_DATETIME: return tr("Write DateTime");
    case REQUEST_CLEAR_ERRORLOG: return tr("Clear ErrorLog");
    case REQUEST_WRITE_IO_MAPPING: return tr("Write IO Mapping");
    case REQUEST_WRITE_PROGRAM: return tr("Write Program");
    case REQUEST_GOTO_BOOTLOADER: return tr("Go to Bootloader");
    case REQUEST_GOTO_APPLICATION: return tr("Go to Application");
    case REQUEST_FIRMWARE_UPDATE: return tr("Firmware update");
    default: return QString();
    }
}

QString CProtocolMaster::telegramToString(const QByteArray& telegram, ENUM_LOG_TYPES logType)
{
    QString text;
    if (logType == LOG_RX)
        text = QStringLiteral("Rx: ");
    else if (logType == LOG_TX)
        text = QStringLiteral("Tx: ");
    else
        return QString();
    text.reserve(text.size() + telegram.size() * 5);
    for (const char byte : telegram)
        text += QStringLiteral("0x%1 ").arg(static_cast<quint8>(byte), 2, 16, QLatin1Char('0'));
    return text;
}
