#include "support/CSimulatorProcess.h"

#include <modbus/modbus.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// The simulator checked with a libmodbus client, so that its register map,
// identification and faults are known good before our master is tested
// against it.
namespace {
struct ModbusCloser {
    void operator()(modbus_t* context) const
    {
        modbus_close(context);
        modbus_free(context);
    }
};
using Client = std::unique_ptr<modbus_t, ModbusCloser>;

// libmodbus's own framing of a PDU (unit id, function code, data): the
// expected answer, byte for byte, with header or CRC as libmodbus makes them.
QByteArray framedByLibmodbus(bool rtu, const QByteArray& pdu)
{
    modbus_t* context = rtu ? modbus_new_rtu("/dev/null", 115200, 'E', 8, 1) : modbus_new_tcp("127.0.0.1", 0);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return {};
    modbus_set_socket(context, pair[0]);
    modbus_send_raw_request(context, reinterpret_cast<const uint8_t*>(pdu.constData()), pdu.size());
    char buffer[300];
    const ssize_t count = read(pair[1], buffer, sizeof buffer);
    modbus_free(context);
    close(pair[0]);
    close(pair[1]);
    return QByteArray(buffer, int(qMax<ssize_t>(count, 0)));
}

// Sends a raw request and collects the answer from the line: libmodbus cannot
// frame 0x2B answers, nor show broken ones. The answer ends with 150 ms of
// silence, or on TCP as soon as the MBAP length is complete; none within
// 500 ms counts as silence.
QByteArray exchangeRaw(modbus_t* client, bool rtu, const QByteArray& pdu)
{
    if (modbus_send_raw_request(client, reinterpret_cast<const uint8_t*>(pdu.constData()), pdu.size()) < 0)
        return {};
    QByteArray frame;
    pollfd line{ modbus_get_socket(client), POLLIN, 0 };
    while (frame.size() < 512 && (rtu || frame.size() < 6 || frame.size() < 6 + ((uchar(frame[4]) << 8) | uchar(frame[5])))) {
        char buffer[300];
        if (poll(&line, 1, frame.isEmpty() ? 500 : 150) <= 0)
            break;
        const ssize_t count = read(line.fd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        frame.append(buffer, int(count));
    }
    return frame;
}

// The go-to command and its answer: command 1 into the boot loader or a
// transfer, 2 to the application.
QString goTo(int command)
{
    return QStringLiteral("01 57 5000 0003 06 04c1a93e %1 > 01 57 5000 0003").arg(command, 4, 10, QChar('0'));
}

// A restart: silence, then the identification of VELTA with product code and
// revision objects (id, length, text) as given.
QStringList restartedAs(const QString& objects)
{
    return { "01 2b 0e 01 00 > ", "*01 2b 0e 01 00 > 01 2b 0e 01 01 00 00 03 00 05 56454c5441 " + objects };
}
}

class tst_paramica_devsim : public QObject
{
    Q_OBJECT

    CSimulatorProcess m_simulator;

    // Starts the simulator on TCP or on a fresh pty pair and connects a client for unit 1.
    Client startAndConnect(bool rtu, const QStringList& options)
    {
        if (!(rtu ? m_simulator.startRtu(options) : m_simulator.startTcp(options)))
            return {};
        const int baud = options.contains("--baud") ? options.value(options.indexOf("--baud") + 1).toInt() : 115200;
        Client client(rtu ? modbus_new_rtu(qPrintable(m_simulator.endpoint()), baud, options.contains("none") ? 'N' : 'E', 8, 1)
                          : modbus_new_tcp(qPrintable(m_simulator.host()), m_simulator.port()));
        if (!client || modbus_connect(client.get()) != 0) {
            QWARN(modbus_strerror(errno));
            return {};
        }
        modbus_set_slave(client.get(), 1);
        modbus_set_response_timeout(client.get(), 1, 0);
        return client;
    }

