#include "interfaces/nfc/CNfcAdapter.h"
#include "protocol/CNfcMaster.h"

#include <QSignalSpy>
#include <QTest>

// The NFC master's tag commands and its reading of the answers, against tag
// memory kept here and answered at once, as the PC/SC adapter answers.
class tst_CNfcMaster : public QObject
{
    Q_OBJECT

    struct Tag {
        QByteArray memory = QByteArray(1024, '\0');
        QList<QByteArray> commands;

        QByteArray answer(const QByteArray& command) const
        {
            const int block = uchar(command.at(1));
            if (command.at(0) == CNfcAdapter::WRITE_SINGLE_BLOCK)
                return QByteArray::fromHex("9000");
            const int count = CNfcAdapter::commandBlockCount(command);
            return QByteArray::fromHex("9000") + memory.mid(block * 4, count * 4);
        }
    };

    // The master with a tag in the field; each command is recorded and, for
    // writes, carried out before it is answered.
    static void attach(CNfcMaster& master, Tag& tag)
    {
        connect(&master, &CProtocolMaster::write, &master, [&master, &tag](const char* data, int length) {
            const QByteArray command(data, length);
            tag.commands.append(command);
            if (command.at(0) == CNfcAdapter::WRITE_SINGLE_BLOCK)
                tag.memory.replace(uchar(command.at(1)) * 4, 4, command.mid(2));
            const QByteArray answer = tag.answer(command);
            master.resolveResponse(answer.constData(), answer.size());
        });
        master.targetConnected(true);
    }

    static QByteArray deviceInformation(quint32 deviceNumber)
    {
        // As the library sends it: the low word first, each word high byte first.
        QByteArray data(16, '\0');
        data[4] = char(deviceNumber >> 8);
        data[5] = char(deviceNumber);
        data[6] = char(deviceNumber >> 24);
        data[7] = char(deviceNumber >> 16);
        return CNfcMaster::add_crc(data);
    }

private slots:
    void commands_data()
    {
        QTest::addColumn<CRequest>("request");
        QTest::addColumn<QByteArrayList>("commands");
        QTest::addColumn<QByteArray>("answer"); // dataResponse; "ack" for a write
        QTest::addColumn<QByteArray>("memory"); // the stored range afterwards, from its address
        const QByteArray version = QByteArray::fromHex("000100020064");
        QTest::newRow("read 6 bytes at 128: two blocks") << CRequest(REQUEST_READ_DEVICE_INFO, 3, 128, 6) << QByteArrayList{ QByteArray::fromHex("232001") } << QByteArray::fromHex("0080") + version << QByteArray();
        QTest::newRow("read 2 bytes at 0: one block") << CRequest(REQUEST_READ_PARA, 3, 0, 2) << QByteArrayList{ QByteArray::fromHex("2000") } << QByteArray::fromHex("0000") + version.left(2) << QByteArray();
        QTest::newRow("read 60 bytes at 320: in two parts") << CRequest(REQUEST_READ_PARA, 3, 320, 60) << QByteArrayList{ QByteArray::fromHex("23500e"), QByteArray::fromHex("235f00") } << QByteArray::fromHex("0140") + QByteArray(60, '\x5a') << QByteArray();
        const QByteArray written = CNfcMaster::add_crc(QByteArray::fromHex("1234"));
        QTest::newRow("write 2 bytes at 8: one block") << CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 8, 2, QByteArray::fromHex("1234")) << QByteArrayList{ QByteArray::fromHex("2102") + written } << QByteArray("ack") << QByteArray::fromHex("3412") + written.right(2);
        const QByteArray eight = QByteArray::fromHex("0102030405060708");
        const QByteArray stored = CNfcMaster::add_crc(eight) + QByteArray::fromHex("ffff");
        QTest::newRow("write 8 bytes at 16: three blocks, padded") << CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 16, 8, eight) << QByteArrayList{ QByteArray::fromHex("2104") + stored.mid(0, 4), QByteArray::fromHex("2105") + stored.mid(4, 4), QByteArray::fromHex("2106") + stored.mid(8, 4) } << QByteArray("ack") << stored;
        QTest::newRow("misaligned address refused") << CRequest(REQUEST_READ_PARA, 3, 130, 4) << QByteArrayList{} << QByteArray() << QByteArray();
        QTest::newRow("range past the end refused") << CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 1020, 4, eight.left(4)) << QByteArrayList{} << QByteArray() << QByteArray();
        QTest::newRow("odd data refused") << CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 16, 3, eight.left(3)) << QByteArrayList{} << QByteArray() << QByteArray();
    }

    void commands()
    {
        QFETCH(CRequest, request);
        QFETCH(QByteArrayList, commands);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, memory);
        CNfcMaster master;
        Tag tag;
        tag.memory.replace(128, 8, CNfcMaster::add_crc(QByteArray::fromHex("000100020064")));
        tag.memory.replace(0, 4, CNfcMaster::add_crc(QByteArray::fromHex("0001")));
        tag.memory.replace(320, 62, CNfcMaster::add_crc(QByteArray(60, '\x5a')));
        attach(master, tag);
        QSignalSpy data(&master, &CProtocolMaster::dataResponse);
        QSignalSpy acks(&master, &CProtocolMaster::ack);
        QSignalSpy warnings(&master, &CMessageSender::warningMessage);
        master.buildRequest(request);
        if (commands.isEmpty()) {
            QCOMPARE(master.queuedCount(), 0);
            QCOMPARE(warnings.count(), 1);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(tag.commands.size(), commands.size(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(data.count() + acks.count(), 1, 1000);
        QCOMPARE(tag.commands, commands);
        if (answer == "ack")
            QCOMPARE(acks.count(), 1);
        else
            QCOMPARE(data.first().first().toByteArray().toHex(), answer.toHex());
        if (!memory.isEmpty())
            QCOMPARE(tag.memory.mid(request.writeAddress, memory.size()).toHex(), memory.toHex());
        QVERIFY(warnings.isEmpty());
    }

    // The scan takes the device number from the device-information record and
    // the version from byte 128; it is reported when it differs from the last one.
    void scan()
    {
        CNfcMaster master;
        Tag tag;
        tag.memory.replace(128, 8, CNfcMaster::add_crc(QByteArray::fromHex("000100020069")));
        attach(master, tag);
        connect(&master, &CNfcMaster::readNdefMessages, &master, [&master] {
            master.ndefRecordsRead({ { QStringLiteral("velta.com:devinfo"), deviceInformation(47130001) } });
        });
        QSignalSpy scans(&master, &CProtocolMaster::scanResponse);
        QSignalSpy warnings(&master, &CMessageSender::warningMessage);
        const QList<CRequest> scanRequests{ CRequest(REQUEST_SCAN, 0, 1024, 16), CRequest(REQUEST_SCAN, 0, 128, 6) };
        for (int round = 0; round < 2; ++round) {
            master.buildRequests(scanRequests);
            QTRY_COMPARE_WITH_TIMEOUT(tag.commands.size(), round + 1, 1000);
        }
        QCOMPARE(scans.count(), 1);
        QCOMPARE(scans.first().first().toStringList(), (QStringList{ "47130001", "1.05" }));
        // The version alone does not make a scan.
        master.buildRequest(scanRequests.last());
        QTRY_COMPARE_WITH_TIMEOUT(warnings.count(), 1, 1000);
        QCOMPARE(warnings.first().last().toString(), QStringLiteral("Scan: Scan for NFC device went wrong!"));
        QCOMPARE(scans.count(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_CNfcMaster)
#include "tst_CNfcMaster.moc"
