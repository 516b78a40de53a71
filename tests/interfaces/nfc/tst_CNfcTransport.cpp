#include "interfaces/nfc/CNfcInterface.h"
#include "interfaces/nfc/CPCSCAdapter.h"
#include "protocol/CRC16.h"
#include "support/CPcscdProcess.h"
#include "support/CTagSimProcess.h"

#include <QSignalSpy>
#include <QTest>

// The PC/SC adapter and the NFC transport against pcscd with its virtual
// readers and emulated tags.
class tst_CNfcTransport : public QObject
{
    Q_OBJECT

    CPcscdProcess m_pcscd;
    CTagSimProcess m_tag;
    const QString UID = QStringLiteral("e0040150a1b2c3d4");

    // A started adapter with the tag in its reader's field.
    bool connectTag(CPCSCAdapter& adapter, QSignalSpy& connected)
    {
        return m_tag.start({ "--uid", UID.toUpper() }) && adapter.start()
            && (connected.count() > 0 || connected.wait(5000));
    }

private slots:
    void initTestCase() { QVERIFY(m_pcscd.start()); }

    void cleanup() { m_tag.stop(); }

    // Only the first reader is watched: a tag on the second one goes unseen,
    // the one on the first is taken with its type and serial number.
    void firstReaderAndTag()
    {
        CTagSimProcess second;
        QVERIFY(second.start({ "--port", "35964", "--uid", "0102030405060708" }));
        CPCSCAdapter adapter;
        QSignalSpy connected(&adapter, &CNfcAdapter::targetConnected);
        QSignalSpy logged(&adapter, &CMessageSender::logMessage);
        QSignalSpy types(&adapter, &CNfcAdapter::targetTypeChanged);
        QVERIFY(adapter.start());
        QCOMPARE(adapter.readerName(), QString(CPcscdProcess::FIRST_READER));
        QVERIFY(logged.contains({ "Reader [1] Virtual PCD 00 01" }));
        QVERIFY(m_tag.start({ "--uid", UID.toUpper() }));
        QVERIFY(connected.wait(5000));
        QCOMPARE(connected.count(), 1);
        QCOMPARE(adapter.targetSNr(), UID);
        QCOMPARE(adapter.targetType(), QStringLiteral("ISO 15693"));
        QCOMPARE(types.count(), 1);
        QVERIFY(adapter.isTargetConnected());
        QVERIFY(adapter.stop());
        QVERIFY(!adapter.isActive() && !adapter.isTargetConnected());
    }

