#include "interfaces/nfc/CTlv.h"

#include "interfaces/nfc/CNdefMessage.h"

namespace {
const int MAX_SHORT_LENGTH = 0xFE;
const quint8 LONG_LENGTH_MARK = 0xFF;

bool hasLength(unsigned char type)
{
    return type != CTlv::NULL_TLV && type != CTlv::TERMINATOR_TLV;
}
} // namespace

CTlv::CTlv(unsigned char type, const QByteArray& value)
    : m_type(type), m_value(hasLength(type) ? value : QByteArray())
{
}

unsigned char CTlv::type() const
{
    return m_type;
}

int CTlv::length() const
{
    return m_value.size();
}

QByteArray CTlv::value() const
{
    return m_value;
}

bool CTlv::operator==(const CTlv& other) const
{
    return m_type == other.m_type && m_value == other.m_value;
}

bool CTlv::operator!=(const CTlv& other) const
{
    return !(*this == other);
}

QByteArray CTlv::toByteArray() const
{
    QByteArray bytes(1, char(m_type));
    if (!hasLength(m_type))
        return bytes;
    const int length = m_value.size();
    if (length > MAX_VALUE_LENGTH)
        return QByteArray();
    if (length <= MAX_SHORT_LENGTH) {
        bytes.append(char(length));
    } else {
        bytes.append(char(LONG_LENGTH_MARK));
        bytes.append(char(length >> 8));
        bytes.append(char(length));
    }
    return bytes + m_value;
}

CTlv CTlv::createNullTlv()
{
    return CTlv(NULL_TLV);
}

CTlv CTlv::createTerminatorTlv()
{
    return CTlv(TERMINATOR_TLV);
}

CTlv CTlv::createNdefMessageTlv(const CNdefMessage& message)
{
    return CTlv(NDEF_MESSAGE_TLV, message.toByteArray());
}

QList<CTlv> CTlv::fromByteArray(const QByteArray& data, int offset)
{
    QList<CTlv> tlvs;
    if (offset < 0)
        return tlvs;
    const auto byteAt = [&data](int index) { return quint8(data.at(index)); };
    for (int position = offset; position < data.size();) {
        const quint8 type = byteAt(position++);
        if (type == TERMINATOR_TLV) {
            tlvs.append(createTerminatorTlv());
            break;
        }
        if (type != NDEF_MESSAGE_TLV && type != PROPRIETARY_TLV) {
            tlvs.append(createNullTlv());
            continue;
        }
        if (position >= data.size())
            break;
        int length = byteAt(position++);
        if (length == LONG_LENGTH_MARK) {
            if (data.size() - position < 2)
                break;
            length = byteAt(position) << 8 | byteAt(position + 1);
            position += 2;
            if (length > MAX_VALUE_LENGTH)
                break;
        }
        if (length > data.size() - position)
            break;
        tlvs.append(CTlv(type, data.mid(position, length)));
        position += length;
    }
    return tlvs;
}
