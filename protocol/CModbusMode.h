#pragma once

#include "paramica_export.h"
#include "protocol/Modbus.h"

#include <QByteArray>

// Framing strategy of the Modbus master: where the unit id, the function code
// and the user data sit in a frame, and how a frame is built and checked.
class PARAMICA_EXPORT CModbusMode
{
public:
    virtual ~CModbusMode() = default;

    virtual void setIdentifier(uchar identifier) { m_identifier = identifier; }
    uchar identifier() const { return m_identifier; }

    virtual uchar identifier(const char* frame) const = 0;
    virtual uchar functionCode(const char* frame) const = 0;
    virtual int exceptionByteCount(int frameLength) const = 0;
    virtual int userByteCount(int frameLength) const = 0;
    virtual const char* userData(const char* frame) const = 0;
    virtual QByteArray buildTelegram(uchar functionCode, uint byteCount, const Modbus::UNION_MODBUS_RD_WR& data) = 0;
    // The frame is complete and intact and carries a unit id and a function code.
    virtual bool resolveResponse(const char* frame, int length) const = 0;
    // The (intact) frame answers this request telegram and not an earlier one.
    virtual bool isAnswerTo(const char* frame, const QByteArray& request) const = 0;

protected:
    uchar m_identifier = 1;
};
