#include "protocol/CModbusMaster.h"
#include "protocol/CRC16.h"

#include <QSignalSpy>
#include <QTest>

#include <vector>

// Telegrams as the Modbus master puts them on the line. TCP frames carry no
// checksum, so they show the payload builders byte for byte; RTU framing is
// proven against the simulator.
class tst_CModbusTelegrams : public QObject
{
    Q_OBJECT

    // The first telegram the master sends for the request, or empty if it
    // builds none.
    static QByteArray sentTelegram(CModbusMaster& master, const CRequest& request)
    {
        QByteArray sent;
        QObject receiver;
        connect(&master, &CProtocolMaster::write, &receiver, [&sent](const char* buffer, int count) { sent = QByteArray(buffer, count); });
        master.buildRequest(request);
        if (master.queuedCount() > 0 && !QTest::qWaitFor([&sent] { return !sent.isEmpty(); }, 1000))
            QWARN("a queued telegram was not sent");
        return sent;
    }

private slots:
    void crcVectors_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("crc");
        QTest::newRow("empty") << QByteArray() << 0xFFFF;
        QTest::newRow("check string") << QByteArray("123456789") << 0x374B;
        QTest::newRow("read request") << QByteArray::fromHex("01030000000a") << 0xC5CD;
        QTest::newRow("single byte") << QByteArray::fromHex("01") << 0x7E80;
    }

    void crcVectors()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, crc);
        QCOMPARE(int(CRC16::calc_crc(bytes)), crc);
        QCOMPARE(int(CRC16::calc_crc(bytes.constData(), uint(bytes.size()))), crc);
    }

    void tcpTelegrams_data()
    {
        QTest::addColumn<CRequest>("request");
        QTest::addColumn<QByteArray>("afterTransaction");
        QTest::addColumn<bool>("refused"); // with a warning, as opposed to silently built into nothing

        QTest::newRow("read") << CRequest(REQUEST_READ_PARA, 3, 0, 20) << QByteArray::fromHex("000000060103" "0000000a") << false;
        QTest::newRow("read odd byte length rounds down") << CRequest(REQUEST_READ_GENERIC, 4, 0x0100, 5) << QByteArray::fromHex("000000060104" "01000002") << false;
        QTest::newRow("device identification") << CRequest(REQUEST_READ_DEVICE_ID, 0x2B) << QByteArray::fromHex("00000005012b" "0e0100") << false;
        QTest::newRow("read/write") << CRequest(REQUEST_READ_WRITE_COMMISSIONING, 23, 0x10, 4, 0x20, 2, QByteArray::fromHex("1234")) << QByteArray::fromHex("0000000d0117" "0010000200200001021234") << false;
        QTest::newRow("write multiple") << CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 0x30, 4, QByteArray::fromHex("00010002")) << QByteArray::fromHex("0000000b0110" "003000020400010002") << false;
        QTest::newRow("write single, value in host order") << CRequest(REQUEST_WRITE_GENERIC_SINGLE, 6, 0, 0, 0x40, 2, QByteArray::fromHex("3412")) << QByteArray::fromHex("000000060106" "00401234") << false;
        QTest::newRow("clear error log") << CRequest(REQUEST_CLEAR_ERRORLOG, 6, 0, 0, 0x41, 2, QByteArray::fromHex("0100")) << QByteArray::fromHex("000000060106" "00410001") << false;
        QTest::newRow("go to boot loader") << CRequest(REQUEST_GOTO_BOOTLOADER, 0x57, 0, 0, 0x5000, 2, QByteArray::fromHex("0100")) << QByteArray::fromHex("0000000d0157" "5000000306" "04c1a93e" "0001") << false;
        QTest::newRow("go to application") << CRequest(REQUEST_GOTO_APPLICATION, 0x57, 0, 0, 0x5000, 2, QByteArray::fromHex("0200")) << QByteArray::fromHex("0000000d0157" "5000000306" "04c1a93e" "0002") << false;
        QTest::newRow("read of 125 registers") << CRequest(REQUEST_READ_GENERIC, 3, 0, 250) << QByteArray::fromHex("000000060103" "0000007d") << false;

        const QByteArray none;
        QTest::newRow("read of no bytes") << CRequest(REQUEST_READ_PARA, 3, 0, 0) << none << false;
        QTest::newRow("write of no bytes") << CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 0x30, 0) << none << false;
        QTest::newRow("single write of three bytes") << CRequest(REQUEST_WRITE_GENERIC_SINGLE, 6, 0, 0, 0x40, 2, QByteArray::fromHex("010203")) << none << true;
        QTest::newRow("go-to with wrong length") << CRequest(REQUEST_GOTO_BOOTLOADER, 0x57, 0, 0, 0x5000, 4, QByteArray::fromHex("01000000")) << none << true;
        QTest::newRow("generic read/write has no builder") << CRequest(REQUEST_READ_WRITE_GENERIC, 23, 0x10, 2, 0x20, 2, QByteArray::fromHex("0001")) << none << false;
        QTest::newRow("update telegrams come only from the flasher") << CRequest(REQUEST_FIRMWARE_UPDATE, 0x59, 0, 0, 0, 2, QByteArray::fromHex("0001")) << none << false;
        QTest::newRow("read of 126 registers") << CRequest(REQUEST_READ_GENERIC, 3, 0, 252) << none << true;
        QTest::newRow("write of 124 registers") << CRequest(REQUEST_WRITE_GENERIC, 16, 0, 0, 0x30, 248, QByteArray(248, 1)) << none << true;
        QTest::newRow("read/write of 122 registers") << CRequest(REQUEST_READ_WRITE_COMMISSIONING, 23, 0x10, 2, 0x20, 244, QByteArray(244, 1)) << none << true;
        QTest::newRow("write data shorter than its length") << CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 0x30, 4, QByteArray::fromHex("0001")) << none << true;
        QTest::newRow("write of half a register") << CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 0x30, 3, QByteArray::fromHex("000102")) << none << true;
    }

    void tcpTelegrams()
    {
        QFETCH(CRequest, request);
        QFETCH(QByteArray, afterTransaction);
        QFETCH(bool, refused);
        CModbusMaster master(PROTOCOL_MODBUS_TCP);
        QSignalSpy warnings(&master, &CMessageSender::warningMessage);
        const QByteArray frame = sentTelegram(master, request);
        QCOMPARE(warnings.count(), refused ? 1 : 0);
        QCOMPARE(frame, afterTransaction.isEmpty() ? QByteArray() : QByteArray::fromHex("0001") + afterTransaction);
        master.reset(); // the next telegram carries the next transaction
        QCOMPARE(sentTelegram(master, request).left(2), afterTransaction.isEmpty() ? QByteArray() : QByteArray::fromHex("0002"));
    }

    void answersMatchTheOutstandingRequest_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("pending"); // the request is still outstanding when the answer arrives
        QTest::addColumn<bool>("taken");
        QTest::newRow("its answer") << QByteArray::fromHex("0001" "000000050103020007") << true << true;
        QTest::newRow("answer of an earlier transaction") << QByteArray::fromHex("0000" "000000050103020007") << true << false;
        QTest::newRow("no request outstanding") << QByteArray::fromHex("0001" "000000050103020007") << false << false;
        QTest::newRow("no function code") << QByteArray::fromHex("0001" "0000000101") << true << false;
    }

    void answersMatchTheOutstandingRequest()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, pending);
        QFETCH(bool, taken);
        CModbusMaster master(PROTOCOL_MODBUS_TCP);
        QSignalSpy written(&master, &CProtocolMaster::write);
        QSignalSpy data(&master, &CProtocolMaster::dataResponse);
        master.buildRequest(CRequest(REQUEST_READ_GENERIC, 3, 0x0010, 2));
        QVERIFY(written.wait(1000));
        if (!pending)
            master.reset();
        // An exact-size copy, so that a read past the frame shows under the sanitizer.
        std::vector<char> frame(answer.begin(), answer.end());
        master.resolveResponse(frame.data(), int(frame.size()));
        QCOMPARE(data.count(), taken ? 1 : 0);
        QCOMPARE(master.state() == CProtocolMaster::STATE_WAITING, pending && !taken);
    }

};

QTEST_GUILESS_MAIN(tst_CModbusTelegrams)
#include "tst_CModbusTelegrams.moc"
