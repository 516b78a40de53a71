#include "protocol/CModbusRTUMode.h"

#include "protocol/CRC16.h"

uchar CModbusRTUMode::identifier(const char* frame) const
{
    return uchar(frame[0]);
}

uchar CModbusRTUMode::functionCode(const char* frame) const
{
    return uchar(frame[1]);
}

int CModbusRTUMode::exceptionByteCount(int frameLength) const
{
    return frameLength - 4;
}

int CModbusRTUMode::userByteCount(int frameLength) const
{
    return frameLength - 5;
}

const char* CModbusRTUMode::userData(const char* frame) const
{
    return frame + 2;
}

QByteArray CModbusRTUMode::buildTelegram(uchar functionCode, uint byteCount, const Modbus::UNION_MODBUS_RD_WR& data)
{
    QByteArray telegram;
    telegram.reserve(int(byteCount) + 4);
    telegram.append(char(m_identifier));
    telegram.append(char(functionCode));
    telegram.append(reinterpret_cast<const char*>(data.raw), int(byteCount));
    const quint16 crc = CRC16::calc_crc(telegram);
    telegram.append(char(crc >> 8));
    telegram.append(char(crc & 0xFF));
    return telegram;
}

bool CModbusRTUMode::resolveResponse(const char* frame, int length) const
{
    // Unit id and function code, then the two check bytes.
    if (length < 4)
        return false;
    const quint16 received = quint16((uchar(frame[length - 2]) << 8) | uchar(frame[length - 1]));
    return received == CRC16::calc_crc(frame, uint(length - 2));
}

bool CModbusRTUMode::isAnswerTo(const char*, const QByteArray&) const
{
    // The line carries one telegram at a time; unit id and function code are
    // all an answer has to match.
    return true;
}
