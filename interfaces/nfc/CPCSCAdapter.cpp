#include "interfaces/nfc/CPCSCAdapter.h"

#include "interfaces/nfc/CNdefMessage.h"
#include "interfaces/nfc/CPCSCWaitTargetDetectionThread.h"
#include "interfaces/nfc/CPCSCWaitTargetLostThread.h"
#include "interfaces/nfc/CTlv.h"

#include <QCoreApplication>

#include <cstring>

namespace {
// Results from here on up (read as signed 32-bit values) are warnings: the
// SCARD_W_ range and every non-negative code.
const qint32 FIRST_WARNING = qint32(0x80100065);
const QByteArray GET_UID_APDU = QByteArray::fromHex("FFCA000000");
const QByteArray PASS_THROUGH_HEADER = QByteArray::fromHex("FFFC0000");
// The NDEF area: the first 128 bytes, read as eight runs of four blocks.
const int NDEF_AREA_BLOCKS = 32;
const int NDEF_READ_BLOCKS = 4;
// The contactless-card ATR: the standard byte follows the registered
// application provider identifier among the historical bytes.
const int ATR_MIN_HISTORICAL_BYTES = 9;
const int ATR_STANDARD_BYTE = 8;

struct StatusEntry {
    quint32 code;
    const char* text;
};

const StatusEntry STATUS_TEXTS[] = {
    { 0x00000000, QT_TRANSLATE_NOOP("CPCSCAdapter", "No error was encountered.") },
    { 0x80100001, QT_TRANSLATE_NOOP("CPCSCAdapter", "An internal consistency check failed.") },
    { 0x80100002, QT_TRANSLATE_NOOP("CPCSCAdapter", "The action was cancelled by an SCardCancel request.") },
    { 0x80100003, QT_TRANSLATE_NOOP("CPCSCAdapter", "The supplied handle was invalid.") },
    { 0x80100004, QT_TRANSLATE_NOOP("CPCSCAdapter", "One or more of the supplied parameters could not be properly interpreted.") },
    { 0x80100005, QT_TRANSLATE_NOOP("CPCSCAdapter", "Registry startup information is missing or invalid.") },
    { 0x80100006, QT_TRANSLATE_NOOP("CPCSCAdapter", "Not enough memory available to complete this command.") },
    { 0x80100007, QT_TRANSLATE_NOOP("CPCSCAdapter", "An internal consistency timer has expired.") },
    { 0x80100008, QT_TRANSLATE_NOOP("CPCSCAdapter", "The data buffer to receive returned data is too small for the returned data.") },
    { 0x80100009, QT_TRANSLATE_NOOP("CPCSCAdapter", "The specified reader name is not recognized.") },
    { 0x8010000A, QT_TRANSLATE_NOOP("CPCSCAdapter", "The user-specified timeout value has expired.") },
    { 0x8010000B, QT_TRANSLATE_NOOP("CPCSCAdapter", "The smart card cannot be accessed because of other connections outstanding.") },
    { 0x8010000C, QT_TRANSLATE_NOOP("CPCSCAdapter", "The operation requires a Smart Card, but no Smart Card is currently in the device.") },
    { 0x8010000D, QT_TRANSLATE_NOOP("CPCSCAdapter", "The specified smart card name is not recognized.") },
    { 0x8010000E, QT_TRANSLATE_NOOP("CPCSCAdapter", "The system could not dispose of the media in the requested manner.") },
    { 0x8010000F, QT_TRANSLATE_NOOP("CPCSCAdapter", "The requested protocols are incompatible with the protocol currently in use with the smart card.") },
    { 0x80100010, QT_TRANSLATE_NOOP("CPCSCAdapter", "The reader or smart card is not ready to accept commands.") },
    { 0x80100011, QT_TRANSLATE_NOOP("CPCSCAdapter", "One or more of the supplied parameters values could not be properly interpreted.") },
    { 0x80100012, QT_TRANSLATE_NOOP("CPCSCAdapter", "The action was cancelled by the system, presumably to log off or shut down.") },
    { 0x80100013, QT_TRANSLATE_NOOP("CPCSCAdapter", "An internal communications error has been detected.") },
    { 0x80100014, QT_TRANSLATE_NOOP("CPCSCAdapter", "An internal error has been detected, but the source is unknown.") },
    { 0x80100015, QT_TRANSLATE_NOOP("CPCSCAdapter", "An ATR obtained from the registry is not a valid ATR string.") },
    { 0x80100016, QT_TRANSLATE_NOOP("CPCSCAdapter", "An attempt was made to end a non-existent transaction.") },
    { 0x80100017, QT_TRANSLATE_NOOP("CPCSCAdapter", "The specified reader is not currently available for use.") },
    { 0x80100018, QT_TRANSLATE_NOOP("CPCSCAdapter", "The operation has been aborted to allow the server application to exit.") },
    { 0x80100019, QT_TRANSLATE_NOOP("CPCSCAdapter", "The PCI Receive buffer was too small.") },
    { 0x8010001A, QT_TRANSLATE_NOOP("CPCSCAdapter", "The reader driver does not meet minimal requirements for support.") },
    { 0x8010001B, QT_TRANSLATE_NOOP("CPCSCAdapter", "The reader driver did not produce a unique reader name.") },
    { 0x8010001C, QT_TRANSLATE_NOOP("CPCSCAdapter", "The smart card does not meet minimal requirements for support.") },
    { 0x8010001D, QT_TRANSLATE_NOOP("CPCSCAdapter", "The Smart card resource manager is not running.") },
    { 0x8010001E, QT_TRANSLATE_NOOP("CPCSCAdapter", "The Smart card resource manager has shut down.") },
    { 0x8010001F, QT_TRANSLATE_NOOP("CPCSCAdapter", "An unexpected card error has occurred.") },
    { 0x80100020, QT_TRANSLATE_NOOP("CPCSCAdapter", "No primary provider can be found for the smart card.") },
    { 0x80100021, QT_TRANSLATE_NOOP("CPCSCAdapter", "The requested order of object creation is not supported.") },
    { 0x80100022, QT_TRANSLATE_NOOP("CPCSCAdapter", "This smart card does not support the requested feature.") },
    { 0x80100023, QT_TRANSLATE_NOOP("CPCSCAdapter", "The identified directory does not exist in the smart card.") },
    { 0x80100024, QT_TRANSLATE_NOOP("CPCSCAdapter", "The identified file does not exist in the smart card.") },
    { 0x80100025, QT_TRANSLATE_NOOP("CPCSCAdapter", "The supplied path does not represent a smart card directory.") },
    { 0x80100026, QT_TRANSLATE_NOOP("CPCSCAdapter", "The supplied path does not represent a smart card file.") },
    { 0x80100027, QT_TRANSLATE_NOOP("CPCSCAdapter", "Access is denied to this file.") },
    { 0x80100028, QT_TRANSLATE_NOOP("CPCSCAdapter", "The smart card does not have enough memory to store the information.") },
    { 0x80100029, QT_TRANSLATE_NOOP("CPCSCAdapter", "There was an error trying to set the smart card file object pointer.") },
    { 0x8010002A, QT_TRANSLATE_NOOP("CPCSCAdapter", "The supplied PIN is incorrect.") },
    { 0x8010002B, QT_TRANSLATE_NOOP("CPCSCAdapter", "An unrecognized error code was returned from a layered component.") },
    { 0x8010002C, QT_TRANSLATE_NOOP("CPCSCAdapter", "The requested certificate does not exist.") },
    { 0x8010002D, QT_TRANSLATE_NOOP("CPCSCAdapter", "The requested certificate could not be obtained.") },
    { 0x8010002E, QT_TRANSLATE_NOOP("CPCSCAdapter", "Cannot find a smart card reader.") },
    { 0x8010002F, QT_TRANSLATE_NOOP("CPCSCAdapter", "A communications error with the smart card has been detected. Retry the operation.") },
    { 0x80100030, QT_TRANSLATE_NOOP("CPCSCAdapter", "The requested key container does not exist on the smart card.") },
    { 0x80100031, QT_TRANSLATE_NOOP("CPCSCAdapter", "The Smart Card Resource Manager is too busy to complete this operation.") },
    { 0x80100065, QT_TRANSLATE_NOOP("CPCSCAdapter", "The reader cannot communicate with the card, due to ATR string configuration conflicts.") },
    { 0x80100066, QT_TRANSLATE_NOOP("CPCSCAdapter", "The smart card is not responding to a reset.") },
    { 0x80100067, QT_TRANSLATE_NOOP("CPCSCAdapter", "Power has been removed from the smart card, so that further communication is not possible.") },
    { 0x80100068, QT_TRANSLATE_NOOP("CPCSCAdapter", "The smart card has been reset, so any shared state information is invalid.") },
    { 0x80100069, QT_TRANSLATE_NOOP("CPCSCAdapter", "The smart card has been removed, so further communication is not possible.") },
    { 0x8010006A, QT_TRANSLATE_NOOP("CPCSCAdapter", "Access was denied because of a security violation.") },
    { 0x8010006B, QT_TRANSLATE_NOOP("CPCSCAdapter", "The card cannot be accessed because the wrong PIN was presented.") },
    { 0x8010006C, QT_TRANSLATE_NOOP("CPCSCAdapter", "The card cannot be accessed because the maximum number of PIN entry attempts has been reached.") },
    { 0x8010006D, QT_TRANSLATE_NOOP("CPCSCAdapter", "The end of the smart card file has been reached.") },
    { 0x8010006E, QT_TRANSLATE_NOOP("CPCSCAdapter", "The user pressed \"Cancel\" on a Smart Card Selection Dialog.") },
    { 0x8010006F, QT_TRANSLATE_NOOP("CPCSCAdapter", "No PIN was presented to the smart card.") },
};

QString withResult(const QString& text, LONG result)
{
    return QStringLiteral("%1 0x%2").arg(text).arg(quint32(result), 4, 16, QLatin1Char('0'));
}
}

