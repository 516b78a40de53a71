#include "protocol/CNfcMaster.h"

#include "interfaces/nfc/CNfcAdapter.h"
#include "items/CGlobals.h"
#include "protocol/CRC16.h"

#include <QTimer>

#include <utility>

namespace {
const QByteArray STATUS_OK = QByteArray::fromHex("9000");
const int STATUS_LENGTH = 2;
const int CRC_LENGTH = 2;
const char PADDING = char(0xFF);

bool isWrite(ENUM_REQUEST_TYPE type)
{
    return type >= REQUEST_WRITE_PARA;
}

// Bytes a range takes in tag memory: whole blocks.
int blockAligned(int length)
{
    return (length + CNfcMaster::MAX_BLOCK_LENGTH - 1) / CNfcMaster::MAX_BLOCK_LENGTH * CNfcMaster::MAX_BLOCK_LENGTH;
}

// The same request, whichever attempt it is.
bool isSameRequest(const CRequest& a, const CRequest& b)
{
    return a.type == b.type && a.readAddress == b.readAddress && a.readLength == b.readLength
        && a.writeAddress == b.writeAddress && a.writeLength == b.writeLength && a.data == b.data;
}

}

const QString CNfcMaster::DEVICE_INFO_RECORD = QStringLiteral("devinfo");

CNfcMaster::CNfcMaster(QObject* parent)
    : CProtocolMaster(PROTOCOL_NFC, parent)
    , m_ndefTimer(new QTimer(this))
{
    setObjectName(CGlobals::NfcMaster);
    // Nothing is sent before a tag is in the field.
    m_ready = false;
    m_ndefTimer->setSingleShot(true);
    connect(m_ndefTimer, &QTimer::timeout, this, &CNfcMaster::ndefTimeout);
    m_cycleTimer->start(CYCLE_INTERVAL_MS);
}

int CNfcMaster::convertAddressToBlockNumber(unsigned short address)
{
    return address / MAX_BLOCK_LENGTH;
}

int CNfcMaster::convertDataLengthToBlockNumbers(unsigned short length)
{
    return blockAligned(length) / MAX_BLOCK_LENGTH - 1;
}

int CNfcMaster::chopResponseLength(int received, int requested)
{
    if (received > requested && requested % MAX_BLOCK_LENGTH != 0)
        return received + requested % MAX_BLOCK_LENGTH - MAX_BLOCK_LENGTH;
    return received;
}

