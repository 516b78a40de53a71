#pragma once

// Firmware images as the tests need them: bodies that differ from block to
// block, packed by the library's own image class.

#include "protocol/CFirmwareImage.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// A body whose bytes differ from block to block.
inline QByteArray firmwareBody(int size)
{
    QByteArray body(size, '\0');
    for (int i = 0; i < size; ++i)
        body[i] = char((i * 7 + i / 251) & 0xFF);
    return body;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