    // Each step: the request (unit id, function code, data) > the answer the
    // simulator gives, framed by libmodbus; nothing after ">" is silence, and
    // "~" an answer whose CRC (RTU) or length field (TCP) it breaks. A step
    // starting with "*" is sent again until that answer comes, for up to five
    // seconds: the end of a restart.
    void exchange(modbus_t* client, bool rtu, const QStringList& steps)
    {
        for (const QString& step : steps) {
            const QString answer = step.section('>', 1);
            QByteArray expected = answer.trimmed().isEmpty() ? QByteArray() : framedByLibmodbus(rtu, QByteArray::fromHex(answer.toLatin1()));
            if (answer.contains('~'))
                expected[rtu ? expected.size() - 1 : 5] = char(rtu ? ~expected.at(expected.size() - 1) : expected.at(5) + 1);
            const QByteArray request = QByteArray::fromHex(step.section('>', 0, 0).remove('*').toLatin1());
            const QDeadlineTimer deadline(step.startsWith('*') ? 5000 : 0);
            QByteArray frame;
            do {
                frame = exchangeRaw(client, rtu, request);
            } while (frame.mid(rtu ? 0 : 2) != expected.mid(rtu ? 0 : 2) && !deadline.hasExpired());
            // A TCP answer repeats the client's transaction identifier, which is not ours to expect.
            QVERIFY2(frame.mid(rtu ? 0 : 2) == expected.mid(rtu ? 0 : 2), qPrintable(step + " got " + frame.toHex(' ')));
        }
    }

private slots:
    // Every run ends on SIGTERM with exit code 0.
    void cleanup()
    {
        const bool running = m_simulator.isRunning();
        m_simulator.stop();
        if (running)
            QVERIFY(m_simulator.exitStatus() == QProcess::NormalExit && m_simulator.exitCode() == 0);
    }

    // One row per exchange, steps as exchange() reads them.
    void exchanges_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("rtu");
        QTest::addColumn<QStringList>("steps");

        const QStringList map{ "01 03 1234 0001 > 01 03 02 beef", "01 03 ffff 0001 > 01 03 02 0007",
                               "01 06 2000 55aa > 01 06 2000 55aa", "01 10 fffd 0003 06 0102 0304 0506 > 01 10 fffd 0003",
                               "01 04 fffc 0004 > 01 04 08 0000 0102 0304 0506", // input registers see the writes
                               "01 17 2000 0003 2001 0002 04 cafe f00d > 01 17 06 55aa cafe f00d",
                               // The map ends at 0xFFFF; a request beyond it is refused, and the next one is served again.
                               "01 03 ffff 0002 > 01 83 02", "01 03 1234 0001 > 01 03 02 beef" };
        const QStringList presets{ "--register", "0x1234=0xBEEF", "--register", "65535=7" };
        QTest::newRow("map, tcp") << presets << false << map;
        QTest::newRow("map, rtu even parity") << presets << true << map;
        QTest::newRow("map, rtu 9600 no parity") << presets + QStringList{ "--baud", "9600", "--parity", "none" } << true << map;

        // 47110001 is 0x02CED771. A device option alone serves no description.
        const QStringList plain{ "--order-number", "47110001" };
        QTest::newRow("plain identity, scan block") << plain << false << QStringList{ "01 03 0400 000a > 01 03 14 0000 0000 d771 02ce 0000 0000 0000 0000 0000 0064", "01 03 1000 0001 > 01 03 02 0000" };
        QTest::newRow("plain identity, second block") << plain << false << QStringList{ "01 03 0300 000a > 01 03 14 0000 0000 d771 02ce 0000 0000 0000 0000 0000 0064" };
        QTest::newRow("input registers mirror") << QStringList{ "--order-number", "0x12345678", "--para-version", "1.07" } << false << QStringList{ "01 04 0400 000a > 01 04 14 0000 0000 5678 1234 0000 0000 0000 0000 0000 006b" };
        // 1.15 * 100 is 114.999... in binary: rounded, not cut.
        QTest::newRow("largest order number, rounded version") << QStringList{ "--order-number", "4294967295", "--para-version", "1.15" } << false << QStringList{ "01 03 0300 000a > 01 03 14 0000 0000 ffff ffff 0000 0000 0000 0000 0000 0073" };
        QTest::newRow("presets win over identity") << plain + QStringList{ "--register", "0x0400=7", "--register", "1033=250" } << false << QStringList{ "01 03 0400 000a > 01 03 14 0007 0000 d771 02ce 0000 0000 0000 0000 0000 00fa" };

