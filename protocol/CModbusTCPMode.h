#pragma once

#include "protocol/CModbusMode.h"

// Modbus TCP: MBAP header (transaction, protocol 0, length, unit id), then the
// function code and data. An answer carries the transaction id of its request,
// so a late answer is never taken for the next request's.
class PARAMICA_EXPORT CModbusTCPMode : public CModbusMode
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

private:
    quint16 m_transaction = 0;
};