CPCSCAdapter::CPCSCAdapter(QObject* parent)
    : CNfcAdapter(parent)
{
}

CPCSCAdapter::~CPCSCAdapter()
{
    // An owner that did not stop the adapter must not leave its threads
    // running into their destruction.
    stopThreads();
    disconnectReader();
}

bool CPCSCAdapter::start()
{
    if (isActive())
        return true;
    const LONG result = connectReader();
    if (result != SCARD_S_SUCCESS) {
        emit logMessage(withResult(tr("Connect Reader failed!"), result));
        // A later attempt starts afresh: nothing of this one is kept.
        disconnectReader();
        if (!m_readerName.isEmpty()) {
            m_readerName.clear();
            emit readerNameChanged(m_readerName);
        }
        return false;
    }
    startTargetDetection();
    return true;
}

LONG CPCSCAdapter::connectReader()
{
    LONG result = report(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &m_context),
                         QStringLiteral("SCardEstablishContext"));
    if (result != SCARD_S_SUCCESS) {
        m_context = 0;
        return result;
    }
    result = report(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &m_waitContext),
                    QStringLiteral("SCardEstablishContext"));
    if (result != SCARD_S_SUCCESS) {
        m_waitContext = 0;
        return result;
    }
    char* readers = nullptr;
    DWORD length = SCARD_AUTOALLOCATE;
    result = report(SCardListReaders(m_context, nullptr, reinterpret_cast<LPSTR>(&readers), &length),
                    QStringLiteral("SCardListReaders"));
    if (result != SCARD_S_SUCCESS || !readers)
        return result;
    // A multi-string: names ended by NUL, the list by an empty name.
    int index = 0;
    for (DWORD offset = 0; offset < length && readers[offset] != '\0'; ++index) {
        const QString name = QString::fromUtf8(readers + offset);
        emit logMessage(QStringLiteral("Reader [%1] %2").arg(index).arg(name));
        if (index == 0) {
            m_readerName = name;
            emit readerNameChanged(m_readerName);
        }
        offset += DWORD(std::strlen(readers + offset)) + 1;
    }
    return report(SCardFreeMemory(m_context, readers), QStringLiteral("SCardFreeMemory"));
}

