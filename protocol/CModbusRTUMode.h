#pragma once

#include "protocol/CModbusMode.h"

// Modbus RTU: unit id, function code, data, CRC-16 (transmitted low byte first).
class PARAMICA_EXPORT CModbusRTUMode : public CModbusMode
{
public:
    using CModbusMode::identifier;
    uchar identifier(const char* frame) const override;
    uchar functionCode(const char* frame) const override;
    int exceptionByteCount(int frameLength) const override;
    int userByteCount(int frameLength) const override;
    const char* userData(const char* frame) const override;
    QByteArray buildTelegram(uchar functionCode, uint byteCount, const Modbus::UNION_MODBUS_RD_WR& data) override;
    bool resolveResponse(const char* frame, int length) const override;
    bool isAnswerTo(const char* frame, const QByteArray& request) const override;
};
