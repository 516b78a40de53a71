#include "protocol/CModbusTCPMode.h"

namespace {
void appendBigEndian(QByteArray& bytes, quint16 value)
{
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
}
}

uchar CModbusTCPMode::identifier(const char* frame) const
{
    return uchar(frame[6]);
}

uchar CModbusTCPMode::functionCode(const char* frame) const
{
    return uchar(frame[7]);
}

int CModbusTCPMode::exceptionByteCount(int frameLength) const
{
    return frameLength - 8;
}

int CModbusTCPMode::userByteCount(int frameLength) const
{
    return frameLength - 9;
}

const char* CModbusTCPMode::userData(const char* frame) const
{
    return frame + 8;
}

QByteArray CModbusTCPMode::buildTelegram(uchar functionCode, uint byteCount, const Modbus::UNION_MODBUS_RD_WR& data)
{
    QByteArray telegram;
    telegram.reserve(int(byteCount) + 8);
    appendBigEndian(telegram, ++m_transaction);
    appendBigEndian(telegram, 0);
    appendBigEndian(telegram, quint16(byteCount + 2));
    telegram.append(char(m_identifier));
    telegram.append(char(functionCode));
    telegram.append(reinterpret_cast<const char*>(data.raw), int(byteCount));
    return telegram;
}

bool CModbusTCPMode::resolveResponse(const char* frame, int length) const
{
    // The header's length counts the unit id: a frame must carry a function
    // code beyond it.
    if (length < 8)
        return false;
    const int announced = (uchar(frame[4]) << 8) | uchar(frame[5]);
    return announced == length - 6;
}

bool CModbusTCPMode::isAnswerTo(const char* frame, const QByteArray& request) const
{
    return request.size() >= 2 && frame[0] == request[0] && frame[1] == request[1];
}