bool CPCSCAdapter::stop()
{
    if (!isActive() && !m_context)
        return true;
    const bool hadTarget = m_card != 0;
    stopThreads();
    const LONG result = disconnectReader();
    // Whatever the service answered, the adapter is stopped now.
    m_activeProtocol = 0;
    m_targetSNr.clear();
    m_targetType.clear();
    delete m_detectionThread;
    m_detectionThread = nullptr;
    delete m_lostThread;
    m_lostThread = nullptr;
    m_readerName.clear();
    emit readerNameChanged(m_readerName);
    if (hadTarget)
        emit targetLost();
    if (result != SCARD_S_SUCCESS) {
        emit logMessage(withResult(tr("Disconnect Reader failed!"), result));
        return false;
    }
    return true;
}

void CPCSCAdapter::stopThreads()
{
    if (m_detectionThread)
        m_detectionThread->stop();
    if (m_lostThread)
        m_lostThread->stop();
}

LONG CPCSCAdapter::disconnectReader()
{
    releaseTarget();
    if (m_waitContext) {
        report(SCardReleaseContext(m_waitContext), QStringLiteral("SCardReleaseContext"));
        m_waitContext = 0;
    }
    LONG result = SCARD_S_SUCCESS;
    if (m_context) {
        result = report(SCardReleaseContext(m_context), QStringLiteral("SCardReleaseContext"));
        m_context = 0;
    }
    return result;
}

