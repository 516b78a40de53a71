#pragma once

#include "interfaces/nfc/CNdefRecordType.h"
#include "paramica_export.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

// Bit 7 of a text record's status byte: the encoding of its text.
enum NdefRecordTextCodec {
    TEXT_CODEC_UTF8 = 0x00,
    TEXT_CODEC_UTF16 = 0x80
};

// The NFC Forum smart poster action codes, written as one byte.
enum NdefRecordAction {
    ACTION_DO = 0x00, // send the message, open the link, make the call
    ACTION_SAVE = 0x01, // keep it for later
    ACTION_EDIT = 0x02 // open it for editing
};

// One NFC Forum NDEF record: type, ID, payload, chunk flag and ID flag. A
// record with a payload or an ID is never TNF_EMPTY (such a record becomes
// TNF_UNKNOWN), as the format has no room for them in an empty record.
class PARAMICA_EXPORT CNdefRecord
{
public:
    // Header flags: message begin and end, chunk, short record, ID length
    // present; the low three bits are the type name format.
    static constexpr int FLAG_MB = 0x80;
    static constexpr int FLAG_ME = 0x40;
    static constexpr int FLAG_CF = 0x20;
    static constexpr int FLAG_SR = 0x10;
    static constexpr int FLAG_IL = 0x08;
    static constexpr int TNF_MASK = 0x07;

    CNdefRecord() = default;
    // The payload is the data from the offset on.
    CNdefRecord(const QByteArray& data, const CNdefRecordType& type, int offset, bool chunked, bool idFlag);
    CNdefRecord(const CNdefRecordType& type, const QByteArray& id, const QByteArray& payload, bool chunked, bool idFlag);

    CNdefRecordType type() const;
    QByteArray id() const;
    QByteArray payload() const;
    bool isChunked() const;
    bool idFlag() const;

    void setType(const CNdefRecordType& type);
    void setId(const QByteArray& id);
    void setPayload(const QByteArray& payload);
    void appendPayload(const QByteArray& payload);
    void setChuncked(bool chunked);
    void setIdFlag(bool idFlag);

    bool operator==(const CNdefRecord& other) const;
    bool operator!=(const CNdefRecord& other) const;

    // The header bits the record contributes: SR, CF and IL.
    int flags() const;
    // The record with the caller's MB and ME bits; empty for TNF_INVALID and
    // for a type or ID longer than the 255 bytes the format can declare.
    QByteArray toByteArray(int flags) const;
    // The record at the offset; TNF_INVALID unless a whole well-formed record
    // lies between the offset and the end of the data.
    static CNdefRecord fromByteArray(const QByteArray& data, int offset);

    // NFC Forum record type definitions.
    static CNdefRecord createTextRecord(const QString& text, const QString& locale, NdefRecordTextCodec codec);
    static CNdefRecord createUriRecord(const QString& uri);
    static CNdefRecord createMimeRecord(const QString& mimeType, const QByteArray& data);
    // An NFC Forum external type "domain:type".
    static CNdefRecord createExternalRecord(const QString& domain, const QString& type, const QByteArray& payload);
    static CNdefRecord createSmartPosterRecord(const QString& uri);
    static CNdefRecord createSmartPosterRecord(const QString& uri, const QString& title, const QString& locale,
                                              NdefRecordTextCodec codec);
    static CNdefRecord createSmartPosterRecord(const QString& uri, const QList<CNdefRecord>& records);
    static CNdefRecord createSpActionRecord(NdefRecordAction action);
    static CNdefRecord createSpSizeRecord(unsigned int size);
    static CNdefRecord createSpTypeRecord(const QString& mimeType);
    // TNF_INVALID unless the target is a text or URI record. An action or
    // data record of TNF_EMPTY is left out.
    static CNdefRecord createGenericControlRecord(unsigned char configuration, const CNdefRecord& target,
                                                  const CNdefRecord& action, const CNdefRecord& data);
    static CNdefRecord createGenericControlRecord(unsigned char configuration, const CNdefRecord& target,
                                                  NdefRecordAction action, const CNdefRecord& data);
    static CNdefRecord createGcTargetRecord(const CNdefRecord& target);
    static CNdefRecord createGcActionRecord(const CNdefRecord& action);
    static CNdefRecord createGcActionRecord(NdefRecordAction action);
    static CNdefRecord createGcDataRecord(const CNdefRecord& data);

    // Payload readers; malformed payloads give empty results.
    static QByteArray textLocale(const QByteArray& payload);
    static QString textText(const QByteArray& payload);
    static QString uriProtocol(const QByteArray& payload);
    // The record a generic control record embeds: a default record when the
    // generic control record has no such part (or, for the action, names it
    // by number), TNF_INVALID when the part does not hold a record.
    static CNdefRecord getGcTargetRecord(const CNdefRecord& genericControl);
    static CNdefRecord getGcActionRecord(const CNdefRecord& genericControl);
    static CNdefRecord getGcDataRecord(const CNdefRecord& genericControl);

private:
    static CNdefRecord genericControlRecord(unsigned char configuration, const CNdefRecord& target,
                                            const CNdefRecord& actionPart, const CNdefRecord& data);
    static CNdefRecord gcEmbeddedRecord(const CNdefRecord& genericControl, const CNdefRecordType& partType);
    void checkConsistency();

    CNdefRecordType m_type;
    QByteArray m_id;
    QByteArray m_payload;
    bool m_chunked = false;
    bool m_idFlag = false;
};

Q_DECLARE_METATYPE(CNdefRecord)
