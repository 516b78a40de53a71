// libFuzzer target: any bytes as NFC tag memory, decoded as the reader adapter
// does it (TLV blocks from the start, the value of each NDEF message TLV as an
// NDEF message), and decoded as an NDEF message itself, so that inputs reach
// the record decoder without TLV framing as well. Whatever decodes must encode
// and decode to itself, never longer than it came; the TLVs too. The payload
// readers must cope with what the records carry, smart posters and generic
// control records followed a few levels down.

#include "interfaces/nfc/CNdefMessage.h"
#include "interfaces/nfc/CTlv.h"
#include "support/ExactBytes.h"

#include <cstdlib>

namespace {
// Smart posters hold messages and generic control records hold records; the
// target follows them this deep.
const int MAX_DEPTH = 4;

void checkMessage(const QByteArray& bytes, int depth);

void readRecord(const CNdefRecord& record, int depth)
{
    if (depth > MAX_DEPTH)
        return;
    const CNdefRecordType type = record.type();
    const ExactBytes payload(record.payload());
    if (type == CNdefRecordType::textRecordType()) {
        CNdefRecord::textLocale(payload.view());
        CNdefRecord::textText(payload.view());
    } else if (type == CNdefRecordType::uriRecordType()) {
        CNdefRecord::uriProtocol(payload.view());
    } else if (type == CNdefRecordType::smartPosterRecordType()) {
        checkMessage(payload.view(), depth + 1);
    } else if (type == CNdefRecordType::genericControlRecordType()) {
        const CNdefRecord control(type, QByteArray(), payload.view(), false, false);
        readRecord(CNdefRecord::getGcTargetRecord(control), depth + 1);
        readRecord(CNdefRecord::getGcActionRecord(control), depth + 1);
        readRecord(CNdefRecord::getGcDataRecord(control), depth + 1);
    }
}

void checkMessage(const QByteArray& bytes, int depth)
{
    const ExactBytes exact(bytes);
    const CNdefMessage message = CNdefMessage::fromByteArray(exact.view(), 0);
    if (!message.isValid()) {
        if (!message.isEmpty())
            std::abort(); // refused messages are empty
        return;
    }
    if (!(CNdefRecord::fromByteArray(exact.view(), 0).type() == CNdefRecordType::fromByteArray(exact.view(), 0)))
        std::abort();
    const QByteArray encoded = message.toByteArray();
    if (encoded.isEmpty() || encoded.size() > bytes.size())
        std::abort();
    if (!(CNdefMessage::fromByteArray(ExactBytes(encoded).view(), 0) == message))
        std::abort();
    for (const CNdefRecord& record : message)
        readRecord(record, depth);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const ExactBytes memory(input);
    const QList<CTlv> tlvs = CTlv::fromByteArray(memory.view(), 0);
    QByteArray encoded;
    for (const CTlv& tlv : tlvs) {
        const QByteArray block = tlv.toByteArray();
        if (block.isEmpty())
            std::abort();
        encoded += block;
        if (tlv.type() == CTlv::NDEF_MESSAGE_TLV)
            checkMessage(tlv.value(), 0);
    }
    if (CTlv::fromByteArray(ExactBytes(encoded).view(), 0) != tlvs)
        std::abort();
    checkMessage(input, 0);
    return 0;
}