void CPCSCAdapter::releaseTarget()
{
    if (!m_card)
        return;
    // A tag that has left the field makes the call fail; that is no news.
    const LONG result = SCardDisconnect(m_card, SCARD_UNPOWER_CARD);
    if (result != SCARD_W_REMOVED_CARD)
        report(result, QStringLiteral("SCardDisconnect"));
    m_card = 0;
    m_activeProtocol = 0;
}

void CPCSCAdapter::startTargetDetection()
{
    if (!m_detectionThread) {
        m_detectionThread = new CPCSCWaitTargetDetectionThread(m_waitContext, m_readerName, this);
        connect(m_detectionThread, &CPCSCWaitTargetDetectionThread::targetDetected, this,
                &CPCSCAdapter::targetDetected);
        connect(m_detectionThread, &CPCSCWaitThread::error, this, &CPCSCAdapter::adapterError);
        connect(m_detectionThread, &CPCSCWaitThread::printMessage, this, &CPCSCAdapter::statusMessage);
    }
    m_detectionThread->start(QThread::InheritPriority);
}

void CPCSCAdapter::startTargetLostDetection()
{
    if (!m_lostThread) {
        m_lostThread = new CPCSCWaitTargetLostThread(m_waitContext, m_readerName, this);
        connect(m_lostThread, &CPCSCWaitTargetLostThread::targetLost, this, &CPCSCAdapter::targetRemoved);
        connect(m_lostThread, &CPCSCWaitThread::error, this, &CPCSCAdapter::adapterError);
        connect(m_lostThread, &CPCSCWaitThread::printMessage, this, &CPCSCAdapter::statusMessage);
    }
    m_lostThread->start(QThread::InheritPriority);
}

void CPCSCAdapter::targetDetected()
{
    // A report of a thread that stop() has ended belongs to no one.
    if (!m_detectionThread || sender() != m_detectionThread)
        return;
    // It has reported and is ending; it is started again only after that.
    m_detectionThread->wait();

    QByteArray uid;
    QString failure;
    LONG result = activateTarget();
    if (result != SCARD_S_SUCCESS) {
        failure = tr("Activate Target failed!");
    } else {
        QByteArray atr;
        result = readAtr(&atr);
        if (result != SCARD_S_SUCCESS) {
            failure = tr("Read ATR failed!");
        } else {
            parseAtr(atr);
            result = exchange(GET_UID_APDU, &uid);
            if (result != SCARD_S_SUCCESS)
                failure = tr("Read UID failed!");
        }
    }
    if (!failure.isEmpty()) {
        emit logMessage(withResult(failure, result));
        // The tag gets another try once it has left the field and come back.
        releaseTarget();
        startTargetLostDetection();
        return;
    }
    if (uid.size() > 2)
        uid.chop(2);
    m_targetSNr = QString::fromLatin1(uid.toHex());
    emit targetSNrChanged(m_targetSNr);
    emit targetConnected();
    // The tag may have been taken away by a receiver meanwhile (stop()).
    if (m_card)
        startTargetLostDetection();
}

void CPCSCAdapter::targetRemoved()
{
    if (!m_lostThread || sender() != m_lostThread)
        return;
    m_lostThread->wait();
    const bool hadTarget = m_card != 0;
    releaseTarget();
    m_targetSNr.clear();
    m_targetType.clear();
    if (hadTarget)
        emit targetLost();
    // A receiver of targetLost may have stopped the adapter.
    if (m_context)
        startTargetDetection();
}

void CPCSCAdapter::adapterError()
{
    QObject* thread = sender();
    if (!thread || (thread != m_detectionThread && thread != m_lostThread))
        return;
    emit logMessage(QStringLiteral("ERROR: Thread %1 returned failure!").arg(thread->metaObject()->className()));
    emit error();
}

