#pragma once

#include "interfaces/nfc/NdefRecordList.h"
#include "protocol/CProtocolMaster.h"

// Protocol master for a device reached through the memory of an NFC tag. Tag
// memory is read and written in 4-byte blocks with ISO 15693 commands; every
// data range is stored as little-endian words followed by its CRC-16 (high
// byte first) and padded with 0xFF to a block boundary. Reads of address
// 1024 and beyond are answered by the device-information NDEF record. The
// answers are handed on in the form of a Modbus read: the start address
// big-endian, then big-endian words.
class PARAMICA_EXPORT CNfcMaster : public CProtocolMaster
{
    Q_OBJECT

public:
    static constexpr int MAX_BLOCK_LENGTH = 4;
    // Blocks one read command asks for; longer ranges are read in parts.
    static constexpr int MAX_BLOCK_COUNT = 15;
    static constexpr int CYCLE_INTERVAL_MS = 50;
    static constexpr int MAX_ATTEMPTS = 3;
    // Where the scan finds the parameter version.
    static constexpr quint16 VERSION_ADDRESS = 128;
    static constexpr quint16 VERSION_LENGTH = 6;
    static constexpr quint16 DEVICE_INFO_LENGTH = 16;
    // The name of the maker's NDEF record that carries the device information.
    static const QString DEVICE_INFO_RECORD;

    explicit CNfcMaster(QObject* parent = nullptr);

    // Tag memory ends before it; reads from it on ask for the NDEF record.
    static quint16 maxAddress() { return 1024; }
    static int convertAddressToBlockNumber(unsigned short address);
    // Blocks the length covers, minus one.
    static int convertDataLengthToBlockNumbers(unsigned short length);
    // The received length less the block padding beyond the requested length.
    static int chopResponseLength(int received, int requested);
    // The stored form of a range: words swapped to little-endian, then the
    // CRC-16 of those bytes, high byte first.
    static QByteArray add_crc(const QByteArray& data);

    static QByteArray readSingleBlock(int block);
    static QByteArray readMultipleBlocks(int firstBlock, int blockCountLessOne);
    static QByteArray writeSingleBlock(int block, const QByteArray& data);
    static QList<QByteArray> writeMultipleBlocks(int firstBlock, const QByteArray& data);

    void reset() override;

signals:
    void readNdefMessages();
    void targetConnectionChanged(bool connected);

public slots:
    void targetConnected(bool state);
    void ndefRecordsRead(const NdefRecordList& records);
    void buildRequest(const CRequest& request) override;
    void resolveResponse(const char* buffer, int byteCount) override;

private slots:
    void timeout() override;
    void ndefTimeout();

private:
    // Where the command on the line stands within its request.
    struct Part {
        int offset = 0;    // bytes of the range before the part's first block
        int expected = 0;  // bytes of the range the part's answer carries
        bool last = true;
    };

    // Why a request cannot be carried out on tag memory, or empty.
    static QString refusalReason(const CRequest& request);
    void buildReadRequest(const CRequest& request);
    void buildWriteRequest(const CRequest& request);
    void buildNdefRequest(const CRequest& request);
    void startNdefRead();
    Part currentPart() const;
    // Removes the commands queued for the rest of the request on the line.
    void dropRemainingParts();
    void handleResponse(const CRequest& request, const QByteArray& data);
    bool handleReadResponse(const CRequest& request, const QByteArray& data);
    void handleErrorResponse(const QByteArray& status);
    void handleNdefRecord(const QString& type, const QByteArray& payload);
    static bool resolveNdefRecord(const QByteArray& payload);
    static bool hasValidCrc(const QByteArray& data);
    // The read address big-endian, then the data with every word swapped.
    static QByteArray handleReadResponse(const QByteArray& data, quint16 address);
    static QString handleScanDataResponse(const QByteArray& data);
    static QString handleScanVersionResponse(const QByteArray& data);
    static QByteArray swapWords(const QByteArray& data);
    void reportFailure(const QString& text, bool show);
    void dropRequests();

    // The range of a read in parts, gathered up to its last part.
    QByteArray m_gathered;
    // Requests answered by the device-information record, the first one asked for.
    QList<CRequest> m_ndefRequests;
    QTimer* m_ndefTimer;
};