        // Parameters hold their defaults as the models cut them: setpoint 21.5
        // as 215, hysteresis 20, operating mode 1, enable 1, code 1234, -3 and
        // 80 sharing a word, the int32 -100000, the uint32 86400 and the float
        // 1.5, low word first. Writes stick.
        const QString xml = QFileInfo(QStringLiteral(PARAMICA_DEVSIM_PATH)).absolutePath() + QStringLiteral("/xml/");
        const QString tc200 = "01 03 0400 000a > 01 03 14 0000 0000 d771 02ce 0030 0000 0000 0000 0000 %1";
        QTest::newRow("first sample without options") << QStringList{} << false << QStringList{ tc200.arg("0064"), "01 03 1000 000c > 01 03 18 00d7 0014 0001 0001 04d2 fd50 7960 fffe 5180 0001 0000 3fc0", "01 06 1000 00e6 > 01 06 1000 00e6", "01 03 1000 0001 > 01 03 02 00e6" };
        QTest::newRow("sealed newer version") << QStringList{ "--description", xml + "TC200_V101.xml" } << false << QStringList{ tc200.arg("0065") };
        QTest::newRow("unsealed source") << QStringList{ "--description", PARAMICA_SAMPLE_SOURCE } << false << QStringList{ tc200.arg("0064") };
        QTest::newRow("identity option wins") << QStringList{ "--description", xml + "TC200_V101.xml", "--para-version", "1.00" } << false << QStringList{ tc200.arg("0064") };
        // 4712XXXX serves as 47120000, 0x02CEFE80.
        QTest::newRow("wildcard order number") << QStringList{ "--description", xml + "TC300.xml" } << false << QStringList{ "01 03 0400 000a > 01 03 14 0000 0000 fe80 02ce 0030 0000 0000 0000 0000 00c8" };

        QTest::newRow("exception ranges") << QStringList{ "--exception", "2:0x100-0x10F", "--exception", "4:300-300", "--exception", "9:0x4000-0x4000", "--exception", "20:0x5000-0x5000" } << false
            << QStringList{ "01 03 00f0 0011 > 01 83 02", "01 03 00ff 0001 > 01 03 02 0000", "01 03 010f 0004 > 01 83 02", "01 03 00f0 0030 > 01 83 02", // ending on the first, below, starting on the last, spanning
                            "01 04 0105 0001 > 01 84 02", "01 06 010f 1111 > 01 86 02", "01 10 00fe 0003 06 1111 1111 1111 > 01 90 02",
                            "01 17 2000 0001 0100 0001 02 1111 > 01 97 02", // the write part of a read/write
                            "01 03 012c 0001 > 01 83 04", "01 03 4000 0001 > 01 83 09", "01 06 5000 1111 > 01 86 14" }; // decimal range, codes without a name

        const QStringList unitFilter{ "05 03 0409 0001 > 05 03 02 0064", "01 03 0409 0001 > ", "05 03 0409 0001 > 05 03 02 0064" };
        QTest::newRow("unit filter, tcp") << QStringList{ "--unit", "5" } << false << unitFilter;
        QTest::newRow("unit filter, rtu") << QStringList{ "--unit", "5" } << true << unitFilter;

        // Device identification, basic objects from the given one on, texts in Latin-1.
        const QString velta = "2b 0e 01 01 00 00 03 00 05 56454c5441 01 04 34373131 02 05 56312e3030"; // VELTA, 4711, V1.00
        QTest::newRow("identification, tcp") << QStringList{} << false << QStringList{ "01 2b 0e 01 00 > 01 " + velta, "01 03 0409 0001 > 01 03 02 0064" };
        QTest::newRow("identification, rtu, unit 3") << QStringList{ "--unit", "3" } << true << QStringList{ "03 2b 0e 01 00 > 03 " + velta, "03 03 0409 0001 > 03 03 02 0064" };
        QTest::newRow("identification, Latin-1 texts") << QStringList{ "--vendor", "Ölwerk", "--product", "", "--revision", "µ2" } << true << QStringList{ "01 2b 0e 01 00 > 01 2b 0e 01 01 00 00 03 00 06 d66c7765726b 01 00 02 02 b532" };
        QTest::newRow("identification from object 2") << QStringList{} << false << QStringList{ "01 2b 0e 01 02 > 01 2b 0e 01 01 00 00 01 02 05 56312e3030" };
        // Its length is unknown from the function code: the line must go quiet, and framing goes on.
        QTest::newRow("other MEI type, rtu") << QStringList{} << true << QStringList{ "01 2b 0d 01 00 > 01 ab 01", "01 03 0409 0001 > 01 03 02 0064" };
        QTest::newRow("unknown read code") << QStringList{} << false << QStringList{ "01 2b 0e 05 00 > 01 ab 03" };

        const auto answers = [](const QString& pattern) { // 1 answered, 0 dropped, ~ corrupted
            QStringList steps;
            for (const QChar c : pattern)
                steps << QStringLiteral("01 03 0409 0001 > %1").arg(c == '0' ? "" : c == '1' ? "01 03 02 0064" : "~01 03 02 0064");
            return steps;
        };
        QTest::newRow("drop every 2nd") << QStringList{ "--drop-every", "2" } << false << answers("10101");
        QTest::newRow("drop every 3rd") << QStringList{ "--drop-every", "3" } << false << answers("11011");
        QTest::newRow("never answer") << QStringList{ "--drop-every", "1" } << false << answers("000");
        QTest::newRow("corrupt tcp length field") << QStringList{ "--corrupt-every", "2" } << false << answers("1~1");
        QTest::newRow("corrupt rtu crc") << QStringList{ "--corrupt-every", "2" } << true << answers("1~1");

