#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// The memory of the tag of a device described by a device-description file:
// 1024 bytes in blocks of 4, laid out as the library's NFC master reads and
// writes it. The ranges are encoded by the library's items and its NFC
// master, the NDEF message by its NDEF codec.
class CTagMemory
{
public:
    static const int SIZE = 1024;
    static const int BLOCK_LENGTH = 4;
    static const int NDEF_AREA_LENGTH = 128;

    CTagMemory();
    ~CTagMemory();
    CTagMemory(const CTagMemory&) = delete;
    CTagMemory& operator=(const CTagMemory&) = delete;

    // Lays out the description's sections; on failure returns false with the reason.
    bool load(const QString& path, QString& error);
    // Flips the stored CRC of the range at the address (1024 and beyond: the
    // device-information record); false when no range starts there.
    bool corruptCrc(int address);

    QByteArray read(int firstBlock, int count) const;
    void write(int block, const QByteArray& data);

private:
    struct Range {
        int address = 0;
        int length = 0; // stored bytes: data and CRC
    };

    bool placeRange(const QString& name, int address, const QByteArray& stored, QString& error);
    QByteArray ndefArea(const QByteArray& deviceInformation, QString& error) const;

    QByteArray m_bytes;
    std::vector<Range> m_ranges;
    // Where the device-information record's payload, and so its CRC, ends.
    int m_recordPayloadEnd = 0;
};
