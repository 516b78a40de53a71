#include "interfaces/nfc/CNdefMessage.h"
#include "interfaces/nfc/CTlv.h"
#include "support/ExactBytes.h"

#include <QTest>

namespace {
QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

CNdefRecord record(NdefRecordTypeId format, const QByteArray& type, const QByteArray& payload, bool chunked = false)
{
    return CNdefRecord(CNdefRecordType(format, type), QByteArray(), payload, chunked, false);
}
} // namespace

// Byte vectors worked out by hand from the NFC Forum NDEF, record type
// definition and type tag formats.
class tst_CNdef : public QObject
{
    Q_OBJECT

private slots:
    void messageEncodings_data()
    {
        QTest::addColumn<CNdefMessage>("message");
        QTest::addColumn<QByteArray>("bytes");
        const CNdefRecord hello = CNdefRecord::createTextRecord("Hello", "en", TEXT_CODEC_UTF8);
        const CNdefRecord example = CNdefRecord::createUriRecord("https://www.example.com");
        QTest::newRow("text") << CNdefMessage(hello) << hex("d1010854" "02656e" "48656c6c6f");
        QTest::newRow("text UTF-16") << CNdefMessage(CNdefRecord::createTextRecord("Hi", "en-US", TEXT_CODEC_UTF16)) << hex("d1010a54" "85656e2d5553" "00480069");
        QTest::newRow("locale cut to five") << CNdefMessage(CNdefRecord::createTextRecord("Hi", "de-CH-1", TEXT_CODEC_UTF8)) << hex("d1010854" "0564652d4348" "4869");
        QTest::newRow("URI") << CNdefMessage(example) << hex("d1010c55" "02" "6578616d706c652e636f6d");
        QTest::newRow("URI, longest prefix") << CNdefMessage(CNdefRecord::createUriRecord("ftp://ftp.abc")) << hex("d1010455" "08" "616263");
        QTest::newRow("URI, no prefix") << CNdefMessage(CNdefRecord::createUriRecord("HTTP://x")) << hex("d1010955" "00" "485454503a2f2f78");
        QTest::newRow("smart poster") << CNdefMessage(CNdefRecord::createSmartPosterRecord("https://www.example.com", "Hi", "en", TEXT_CODEC_UTF8))
                                      << hex("d1021953 70" "91010554 02656e4869" "51010c55 02 6578616d706c652e636f6d");
        QTest::newRow("smart poster, action and size") << CNdefMessage(CNdefRecord::createSmartPosterRecord("tel:123", { CNdefRecord::createSpActionRecord(ACTION_SAVE), CNdefRecord::createSpSizeRecord(300) }))
                                                       << hex("d1021753 70" "91030161637401" "11010473 0000012c" "51010455 05313233");
        QTest::newRow("generic control") << CNdefMessage(CNdefRecord::createGenericControlRecord(0x00, CNdefRecord::createUriRecord("tel:1"), ACTION_SAVE, CNdefRecord()))
                                         << hex("d1021147 63" "00" "d1010674 d10102550531" "d1010261 0101");
        QTest::newRow("external type") << CNdefMessage(CNdefRecord::createExternalRecord("example.com", "devinfo", hex("0102")))
                                       << hex("d41302" "6578616d706c652e636f6d3a646576696e666f" "0102");
        QTest::newRow("media type") << CNdefMessage(CNdefRecord::createMimeRecord("text/plain", "hi")) << hex("d20a02" "746578742f706c61696e" "6869");
        QTest::newRow("two records") << CNdefMessage({ hello, example }) << hex("91010854 02656e48656c6c6f" "51010c55 026578616d706c652e636f6d");
        QTest::newRow("ID") << CNdefMessage(CNdefRecord(CNdefRecordType::uriRecordType(), "id", hex("006162"), false, true)) << hex("d9010302 55 6964 006162");
        QTest::newRow("empty record") << CNdefMessage(CNdefRecord()) << hex("d00000");
        QTest::newRow("chunks") << CNdefMessage({ record(TNF_MEDIA, "a/b", "ab", true), record(TNF_UNCHANGED, "", "cd", true), record(TNF_UNCHANGED, "", "e") })
                                << hex("b2030261 2f62 6162" "36000263 64" "56000165");
        QTest::newRow("255 bytes, short") << CNdefMessage(record(TNF_UNKNOWN, "", QByteArray(255, 'x'))) << hex("d500ff") + QByteArray(255, 'x');
        QTest::newRow("256 bytes, long") << CNdefMessage(record(TNF_UNKNOWN, "", QByteArray(256, 'x'))) << hex("c50000000100") + QByteArray(256, 'x');
        QTest::newRow("300 bytes, long") << CNdefMessage(record(TNF_UNKNOWN, "", QByteArray(300, 'x'))) << hex("c5000000012c") + QByteArray(300, 'x');
    }

