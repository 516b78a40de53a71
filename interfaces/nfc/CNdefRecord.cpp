#include "interfaces/nfc/CNdefRecord.h"

#include "interfaces/nfc/CNdefMessage.h"
#include "interfaces/nfc/CNdefRecordHeader.h"

#include <QTextCodec>

#include <memory>

namespace {
// The NFC Forum URI record's abbreviations, indexed by identifier code.
const char* const URI_PREFIXES[] = {
    "",
    "http://www.",
    "https://www.",
    "http://",
    "https://",
    "tel:",
    "mailto:",
    "ftp://anonymous:anonymous@",
    "ftp://ftp.",
    "ftps://",
    "sftp://",
    "smb://",
    "nfs://",
    "ftp://",
    "dav://",
    "news:",
    "telnet://",
    "imap:",
    "rtsp://",
    "urn:",
    "pop:",
    "sip:",
    "sips:",
    "tftp:",
    "btspp://",
    "btl2cap://",
    "btgoep://",
    "tcpobex://",
    "irdaobex://",
    "file://",
    "urn:epc:id:",
    "urn:epc:tag:",
    "urn:epc:pat:",
    "urn:epc:raw:",
    "urn:epc:",
    "urn:nfc:",
};
const int URI_PREFIX_COUNT = int(sizeof(URI_PREFIXES) / sizeof(URI_PREFIXES[0]));

// Text record status byte: the language code is at most 5 characters as we
// write it; reading, bits 0 to 5 give its length.
const int MAX_WRITTEN_LOCALE_LENGTH = 5;
const int LOCALE_LENGTH_MASK = 0x3F;

// Generic control action part: an embedded record, or an action number.
const char GC_ACTION_RECORD = 0x00;
const char GC_ACTION_NUMBER = 0x01;

const int ENCODED_ALONE = CNdefRecord::FLAG_MB | CNdefRecord::FLAG_ME;
const int MAX_DECLARED_LENGTH = 255;

QByteArray utf16BigEndian(const QString& text)
{
    // Without a byte order mark: the NFC Forum text record reads big-endian by default.
    const std::unique_ptr<QTextEncoder> encoder(
        QTextCodec::codecForName("UTF-16BE")->makeEncoder(QTextCodec::IgnoreHeader));
    return encoder->fromUnicode(text);
}

QString fromUtf16(const QByteArray& bytes)
{
    // A byte order mark FF FE announces little-endian text; the codecs drop the mark.
    const bool littleEndian = bytes.startsWith("\xFF\xFE");
    return QTextCodec::codecForName(littleEndian ? "UTF-16LE" : "UTF-16BE")->toUnicode(bytes);
}
} // namespace

CNdefRecord::CNdefRecord(const QByteArray& data, const CNdefRecordType& type, int offset, bool chunked, bool idFlag)
    : CNdefRecord(type, QByteArray(), data.mid(qMax(offset, 0)), chunked, idFlag)
{
}

CNdefRecord::CNdefRecord(const CNdefRecordType& type, const QByteArray& id, const QByteArray& payload, bool chunked,
                         bool idFlag)
    : m_type(type), m_id(id), m_payload(payload), m_chunked(chunked), m_idFlag(idFlag)
{
    checkConsistency();
}

CNdefRecordType CNdefRecord::type() const
{
    return m_type;
}

QByteArray CNdefRecord::id() const
{
    return m_id;
}

QByteArray CNdefRecord::payload() const
{
    return m_payload;
}

bool CNdefRecord::isChunked() const
{
    return m_chunked;
}

bool CNdefRecord::idFlag() const
{
    return m_idFlag;
}

void CNdefRecord::setType(const CNdefRecordType& type)
{
    m_type = type;
    checkConsistency();
}

void CNdefRecord::setId(const QByteArray& id)
{
    m_id = id;
    checkConsistency();
}

void CNdefRecord::setPayload(const QByteArray& payload)
{
    m_payload = payload;
    checkConsistency();
}

void CNdefRecord::appendPayload(const QByteArray& payload)
{
    m_payload += payload;
    checkConsistency();
}

void CNdefRecord::setChuncked(bool chunked)
{
    m_chunked = chunked;
}

void CNdefRecord::setIdFlag(bool idFlag)
{
    m_idFlag = idFlag;
}

bool CNdefRecord::operator==(const CNdefRecord& other) const
{
    return m_type == other.m_type && m_id == other.m_id && m_payload == other.m_payload
        && m_chunked == other.m_chunked && m_idFlag == other.m_idFlag;
}

bool CNdefRecord::operator!=(const CNdefRecord& other) const
{
    return !(*this == other);
}

void CNdefRecord::checkConsistency()
{
    if (m_type.id() == TNF_EMPTY && (!m_payload.isEmpty() || !m_id.isEmpty()))
        m_type = CNdefRecordType(TNF_UNKNOWN);
}

int CNdefRecord::flags() const
{
    int flags = 0;
    if (m_payload.size() <= 0xFF)
        flags |= FLAG_SR;
    if (m_chunked)
        flags |= FLAG_CF;
    // The ID length field is there whenever either asks for it, so that
    // IL and the field never disagree on the wire.
    if (m_idFlag || !m_id.isEmpty())
        flags |= FLAG_IL;
    return flags;
}

