#include "support/CSimulatorProcess.h"
#include "support/CSocatPtyPair.h"

#include <modbus/modbus.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
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
}

class tst_paramica_devsim : public QObject
{
    Q_OBJECT

    CSimulatorProcess m_simulator;
    std::unique_ptr<CSocatPtyPair> m_pty;

    // Starts the simulator on TCP or on a fresh pty pair and connects a client.
    Client startAndConnect(bool rtu, const QStringList& arguments, int unit = 1)
    {
        modbus_t* context = nullptr;
        if (rtu) {
            m_pty.reset(new CSocatPtyPair);
            if (!m_pty->isValid() || !m_simulator.startRtu(m_pty->deviceEnd(), arguments))
                return {};
            const char parity = arguments.contains("none") ? 'N' : arguments.contains("odd") ? 'O' : 'E';
            const int baud = arguments.contains("--baud") ? arguments.value(arguments.indexOf("--baud") + 1).toInt()
                                                          : 115200;
            context = modbus_new_rtu(qPrintable(m_pty->libraryEnd()), baud, parity, 8, 1);
        } else {
            if (!m_simulator.startTcp(arguments))
                return {};
            context = modbus_new_tcp(qPrintable(m_simulator.host()), m_simulator.port());
        }
        if (!context || modbus_connect(context) != 0) {
            QWARN(modbus_strerror(errno));
            if (context)
                modbus_free(context);
            return {};
        }
        modbus_set_slave(context, unit);
        modbus_set_response_timeout(context, 1, 0);
        return Client(context);
    }

    // Sends a raw request and collects the answer from the line: libmodbus
    // cannot frame 0x2B answers. The answer ends with 150 ms of silence, or
    // on TCP as soon as the MBAP length is complete.
    static QByteArray exchangeRaw(modbus_t* client, bool rtu, const QByteArray& pdu)
    {
        if (modbus_send_raw_request(client, reinterpret_cast<const uint8_t*>(pdu.constData()), pdu.size()) < 0)
            return {};
        QByteArray frame;
        const QDeadlineTimer deadline(3000);
        pollfd line{ modbus_get_socket(client), POLLIN, 0 };
        while (!deadline.hasExpired()) {
            if (!rtu && frame.size() >= 6 && frame.size() >= 6 + ((uchar(frame[4]) << 8) | uchar(frame[5])))
                break;
            const int ready = poll(&line, 1, frame.isEmpty() ? int(deadline.remainingTime()) : 150);
            if (ready <= 0)
                break;
            char buffer[300];
            const ssize_t count = read(line.fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            frame.append(buffer, int(count));
        }
        return frame;
    }

private slots:
    void cleanup()
    {
        m_simulator.stop();
        m_pty.reset();
    }

    void identificationBlock_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("inputRegisters");
        QTest::addColumn<int>("address");
        QTest::addColumn<QVector<int>>("block");

        // 47110001 is 0x02CED771. A device option alone serves no description.
        const QVector<int> defaults{ 0, 0, 0xD771, 0x02CE, 0, 0, 0, 0, 0, 100 };
        const QStringList plain{ "--order-number", "47110001" };
        QTest::newRow("plain identity, scan block") << plain << 0 << 0x0400 << defaults;
        QTest::newRow("plain identity, second block") << plain << 0 << 0x0300 << defaults;
        QTest::newRow("input registers mirror")
            << QStringList{ "--order-number", "0x12345678", "--para-version", "1.07" } << 1 << 0x0400
            << QVector<int>{ 0, 0, 0x5678, 0x1234, 0, 0, 0, 0, 0, 107 };
        // 1.15 * 100 is 114.999... in binary: rounded, not cut.
        QTest::newRow("largest order number, rounded version")
            << QStringList{ "--order-number", "4294967295", "--para-version", "1.15" } << 0 << 0x0300
            << QVector<int>{ 0, 0, 0xFFFF, 0xFFFF, 0, 0, 0, 0, 0, 115 };
        QTest::newRow("presets win over identity")
            << plain + QStringList{ "--register", "0x0400=7", "--register", "1033=250" } << 0 << 0x0400
            << QVector<int>{ 7, 0, 0xD771, 0x02CE, 0, 0, 0, 0, 0, 250 };
    }