QByteArray CNfcMaster::swapWords(const QByteArray& data)
{
    QByteArray swapped = data;
    char* bytes = swapped.data();
    for (int i = 0; i + 1 < swapped.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return swapped;
}

QByteArray CNfcMaster::add_crc(const QByteArray& data)
{
    QByteArray stored = swapWords(data);
    const quint16 crc = CRC16::calc_crc(stored);
    stored.append(char(crc >> 8)).append(char(crc & 0xFF));
    return stored;
}

bool CNfcMaster::hasValidCrc(const QByteArray& data)
{
    if (data.size() < CRC_LENGTH)
        return false;
    const quint16 crc = CRC16::calc_crc(data.constData(), uint(data.size() - CRC_LENGTH));
    return uchar(data.at(data.size() - 2)) == (crc >> 8) && uchar(data.at(data.size() - 1)) == (crc & 0xFF);
}

QByteArray CNfcMaster::readSingleBlock(int block)
{
    return QByteArray(1, CNfcAdapter::READ_SINGLE_BLOCK).append(char(block));
}

QByteArray CNfcMaster::readMultipleBlocks(int firstBlock, int blockCountLessOne)
{
    return QByteArray(1, CNfcAdapter::READ_MULTIPLE_BLOCKS).append(char(firstBlock)).append(char(blockCountLessOne));
}

QByteArray CNfcMaster::writeSingleBlock(int block, const QByteArray& data)
{
    QByteArray command = QByteArray(1, CNfcAdapter::WRITE_SINGLE_BLOCK).append(char(block));
    command.append(data.left(MAX_BLOCK_LENGTH));
    return command.leftJustified(2 + MAX_BLOCK_LENGTH, PADDING);
}

QList<QByteArray> CNfcMaster::writeMultipleBlocks(int firstBlock, const QByteArray& data)
{
    const QByteArray padded = data.leftJustified(blockAligned(data.size()), PADDING);
    QList<QByteArray> commands;
    for (int offset = 0; offset < padded.size(); offset += MAX_BLOCK_LENGTH)
        commands.append(writeSingleBlock(firstBlock + offset / MAX_BLOCK_LENGTH, padded.mid(offset, MAX_BLOCK_LENGTH)));
    return commands;
}

void CNfcMaster::reset()
{
    CProtocolMaster::reset();
    m_ndefTimer->stop();
    m_ndefRequests.clear();
    m_gathered.clear();
}

void CNfcMaster::targetConnected(bool state)
{
    if (state == m_ready)
        return;
    m_ready = state;
    if (!state)
        dropRequests();
    emit targetConnectionChanged(state);
}

void CNfcMaster::dropRequests()
{
    // What was asked of the tag that left is not carried out; a write cut
    // short leaves its range with a CRC the device refuses. The user is told
    // of every write: the tag that comes next may be another device's.
    QList<CRequest> writes;
    if (m_state == STATE_WAITING && isWrite(m_currentRequest.type))
        writes.append(m_currentRequest);
    for (const auto& entry : qAsConst(m_queue)) {
        if (isWrite(entry.first.type) && (writes.isEmpty() || !isSameRequest(writes.last(), entry.first)))
            writes.append(entry.first);
    }
    const QStringList lastScan = m_lastScanList;
    reset();
    // The same device coming back is not identified anew.
    m_lastScanList = lastScan;
    for (const CRequest& write : qAsConst(writes)) {
        reportFailure(tr("%1: The tag left the field before the write was carried out!")
                          .arg(requestTypeText(write.type)),
                      true);
        emit nack();
    }
}

QString CNfcMaster::refusalReason(const CRequest& request)
{
    const bool write = isWrite(request.type);
    const QString what = requestTypeText(request.type);
    const quint16 address = write ? request.writeAddress : request.readAddress;
    if (write && (request.data.isEmpty() || request.data.size() != request.writeLength || request.data.size() % 2))
        return tr("%1: Request refused! %2 bytes of data for %3 bytes to write, address %4")
            .arg(what)
            .arg(request.data.size())
            .arg(request.writeLength)
            .arg(address);
    if (address % MAX_BLOCK_LENGTH != 0)
        return tr("%1: Request refused! Address %2 is not the start of a tag block").arg(what).arg(address);
    // The range as stored: its data, its CRC and, for a write, the padding.
    const int extent = write ? blockAligned(request.data.size() + CRC_LENGTH) : request.readLength + CRC_LENGTH;
    if (address + extent > maxAddress())
        return tr("%1: Request refused! %2 bytes from address %3 with their CRC run past the end of tag memory")
            .arg(what)
            .arg(extent)
            .arg(address);
    return QString();
}

void CNfcMaster::buildRequest(const CRequest& request)
{
    switch (request.type) {
    case REQUEST_SCAN:
    case REQUEST_READ_DEVICE_INFO:
        if (request.readAddress >= maxAddress())
            buildNdefRequest(request);
        else
            buildReadRequest(request);
        break;
    case REQUEST_READ_PARA:
    case REQUEST_READ_PAB:
    case REQUEST_READ_GENERIC:
    case REQUEST_READ_DATETIME:
    case REQUEST_READ_ERRORLOG:
    case REQUEST_READ_IO_MAPPING:
    case REQUEST_READ_PROGRAM:
    case REQUEST_READ_RECORD:
        if (request.readAddress < maxAddress())
            buildReadRequest(request);
        break;
    case REQUEST_WRITE_PARA:
    case REQUEST_WRITE_GENERIC_SINGLE:
    case REQUEST_WRITE_GENERIC:
    case REQUEST_WRITE_DATETIME:
    case REQUEST_CLEAR_ERRORLOG:
    case REQUEST_WRITE_IO_MAPPING:
    case REQUEST_WRITE_PROGRAM:
        if (request.writeAddress < maxAddress())
            buildWriteRequest(request);
        break;
    default:
        // Device identification, combined read-writes and the boot loader
        // have no counterpart in tag memory.
        break;
    }
}

void CNfcMaster::buildReadRequest(const CRequest& request)
{
    const QString refusal = refusalReason(request);
    if (!refusal.isEmpty()) {
        reportFailure(refusal, true);
        return;
    }
    const int firstBlock = convertAddressToBlockNumber(request.readAddress);
    const int length = request.readLength + CRC_LENGTH;
    if (length <= MAX_BLOCK_LENGTH) {
        enqueue(request, readSingleBlock(firstBlock));
        return;
    }
    const int blocks = convertDataLengthToBlockNumbers(quint16(length)) + 1;
    for (int done = 0; done < blocks; done += MAX_BLOCK_COUNT)
        enqueue(request, readMultipleBlocks(firstBlock + done, qMin(MAX_BLOCK_COUNT, blocks - done) - 1));
}

void CNfcMaster::buildWriteRequest(const CRequest& request)
{
    const QString refusal = refusalReason(request);
    if (!refusal.isEmpty()) {
        reportFailure(refusal, true);
        return;
    }
    const int firstBlock = convertAddressToBlockNumber(request.writeAddress);
    const QByteArray stored = add_crc(request.data);
    if (stored.size() <= MAX_BLOCK_LENGTH) {
        enqueue(request, writeSingleBlock(firstBlock, stored));
        return;
    }
    for (const QByteArray& command : writeMultipleBlocks(firstBlock, stored))
        enqueue(request, command);
}

void CNfcMaster::buildNdefRequest(const CRequest& request)
{
    // Not queued with the block commands: the record is read beside them.
    m_ndefRequests.append(request);
    if (m_ndefRequests.size() == 1)
        startNdefRead();
}

void CNfcMaster::startNdefRead()
{
    const QString text = requestToString(m_ndefRequests.first().type);
    if (!text.isEmpty())
        emit logMessage(text);
    m_ndefTimer->start(responseTimeout(m_ndefRequests.first().type));
    emit readNdefMessages();
}

void CNfcMaster::ndefRecordsRead(const NdefRecordList& records)
{
    for (const auto& record : records)
        handleNdefRecord(record.first, record.second);
}

void CNfcMaster::handleNdefRecord(const QString& type, const QByteArray& payload)
{
    if (!type.contains(DEVICE_INFO_RECORD))
        return;
    emit logMessage(telegramToString(payload, LOG_RX));
    // A corrupt record is dropped and ends in the time-out path.
    if (!resolveNdefRecord(payload) || m_ndefRequests.isEmpty())
        return;
    const CRequest request = m_ndefRequests.takeFirst();
    m_ndefTimer->stop();
    handleResponse(request, payload.left(payload.size() - CRC_LENGTH));
    if (!m_ndefRequests.isEmpty() && !m_ndefTimer->isActive())
        startNdefRead();
}

bool CNfcMaster::resolveNdefRecord(const QByteArray& payload)
{
    return payload.size() > CRC_LENGTH && hasValidCrc(payload);
}

void CNfcMaster::ndefTimeout()
{
    if (m_ndefRequests.isEmpty())
        return;
    CRequest& request = m_ndefRequests.first();
    if (mayRetry(request.type, ++request.retryCount, MAX_ATTEMPTS)) {
        startNdefRead();
        return;
    }
    const CRequest failed = m_ndefRequests.takeFirst();
    reportFailure(tr("%1: No answer from device!").arg(requestTypeText(failed.type)), true);
    if (!m_ndefRequests.isEmpty())
        startNdefRead();
}

CNfcMaster::Part CNfcMaster::currentPart() const
{
    Part part;
    const QByteArray& command = m_currentTelegram;
    if (command.size() < 2)
        return part;
    const int block = uchar(command.at(1));
    const CRequest& request = m_currentRequest;
    if (command.at(0) == CNfcAdapter::WRITE_SINGLE_BLOCK) {
        const int blocks = blockAligned(request.data.size() + CRC_LENGTH) / MAX_BLOCK_LENGTH;
        part.last = block == convertAddressToBlockNumber(request.writeAddress) + blocks - 1;
        return part;
    }
    const int length = request.readLength + CRC_LENGTH;
    const int covered = CNfcAdapter::commandBlockCount(command) * MAX_BLOCK_LENGTH;
    part.offset = (block - convertAddressToBlockNumber(request.readAddress)) * MAX_BLOCK_LENGTH;
    part.expected = qBound(0, length - part.offset, covered);
    part.last = part.offset + covered >= length;
    return part;
}

void CNfcMaster::dropRemainingParts()
{
    QByteArray previous = m_currentTelegram;
    while (!m_queue.isEmpty() && previous.size() >= 2) {
        const QByteArray& next = m_queue.first().second;
        if (!isSameRequest(m_queue.first().first, m_currentRequest) || next.size() < 2 || next.at(0) != previous.at(0)
            || uchar(next.at(1)) != uchar(previous.at(1)) + CNfcAdapter::commandBlockCount(previous))
            break;
        previous = next;
        m_queue.removeFirst();
    }
}

void CNfcMaster::resolveResponse(const char* buffer, int byteCount)
{
    QByteArray answer(buffer, byteCount);
    if (m_state != STATE_WAITING) {
        emit logMessage(telegramToString(answer, LOG_RX));
        emit logMessage(tr("Answer without a pending request dropped."));
        return;
    }
    const CRequest request = m_currentRequest;
    const bool read = !isWrite(request.type);
    const Part part = currentPart();
    // Beyond the range and its CRC there is only block padding.
    if (read && answer.size() > STATUS_LENGTH)
        answer.truncate(STATUS_LENGTH + part.expected);
    emit logMessage(telegramToString(answer, LOG_RX));
    if (answer.size() < STATUS_LENGTH)
        return;
    if (part.offset == 0)
        m_gathered.clear();

    const QByteArray status = answer.left(STATUS_LENGTH);
    QByteArray data = answer.mid(STATUS_LENGTH);
    const bool complete = !read || part.last;
    // An answer that fails its check is dropped: the request waits for its time-out.
    if (complete && !data.isEmpty()) {
        if (read)
            data.prepend(m_gathered);
        if (!hasValidCrc(data))
            return;
        data.chop(CRC_LENGTH);
    } else if (!complete && status == STATUS_OK
               && (data.size() != part.expected || m_gathered.size() != part.offset)) {
        // A part before the last carries no CRC; it must be whole and in order.
        return;
    }

    m_responseTimer->stop();
    m_state = STATE_IDLE;
    m_answered = true;
    if (status != STATUS_OK) {
        dropRemainingParts();
        handleErrorResponse(status);
        return;
    }
    if (!complete) {
        m_gathered.append(data);
        return;
    }
    m_gathered.clear();
    // The blocks of a write before its last are acknowledged with it.
    if (read || part.last)
        handleResponse(request, data);
}

void CNfcMaster::handleResponse(const CRequest& request, const QByteArray& data)
{
    if (isWrite(request.type)) {
        emit ack();
        return;
    }
    if (!handleReadResponse(request, data))
        reportFailure(tr("%1: No valid answer from device!").arg(requestTypeText(request.type)), true);
}

bool CNfcMaster::handleReadResponse(const CRequest& request, const QByteArray& data)
{
    const int length = data.size();
    switch (request.type) {
    case REQUEST_SCAN: {
        if (length < request.readLength)
            return false;
        if (request.readAddress >= maxAddress()) {
            m_scanList = QStringList{ handleScanDataResponse(data) };
            return true;
        }
        if (request.readAddress != VERSION_ADDRESS)
            return true;
        if (m_scanList.size() == 1)
            m_scanList.append(handleScanVersionResponse(data));
        // Emptied before it is reported: the report may start the next scan.
        const QStringList scan = m_scanList;
        m_scanList.clear();
        if (scan.size() != 2) {
            reportFailure(tr("%1: Scan for NFC device went wrong!").arg(requestTypeText(request.type)), true);
        } else if (scan != m_lastScanList) {
            m_lastScanList = scan;
            emit scanResponse(scan);
        }
        return true;
    }
    case REQUEST_READ_DEVICE_INFO:
        if (length != request.readLength)
            return false;
        emit dataResponse(handleReadResponse(data, request.readAddress));
        return true;
    case REQUEST_READ_PARA:
    case REQUEST_READ_PAB:
    case REQUEST_READ_GENERIC:
    case REQUEST_READ_DATETIME:
    case REQUEST_READ_ERRORLOG:
    case REQUEST_READ_IO_MAPPING:
    case REQUEST_READ_PROGRAM:
    case REQUEST_READ_RECORD:
        if (chopResponseLength(length, request.readLength) != request.readLength)
            return false;
        if (request.type == REQUEST_READ_PROGRAM)
            emit programDataResponse(handleReadResponse(data, request.readAddress));
        else if (request.type == REQUEST_READ_RECORD)
            emit recordResponse(handleReadResponse(data, request.readAddress));
        else
            emit dataResponse(handleReadResponse(data, request.readAddress));
        return true;
    default:
        return false;
    }
}

QByteArray CNfcMaster::handleReadResponse(const QByteArray& data, quint16 address)
{
    QByteArray answer;
    answer.reserve(data.size() + 2);
    answer.append(char(address >> 8)).append(char(address & 0xFF));
    answer.append(swapWords(data));
    return answer;
}

QString CNfcMaster::handleScanDataResponse(const QByteArray& data)
{
    quint32 number = 0;
    for (int i = 7; i >= 4; --i)
        number = (number << 8) | uchar(data.at(i));
    return QString::number(number);
}

QString CNfcMaster::handleScanVersionResponse(const QByteArray& data)
{
    const quint16 version = quint16(uchar(data.at(4)) | (uchar(data.at(5)) << 8));
    return QString::number(version / 100.0, 'f', 2);
}

void CNfcMaster::handleErrorResponse(const QByteArray& status)
{
    const ENUM_REQUEST_TYPE type = m_currentRequest.type;
    const QString text = tr("%1: Function denied! Error code %2")
                             .arg(requestTypeText(type), QStringLiteral("0x") + QString::fromLatin1(status.toHex()));
    reportFailure(text, type != REQUEST_READ_PAB);
    emit nack();
}

void CNfcMaster::timeout()
{
    if (m_state != STATE_WAITING)
        return;
    const ENUM_REQUEST_TYPE type = m_currentRequest.type;
    const QString text = tr("%1: No answer from device!").arg(requestTypeText(type));
    if (type == REQUEST_READ_PAB) {
        dropRemainingParts();
        m_state = STATE_IDLE;
        if (!m_answered)
            emit logMessage(text);
        return;
    }
    if (mayRetry(type, ++m_currentRequest.retryCount, MAX_ATTEMPTS)) {
        if (isWrite(type)) {
            // The block goes again, ahead of the rest of its write.
            m_queue.prepend(qMakePair(m_currentRequest, m_currentTelegram));
            m_state = STATE_IDLE;
        } else {
            // The whole range is read again.
            dropRemainingParts();
            m_state = STATE_RETRY;
        }
        return;
    }
    dropRemainingParts();
    m_state = STATE_IDLE;
    if (m_answered)
        return;
    // A write that was not carried out is reported like a read: the user's
    // change is not on the device.
    reportFailure(text, true);
    if (isWrite(type))
        emit nack();
}

void CNfcMaster::reportFailure(const QString& text, bool show)
{
    emit logMessage(text);
    if (show)
        emit warningMessage(CAPTION_COMMUNICATION, text);
}
