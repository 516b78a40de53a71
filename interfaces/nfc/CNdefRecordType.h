#pragma once

#include "paramica_export.h"

#include <QByteArray>

// The type name format (TNF) of an NDEF record, as the low three bits of its
// header carry it. The format reserves 7; here it marks a record or type that
// failed to decode.
enum NdefRecordTypeId {
    TNF_EMPTY = 0,
    TNF_WELL_KNOWN = 1,
    TNF_MEDIA = 2,
    TNF_ABSOLUTE_URI = 3,
    TNF_EXTERNAL = 4,
    TNF_UNKNOWN = 5,
    TNF_UNCHANGED = 6,
    TNF_INVALID = 7
};

// The type of an NDEF record: its type name format and its type name.
class PARAMICA_EXPORT CNdefRecordType
{
public:
    // The formats without a type name on the wire (empty, unknown, unchanged)
    // drop the given name, so that what is encoded is what the value holds.
    explicit CNdefRecordType(NdefRecordTypeId id = TNF_EMPTY, const QByteArray& type = QByteArray());

    NdefRecordTypeId id() const;
    QByteArray type() const;

    bool operator==(const CNdefRecordType& other) const;
    bool operator!=(const CNdefRecordType& other) const;

    // The type of the record encoded at the offset; TNF_INVALID unless a whole
    // well-formed record lies between the offset and the end of the data.
    static CNdefRecordType fromByteArray(const QByteArray& data, int offset);

    // NFC Forum well-known types and the local types inside smart poster and
    // generic control payloads.
    static CNdefRecordType textRecordType();
    static CNdefRecordType uriRecordType();
    static CNdefRecordType smartPosterRecordType();
    static CNdefRecordType genericControlRecordType();
    static CNdefRecordType spActionRecordType();
    static CNdefRecordType spSizeRecordType();
    static CNdefRecordType spTypeRecordType();
    static CNdefRecordType gcTargetRecordType();
    static CNdefRecordType gcActionRecordType();
    static CNdefRecordType gcDataRecordType();

private:
    NdefRecordTypeId m_id;
    QByteArray m_type;
};
