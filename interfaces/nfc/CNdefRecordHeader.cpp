#include "interfaces/nfc/CNdefRecordHeader.h"

#include "interfaces/nfc/CNdefRecord.h"

namespace {
// Header byte, type length and a one-byte payload length.
const int MIN_RECORD_LENGTH = 3;

// What the NDEF format requires of each type name format.
bool fitsFormat(NdefRecordTypeId format, int typeLength, int idLength, quint32 payloadLength)
{
    switch (format) {
    case TNF_EMPTY:
        return typeLength == 0 && idLength == 0 && payloadLength == 0;
    case TNF_UNKNOWN:
    case TNF_UNCHANGED:
        return typeLength == 0;
    case TNF_INVALID: // reserved
        return false;
    default:
        return true;
    }
}
} // namespace

CNdefRecordHeader::CNdefRecordHeader(const QByteArray& data, int offset)
{
    if (offset < 0 || data.size() - offset < MIN_RECORD_LENGTH)
        return;
    const auto byteAt = [&data](int index) { return quint8(data.at(index)); };
    int position = offset;
    const int flags = byteAt(position++);
    const int typeLength = byteAt(position++);
    const int payloadLengthBytes = flags & CNdefRecord::FLAG_SR ? 1 : 4;
    if (data.size() - position < payloadLengthBytes)
        return;
    quint32 payloadLength = 0;
    for (int i = 0; i < payloadLengthBytes; ++i)
        payloadLength = payloadLength << 8 | byteAt(position++);
    int idLength = 0;
    if (flags & CNdefRecord::FLAG_IL) {
        if (position >= data.size())
            return;
        idLength = byteAt(position++);
    }
    // A declared length is believed only as far as the buffer reaches, so
    // a 32-bit payload length never makes anyone allocate for it.
    if (qint64(typeLength) + idLength + payloadLength > qint64(data.size() - position))
        return;
    if (!fitsFormat(NdefRecordTypeId(flags & CNdefRecord::TNF_MASK), typeLength, idLength, payloadLength))
        return;
    m_valid = true;
    m_offset = offset;
    m_flags = flags;
    m_typeOffset = position;
    m_typeLength = typeLength;
    m_idLength = idLength;
    m_payloadLength = int(payloadLength);
}

bool CNdefRecordHeader::isValid() const
{
    return m_valid;
}

int CNdefRecordHeader::flags() const
{
    return m_flags;
}

NdefRecordTypeId CNdefRecordHeader::typeNameFormat() const
{
    return NdefRecordTypeId(m_flags & CNdefRecord::TNF_MASK);
}

int CNdefRecordHeader::typeOffset() const
{
    return m_typeOffset;
}

int CNdefRecordHeader::typeLength() const
{
    return m_typeLength;
}

int CNdefRecordHeader::idOffset() const
{
    return m_typeOffset + m_typeLength;
}

int CNdefRecordHeader::idLength() const
{
    return m_idLength;
}

int CNdefRecordHeader::payloadOffset() const
{
    return idOffset() + m_idLength;
}

int CNdefRecordHeader::payloadLength() const
{
    return m_payloadLength;
}

int CNdefRecordHeader::recordLength() const
{
    return m_valid ? payloadOffset() + m_payloadLength - m_offset : 0;
}
