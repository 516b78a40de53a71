#pragma once

#include "paramica_export.h"

#include <QByteArray>

// Modbus RTU CRC-16 (reflected polynomial 0xA001, initial value 0xFFFF).
// The result is byte-swapped: its high byte is the one transmitted first, so a
// frame ends with the result written high byte first. Description files use the
// same check value.
class PARAMICA_EXPORT CRC16
{
public:
    static quint16 calc_crc(const char* data, uint length);
    static quint16 calc_crc(const QByteArray& data);
};