        // The boot loader: the application restarts into it on command 1 and
        // is silent meanwhile; it shows its flash configuration and poll
        // registers and refuses everything else. Without a transfer, command 2
        // starts the application that was there, if there is one.
        const QString tc300 = "01 04 34373132 02 05 56322e3030"; // 4712, V2.00
        QTest::newRow("into the boot loader, rtu") << QStringList{ "--description", xml + "TC300.xml", "--firmware-version", "2.00", "--restart-delay-ms", "800" } << true
            << QStringList{ "01 2b 0e 01 00 > 01 2b 0e 01 01 00 00 03 00 05 56454c5441 " + tc300, goTo(1) }
                   + restartedAs("01 09 424c2d307831323638 02 05 56302e3931") // BL-0x1268, V0.91
                   + QStringList{ "01 03 5000 0002 > 01 03 04 0001 0080", "01 03 0200 0003 > 01 03 06 0000 0000 0000",
                                  "01 03 1000 0001 > 01 83 02", "01 03 01ff 0002 > 01 83 02", "01 04 5000 0001 > 01 84 01", "01 06 5000 0000 > 01 86 01", goTo(2) }
                   + restartedAs(tc300);
        QTest::newRow("go-to commands the application refuses or ignores") << QStringList{} << false
            << QStringList{ "01 57 5000 0003 06 04c1a93f 0001 > 01 d7 03", "01 57 5000 0003 06 04c1a93e 0003 > 01 d7 03",
                            goTo(2), "01 03 0409 0001 > 01 03 02 0064", // no restart
                            "01 59 0000 0001 02 0000 > 01 d9 01" };
        QTest::newRow("flash configuration beyond a PDU, no application") << QStringList{ "--boot-loader", "--flash-address-mode", "0", "--flash-block-length", "300", "--device-number", "0x1A" } << false
            << QStringList{ "01 03 5000 0002 > 01 03 04 0000 012c", goTo(2) } + restartedAs("01 07 424c2d30783141 02 05 56302e3931"); // still BL-0x1A
        QTest::newRow("faults in the boot loader") << QStringList{ "--boot-loader", "--drop-every", "3", "--exception", "4:0x0001-0x0001" } << false
            << QStringList{ "01 03 0200 0001 > 01 03 02 0000", "01 59 0001 0001 02 0000 > 01 d9 04", "01 03 0200 0001 > " };
    }