    // A tag that leaves is reported and the next one found again.
    void tagLeavesAndReturns()
    {
        CPCSCAdapter adapter;
        QSignalSpy connected(&adapter, &CNfcAdapter::targetConnected);
        QSignalSpy lost(&adapter, &CNfcAdapter::targetLost);
        QVERIFY(connectTag(adapter, connected));
        QVERIFY(m_tag.toggle());
        QVERIFY(lost.wait(5000));
        QVERIFY(!adapter.isTargetConnected());
        QVERIFY(adapter.targetSNr().isEmpty());
        QVERIFY(m_tag.toggle());
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, 5000);
        QCOMPARE(adapter.targetSNr(), UID);
    }

    void exchange_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("answer");
        // The sample's version block at byte 128: 1.05, 2.00, 1.00 and their CRC.
        QTest::newRow("read single block") << QByteArray::fromHex("2020") << QByteArray::fromHex("90006900c800");
        QTest::newRow("read multiple blocks") << QByteArray::fromHex("232001") << QByteArray::fromHex("90006900c80064001d82");
        QTest::newRow("write single block") << QByteArray::fromHex("21f011223344") << QByteArray::fromHex("9000");
        QTest::newRow("failure status word as it is") << QByteArray::fromHex("2b00") << QByteArray::fromHex("6a81");
    }

    // Tag commands go out in the reader's pass-through command; the status
    // word of a good answer comes first.
    void exchange()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        CPCSCAdapter adapter;
        QSignalSpy connected(&adapter, &CNfcAdapter::targetConnected);
        QByteArray received;
        connect(&adapter, &CNfcAdapter::dataRead, this, [&received](const char* data, int length) { received = QByteArray(data, length); });
        QVERIFY(connectTag(adapter, connected));
        adapter.writeData(command);
        QCOMPARE(received.toHex(), answer.toHex());
        if (command.startsWith('\x21')) {
            adapter.writeData(QByteArray::fromHex("20f0"));
            QCOMPARE(received.toHex(), QByteArray("900011223344"));
        }
    }

    // The NDEF message in the first 128 bytes carries the maker's
    // device-information record, its payload ending in its CRC.
    void ndefRecords()
    {
        CPCSCAdapter adapter;
        QSignalSpy connected(&adapter, &CNfcAdapter::targetConnected);
        QSignalSpy records(&adapter, &CNfcAdapter::ndefRecordsRead);
        QVERIFY(connectTag(adapter, connected));
        adapter.readNdefMessages();
        QCOMPARE(records.count(), 1);
        const NdefRecordList list = records.first().first().value<NdefRecordList>();
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().first, CNfcAdapter::MAKER_DOMAIN + QStringLiteral(":devinfo"));
        const QByteArray payload = list.first().second;
        QCOMPARE(payload.size(), 18);
        const quint16 crc = CRC16::calc_crc(payload.left(16));
        QCOMPARE(payload.right(2), QByteArray(1, char(crc >> 8)) + char(crc & 0xFF));
    }

    void atr_data()
    {
        QTest::addColumn<QByteArray>("atr");
        QTest::addColumn<QString>("type");
        const QByteArray contactless = QByteArray::fromHex("3b8f8001804f0ca0000003060b001400000000");
        const auto withCheck = [](QByteArray atr) {
            char check = 0;
            for (int i = 1; i < atr.size(); ++i)
                check = char(check ^ atr.at(i));
            return atr.append(check);
        };
        QByteArray standard3 = contactless;
        standard3[12] = 0x03;
        QByteArray standard4 = contactless;
        standard4[12] = 0x04;
        QByteArray inverse = contactless;
        inverse[0] = char(0x3F);
        QByteArray wrongTs = contactless;
        wrongTs[0] = 0x3A;
        QTest::newRow("ISO 15693") << withCheck(contactless) << "ISO 15693";
        QTest::newRow("standard 03") << withCheck(standard3) << "ISO 14443 A, Level 3 or 4 (and Mifare)";
        QTest::newRow("standard 04") << withCheck(standard4) << "Unknown";
        QTest::newRow("TS 3F passes") << withCheck(inverse) << "ISO 15693";
        QTest::newRow("TS 3A ignored") << withCheck(wrongTs) << "";
        QTest::newRow("no check byte ignored") << contactless << "";
        QTest::newRow("too few historical bytes") << withCheck(QByteArray::fromHex("3b8880018041414141414141")) << "";
    }

    void atr()
    {
        QFETCH(QByteArray, atr);
        QFETCH(QString, type);
        CPCSCAdapter adapter;
        adapter.parseAtr(atr);
        QCOMPARE(adapter.targetType(), type);
    }

    void resolveResponse()
    {
        CPCSCAdapter adapter;
        QCOMPARE(adapter.resolveResponse(QByteArray::fromHex("01029000")).toHex(), QByteArray("90000102"));
        QCOMPARE(adapter.resolveResponse(QByteArray::fromHex("01026a82")).toHex(), QByteArray("01026a82"));
    }

    void statusMessages_data()
    {
        QTest::addColumn<qlonglong>("status");
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("warnings");
        QTest::newRow("success") << 0LL << 0 << 0;
        QTest::newRow("no smart card") << 0x8010000CLL << 1 << 0;
        QTest::newRow("removed card") << 0x80100069LL << 0 << 1;
    }

    // Failures from the SCARD_W_ range on are warnings, the rest errors.
    void statusMessages()
    {
        QFETCH(qlonglong, status);
        QFETCH(int, errors);
        QFETCH(int, warnings);
        CPCSCAdapter adapter;
        QSignalSpy errorSpy(&adapter, &CMessageSender::errorMessage);
        QSignalSpy warningSpy(&adapter, &CMessageSender::warningMessage);
        QMetaObject::invokeMethod(&adapter, "statusMessage", Q_ARG(long, long(status)),
                                  Q_ARG(QString, CPCSCAdapter::printStatus(long(status), "SCardTransmit")));
        QCOMPARE(errorSpy.count(), errors);
        QCOMPARE(warningSpy.count(), warnings);
        const QList<QVariant> shown = errors ? errorSpy.value(0) : warningSpy.value(0);
        if (!shown.isEmpty())
            QCOMPARE(shown, (QList<QVariant>{ "NFC Adapter", CPCSCAdapter::statusText(long(status)) }));
    }

    // Without the service the waiting thread fails and the adapter cannot
    // start; the transport keeps trying quietly and says once that it is
    // ready when the service is back. Data for a closed port goes nowhere.
    void withoutService()
    {
        if (!m_pcscd.startedHere())
            QSKIP("pcscd was not started by this suite");
        CPCSCAdapter adapter;
        QSignalSpy failed(&adapter, &CNfcAdapter::error);
        QSignalSpy errors(&adapter, &CMessageSender::errorMessage);
        QVERIFY(adapter.start());
        m_pcscd.stop();
        QVERIFY(failed.wait(5000));
        adapter.stop();
        QVERIFY(!adapter.start());
        QCOMPARE(errors.last(), (QList<QVariant>{ "NFC Adapter", "The Smart card resource manager is not running." }));

        CNfcInterface nfc;
        QSignalSpy infos(&nfc, &CMessageSender::infoMessage);
        QSignalSpy interfaceErrors(&nfc, &CMessageSender::errorMessage);
        int delivered = 0;
        connect(&nfc, &CBaseInterface::dataRead, this, [&delivered] { ++delivered; });
        connect(&nfc, &CBaseInterface::dataWritten, this, [&delivered] { ++delivered; });
        QVERIFY(!nfc.openPort());
        QCOMPARE(interfaceErrors.count(), 1);
        nfc.sendData("\x20\x00", 2);
        QVERIFY(m_pcscd.start());
        QVERIFY(infos.wait(5000));
        QCOMPARE(infos, (QList<QList<QVariant>>{ { "NFC interface", "NFC interface is ready!" } }));
        QCOMPARE(interfaceErrors.count(), 1);
        QVERIFY(nfc.isPortOpen());
        QCOMPARE(nfc.portName(), QString(CPcscdProcess::FIRST_READER));
        QCOMPARE(delivered, 0);
        nfc.closePort();
    }
};

QTEST_GUILESS_MAIN(tst_CNfcTransport)
#include "tst_CNfcTransport.moc"
