#include "backend/CDataBackend.h"
#include "protocol/CModbusMaster.h"
#include "support/CSimulatorProcess.h"
#include "support/CSocatPtyPair.h"

#include <QSignalSpy>
#include <QTest>

// The Modbus master, wired by the back end, against the libmodbus-based device
// simulator over loopback TCP and over a pseudo-terminal pair.
class tst_CModbusMasterDevice : public QObject
{
    Q_OBJECT

    CDataBackend* m_backend = nullptr;
    CSimulatorProcess m_simulator;

    bool connectTcp(const QStringList& simulatorArguments)
    {
        if (!m_simulator.startTcp(simulatorArguments))
            return false;
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        return m_backend->openInterface(INTERFACE_TCP, m_simulator.endpoint(), 1);
    }

    CProtocolMaster* master() const { return m_backend->protocolMaster(); }

    static CRequest readRequest(quint16 address, quint16 registers)
    {
        return CRequest(REQUEST_READ_GENERIC, 3, address, quint16(2 * registers));
    }

private slots:
    void initTestCase() { m_backend = CDataBackend::instance(); }

    void cleanup()
    {
        // A scan activates a description; the next test starts without one.
        m_backend->deactivateDevice();
        m_backend->closeInterface();
        m_simulator.stop();
    }

    void scan_data()
    {
        QTest::addColumn<QStringList>("simulatorArguments");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("identification block")
            << QStringList{ "--order-number", "47110001", "--para-version", "1.01" }
            << QStringList{ "47110001", "1.01" };
        QTest::newRow("order number above 16 bits")
            << QStringList{ "--order-number", "4294967295", "--para-version", "0.00" }
            << QStringList{ "4294967295", "0.00" };
        QTest::newRow("second block after an exception")
            << QStringList{ "--order-number", "47120003", "--exception", "2:0x0400-0x0409" }
            << QStringList{ "47120003", "1.00" };
    }

    void scan()
    {
        QFETCH(QStringList, simulatorArguments);
        QFETCH(QStringList, entries);
        QVERIFY(connectTcp(simulatorArguments));
        QSignalSpy scans(master(), &CProtocolMaster::scanResponse);
        m_backend->scanDevice();
        QVERIFY(scans.wait(5000));
        QCOMPARE(scans.first().first().toStringList(), entries);
    }

    void scanRefusedTwiceIsReported()
    {
        QVERIFY(connectTcp({ "--exception", "2:0x0300-0x0409" }));
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        QSignalSpy scans(master(), &CProtocolMaster::scanResponse);
        m_backend->scanDevice();
        QVERIFY(warnings.wait(5000));
        QCOMPARE(warnings.first().at(0).toString(), QStringLiteral("Device communication"));
        QCOMPARE(warnings.first().at(1).toString(),
                 QStringLiteral("Scan: Function denied! Function code 3, Register 0x0300, "
                                "Exception code 2 (Illegal Data Address)"));
        QVERIFY(scans.isEmpty());
    }

    void deviceIdentification()
    {
        QVERIFY(connectTcp({ "--vendor", "VELTA Controls", "--product", "BL-0x1A", "--revision", "V2.10" }));
        QSignalSpy objects(master(), &CProtocolMaster::didResponse);
        QSignalSpy checks(m_backend, &CDataBackend::deviceIdRead);
        m_backend->readDid();
        QVERIFY(objects.wait(5000));
        QCOMPARE(objects.first().first().toStringList(), (QStringList{ "VELTA Controls", "BL-0x1A", "V2.10" }));
        // A boot loader's product code reports version 0.0.
        QCOMPARE(checks.count(), 1);
        QCOMPARE(checks.first().at(1).toString(), QStringLiteral("0.0"));
    }

    void writeThenReadBack()
    {
        QVERIFY(connectTcp({ "--register", "0x0100=7" }));
        QSignalSpy acks(m_backend, &CDataBackend::deviceAckResponse);
        QSignalSpy data(master(), &CProtocolMaster::dataResponse);
        m_backend->buildRequest(
            CRequest(REQUEST_WRITE_GENERIC, 16, 0, 0, 0x0101, 4, QByteArray::fromHex("beef0102")));
        m_backend->buildRequest(CRequest(REQUEST_WRITE_GENERIC_SINGLE, 6, 0, 0, 0x0103, 2, QByteArray::fromHex("3412")));
        m_backend->buildRequest(readRequest(0x0100, 4));
        QTRY_COMPARE_WITH_TIMEOUT(data.count(), 1, 5000);
        QCOMPARE(acks.count(), 2);
        QCOMPARE(data.first().first().toByteArray(), QByteArray::fromHex("0100" "0007beef01021234"));
    }