    void exchanges()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, rtu);
        QFETCH(QStringList, steps);
        const Client client = startAndConnect(rtu, options);
        QVERIFY(client);
        exchange(client.get(), rtu, steps);
    }

    // Firmware transfers, the received image compared byte for byte. Image
    // 1d3d...99 is valid for device 4711, version 1.07, 21 bytes: three
    // blocks of 8, 8 and 5 bytes.
    void transfers_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("rtu");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("image");

        const QString enter = goTo(1), start = goTo(2);
        const QStringList bootLoader = restartedAs("01 09 424c2d307831323637 02 05 56302e3931"); // BL-0x1267, V0.91
        const QStringList application = restartedAs("01 04 34373131 02 05 56312e3037"); // 4711, V1.07
        const auto block = [](const QString& address, const QString& bytes) {
            const int count = bytes.size() / 2;
            return QStringLiteral("01 59 %1 %2 %3 %4 > 01 59 %1 %2").arg(address).arg(count / 2, 4, 16, QChar('0')).arg(count, 2, 16, QChar('0')).arg(bytes);
        };
        const QByteArray valid = QByteArray::fromHex("1d3d000000000000 6712000000000701 feedface99");
        const QStringList byNumber{ block("0002", "feedface99"), block("0000", "1d3d000000000000"), block("0001", "6712000000000701") };
        const QStringList inBootLoader{ "--boot-loader", "--restart-delay-ms", "800", "--flash-block-length", "8" };

        QTest::newRow("update, block addresses, tcp") << QStringList{ "--restart-delay-ms", "800", "--flash-block-length", "8" } << false
            << QStringList{ "01 06 1000 4321 > 01 06 1000 4321", enter } + bootLoader + QStringList{ "01 03 5000 0002 > 01 03 04 0001 0008", enter } + byNumber
                   + QStringList{ "01 03 0200 0003 > 01 03 06 0001 0015 0000", start } + application + QStringList{ "01 03 1000 0001 > 01 03 02 4321" } // parameters kept
            << valid;
        QTest::newRow("word addresses, odd last block, rtu") << inBootLoader + QStringList{ "--flash-address-mode", "0" } << true
            << QStringList{ enter, block("0008", "feedface99"), block("0000", "1d3d000000000000"), block("0004", "6712000000000701"), start } + application
            << valid;
        QTest::newRow("wrong check value, then a good image") << inBootLoader << false
            << QStringList{ enter, block("0000", "1d3d000000000000"), block("0001", "6712000000000701"), block("0002", "feedface98"), start } + bootLoader
                   + QStringList{ enter } + byNumber + QStringList{ start } + application
            << valid;
        QTest::newRow("image of another device") << inBootLoader << false
            << QStringList{ enter, block("0000", "0932000000000000"), block("0001", "6812000000000701"), block("0002", "feedface99"), start } + bootLoader
            << QByteArray::fromHex("0932000000000000 6812000000000701 feedface99");
        QTest::newRow("shorter than the header") << inBootLoader << false
            << QStringList{ enter, block("0000", "1d3d000000000000"), start } + bootLoader << QByteArray::fromHex("1d3d000000000000");
        // Flash of 40 bytes in blocks of 16: the third block would end at 48.
        QTest::newRow("beyond the flash, longer than a block") << QStringList{ "--boot-loader", "--flash-size", "40", "--flash-block-length", "16" } << false
            << QStringList{ enter, "01 59 0002 0008 10 00112233445566778899aabbccddeeff > 01 d9 02", block("0001", "00112233445566778899aabbccddeeff"),
                            "01 59 0000 0009 12 00112233445566778899aabbccddeeff0011 > 01 d9 03", start }
            << QByteArray(16, char(0xFF)) + QByteArray::fromHex("00112233445566778899aabbccddeeff");
    }

    void transfers()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, rtu);
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, image);
        const QTemporaryDir folder;
        const QString received = folder.filePath("received.bin");
        const Client client = startAndConnect(rtu, options + QStringList{ "--flash-out", received });
        QVERIFY(client);
        exchange(client.get(), rtu, steps);
        if (QTest::currentTestFailed())
            return;
        QFile file(received);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().toHex(' '), image.toHex(' '));
    }

    // Answers come late by the delay. The count of answers starts again on
    // each connection, which then ends rather than going quiet.
    void delayAndCloseAfter()
    {
        const Client client = startAndConnect(false, { "--close-after", "2", "--delay-ms", "300" });
        QVERIFY(client);
        uint16_t value = 0;
        for (int round = 0; round < 2; ++round) {
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(modbus_read_registers(client.get(), 0x0409, 1, &value), 1);
            QVERIFY2(timer.elapsed() >= 290, qPrintable(QString::number(timer.elapsed())));
            QCOMPARE(modbus_read_registers(client.get(), 0x0409, 1, &value), 1);
            QCOMPARE(modbus_read_registers(client.get(), 0x0409, 1, &value), -1);
            QVERIFY(errno != ETIMEDOUT);
            modbus_close(client.get());
            QCOMPARE(modbus_connect(client.get()), 0);
        }
    }

    void processValuesMove()
    {
        const Client client = startAndConnect(false, {});
        QVERIFY(client);
        uint16_t first[5] = {}, now[5] = {};
        QCOMPARE(modbus_read_registers(client.get(), 0x1200, 5, first), 5);
        QTRY_VERIFY_WITH_TIMEOUT(modbus_read_registers(client.get(), 0x1200, 5, now) == 5 && now[0] != first[0], 5000);
    }

    void badSetupExitsWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{ "--frobnicate", "1" };
        QTest::newRow("missing description") << QStringList{ "--description", "/nonexistent/TC200.xml" };
        QTest::newRow("description that is not XML") << QStringList{ "--description", PARAMICA_DEVSIM_PATH };
        QTest::newRow("firmware version with a one-digit minor") << QStringList{ "--firmware-version", "1.5" };
    }

    void badSetupExitsWithTwo()
    {
        QFETCH(QStringList, arguments);
        QProcess simulator;
        simulator.start(QStringLiteral(PARAMICA_DEVSIM_PATH), arguments);
        QVERIFY(simulator.waitForFinished(5000));
        QCOMPARE(simulator.exitCode(), 2);
        QCOMPARE(simulator.readAllStandardOutput(), QByteArray());
        QVERIFY(simulator.readAllStandardError().startsWith("paramica-devsim: "));
    }
};

QTEST_GUILESS_MAIN(tst_paramica_devsim)
#include "tst_paramica_devsim.moc"
