#include "interfaces/nfc/CNdefRecordType.h"

#include "interfaces/nfc/CNdefRecordHeader.h"

CNdefRecordType::CNdefRecordType(NdefRecordTypeId id, const QByteArray& type)
    : m_id(id >= TNF_EMPTY && id <= TNF_INVALID ? id : TNF_INVALID), m_type(type)
{
    if (m_id == TNF_EMPTY || m_id == TNF_UNKNOWN || m_id == TNF_UNCHANGED)
        m_type.clear();
}

NdefRecordTypeId CNdefRecordType::id() const
{
    return m_id;
}

QByteArray CNdefRecordType::type() const
{
    return m_type;
}

bool CNdefRecordType::operator==(const CNdefRecordType& other) const
{
    return m_id == other.m_id && m_type == other.m_type;
}

bool CNdefRecordType::operator!=(const CNdefRecordType& other) const
{
    return !(*this == other);
}

CNdefRecordType CNdefRecordType::fromByteArray(const QByteArray& data, int offset)
{
    const CNdefRecordHeader header(data, offset);
    if (!header.isValid())
        return CNdefRecordType(TNF_INVALID);
    return CNdefRecordType(header.typeNameFormat(), data.mid(header.typeOffset(), header.typeLength()));
}

CNdefRecordType CNdefRecordType::textRecordType()
{
    return CNdefRecordType(TNF_WELL_KNOWN, "T");
}

CNdefRecordType CNdefRecordType::uriRecordType()
{
    return CNdefRecordType(TNF_WELL_KNOWN, "U");
}

CNdefRecordType CNdefRecordType::smartPosterRecordType()
{
    return CNdefRecordType(TNF_WELL_KNOWN, "Sp");
}

CNdefRecordType CNdefRecordType::genericControlRecordType()
{
    return CNdefRecordType(TNF_WELL_KNOWN, "Gc");
}

CNdefRecordType CNdefRecordType::spActionRecordType()
{
    return CNdefRecordType(TNF_WELL_KNOWN, "act");
}

CNdefRecordType CNdefRecordType::spSizeRecordType()
{
    return CNdefRecordType(TNF_WELL_KNOWN, "s");
}

CNdefRecordType CNdefRecordType::spTypeRecordType()
{
    return CNdefRecordType(TNF_WELL_KNOWN, "t");
}

CNdefRecordType CNdefRecordType::gcTargetRecordType()
{
    return spTypeRecordType();
}

CNdefRecordType CNdefRecordType::gcActionRecordType()
{
    return CNdefRecordType(TNF_WELL_KNOWN, "a");
}

CNdefRecordType CNdefRecordType::gcDataRecordType()
{
    return CNdefRecordType(TNF_WELL_KNOWN, "d");
}
