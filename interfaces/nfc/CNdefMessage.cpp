#include "interfaces/nfc/CNdefMessage.h"

#include "interfaces/nfc/CNdefRecordHeader.h"

CNdefMessage::CNdefMessage(const CNdefRecord& record)
{
    append(record);
}

CNdefMessage::CNdefMessage(const QList<CNdefRecord>& records)
    : QList<CNdefRecord>(records)
{
}

CNdefMessage::CNdefMessage(const QByteArray& data, const CNdefRecordType& type, int offset)
{
    append(CNdefRecord(data, type, offset, false, false));
}

void CNdefMessage::appendRecord(const CNdefRecord& record)
{
    append(record);
}

void CNdefMessage::insertRecord(const CNdefRecord& record, int index)
{
    if (index >= 0 && index <= size())
        insert(index, record);
}

void CNdefMessage::removeRecord(int index)
{
    if (index >= 0 && index < size())
        removeAt(index);
}

void CNdefMessage::setRecord(const CNdefRecord& record, int index)
{
    if (index >= 0 && index < size())
        replace(index, record);
}

CNdefRecord CNdefMessage::record(int index) const
{
    return value(index);
}

CNdefRecord CNdefMessage::record(const QByteArray& id) const
{
    for (const CNdefRecord& candidate : *this)
        if (candidate.id() == id)
            return candidate;
    return CNdefRecord();
}

CNdefRecord CNdefMessage::record(const CNdefRecordType& type) const
{
    for (const CNdefRecord& candidate : *this)
        if (candidate.type() == type)
            return candidate;
    return CNdefRecord();
}

bool CNdefMessage::isValid() const
{
    if (isEmpty())
        return false;
    for (const CNdefRecord& record : *this)
        if (record.type().id() == TNF_INVALID)
            return false;
    return true;
}

QByteArray CNdefMessage::toByteArray() const
{
    QByteArray bytes;
    for (int index = 0; index < size(); ++index) {
        const int flags = (index == 0 ? CNdefRecord::FLAG_MB : 0) | (index == size() - 1 ? CNdefRecord::FLAG_ME : 0);
        const QByteArray record = at(index).toByteArray(flags);
        if (record.isEmpty())
            return QByteArray();
        bytes += record;
    }
    return bytes;
}

CNdefMessage CNdefMessage::fromByteArray(const QByteArray& data, int offset)
{
    CNdefMessage message;
    bool chunking = false; // the next record continues a chunked payload
    for (int position = offset;;) {
        const CNdefRecordHeader header(data, position);
        if (!header.isValid())
            return CNdefMessage();
        const int flags = header.flags();
        const bool continuation = header.typeNameFormat() == TNF_UNCHANGED;
        if (bool(flags & CNdefRecord::FLAG_MB) != message.isEmpty() || continuation != chunking
            || (continuation && (flags & CNdefRecord::FLAG_IL)))
            return CNdefMessage();
        chunking = flags & CNdefRecord::FLAG_CF;
        message.append(CNdefRecord::fromByteArray(data, position));
        if (flags & CNdefRecord::FLAG_ME)
            return chunking ? CNdefMessage() : message;
        position += header.recordLength();
    }
}
