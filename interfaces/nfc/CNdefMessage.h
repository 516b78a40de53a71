#pragma once

#include "interfaces/nfc/CNdefRecord.h"
#include "paramica_export.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>

// An NFC Forum NDEF message: an ordered list of records. Valid when it has a
// record and none of them is TNF_INVALID.
class PARAMICA_EXPORT CNdefMessage : public QList<CNdefRecord>
{
public:
    CNdefMessage() = default;
    explicit CNdefMessage(const CNdefRecord& record);
    explicit CNdefMessage(const QList<CNdefRecord>& records);
    // One record whose payload is the data from the offset on.
    CNdefMessage(const QByteArray& data, const CNdefRecordType& type, int offset);

    // Indices out of range change nothing (inserting at the end appends).
    void appendRecord(const CNdefRecord& record);
    void insertRecord(const CNdefRecord& record, int index);
    void removeRecord(int index);
    void setRecord(const CNdefRecord& record, int index);

    // A default record when none fits: out of range, no record with this ID,
    // no record of this type.
    CNdefRecord record(int index) const;
    CNdefRecord record(const QByteArray& id) const;
    CNdefRecord record(const CNdefRecordType& type) const;

    bool isValid() const;
    // MB on the first record, ME on the last; empty for an empty message and
    // when a record cannot be encoded.
    QByteArray toByteArray() const;
    // The message at the offset, ending with the record that carries ME; an
    // empty message unless it is well-formed: every record fits into the
    // data, MB only on the first, chunks continued by TNF_UNCHANGED records
    // without ID and ended before ME.
    static CNdefMessage fromByteArray(const QByteArray& data, int offset);
};

Q_DECLARE_METATYPE(CNdefMessage)
