#pragma once

#include "paramica_export.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>

// What a request to the device is for. Values up to REQUEST_READ_WRITE_GENERIC
// are reads (or combined read-writes), the rest writes. REQUEST_NONE marks the
// absence of a request (no telegram is built for it).
enum ENUM_REQUEST_TYPE {
    REQUEST_NONE = -1,
    REQUEST_SCAN = 0,
    REQUEST_READ_DEVICE_INFO = 1,
    REQUEST_READ_DEVICE_ID = 2,
    REQUEST_READ_PARA = 3,
    REQUEST_READ_PAB = 4,
    REQUEST_READ_GENERIC = 5,
    REQUEST_READ_DATETIME = 6,
    REQUEST_READ_ERRORLOG = 7,
    REQUEST_READ_IO_MAPPING = 8,
    REQUEST_READ_PROGRAM = 9,
    REQUEST_READ_RECORD = 10,
    REQUEST_READ_WRITE_COMMISSIONING = 11,
    REQUEST_READ_WRITE_GENERIC = 12,
    REQUEST_WRITE_PARA = 13,
    REQUEST_WRITE_GENERIC_SINGLE = 14,
    REQUEST_WRITE_GENERIC = 15,
    REQUEST_WRITE_DATETIME = 16,
    REQUEST_CLEAR_ERRORLOG = 17,
    REQUEST_WRITE_IO_MAPPING = 18,
    REQUEST_WRITE_PROGRAM = 19,
    REQUEST_GOTO_BOOTLOADER = 20,
    REQUEST_GOTO_APPLICATION = 21,
    REQUEST_FIRMWARE_UPDATE = 22
};

enum ENUM_PROTOCOL_TYPE {
    PROTOCOL_MODBUS_RTU = 0,
    PROTOCOL_MODBUS_TCP = 1,
    PROTOCOL_NFC = 2
};

// One exchange with the device. Lengths count bytes (Modbus: twice the
// register count).
struct PARAMICA_EXPORT CRequest
{
    ENUM_REQUEST_TYPE type = REQUEST_SCAN;
    quint8 retryCount = 0;
    quint8 functionCode = 0;
    quint16 readAddress = 0;
    quint16 readLength = 0;
    quint16 writeAddress = 0;
    quint16 writeLength = 0;
    QByteArray data;

    CRequest() = default;
    CRequest(ENUM_REQUEST_TYPE requestType, quint8 function, quint16 readAddr = 0, quint16 readLen = 0,
             quint16 writeAddr = 0, quint16 writeLen = 0, const QByteArray& payload = QByteArray())
        : type(requestType), functionCode(function), readAddress(readAddr), readLength(readLen),
          writeAddress(writeAddr), writeLength(writeLen), data(payload)
    {
    }
};

Q_DECLARE_METATYPE(CRequest)
Q_DECLARE_METATYPE(QList<CRequest>)
