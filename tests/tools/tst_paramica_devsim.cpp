#include "support/CSimulatorProcess.h"
#include "support/CSocatPtyPair.h"

#include <modbus/modbus.h>

#include <QProcess>
#include <QTest>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

// The simulator checked with a libmodbus client, so that its register map and
// faults are known good before our master is tested against it.
class tst_paramica_devsim : public QObject
{
    Q_OBJECT

    CSimulatorProcess m_simulator;
    modbus_t* m_client = nullptr;

    bool connectClient()
    {
        m_client = modbus_new_tcp(qPrintable(m_simulator.host()), m_simulator.port());
        if (!m_client || modbus_connect(m_client) != 0)
            return false;
        modbus_set_slave(m_client, 1);
        return true;
    }

private slots:
    void cleanup()
    {
        if (m_client) {
            modbus_close(m_client);
            modbus_free(m_client);
            m_client = nullptr;
        }
        m_simulator.stop();
    }

    void identificationBlocks_data()
    {
        QTest::addColumn<int>("address");
        QTest::newRow("scan block") << 0x0400;
        QTest::newRow("second block") << 0x0300;
    }

    void identificationBlocks()
    {
        QFETCH(int, address);
        QVERIFY(m_simulator.startTcp({ "--order-number", "0x12345678", "--para-version", "1.07" }));
        QVERIFY(connectClient());
        uint16_t words[10] = {};
        QCOMPARE(modbus_read_registers(m_client, address, 10, words), 10);
        QCOMPARE(int(words[2]), 0x5678);
        QCOMPARE(int(words[3]), 0x1234);
        QCOMPARE(int(words[9]), 107);
    }

    void exceptionRangeAndPresets()
    {
        QVERIFY(m_simulator.startTcp({ "--register", "0x10=0xbeef", "--exception", "4:0x20-0x21" }));
        QVERIFY(connectClient());
        uint16_t value = 0;
        QCOMPARE(modbus_read_registers(m_client, 0x10, 1, &value), 1);
        QCOMPARE(int(value), 0xbeef);
        uint16_t pair[2] = {};
        QCOMPARE(modbus_read_registers(m_client, 0x1f, 2, pair), -1);
        QCOMPARE(errno, int(EMBXSFAIL));
    }

    void deviceIdentificationOverRtu()
    {
        CSocatPtyPair pty;
        QVERIFY(pty.isValid());
        QVERIFY(m_simulator.startRtu(pty.deviceEnd(), { "--unit", "3", "--product", "TC300" }));
        m_client = modbus_new_rtu(qPrintable(pty.libraryEnd()), 115200, 'E', 8, 1);
        QVERIFY(m_client);
        QCOMPARE(modbus_connect(m_client), 0);
        modbus_set_slave(m_client, 3);
        const uint8_t request[] = { 3, 0x2B, 0x0E, 0x01, 0x00 };
        QVERIFY(modbus_send_raw_request(m_client, request, sizeof request) > 0);
        // libmodbus cannot frame 0x2B answers, so collect them from the line
        // until it goes quiet.
        QByteArray frame;
        pollfd line{ modbus_get_socket(m_client), POLLIN, 0 };
        while (poll(&line, 1, frame.isEmpty() ? 3000 : 100) > 0) {
            char buffer[256];
            const ssize_t count = read(line.fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            frame.append(buffer, int(count));
        }
        QCOMPARE(frame.left(10), QByteArray::fromHex("032b0e0101000003" "0005"));
        QCOMPARE(frame.mid(10, 5), QByteArray("VELTA"));
        QCOMPARE(frame.mid(15, 2), QByteArray::fromHex("0105"));
        QCOMPARE(frame.mid(17, 5), QByteArray("TC300"));
        QCOMPARE(frame.size(), 22 + 2 + 5 + 2); // revision object, then the CRC
    }

    void droppedAnswerTimesOutOnlyOnce()
    {
        QVERIFY(m_simulator.startTcp({ "--drop-every", "2" }));
        QVERIFY(connectClient());
        modbus_set_response_timeout(m_client, 0, 300000);
        uint16_t value = 0;
        QCOMPARE(modbus_read_registers(m_client, 0, 1, &value), 1);
        QCOMPARE(modbus_read_registers(m_client, 0, 1, &value), -1);
        modbus_flush(m_client);
        QCOMPARE(modbus_read_registers(m_client, 0, 1, &value), 1);
    }

    void closesAfterAnswersAndAcceptsAgain()
    {
        QVERIFY(m_simulator.startTcp({ "--close-after", "1" }));
        QVERIFY(connectClient());
        uint16_t value = 0;
        QCOMPARE(modbus_read_registers(m_client, 0, 1, &value), 1);
        modbus_close(m_client);
        QCOMPARE(modbus_connect(m_client), 0);
        QCOMPARE(modbus_read_registers(m_client, 0, 1, &value), 1);
    }

    void badOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{ "--frobnicate", "1" };
        QTest::newRow("bad exception range") << QStringList{ "--exception", "2:9-1" };
        QTest::newRow("missing serial device") << QStringList{ "--serial", "/dev/paramica-none" };
    }

    void badOptions()
    {
        QFETCH(QStringList, arguments);
        QProcess simulator;
        simulator.start(QStringLiteral(PARAMICA_DEVSIM_PATH), arguments);
        QVERIFY(simulator.waitForFinished(5000));
        QCOMPARE(simulator.exitCode(), 2);
        QVERIFY(simulator.readAllStandardError().startsWith("paramica-devsim: "));
    }
};

QTEST_GUILESS_MAIN(tst_paramica_devsim)
#include "tst_paramica_devsim.moc"