QByteArray CNdefRecord::toByteArray(int flags) const
{
    const QByteArray typeName = m_type.type();
    if (m_type.id() == TNF_INVALID || typeName.size() > MAX_DECLARED_LENGTH || m_id.size() > MAX_DECLARED_LENGTH)
        return QByteArray();
    const int header = (flags & (FLAG_MB | FLAG_ME)) | this->flags() | m_type.id();
    QByteArray bytes;
    bytes.append(char(header));
    bytes.append(char(typeName.size()));
    const quint32 payloadLength = quint32(m_payload.size());
    if (!(header & FLAG_SR)) {
        bytes.append(char(payloadLength >> 24));
        bytes.append(char(payloadLength >> 16));
        bytes.append(char(payloadLength >> 8));
    }
    bytes.append(char(payloadLength));
    if (header & FLAG_IL)
        bytes.append(char(m_id.size()));
    return bytes + typeName + m_id + m_payload;
}

CNdefRecord CNdefRecord::fromByteArray(const QByteArray& data, int offset)
{
    const CNdefRecordHeader header(data, offset);
    if (!header.isValid())
        return CNdefRecord(CNdefRecordType(TNF_INVALID), QByteArray(), QByteArray(), false, false);
    return CNdefRecord(CNdefRecordType(header.typeNameFormat(), data.mid(header.typeOffset(), header.typeLength())),
                       data.mid(header.idOffset(), header.idLength()),
                       data.mid(header.payloadOffset(), header.payloadLength()), header.flags() & FLAG_CF,
                       header.flags() & FLAG_IL);
}

CNdefRecord CNdefRecord::createTextRecord(const QString& text, const QString& locale, NdefRecordTextCodec codec)
{
    const QByteArray language = locale.left(MAX_WRITTEN_LOCALE_LENGTH).toLatin1();
    QByteArray payload(1, char(language.size() | codec));
    payload += language;
    payload += codec == TEXT_CODEC_UTF16 ? utf16BigEndian(text) : text.toUtf8();
    return CNdefRecord(CNdefRecordType::textRecordType(), QByteArray(), payload, false, false);
}

CNdefRecord CNdefRecord::createUriRecord(const QString& uri)
{
    int code = 0;
    int prefixLength = 0;
    for (int candidate = 1; candidate < URI_PREFIX_COUNT; ++candidate) {
        const QLatin1String prefix(URI_PREFIXES[candidate]);
        if (prefix.size() > prefixLength && uri.startsWith(prefix)) {
            code = candidate;
            prefixLength = prefix.size();
        }
    }
    const QByteArray payload = char(code) + uri.mid(prefixLength).toUtf8();
    return CNdefRecord(CNdefRecordType::uriRecordType(), QByteArray(), payload, false, false);
}

CNdefRecord CNdefRecord::createMimeRecord(const QString& mimeType, const QByteArray& data)
{
    return CNdefRecord(CNdefRecordType(TNF_MEDIA, mimeType.toLatin1()), QByteArray(), data, false, false);
}

CNdefRecord CNdefRecord::createExternalRecord(const QString& domain, const QString& type, const QByteArray& payload)
{
    const CNdefRecordType externalType(TNF_EXTERNAL, (domain + QLatin1Char(':') + type).toUtf8());
    return CNdefRecord(externalType, QByteArray(), payload, false, false);
}

CNdefRecord CNdefRecord::createSmartPosterRecord(const QString& uri)
{
    return createSmartPosterRecord(uri, QList<CNdefRecord>());
}

CNdefRecord CNdefRecord::createSmartPosterRecord(const QString& uri, const QString& title, const QString& locale,
                                                 NdefRecordTextCodec codec)
{
    return createSmartPosterRecord(uri, { createTextRecord(title, locale, codec) });
}

CNdefRecord CNdefRecord::createSmartPosterRecord(const QString& uri, const QList<CNdefRecord>& records)
{
    CNdefMessage content(records);
    content.appendRecord(createUriRecord(uri));
    return CNdefRecord(CNdefRecordType::smartPosterRecordType(), QByteArray(), content.toByteArray(), false, false);
}

CNdefRecord CNdefRecord::createSpActionRecord(NdefRecordAction action)
{
    return CNdefRecord(CNdefRecordType::spActionRecordType(), QByteArray(), QByteArray(1, char(action)), false, false);
}

CNdefRecord CNdefRecord::createSpSizeRecord(unsigned int size)
{
    QByteArray payload;
    for (int shift = 24; shift >= 0; shift -= 8)
        payload.append(char(size >> shift));
    return CNdefRecord(CNdefRecordType::spSizeRecordType(), QByteArray(), payload, false, false);
}

CNdefRecord CNdefRecord::createSpTypeRecord(const QString& mimeType)
{
    return CNdefRecord(CNdefRecordType::spTypeRecordType(), QByteArray(), mimeType.toUtf8(), false, false);
}