void CPCSCAdapter::statusMessage(long status, QString message)
{
    if (status == SCARD_S_SUCCESS || message.isEmpty())
        return;
    emit logMessage(message);
    if (qint32(status) >= FIRST_WARNING)
        emit warningMessage(CAPTION_NFC_ADAPTER, statusText(status));
    else
        emit errorMessage(CAPTION_NFC_ADAPTER, statusText(status));
}

LONG CPCSCAdapter::report(LONG status, const QString& function)
{
    statusMessage(long(status), printStatus(long(status), function));
    return status;
}

LONG CPCSCAdapter::activateTarget()
{
    const QByteArray reader = m_readerName.toUtf8();
    const LONG result = report(SCardConnect(m_context, reader.constData(), SCARD_SHARE_EXCLUSIVE,
                                            SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &m_card, &m_activeProtocol),
                               QStringLiteral("SCardConnect"));
    if (result != SCARD_S_SUCCESS) {
        m_card = 0;
        m_activeProtocol = 0;
    }
    switch (m_activeProtocol) {
    case SCARD_PROTOCOL_T0:
        emit logMessage(tr("Target activated via T=0 protocol"));
        return result;
    case SCARD_PROTOCOL_T1:
        emit logMessage(tr("Target activated via T=1 protocol"));
        return result;
    default:
        emit logMessage(tr("ERROR: Active protocol unnegotiated or unknown!"));
        return result != SCARD_S_SUCCESS ? result : -1;
    }
}

LONG CPCSCAdapter::readAtr(QByteArray* atr)
{
    if (!m_card)
        return SCARD_S_SUCCESS;
    // The service keeps the ATR of every card; the ATR attribute depends on
    // the reader's driver, and the virtual reader's does not offer it.
    char reader[MAX_READERNAME];
    DWORD readerLength = sizeof reader;
    DWORD state = 0;
    DWORD protocol = 0;
    unsigned char bytes[MAX_ATR_SIZE];
    DWORD length = sizeof bytes;
    const LONG result = report(SCardStatus(m_card, reader, &readerLength, &state, &protocol, bytes, &length),
                               QStringLiteral("SCardStatus"));
    if (result == SCARD_S_SUCCESS)
        *atr = QByteArray(reinterpret_cast<const char*>(bytes), int(length));
    return result;
}

void CPCSCAdapter::parseAtr(const QByteArray& atr)
{
    if (atr.size() < 2 || (uchar(atr.at(0)) & ~0x04) != 0x3B)
        return;
    const uchar t0 = uchar(atr.at(1));
    const int historicalCount = t0 & 0x0F;
    int position = 2;
    // Interface bytes are skipped in pairs, one pair per marked bit.
    for (int bit = 0x10; bit <= 0x80; bit <<= 1) {
        if ((t0 & bit) && atr.size() - position > 2)
            position += 2;
    }
    if (historicalCount > atr.size() - position)
        return;
    const QByteArray historical = atr.mid(position, historicalCount);
    if (atr.size() - position - historicalCount != 1 || historicalCount < ATR_MIN_HISTORICAL_BYTES)
        return;
    QString type;
    switch (uchar(historical.at(ATR_STANDARD_BYTE))) {
    case 1: type = QStringLiteral("ISO 14443 A, Level 1"); break;
    case 2: type = QStringLiteral("ISO 14443 A, Level 2"); break;
    case 3: type = QStringLiteral("ISO 14443 A, Level 3 or 4 (and Mifare)"); break;
    case 5: type = QStringLiteral("ISO 14443 B, Level 1"); break;
    case 6: type = QStringLiteral("ISO 14443 B, Level 2"); break;
    case 7: type = QStringLiteral("ISO 14443 B, Level 3 or 4"); break;
    case 9: type = QStringLiteral("ICODE 1"); break;
    case 11: type = QStringLiteral("ISO 15693"); break;
    default: type = QStringLiteral("Unknown"); break;
    }
    if (type != m_targetType) {
        m_targetType = type;
        emit targetTypeChanged(m_targetType);
    }
}

LONG CPCSCAdapter::exchange(const QByteArray& apdu, QByteArray* response)
{
    response->clear();
    if (!m_card)
        return SCARD_S_SUCCESS;
    const SCARD_IO_REQUEST* pci = m_activeProtocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0
        : m_activeProtocol == SCARD_PROTOCOL_T1                       ? SCARD_PCI_T1
                                                                      : SCARD_PCI_RAW;
    unsigned char buffer[RECEIVE_BUFFER_SIZE];
    DWORD length = RECEIVE_BUFFER_SIZE;
    const LONG result = report(SCardTransmit(m_card, pci, reinterpret_cast<LPCBYTE>(apdu.constData()),
                                             DWORD(apdu.size()), nullptr, buffer, &length),
                               QStringLiteral("SCardTransmit"));
    if (result == SCARD_S_SUCCESS)
        *response = QByteArray(reinterpret_cast<const char*>(buffer), int(length));
    return result;
}

