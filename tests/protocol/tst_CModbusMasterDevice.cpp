#include "backend/CDataBackend.h"
#include "protocol/CModbusMaster.h"
#include "support/CSimulatorProcess.h"

#include <QSignalSpy>
#include <QTest>

// The Modbus master, wired by the back end, against the libmodbus-based device
// simulator over loopback TCP and over a pseudo-terminal pair.
class tst_CModbusMasterDevice : public QObject
{
    Q_OBJECT

    CDataBackend* m_backend = nullptr;
    CSimulatorProcess m_simulator;

    CProtocolMaster* master() const { return m_backend->protocolMaster(); }
    static CRequest readRequest(quint16 address, quint16 registers) { return CRequest(REQUEST_READ_GENERIC, 3, address, quint16(2 * registers)); }

private slots:
    void initTestCase() { m_backend = CDataBackend::instance(); }

    void cleanup()
    {
        // A scan activates a description; the next test starts without one.
        m_backend->deactivateDevice();
        m_backend->closeInterface();
        m_simulator.stop();
    }

    void identification_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("did"); // device identification, else the scan
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("identification block") << QStringList{ "--order-number", "47110001", "--para-version", "1.01" } << false << QStringList{ "47110001", "1.01" };
        QTest::newRow("order number above 16 bits") << QStringList{ "--order-number", "4294967295", "--para-version", "0.00" } << false << QStringList{ "4294967295", "0.00" };
        QTest::newRow("second block after an exception") << QStringList{ "--order-number", "47120003", "--exception", "2:0x0400-0x0409" } << false << QStringList{ "47120003", "1.00" };
        QTest::newRow("device identification") << QStringList{ "--vendor", "VELTA Controls", "--product", "BL-0x1A", "--revision", "V2.10" } << true << QStringList{ "VELTA Controls", "BL-0x1A", "V2.10" };
    }

    void identification()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, did);
        QFETCH(QStringList, entries);
        QVERIFY(m_simulator.serve(m_backend, options));
        QSignalSpy answers(master(), did ? &CProtocolMaster::didResponse : &CProtocolMaster::scanResponse);
        QSignalSpy checks(m_backend, &CDataBackend::deviceIdRead);
        did ? m_backend->readDid() : m_backend->scanDevice();
        QVERIFY(answers.wait(5000));
        QCOMPARE(answers.first().first().toStringList(), entries);
        // The back end reads a boot loader's product code as version 0.0.
        QCOMPARE(QList<QVariantList>(checks), (did ? QList<QVariantList>{ { "BL-0x1A", "0.0" } } : QList<QVariantList>()));
    }

    void exchanges_data()
    {
        QTest::addColumn<bool>("rtu");
        QTest::newRow("tcp") << false;
        QTest::newRow("rtu, unit 5") << true;
    }

    // A scan, two writes acknowledged and a read that sees them.
    void exchanges()
    {
        QFETCH(bool, rtu);
        QVERIFY(m_simulator.serve(m_backend, { "--unit", rtu ? "5" : "1", "--register", "0x0100=7" }, rtu, rtu ? 5 : 1));
        QSignalSpy acks(m_backend, &CDataBackend::deviceAckResponse);
        QSignalSpy scans(master(), &CProtocolMaster::scanResponse);
        QSignalSpy data(master(), &CProtocolMaster::dataResponse);
        m_backend->scanDevice();
        m_backend->buildRequest(CRequest(REQUEST_WRITE_GENERIC, 16, 0, 0, 0x0101, 4, QByteArray::fromHex("beef0102")));
        m_backend->buildRequest(CRequest(REQUEST_WRITE_GENERIC_SINGLE, 6, 0, 0, 0x0103, 2, QByteArray::fromHex("3412")));
        m_backend->buildRequest(readRequest(0x0100, 4));
        QTRY_VERIFY_WITH_TIMEOUT(!data.isEmpty(), 5000);
        QCOMPARE(scans.count(), 1);
        QCOMPARE(scans.first().first().toStringList(), (QStringList{ "47110001", "1.00" }));
        QCOMPARE(acks.count(), 2);
        QCOMPARE(data.first().first().toByteArray(), QByteArray::fromHex("0100" "0007beef01021234"));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<CRequest>("request");
        QTest::addColumn<int>("sends");
        QTest::addColumn<QString>("warning"); // empty: none
        QTest::addColumn<int>("nacks");
        QTest::newRow("named exception") << QStringList{ "--exception", "3:0x0200-0x0200" } << readRequest(0x0200, 1) << 1 << "Read Generic: Function denied! Function code 3, Register 0x0200, Exception code 3 (Illegal Data Value)" << 1;
        QTest::newRow("code 9 has no name") << QStringList{ "--exception", "9:0x0200-0x0200" } << readRequest(0x0200, 1) << 1 << "Read Generic: Function denied! Function code 3, Register 0x0200, Exception code 9 (-)" << 1;
        // The first refusal of a scan asks the second block; only the second is reported.
        QTest::newRow("scan refused twice") << QStringList{ "--exception", "2:0x0300-0x0409" } << CRequest(REQUEST_SCAN, 3, 0x0400, 20) << 2 << "Scan: Function denied! Function code 3, Register 0x0300, Exception code 2 (Illegal Data Address)" << 1;
        QTest::newRow("unanswered read: sent three times, reported once") << QStringList{ "--drop-every", "1" } << readRequest(0x0010, 2) << 3 << "Read Generic: No answer from device (device address: 1)! Function code 3, Register 0x0010" << 0;
        QTest::newRow("unanswered write: dropped silently") << QStringList{ "--drop-every", "1" } << CRequest(REQUEST_WRITE_PARA, 16, 0, 0, 0x0010, 2, QByteArray::fromHex("0001")) << 1 << "" << 0;
    }

    void failures()
    {
        QFETCH(QStringList, options);
        QFETCH(CRequest, request);
        QFETCH(int, sends);
        QFETCH(QString, warning);
        QFETCH(int, nacks);
        QVERIFY(m_simulator.serve(m_backend, options));
        QSignalSpy sent(master(), &CProtocolMaster::write);
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        QSignalSpy nacked(m_backend, &CDataBackend::deviceNackResponse);
        QSignalSpy scans(master(), &CProtocolMaster::scanResponse);
        QSignalSpy data(master(), &CProtocolMaster::dataResponse);
        m_backend->buildRequest(request);
        QTRY_VERIFY_WITH_TIMEOUT(!sent.isEmpty() && master()->state() == CProtocolMaster::STATE_IDLE && master()->queuedCount() == 0, 12000);
        QCOMPARE(sent.count(), sends);
        QCOMPARE(QList<QVariantList>(warnings), (warning.isEmpty() ? QList<QVariantList>() : QList<QVariantList>{ { "Device communication", warning } }));
        QCOMPARE(nacked.count(), nacks);
        QVERIFY(scans.isEmpty() && data.isEmpty());
    }

    // The frame is not taken: the request stays open for its time-out, and the
    // serial line is closed and reopened.
    void corruptFrameLeavesTheRequestOpen()
    {
        QVERIFY(m_simulator.serve(m_backend, { "--corrupt-every", "1" }, true));
        QSignalSpy resets(qobject_cast<CModbusMaster*>(master()), &CModbusMaster::resetInterfaceInitiated);
        QSignalSpy reopened(m_backend, &CDataBackend::interfaceReseted);
        QSignalSpy data(master(), &CProtocolMaster::dataResponse);
        m_backend->buildRequest(readRequest(0x0000, 2));
        QVERIFY(resets.wait(5000));
        QCOMPARE(reopened.count(), 1);
        QVERIFY(m_backend->isConnected());
        QVERIFY(data.isEmpty());
        QCOMPARE(master()->state(), int(CProtocolMaster::STATE_WAITING));
        QVERIFY(!master()->isAnswered());
    }

    void reconnectsAfterTheDeviceClosesTheConnection()
    {
        QVERIFY(m_simulator.serve(m_backend, { "--close-after", "1", "--register", "0x0030=42" }));
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
