#pragma once

#include "backend/CMessageSender.h"
#include "interfaces/nfc/NdefRecordList.h"
#include "paramica_export.h"

#include <QByteArray>
#include <QString>

// A contactless reader as the NFC transport uses it: it watches for a tag,
// tells its type and serial number, exchanges tag commands and reads the
// maker's NDEF records from the tag.
class PARAMICA_EXPORT CNfcAdapter : public CMessageSender
{
    Q_OBJECT

public:
    // The maker's domain: the adapter passes on only NFC Forum external
    // records whose type names it.
    static const QString MAKER_DOMAIN;
    // The ISO 15693 tag commands the NFC master sends and a tag answers.
    static constexpr char READ_SINGLE_BLOCK = 0x20;
    static constexpr char WRITE_SINGLE_BLOCK = 0x21;
    static constexpr char READ_MULTIPLE_BLOCKS = 0x23;

    // How many blocks a tag command reads or writes (one for anything but
    // a multiple-block read).
    static int commandBlockCount(const QByteArray& command);

    explicit CNfcAdapter(QObject* parent = nullptr);

    virtual bool start() = 0;
    virtual bool stop() = 0;
    virtual void readNdefMessages() = 0;
    virtual bool isActive() const = 0;
    virtual bool isTargetConnected() const = 0;
    virtual QString readerName() const = 0;
    virtual QString targetType() const = 0;
    virtual QString targetSNr() const = 0;
    // A tag's answer with its status word moved to the front.
    virtual QByteArray resolveResponse(const QByteArray& response) const = 0;

public slots:
    // A complete reader command (APDU).
    virtual void writeData(const char* data, int length) = 0;
    // A tag command, which the adapter wraps into the reader's pass-through command.
    virtual void writeData(QByteArray data) = 0;

signals:
    void readerNameChanged(QString name);
    void targetTypeChanged(QString type);
    void targetSNrChanged(QString serialNumber);
    void ndefRecordsRead(NdefRecordList records);
    // The buffer is valid only during the emission.
    void dataRead(const char* buffer, int byteCount);
    void dataWritten();
    void error();
    void targetConnected();
    void targetLost();

protected:
    QString m_readerName;
    QString m_targetType;
    QString m_targetSNr;
};
