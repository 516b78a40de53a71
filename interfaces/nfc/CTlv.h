#pragma once

#include "paramica_export.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>

class CNdefMessage;

// One TLV block of NFC Forum type tag memory, where an NDEF message is kept.
class PARAMICA_EXPORT CTlv
{
public:
    static constexpr unsigned char NULL_TLV = 0x00;
    static constexpr unsigned char NDEF_MESSAGE_TLV = 0x03;
    static constexpr unsigned char PROPRIETARY_TLV = 0xFD;
    static constexpr unsigned char TERMINATOR_TLV = 0xFE;
    // The three-byte length form ends at 0xFFFE; 0xFFFF is reserved.
    static constexpr int MAX_VALUE_LENGTH = 0xFFFE;

    // NULL and terminator TLVs have no length and drop the given value.
    explicit CTlv(unsigned char type = NULL_TLV, const QByteArray& value = QByteArray());

    unsigned char type() const;
    int length() const;
    QByteArray value() const;

    bool operator==(const CTlv& other) const;
    bool operator!=(const CTlv& other) const;

    // Type, length (one byte up to 254, else 0xFF and two bytes high first),
    // value; NULL and terminator TLVs are their type byte alone. Empty when the
    // value is longer than MAX_VALUE_LENGTH.
    QByteArray toByteArray() const;

    static CTlv createNullTlv();
    static CTlv createTerminatorTlv();
    static CTlv createNdefMessageTlv(const CNdefMessage& message);

    // The TLVs from the offset up to and including a terminator. NDEF
    // message and proprietary TLVs are read with their lengths; any other
    // byte is walked over as a NULL TLV (so is a capability container ahead
    // of the TLVs). A TLV whose length or value runs past the data ends the
    // list without it.
    static QList<CTlv> fromByteArray(const QByteArray& data, int offset);

private:
    unsigned char m_type;
    QByteArray m_value;
};

Q_DECLARE_METATYPE(CTlv)
