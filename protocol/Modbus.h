#pragma once

#include "paramica_export.h"

#include <QMetaType>
#include <QtGlobal>

// Modbus payload layout shared by the Modbus master, the flasher and the NFC
// master. All multi-byte numbers are big-endian on the wire; the word helpers
// below make that order explicit instead of relying on the host's.
namespace Modbus {

inline ushort swap_short(ushort value)
{
    return ushort((value >> 8) | (value << 8));
}

inline uint swap_long(uint value)
{
    return ((value & 0x000000FFu) << 24) | ((value & 0x0000FF00u) << 8) | ((value & 0x00FF0000u) >> 8)
        | ((value & 0xFF000000u) >> 24);
}

// The PDU bytes that follow the function code, for requests and answers alike.
union UNION_MODBUS_RD_WR {
    quint8 raw[520];
};

inline quint16 word(const UNION_MODBUS_RD_WR& data, int offset)
{
    return quint16((data.raw[offset] << 8) | data.raw[offset + 1]);
}

inline void setWord(UNION_MODBUS_RD_WR& data, int offset, quint16 value)
{
    data.raw[offset] = quint8(value >> 8);
    data.raw[offset + 1] = quint8(value & 0xFF);
}

inline void setLong(UNION_MODBUS_RD_WR& data, int offset, quint32 value)
{
    setWord(data, offset, quint16(value >> 16));
    setWord(data, offset + 2, quint16(value & 0xFFFF));
}

} // namespace Modbus

Q_DECLARE_METATYPE(Modbus::UNION_MODBUS_RD_WR)