    void identificationBlock()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, inputRegisters);
        QFETCH(int, address);
        QFETCH(QVector<int>, block);
        const Client client = startAndConnect(false, arguments);
        QVERIFY(client);
        uint16_t words[10] = {};
        QCOMPARE(inputRegisters ? modbus_read_input_registers(client.get(), address, 10, words)
                                : modbus_read_registers(client.get(), address, 10, words),
                 10);
        QCOMPARE(QVector<int>(words, words + 10), block);
    }

    void registersReadAndWrite_data()
    {
        QTest::addColumn<bool>("rtu");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("tcp") << false << QStringList{};
        QTest::newRow("rtu, even parity") << true << QStringList{};
        QTest::newRow("rtu, 9600 no parity") << true << QStringList{ "--baud", "9600", "--parity", "none" };
    }

    void registersReadAndWrite()
    {
        QFETCH(bool, rtu);
        QFETCH(QStringList, arguments);
        const Client client =
            startAndConnect(rtu, arguments + QStringList{ "--register", "0x1234=0xBEEF", "--register", "65535=7" });
        QVERIFY(client);
        modbus_t* c = client.get();
        uint16_t value = 0;
        QCOMPARE(modbus_read_registers(c, 0x1234, 1, &value), 1);
        QCOMPARE(value, uint16_t(0xBEEF));
        QCOMPARE(modbus_read_registers(c, 0xFFFF, 1, &value), 1);
        QCOMPARE(value, uint16_t(7));

        QCOMPARE(modbus_write_register(c, 0x2000, 0x55AA), 1);
        const uint16_t words[3] = { 0x0102, 0x0304, 0x0506 };
        QCOMPARE(modbus_write_registers(c, 0xFFFD, 3, words), 3);
        uint16_t back[4] = {};
        QCOMPARE(modbus_read_input_registers(c, 0xFFFC, 4, back), 4); // input registers see the writes
        QCOMPARE(QVector<uint16_t>(back, back + 4), (QVector<uint16_t>{ 0, 0x0102, 0x0304, 0x0506 }));
        const uint16_t more[2] = { 0xCAFE, 0xF00D };
        uint16_t read[3] = {};
        QCOMPARE(modbus_write_and_read_registers(c, 0x2001, 2, more, 0x2000, 3, read), 3);
        QCOMPARE(QVector<uint16_t>(read, read + 3), (QVector<uint16_t>{ 0x55AA, 0xCAFE, 0xF00D }));

        // The map ends at 0xFFFF; a request beyond it is refused, and the
        // next one is served again.
        QCOMPARE(modbus_read_registers(c, 0xFFFF, 2, back), -1);
        QCOMPARE(errno, int(EMBXILADD));
        QCOMPARE(modbus_read_registers(c, 0x1234, 1, &value), 1);
    }

    void injectedException_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("expectedErrno"); // 0: answered normally

        QTest::newRow("read ending on the first") << "read" << 0xF0 << 17 << int(EMBXILADD);
        QTest::newRow("read ending below") << "read" << 0xF0 << 16 << 0;
        QTest::newRow("read starting on the last") << "read" << 0x10F << 4 << int(EMBXILADD);
        QTest::newRow("read spanning the range") << "read" << 0xF0 << 0x30 << int(EMBXILADD);
        QTest::newRow("input registers") << "readInput" << 0x105 << 1 << int(EMBXILADD);
        QTest::newRow("single write") << "write" << 0x10F << 1 << int(EMBXILADD);
        QTest::newRow("multiple write") << "writeMultiple" << 0xFE << 3 << int(EMBXILADD);
        QTest::newRow("write part of read/write") << "writeRead" << 0x100 << 1 << int(EMBXILADD);
        QTest::newRow("decimal range") << "read" << 300 << 1 << int(EMBXSFAIL);
        QTest::newRow("code without a name") << "read" << 0x4000 << 1 << int(MODBUS_ENOBASE + 9);
        QTest::newRow("code beyond the standard") << "write" << 0x5000 << 1 << int(EMBBADEXC);
    }

    void injectedException()
    {
        QFETCH(QString, operation);
        QFETCH(int, address);
        QFETCH(int, count);
        QFETCH(int, expectedErrno);
        const Client client = startAndConnect(
            false, { "--exception", "2:0x100-0x10F", "--exception", "4:300-300", "--exception", "9:0x4000-0x4000",
                     "--exception", "20:0x5000-0x5000" });
        QVERIFY(client);
        modbus_t* c = client.get();
        QVector<uint16_t> words(qMax(count, 1), 0x1111);
        int result = -1;
        if (operation == "read")
            result = modbus_read_registers(c, address, count, words.data());
        else if (operation == "readInput")
            result = modbus_read_input_registers(c, address, count, words.data());
        else if (operation == "write")
            result = modbus_write_register(c, address, words[0]);
        else if (operation == "writeMultiple")
            result = modbus_write_registers(c, address, count, words.data());
        else // the read range stays clear of the exception range
            result = modbus_write_and_read_registers(c, address, count, words.data(), 0x2000, 1, words.data());
        const int error = errno;
        if (expectedErrno) {
            QCOMPARE(result, -1);
            QCOMPARE(error, expectedErrno);
        } else {
            QCOMPARE(result, count);
        }
    }

    void unitFilter_data()
    {
        QTest::addColumn<bool>("rtu");
        QTest::newRow("tcp") << false;
        QTest::newRow("rtu") << true;
    }

    void unitFilter()
    {
        QFETCH(bool, rtu);
        const Client client = startAndConnect(rtu, { "--unit", "5" }, 5);
        QVERIFY(client);
        modbus_set_response_timeout(client.get(), 0, 300000);
        uint16_t value = 0;
        QCOMPARE(modbus_read_registers(client.get(), 0x0400, 1, &value), 1);
        modbus_set_slave(client.get(), 1);
        QCOMPARE(modbus_read_registers(client.get(), 0x0400, 1, &value), -1);
        QCOMPARE(errno, ETIMEDOUT);
        modbus_set_slave(client.get(), 5);
        QCOMPARE(modbus_read_registers(client.get(), 0x0400, 1, &value), 1);
    }

    void deviceIdentification_data()
    {
        QTest::addColumn<bool>("rtu");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer"); // PDU after the unit id

        const QByteArray basic = QByteArray::fromHex("2b0e0101000003") + QByteArray::fromHex("0005") + "VELTA"
            + QByteArray::fromHex("0105") + "TC200" + QByteArray::fromHex("0205") + "V1.00";
        QTest::newRow("tcp, defaults") << false << QStringList{} << QByteArray::fromHex("2b0e0100") << basic;
        QTest::newRow("rtu, defaults") << true << QStringList{} << QByteArray::fromHex("2b0e0100") << basic;
        QTest::newRow("rtu, Latin-1 texts")
            << true << QStringList{ "--vendor", "Ölwerk", "--product", "", "--revision", "µ2" }
            << QByteArray::fromHex("2b0e0100")
            << QByteArray::fromHex("2b0e010100000300" "06d66c7765726b" "0100" "0202b532");
        QTest::newRow("tcp, from object 2") << false << QStringList{} << QByteArray::fromHex("2b0e0102")
                                            << QByteArray::fromHex("2b0e010100000102") + "\x05V1.00";
        // Its length is unknown from the function code: the line must go quiet.
        QTest::newRow("rtu, other MEI type") << true << QStringList{} << QByteArray::fromHex("2b0d0100")
                                             << QByteArray::fromHex("ab01");
        QTest::newRow("tcp, unknown read code") << false << QStringList{} << QByteArray::fromHex("2b0e0500")
                                                << QByteArray::fromHex("ab03");
    }

    void deviceIdentification()
    {
        QFETCH(bool, rtu);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        const Client client = startAndConnect(rtu, arguments + QStringList{ "--unit", "3" }, 3);
        QVERIFY(client);
        const QByteArray unit(1, '\x03');
        QCOMPARE(exchangeRaw(client.get(), rtu, unit + request).toHex(), framedByLibmodbus(rtu, unit + answer).toHex());
        // Framing continues normally afterwards.
        uint16_t value = 0;
        QCOMPARE(modbus_read_registers(client.get(), 0x0400, 1, &value), 1);
    }

    void dropEvery_data()
    {
        QTest::addColumn<int>("every");
        QTest::addColumn<QString>("answered");
        QTest::newRow("every 2nd") << 2 << "10101";
        QTest::newRow("every 3rd") << 3 << "11011";
        QTest::newRow("never answer") << 1 << "000";
    }

    void dropEvery()
    {
        QFETCH(int, every);
        QFETCH(QString, answered);
        const Client client = startAndConnect(false, { "--drop-every", QString::number(every) });
        QVERIFY(client);
        modbus_set_response_timeout(client.get(), 0, 250000);
        QString pattern;
        for (int i = 0; i < answered.size(); ++i) {
            uint16_t value = 0;
            const bool ok = modbus_read_registers(client.get(), 0x0409, 1, &value) == 1;
            QVERIFY(ok || errno == ETIMEDOUT);
            pattern += ok ? '1' : '0';
        }
        QCOMPARE(pattern, answered);
    }

    void corruptEvery_data()
    {
        QTest::addColumn<bool>("rtu");
        QTest::newRow("tcp length field") << false;
        QTest::newRow("rtu crc") << true;
    }

    void corruptEvery()
    {
        QFETCH(bool, rtu);
        const Client client = startAndConnect(rtu, { "--corrupt-every", "2" });
        QVERIFY(client);
        const QByteArray read = QByteArray::fromHex("0103040900 01");
        const QByteArray good = framedByLibmodbus(rtu, QByteArray::fromHex("01030200 64"));
        QByteArray bad = good;
        if (rtu)
            bad[bad.size() - 1] = char(~bad[bad.size() - 1]);
        else
            bad[5] = char(bad[5] + 1);
        for (const QByteArray& expected : { good, bad, good }) {
            QCOMPARE(exchangeRaw(client.get(), rtu, read).toHex(), expected.toHex());
        }
    }

    void closeAfterAndReconnect()
    {
        const Client first = startAndConnect(false, { "--close-after", "2" });
        QVERIFY(first);
        uint16_t value = 0;
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(modbus_read_registers(first.get(), 0x0409, 1, &value), 1);
            QCOMPARE(modbus_read_registers(first.get(), 0x0409, 1, &value), 1);
            QCOMPARE(modbus_read_registers(first.get(), 0x0409, 1, &value), -1);
            modbus_close(first.get());
            QCOMPARE(modbus_connect(first.get()), 0);
        }
        // A second connection is served while the first stays open.
        Client second(modbus_new_tcp(qPrintable(m_simulator.host()), m_simulator.port()));
        QCOMPARE(modbus_connect(second.get()), 0);
        modbus_set_slave(second.get(), 1);
        QCOMPARE(modbus_read_registers(second.get(), 0x0409, 1, &value), 1);
        QCOMPARE(modbus_read_registers(first.get(), 0x0409, 1, &value), 1);
    }

    void delayBeforeAnswer()
    {
        const Client client = startAndConnect(false, { "--delay-ms", "300" });
        QVERIFY(client);
        QElapsedTimer timer;
        timer.start();
        uint16_t value = 0;
        QCOMPARE(modbus_read_registers(client.get(), 0x0409, 1, &value), 1);
        QVERIFY2(timer.elapsed() >= 290, qPrintable(QString::number(timer.elapsed())));
    }

    void stopsCleanlyOnSigterm_data()
    {
        QTest::addColumn<bool>("rtu");
        QTest::newRow("tcp") << false;
        QTest::newRow("rtu") << true;
    }

    void stopsCleanlyOnSigterm()
    {
        QFETCH(bool, rtu);
        QVERIFY(startAndConnect(rtu, { "--verbose" }));
        m_simulator.stop();
        QCOMPARE(m_simulator.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_simulator.exitCode(), 0);
    }

    void describedDevice_data()
    {
        const QString xml = QFileInfo(QStringLiteral(PARAMICA_DEVSIM_PATH)).absolutePath() + QStringLiteral("/xml/");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("orderLow");
        QTest::addColumn<int>("orderHigh");
        QTest::addColumn<int>("version");
        QTest::newRow("first sample without options") << QStringList{} << 0xD771 << 0x02CE << 100;
        QTest::newRow("sealed newer version") << QStringList{ "--description", xml + "TC200_V101.xml" } << 0xD771
                                              << 0x02CE << 101;
        QTest::newRow("unsealed source") << QStringList{ "--description", QStringLiteral(PARAMICA_SAMPLE_SOURCE) }
                                         << 0xD771 << 0x02CE << 100;
        QTest::newRow("identity option wins") << QStringList{ "--description", xml + "TC200_V101.xml", "--para-version",
                                                              "1.00" }
                                              << 0xD771 << 0x02CE << 100;
        // 4712XXXX serves as 47120000, 0x02CEFE80.
        QTest::newRow("wildcard order number") << QStringList{ "--description", xml + "TC300.xml" } << 0xFE80 << 0x02CE
                                               << 200;
    }

    void describedDevice()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, orderLow);
        QFETCH(int, orderHigh);
        QFETCH(int, version);
        const Client client = startAndConnect(false, arguments);
        QVERIFY(client);
        uint16_t identity[10] = {};
        QCOMPARE(modbus_read_registers(client.get(), 0x0400, 10, identity), 10);
        QCOMPARE(int(identity[2]), orderLow);
        QCOMPARE(int(identity[3]), orderHigh);
        QCOMPARE(int(identity[9]), version);
        if (orderLow != 0xD771)
            return;

        // Parameters hold their defaults as the models cut them: setpoint
        // 21.5 as 215, hysteresis 20, operating mode 1, enable 1; after the
        // code and two one-byte items sharing a word, the int32 counter offset
        // -100000 and the uint32 interval 86400, low word first.
        uint16_t parameters[12] = {};
        QCOMPARE(modbus_read_registers(client.get(), 0x1000, 12, parameters), 12);
        QCOMPARE(QVector<int>(parameters, parameters + 4), (QVector<int>{ 215, 20, 1, 1 }));
        QCOMPARE(int(parameters[6]) | (int(parameters[7]) << 16), -100000);
        QCOMPARE(int(parameters[8]) | (int(parameters[9]) << 16), 86400);

        // Writes stick; process values move on their own.
        QCOMPARE(modbus_write_register(client.get(), 0x1000, 230), 1);
        QCOMPARE(modbus_read_registers(client.get(), 0x1000, 1, parameters), 1);
        QCOMPARE(int(parameters[0]), 230);
        uint16_t first[5] = {};
        QCOMPARE(modbus_read_registers(client.get(), 0x1200, 5, first), 5);
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                uint16_t now[5] = {};
                return modbus_read_registers(client.get(), 0x1200, 5, now) == 5 && now[0] != first[0];
            }(),
            5000);
    }

    void badSetupExitsWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{ "--frobnicate", "1" };
        QTest::newRow("missing value") << QStringList{ "--unit" };
        QTest::newRow("port out of range") << QStringList{ "--port", "65536" };
        QTest::newRow("unit 0") << QStringList{ "--unit", "0" };
        QTest::newRow("bad parity") << QStringList{ "--parity", "mark" };
        QTest::newRow("register beyond the map") << QStringList{ "--register", "0x10000=1" };
        QTest::newRow("reversed exception range") << QStringList{ "--exception", "2:9-1" };
        QTest::newRow("exception without code") << QStringList{ "--exception", "9-10" };
        QTest::newRow("version not a number") << QStringList{ "--para-version", "1,00" };
        QTest::newRow("text not Latin-1") << QStringList{ "--vendor", "€" };
        QTest::newRow("serial device missing") << QStringList{ "--serial", "/dev/paramica-none" };
        QTest::newRow("port in use") << QStringList{ "--port", "%inuse" };
        QTest::newRow("missing description") << QStringList{ "--description", "/nonexistent/TC200.xml" };
        QTest::newRow("description that is not XML") << QStringList{ "--description", QStringLiteral(PARAMICA_DEVSIM_PATH) };
    }

    void badSetupExitsWithTwo()
    {
        QFETCH(QStringList, arguments);
        if (arguments.contains("%inuse")) {
            QVERIFY(m_simulator.startTcp());
            arguments.replaceInStrings("%inuse", QString::number(m_simulator.port()));
        }
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
