#pragma once

#include "interfaces/nfc/CNdefRecordType.h"

#include <QByteArray>

// The layout of the NDEF record encoded at an offset of a buffer: its flags,
// type name format and where its type, ID and payload lie. Every length is
// checked against the end of the buffer, and against what the type name
// format allows, before anyone copies a byte out; untrusted tag memory is
// read through this class only.
class CNdefRecordHeader
{
public:
    CNdefRecordHeader(const QByteArray& data, int offset);

    // False unless a whole well-formed record lies between the offset and the
    // end of the data; all else is then zero.
    bool isValid() const;
    int flags() const;
    NdefRecordTypeId typeNameFormat() const;
    int typeOffset() const;
    int typeLength() const;
    int idOffset() const;
    int idLength() const;
    int payloadOffset() const;
    int payloadLength() const;
    // Bytes from the offset to the end of the payload.
    int recordLength() const;

private:
    bool m_valid = false;
    int m_offset = 0;
    int m_flags = 0;
    int m_typeOffset = 0;
    int m_typeLength = 0;
    int m_idLength = 0;
    int m_payloadLength = 0;
};