CNdefRecord CNdefRecord::createGenericControlRecord(unsigned char configuration, const CNdefRecord& target,
                                                   const CNdefRecord& action, const CNdefRecord& data)
{
    const CNdefRecord actionPart = action.type().id() == TNF_EMPTY ? CNdefRecord() : createGcActionRecord(action);
    return genericControlRecord(configuration, target, actionPart, data);
}

CNdefRecord CNdefRecord::createGenericControlRecord(unsigned char configuration, const CNdefRecord& target,
                                                   NdefRecordAction action, const CNdefRecord& data)
{
    return genericControlRecord(configuration, target, createGcActionRecord(action), data);
}

CNdefRecord CNdefRecord::genericControlRecord(unsigned char configuration, const CNdefRecord& target,
                                              const CNdefRecord& actionPart, const CNdefRecord& data)
{
    const CNdefRecordType targetType = target.type();
    if (targetType != CNdefRecordType::textRecordType() && targetType != CNdefRecordType::uriRecordType())
        return CNdefRecord(CNdefRecordType(TNF_INVALID), QByteArray(), QByteArray(), false, false);
    QByteArray payload(1, char(configuration));
    payload += createGcTargetRecord(target).toByteArray(ENCODED_ALONE);
    if (actionPart.type().id() != TNF_EMPTY)
        payload += actionPart.toByteArray(ENCODED_ALONE);
    if (data.type().id() != TNF_EMPTY)
        payload += createGcDataRecord(data).toByteArray(ENCODED_ALONE);
    return CNdefRecord(CNdefRecordType::genericControlRecordType(), QByteArray(), payload, false, false);
}

CNdefRecord CNdefRecord::createGcTargetRecord(const CNdefRecord& target)
{
    return CNdefRecord(CNdefRecordType::gcTargetRecordType(), QByteArray(), target.toByteArray(ENCODED_ALONE), false, false);
}

CNdefRecord CNdefRecord::createGcActionRecord(const CNdefRecord& action)
{
    const QByteArray payload = GC_ACTION_RECORD + action.toByteArray(ENCODED_ALONE);
    return CNdefRecord(CNdefRecordType::gcActionRecordType(), QByteArray(), payload, false, false);
}

CNdefRecord CNdefRecord::createGcActionRecord(NdefRecordAction action)
{
    QByteArray payload(1, GC_ACTION_NUMBER);
    payload.append(char(action));
    return CNdefRecord(CNdefRecordType::gcActionRecordType(), QByteArray(), payload, false, false);
}

CNdefRecord CNdefRecord::createGcDataRecord(const CNdefRecord& data)
{
    return CNdefRecord(CNdefRecordType::gcDataRecordType(), QByteArray(), data.toByteArray(ENCODED_ALONE), false, false);
}

QByteArray CNdefRecord::textLocale(const QByteArray& payload)
{
    if (payload.isEmpty())
        return QByteArray();
    return payload.mid(1, quint8(payload.at(0)) & LOCALE_LENGTH_MASK);
}

QString CNdefRecord::textText(const QByteArray& payload)
{
    if (payload.isEmpty())
        return QString();
    const quint8 status = quint8(payload.at(0));
    const QByteArray text = payload.mid(1 + (status & LOCALE_LENGTH_MASK));
    return status & TEXT_CODEC_UTF16 ? fromUtf16(text) : QString::fromUtf8(text);
}

QString CNdefRecord::uriProtocol(const QByteArray& payload)
{
    const int code = payload.isEmpty() ? 0 : quint8(payload.at(0));
    return code < URI_PREFIX_COUNT ? QString::fromLatin1(URI_PREFIXES[code]) : QString();
}

CNdefRecord CNdefRecord::getGcTargetRecord(const CNdefRecord& genericControl)
{
    return gcEmbeddedRecord(genericControl, CNdefRecordType::gcTargetRecordType());
}

CNdefRecord CNdefRecord::getGcActionRecord(const CNdefRecord& genericControl)
{
    return gcEmbeddedRecord(genericControl, CNdefRecordType::gcActionRecordType());
}

CNdefRecord CNdefRecord::getGcDataRecord(const CNdefRecord& genericControl)
{
    return gcEmbeddedRecord(genericControl, CNdefRecordType::gcDataRecordType());
}

// The parts follow the configuration byte, each a record encoded alone; the
// first of the given type counts. The action part's first byte says whether a
// record or an action number follows.
CNdefRecord CNdefRecord::gcEmbeddedRecord(const CNdefRecord& genericControl, const CNdefRecordType& partType)
{
    if (genericControl.type() != CNdefRecordType::genericControlRecordType())
        return CNdefRecord();
    const QByteArray& payload = genericControl.m_payload;
    for (int offset = 1;;) {
        const CNdefRecordHeader header(payload, offset);
        if (!header.isValid())
            return CNdefRecord();
        const CNdefRecord part = fromByteArray(payload, offset);
        if (part.type() == partType) {
            if (partType != CNdefRecordType::gcActionRecordType())
                return fromByteArray(part.m_payload, 0);
            return part.m_payload.startsWith(GC_ACTION_RECORD) ? fromByteArray(part.m_payload, 1) : CNdefRecord();
        }
        offset += header.recordLength();
    }
}