void CPCSCAdapter::writeData(QByteArray data)
{
    if (data.isEmpty())
        return;
    // The reader's pass-through command wants reads followed by a 0x00 byte.
    if (data.at(0) == READ_SINGLE_BLOCK || data.at(0) == READ_MULTIPLE_BLOCKS)
        data.append('\0');
    // One length byte: tag commands are a few bytes long.
    if (data.size() > 0xFF)
        return;
    const QByteArray apdu = PASS_THROUGH_HEADER + char(data.size()) + data;
    writeData(apdu.constData(), apdu.size());
}

void CPCSCAdapter::writeData(const char* data, int length)
{
    QByteArray response;
    const LONG result = exchange(QByteArray(data, length), &response);
    if (result != SCARD_S_SUCCESS) {
        emit logMessage(withResult(tr("Exchange Data failed!"), result));
        return;
    }
    emit dataWritten();
    const QByteArray resolved = resolveResponse(response);
    emit dataRead(resolved.constData(), resolved.size());
}

QByteArray CPCSCAdapter::resolveResponse(const QByteArray& response) const
{
    if (response.size() > 1 && response.endsWith(QByteArray::fromHex("9000")))
        return response.right(2) + response.left(response.size() - 2);
    return response;
}

void CPCSCAdapter::readNdefMessages()
{
    QByteArray area;
    for (int firstBlock = 0; firstBlock < NDEF_AREA_BLOCKS; firstBlock += NDEF_READ_BLOCKS) {
        QByteArray command(1, READ_MULTIPLE_BLOCKS);
        command.append(char(firstBlock)).append(char(NDEF_READ_BLOCKS - 1)).append('\0');
        QByteArray response;
        // A tag that fails one read has left the field: the rest would fail
        // alike, each with its own message.
        if (exchange(PASS_THROUGH_HEADER + char(command.size()) + command, &response) != SCARD_S_SUCCESS)
            break;
        const QByteArray resolved = resolveResponse(response);
        if (resolved.size() > 2)
            area.append(resolved.mid(2));
    }
    for (const CTlv& tlv : CTlv::fromByteArray(area, 0)) {
        if (tlv.type() == CTlv::NDEF_MESSAGE_TLV)
            handlePolledNdefMessage(CNdefMessage::fromByteArray(tlv.value(), 0));
    }
}

void CPCSCAdapter::handlePolledNdefMessage(const CNdefMessage& message)
{
    NdefRecordList records;
    if (message.isValid()) {
        for (const CNdefRecord& record : message) {
            if (record.type().id() != TNF_EXTERNAL)
                continue;
            QByteArray type = record.type().type();
            const int end = type.indexOf('\0');
            if (end >= 0)
                type.truncate(end);
            const QString typeText = QString::fromUtf8(type);
            if (typeText.contains(MAKER_DOMAIN))
                records.append(qMakePair(typeText, record.payload()));
        }
    }
    emit ndefRecordsRead(records);
}

bool CPCSCAdapter::isActive() const
{
    return !m_readerName.isEmpty();
}

bool CPCSCAdapter::isTargetConnected() const
{
    return m_card != 0;
}

QString CPCSCAdapter::readerName() const
{
    return m_readerName;
}

QString CPCSCAdapter::targetType() const
{
    return m_targetType;
}

QString CPCSCAdapter::targetSNr() const
{
    return m_targetSNr;
}

QString CPCSCAdapter::statusText(long status)
{
    for (const StatusEntry& entry : STATUS_TEXTS) {
        if (entry.code == quint32(status))
            return QCoreApplication::translate("CPCSCAdapter", entry.text);
    }
    return QString();
}

QString CPCSCAdapter::printStatus(long status, const QString& function)
{
    if (status == SCARD_S_SUCCESS)
        return statusText(status);
    return QStringLiteral("%1: Error 0x%2 %3")
        .arg(function)
        .arg(quint32(status), 4, 16, QLatin1Char('0'))
        .arg(statusText(status));
}