    void messageEncodings()
    {
        QFETCH(CNdefMessage, message);
        QFETCH(QByteArray, bytes);
        QVERIFY(message.isValid());
        QCOMPARE(message.toByteArray().toHex(), bytes.toHex());
        const ExactBytes exact(bytes);
        QVERIFY(CNdefMessage::fromByteArray(exact.view(), 0) == message);
        QVERIFY(CNdefRecordType::fromByteArray(exact.view(), 0) == message.first().type());
    }

    // Anything else is refused whole: an empty message.
    void decodingChecksTheMessage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("records");
        QTest::newRow("nothing") << hex("") << 0 << 0;
        QTest::newRow("two bytes") << hex("d101") << 0 << 0;
        QTest::newRow("offset past the end") << hex("d00000") << 4 << 0;
        QTest::newRow("negative offset") << hex("d00000") << -1 << 0;
        QTest::newRow("payload past the end") << hex("d1010554 026565") << 0 << 0;
        QTest::newRow("long payload length cut") << hex("c1010000") << 0 << 0;
        QTest::newRow("4 GiB payload declared") << hex("c101ffffffff54 00") << 0 << 0;
        QTest::newRow("ID length missing") << hex("d90100") << 0 << 0;
        QTest::newRow("ID past the end") << hex("d9010105 54 00") << 0 << 0;
        QTest::newRow("type past the end") << hex("d10900 54") << 0 << 0;
        QTest::newRow("reserved format") << hex("d70000") << 0 << 0;
        QTest::newRow("empty record with a type") << hex("d0010054") << 0 << 0;
        QTest::newRow("empty record with a payload") << hex("d00001 ff") << 0 << 0;
        QTest::newRow("unknown type with a name") << hex("d5010054") << 0 << 0;
        QTest::newRow("continuation without a chunk") << hex("d60000") << 0 << 0;
        QTest::newRow("no message end") << hex("91010054") << 0 << 0;
        QTest::newRow("no message begin") << hex("51010054") << 0 << 0;
        QTest::newRow("second message begin") << hex("91010054 d1010054") << 0 << 0;
        QTest::newRow("chunk not continued") << hex("b2010161 78" "51010054") << 0 << 0;
        QTest::newRow("continuation with an ID") << hex("b2010161 78" "3e000101 69 78" "56000179") << 0 << 0;
        QTest::newRow("message ends inside a chunk") << hex("f2010161 78") << 0 << 0;
        QTest::newRow("long form for a short payload") << hex("c1010000000254 6869") << 0 << 1;
        QTest::newRow("ID flag with an empty ID") << hex("d9010100 54 78") << 0 << 1;
        QTest::newRow("empty record with an empty ID") << hex("d8000000") << 0 << 1;
        QTest::newRow("bytes after the message end") << hex("d1010054 ffff") << 0 << 1;
        QTest::newRow("at an offset") << hex("ff d1010054") << 1 << 1;
    }

    void decodingChecksTheMessage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, offset);
        QFETCH(int, records);
        const ExactBytes exact(bytes);
        const CNdefMessage message = CNdefMessage::fromByteArray(exact.view(), offset);
        QCOMPARE(message.size(), records);
        QCOMPARE(message.isValid(), records > 0);
        QVERIFY(CNdefMessage::fromByteArray(message.toByteArray(), 0) == message);
    }

    void textRecords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("codec");
        QTest::newRow("UTF-8") << QString::fromUtf8("Grüße, € und 𝄞") << int(TEXT_CODEC_UTF8);
        QTest::newRow("UTF-16") << QString::fromUtf8("Grüße, € und 𝄞") << int(TEXT_CODEC_UTF16);
        QTest::newRow("empty") << QString() << int(TEXT_CODEC_UTF16);
    }

    void textRecords()
    {
        QFETCH(QString, text);
        QFETCH(int, codec);
        const QByteArray payload = CNdefRecord::createTextRecord(text, "de-CH", NdefRecordTextCodec(codec)).payload();
        QCOMPARE(CNdefRecord::textLocale(payload), QByteArray("de-CH"));
        QCOMPARE(CNdefRecord::textText(payload), text);
    }

    // Other writers may start UTF-16 text with a byte order mark, or use
    // language codes longer than the five characters we write.
    void foreignTextRecords()
    {
        QCOMPARE(CNdefRecord::textText(hex("82656e" "feff00480069")), QString("Hi"));
        QCOMPARE(CNdefRecord::textText(hex("82656e" "fffe48006900")), QString("Hi"));
        const QByteArray language(32, 'a');
        QCOMPARE(CNdefRecord::textLocale(char(language.size()) + language + "Hi"), language);
    }

    void uriRecords_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<int>("code");
        QTest::newRow("http") << "http://example.com" << 0x03;
        QTest::newRow("longest of three") << "urn:epc:id:sgtin:1" << 0x1E;
        QTest::newRow("last code") << "urn:nfc:wkt:U" << 0x23;
        QTest::newRow("prefix alone") << "mailto:" << 0x06;
        QTest::newRow("non-ASCII rest") << QString::fromUtf8("https://bücher.example") << 0x04;
    }

    void uriRecords()
    {
        QFETCH(QString, uri);
        QFETCH(int, code);
        const QByteArray payload = CNdefRecord::createUriRecord(uri).payload();
        QCOMPARE(int(quint8(payload.at(0))), code);
        QCOMPARE(CNdefRecord::uriProtocol(payload) + QString::fromUtf8(payload.mid(1)), uri);
    }

    void genericControlParts()
    {
        const CNdefRecord target = CNdefRecord::createTextRecord("pump", "en", TEXT_CODEC_UTF8);
        const CNdefRecord action = CNdefRecord::createUriRecord("tel:1");
        const CNdefRecord data = CNdefRecord::createMimeRecord("a/b", "xyz");
        const CNdefRecord control = CNdefRecord::createGenericControlRecord(0x02, target, action, data);
        QCOMPARE(int(quint8(control.payload().at(0))), 0x02);
        QVERIFY(CNdefRecord::getGcTargetRecord(control) == target);
        QVERIFY(CNdefRecord::getGcActionRecord(control) == action);
        QVERIFY(CNdefRecord::getGcDataRecord(control) == data);

        const CNdefRecord bare = CNdefRecord::createGenericControlRecord(0x00, target, CNdefRecord(), CNdefRecord());
        QCOMPARE(bare.payload(), char(0) + CNdefRecord::createGcTargetRecord(target).toByteArray(0xC0));
        QVERIFY(CNdefRecord::getGcActionRecord(bare) == CNdefRecord());
        const CNdefRecord numbered = CNdefRecord::createGenericControlRecord(0x00, target, ACTION_DO, CNdefRecord());
        QVERIFY(CNdefRecord::getGcActionRecord(numbered) == CNdefRecord());
        QCOMPARE(CNdefRecord::createGenericControlRecord(0x00, data, ACTION_DO, CNdefRecord()).type().id(), TNF_INVALID);
    }

    // What the format cannot hold is not written, rather than written wrong.
    void recordConsistency()
    {
        CNdefRecord record;
        record.setPayload("x");
        QCOMPARE(record.type(), CNdefRecordType(TNF_UNKNOWN));
        record = CNdefRecord();
        record.setId("x");
        QCOMPARE(record.type(), CNdefRecordType(TNF_UNKNOWN));
        QCOMPARE(CNdefRecordType(TNF_UNCHANGED, "x").type(), QByteArray());
        QCOMPARE(CNdefRecord(CNdefRecordType(TNF_INVALID), "", "x", false, false).toByteArray(0xC0), QByteArray());
        QCOMPARE(CNdefRecord(CNdefRecordType(TNF_EXTERNAL, QByteArray(256, 'a')), "", "", false, false).toByteArray(0xC0), QByteArray());
        QCOMPARE(CNdefMessage({ CNdefRecord(), CNdefRecord(CNdefRecordType(TNF_INVALID), "", "", false, false) }).toByteArray(), QByteArray());
        // An ID set without its flag still gets its length field.
        QCOMPARE(CNdefRecord(CNdefRecordType(TNF_UNKNOWN), "i", "", false, false).toByteArray(0xC0), hex("dd000001 69"));
    }

    void tlvBlocks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<CTlv>>("tlvs");
        QTest::addColumn<bool>("canonical"); // the TLVs encode to the bytes again
        const CTlv ndef(CTlv::NDEF_MESSAGE_TLV, hex("d00000"));
        const CTlv end = CTlv::createTerminatorTlv();
        const CTlv null = CTlv::createNullTlv();
        const QByteArray x255(255, 'x');
        QTest::newRow("NDEF and terminator") << hex("0303d00000fe") << QList<CTlv>{ ndef, end } << true;
        QTest::newRow("no terminator") << hex("0303d00000") << QList<CTlv>{ ndef } << true;
        QTest::newRow("NULL and empty NDEF") << hex("00 0300 fe") << QList<CTlv>{ null, CTlv(CTlv::NDEF_MESSAGE_TLV), end } << true;
        QTest::newRow("proprietary") << hex("fd02aabb 0303d00000 fe") << QList<CTlv>{ CTlv(CTlv::PROPRIETARY_TLV, hex("aabb")), ndef, end } << true;
        QTest::newRow("254 bytes, one-byte length") << hex("03fe") + x255.left(254) << QList<CTlv>{ CTlv(CTlv::NDEF_MESSAGE_TLV, x255.left(254)) } << true;
        QTest::newRow("255 bytes, three-byte length") << hex("03ff00ff") + x255 << QList<CTlv>{ CTlv(CTlv::NDEF_MESSAGE_TLV, x255) } << true;
        QTest::newRow("capability container ahead") << hex("e1401001 0303d00000 fe") << QList<CTlv>{ null, null, null, null, ndef, end } << false;
        QTest::newRow("nothing read after the terminator") << hex("fe 0303d00000") << QList<CTlv>{ end } << false;
        QTest::newRow("three-byte form of a short length") << hex("03ff0003 d00000") << QList<CTlv>{ ndef } << false;
        QTest::newRow("value past the end") << hex("03ff0100") + x255 << QList<CTlv>() << false;
        QTest::newRow("short value past the end") << hex("00 0305d00000") << QList<CTlv>{ null } << false;
        QTest::newRow("no length") << hex("03") << QList<CTlv>() << false;
        QTest::newRow("three-byte length cut") << hex("fdff01") << QList<CTlv>() << false;
    }

    void tlvBlocks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<CTlv>, tlvs);
        QFETCH(bool, canonical);
        const ExactBytes exact(bytes);
        QVERIFY(CTlv::fromByteArray(exact.view(), 0) == tlvs);
        QByteArray encoded;
        for (const CTlv& tlv : tlvs)
            encoded += tlv.toByteArray();
        QCOMPARE(encoded == bytes, canonical);
        QVERIFY(CTlv::fromByteArray(encoded, 0) == tlvs);
    }

    // The device-information record as a tag emulator writes it into 128
    // bytes of tag memory and the reader adapter finds it again.
    void tagMemory()
    {
        const CNdefRecord devinfo = CNdefRecord::createExternalRecord("example.com", "devinfo", hex("12345678"));
        QByteArray memory = hex("e1401001") + CTlv::createNdefMessageTlv(CNdefMessage(devinfo)).toByteArray()
            + CTlv::createTerminatorTlv().toByteArray();
        memory.append(QByteArray(128 - memory.size(), '\0'));
        const ExactBytes exact(memory);
        QList<CNdefMessage> found;
        for (const CTlv& tlv : CTlv::fromByteArray(exact.view(), 0))
            if (tlv.type() == CTlv::NDEF_MESSAGE_TLV)
                found.append(CNdefMessage::fromByteArray(tlv.value(), 0));
        QCOMPARE(found.size(), 1);
        QVERIFY(found.first() == CNdefMessage(devinfo));
        QCOMPARE(found.first().record(CNdefRecordType(TNF_EXTERNAL, "example.com:devinfo")).payload(), hex("12345678"));
        QCOMPARE(CTlv(CTlv::NDEF_MESSAGE_TLV, QByteArray(CTlv::MAX_VALUE_LENGTH + 1, 'x')).toByteArray(), QByteArray());
    }
};

QTEST_APPLESS_MAIN(tst_CNdef)
#include "tst_CNdef.moc"