    void exceptionAnswers_data()
    {
        QTest::addColumn<QString>("exception");
        QTest::addColumn<QString>("text");
        QTest::newRow("named") << "3:0x0200-0x0200" << "Exception code 3 (Illegal Data Value)";
        QTest::newRow("code 9 has no name") << "9:0x0200-0x0200" << "Exception code 9 (-)";
    }

    void exceptionAnswers()
    {
        QFETCH(QString, exception);
        QFETCH(QString, text);
        QVERIFY(connectTcp({ "--exception", exception }));
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        QSignalSpy nacks(m_backend, &CDataBackend::deviceNackResponse);
        m_backend->buildRequest(readRequest(0x0200, 1));
        QVERIFY(warnings.wait(5000));
        QCOMPARE(warnings.first().at(1).toString(),
                 QStringLiteral("Read Generic: Function denied! Function code 3, Register 0x0200, %1").arg(text));
        QCOMPARE(nacks.count(), 1);
    }

    void unansweredReadIsSentThreeTimesAndReportedOnce()
    {
        QVERIFY(connectTcp({ "--drop-every", "1" }));
        QSignalSpy sent(master(), &CProtocolMaster::write);
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        m_backend->buildRequest(readRequest(0x0010, 2));
        QVERIFY(warnings.wait(12000));
        QCOMPARE(sent.count(), 3);
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.first().at(1).toString(),
                 QStringLiteral("Read Generic: No answer from device (device address: 1)! Function code 3, "
                                "Register 0x0010"));
    }

    void unansweredWriteIsDroppedSilently()
    {
        QVERIFY(connectTcp({ "--drop-every", "1" }));
        QSignalSpy sent(master(), &CProtocolMaster::write);
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        m_backend->buildRequest(CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 0x0010, 2, QByteArray::fromHex("0001")));
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 1, 2000);
        QCOMPARE(master()->state(), int(CProtocolMaster::STATE_WAITING));
        QTRY_COMPARE_WITH_TIMEOUT(master()->state(), int(CProtocolMaster::STATE_IDLE), 5000);
        QCOMPARE(master()->queuedCount(), 0);
        QCOMPARE(sent.count(), 1);
        QVERIFY(warnings.isEmpty());
    }

    void corruptFrameLeavesTheRequestOpen()
    {
        CSocatPtyPair pty;
        QVERIFY(pty.isValid());
        QVERIFY(m_simulator.startRtu(pty.deviceEnd(), { "--corrupt-every", "1" }));
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        QVERIFY(m_backend->openInterface(INTERFACE_SERIAL, pty.libraryEnd(), 1));
        auto* modbus = qobject_cast<CModbusMaster*>(master());
        QSignalSpy resets(modbus, &CModbusMaster::resetInterfaceInitiated);
        QSignalSpy data(master(), &CProtocolMaster::dataResponse);
        m_backend->buildRequest(readRequest(0x0000, 2));
        QVERIFY(resets.wait(5000));
        QVERIFY(data.isEmpty());
        QCOMPARE(master()->state(), int(CProtocolMaster::STATE_WAITING));
        QVERIFY(!master()->isAnswered());
    }

    void rtuReadAndScan()
    {
        CSocatPtyPair pty;
        QVERIFY(pty.isValid());
        QVERIFY(m_simulator.startRtu(pty.deviceEnd(), { "--unit", "5", "--register", "0x0020=0x1234" }));
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        QVERIFY(m_backend->openInterface(INTERFACE_SERIAL, pty.libraryEnd(), 5));
        QSignalSpy scans(master(), &CProtocolMaster::scanResponse);
        QSignalSpy data(master(), &CProtocolMaster::dataResponse);
        m_backend->scanDevice();
        m_backend->buildRequest(readRequest(0x0020, 1));
        QTRY_COMPARE_WITH_TIMEOUT(data.count(), 1, 5000);
        QCOMPARE(scans.count(), 1);
        QCOMPARE(scans.first().first().toStringList(), (QStringList{ "47110001", "1.00" }));
        QCOMPARE(data.first().first().toByteArray(), QByteArray::fromHex("00201234"));
    }

    void reconnectsAfterTheDeviceClosesTheConnection()
    {
        QVERIFY(connectTcp({ "--close-after", "1", "--register", "0x0030=42" }));
        QSignalSpy data(master(), &CProtocolMaster::dataResponse);
        m_backend->buildRequest(readRequest(0x0030, 1));
        QVERIFY(data.wait(5000));
        // The first answer closed the connection. Queued on the master itself
        // (the back end drops requests while disconnected), the next read is
        // retried until the transport has reconnected.
        master()->buildRequest(readRequest(0x0030, 1));
        QVERIFY(data.wait(12000));
        QCOMPARE(data.last().first().toByteArray(), QByteArray::fromHex("0030002a"));
    }
};

QTEST_GUILESS_MAIN(tst_CModbusMasterDevice)
#include "tst_CModbusMasterDevice.moc"
