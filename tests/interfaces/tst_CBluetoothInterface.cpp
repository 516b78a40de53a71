#include "backend/CDataBackend.h"
#include "interfaces/CBluetoothInterface.h"
#include "items/CItem.h"
#include "models/CTreeModel.h"
#include "protocol/CProtocolMaster.h"
#include "support/CBridgeEmulator.h"
#include "support/CPrivateSystemBus.h"
#include "support/CSimulatorProcess.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

// Qt's own QLowEnergyController and QLowEnergyService, through their BlueZ
// D-Bus back end, against the bridge emulator on a private bus; end to end
// with the back end, the Modbus RTU master and the device simulator behind
// the emulated module.
class tst_CBluetoothInterface : public QObject
{
    Q_OBJECT

    CPrivateSystemBus m_bus;
    CBridgeEmulator m_emulator;
    CSimulatorProcess m_simulator;
    CDataBackend* m_backend = nullptr;
    std::unique_ptr<CBluetoothInterface> m_bridge;
    QList<QByteArray> m_blocks; // what dataRead delivered: QSignalSpy cannot keep a const char*

    bool openBridge(const QStringList& options = {})
    {
        if (!m_emulator.start(options))
            return false;
        m_bridge->setPortName(m_emulator.portName());
        connect(m_bridge.get(), &CBaseInterface::dataRead, this,
                [this](const char* buffer, int count) { m_blocks.append(QByteArray(buffer, count)); });
        return m_bridge->openPort();
    }

    QStringList logLines(const QSignalSpy& log) const
    {
        QStringList lines;
        for (const QVariantList& line : log)
            lines.append(line.first().toString().section(QStringLiteral(", "), 1));
        return lines;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_bus.isValid());
        m_bus.becomeSystemBus();
        m_backend = CDataBackend::instance();
    }

    void init()
    {
        m_blocks.clear();
        m_bridge.reset(new CBluetoothInterface);
    }

    void cleanup()
    {
        m_bridge->closePort();
        m_bridge.reset();
        m_backend->deactivateDevice();
        m_backend->closeInterface();
        m_emulator.stop();
        m_simulator.stop();
    }

    void packets_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("packets"); // as the module received them
        QTest::newRow("243 bytes: one packet of 244") << 243 << QStringList() << QStringList{ "data packet 244" };
        QTest::newRow("244 bytes: 243 and 1") << 244 << QStringList() << QStringList{ "data packet 244", "data packet 2" };
        QTest::newRow("500 bytes, each packet confirmed") << 500 << QStringList{ "--with-response" } << QStringList{ "data packet 244", "data packet 244", "data packet 15" };
    }

    // The echo comes back in one block, whatever the packets.
    void packets()
    {
        QFETCH(int, size);
        QFETCH(QStringList, options);
        QFETCH(QStringList, packets);
        QVERIFY(openBridge(options));
        QByteArray telegram(size, 0);
        for (int i = 0; i < size; ++i)
            telegram[i] = char(i);
        QSignalSpy written(m_bridge.get(), &CBaseInterface::dataWritten);
        m_bridge->sendData(telegram.constData(), telegram.size());
        QTRY_COMPARE_WITH_TIMEOUT(m_blocks, QList<QByteArray>{ telegram }, 3000);
        QCOMPARE(m_emulator.lines("data packet"), packets);
        QCOMPARE(written.count(), options.isEmpty() ? 0 : packets.size());
    }

    // Five packets 100 ms apart: one block, 240 ms after the last.
    void answerInPacketsIsOneBlock()
    {
        QVERIFY(openBridge({ "--packet-size", "4", "--packet-gap", "100" }));
        const QByteArray answer = QByteArray::fromHex("0103100001000200030004000500060007");
        QElapsedTimer clock;
        clock.start();
        m_bridge->sendData(answer.constData(), answer.size());
        QTRY_VERIFY_WITH_TIMEOUT(!m_blocks.isEmpty(), 3000);
        // Coarse timers may fire up to 5 % early.
        QVERIFY2(clock.elapsed() >= 4 * 95 + 228, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(m_blocks, QList<QByteArray>{ answer });
    }

    void uartConfigTable_data()
    {
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("flowControl");
        QTest::addColumn<int>("index");
        QTest::newRow("115200 even, the device's default") << 115200 << 2 << 0 << 86;
        QTest::newRow("1200 none") << 1200 << 0 << 0 << 0;
        QTest::newRow("19200 none, hardware flow") << 19200 << 0 << 1 << 11;
        QTest::newRow("57600 even, hardware flow") << 57600 << 2 << 1 << 83;
        QTest::newRow("9600 even") << 9600 << 2 << 0 << 70;
        QTest::newRow("odd parity: none, kept") << 9600 << 3 << 0 << -1;
        QTest::newRow("230400: none, kept") << 230400 << 0 << 0 << -1;
    }

    void uartConfigTable()
    {
        QFETCH(int, baudRate);
        QFETCH(int, parity);
        QFETCH(int, flowControl);
        QFETCH(int, index);
        m_bridge->setUartConfig({ 38400, 0, 1 });
        QCOMPARE(int(m_bridge->wantedUartConfigIndex()), 15);
        m_bridge->setUartConfig({ baudRate, parity, flowControl });
        QCOMPARE(int(m_bridge->wantedUartConfigIndex()), index < 0 ? 15 : index);
        QCOMPARE(CBluetoothInterface::UART_CONFIG_TABLE.size(), 32);
    }

    void configurePort_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("writes"); // as the module answered them
        QTest::newRow("already set: nothing written") << QStringList() << 115200 << 0 << QStringList();
        QTest::newRow("another index: written") << QStringList{ "--uart-index", "22" } << 115200 << 2 << QStringList{ "write uart-index 86: ok" };
        QTest::newRow("unreadable index: written") << QStringList{ "--read-status", "uart-index=failed" } << 115200 << 2 << QStringList{ "write uart-index 86: ok" };
        QTest::newRow("write failed") << QStringList{ "--uart-index", "22", "--write-status", "uart-index=failed" } << 115200 << 1 << QStringList{ "write uart-index 86: failed" };
        QTest::newRow("write denied") << QStringList{ "--uart-index", "22", "--write-status", "uart-index=denied" } << 115200 << 1 << QStringList{ "write uart-index 86: denied" };
        QTest::newRow("settings outside the table: nothing written") << QStringList() << 230400 << 1 << QStringList();
    }

    void configurePort()
    {
        QFETCH(QStringList, options);
        QFETCH(int, baudRate);
        QFETCH(int, result);
        QFETCH(QStringList, writes);
        m_bridge->setUartConfig({ baudRate, 2, 0 });
        QVERIFY(openBridge(options));
        QCOMPARE(m_bridge->configurePort(), result);
        QCOMPARE(m_emulator.lines("read uart-index").size(), 1);
        QCOMPARE(m_emulator.lines("write uart-index"), writes);
    }

    void moduleSettings_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<QVariant>("argument"); // none for a read
        QTest::addColumn<QByteArray>("signal");
        QTest::addColumn<QVariant>("answer");
        QTest::newRow("read name") << QStringList() << QByteArray("readRfDeviceName") << QVariant() << QByteArray("rfDeviceNameReceived(QString)") << QVariant("Paramica Bridge");
        QTest::newRow("read a name that fills its field") << QStringList{ "--name", "Heating circuit 12 A" } << QByteArray("readRfDeviceName") << QVariant() << QByteArray("rfDeviceNameReceived(QString)") << QVariant("Heating circuit 12 A");
        QTest::newRow("read name, failed: empty") << QStringList{ "--read-status", "name=failed" } << QByteArray("readRfDeviceName") << QVariant() << QByteArray("rfDeviceNameReceived(QString)") << QVariant("");
        QTest::newRow("read pass key") << QStringList{ "--pass-key", "4711" } << QByteArray("readRfStaticPassKey") << QVariant() << QByteArray("rfStaticPassKeyReceived(QString)") << QVariant("4711");
        QTest::newRow("read pass key, denied: empty") << QStringList{ "--read-status", "pass-key=denied" } << QByteArray("readRfStaticPassKey") << QVariant() << QByteArray("rfStaticPassKeyReceived(QString)") << QVariant("");
        QTest::newRow("read flags") << QStringList{ "--advertising-flags", "0x85" } << QByteArray("readRfAdvertisingFlags") << QVariant() << QByteArray("rfAdvertisingFlagsReceived(int)") << QVariant(0x85);
        QTest::newRow("read flags, failed: -1") << QStringList{ "--read-status", "advertising-flags=failed" } << QByteArray("readRfAdvertisingFlags") << QVariant() << QByteArray("rfAdvertisingFlagsReceived(int)") << QVariant(-1);
        QTest::newRow("read UART index") << QStringList{ "--uart-index", "7" } << QByteArray("readUartConfigIndex") << QVariant() << QByteArray("uartConfigIndexReceived(int)") << QVariant(7);
        QTest::newRow("write name") << QStringList() << QByteArray("writeRfDeviceName") << QVariant("Kessel 3") << QByteArray("rfDeviceNameWritten(bool)") << QVariant(true);
        QTest::newRow("write pass key, failed") << QStringList{ "--write-status", "pass-key=failed" } << QByteArray("writeRfStaticPassKey") << QVariant("0000") << QByteArray("rfStaticPassKeyWritten(bool)") << QVariant(false);
        QTest::newRow("write flags, denied") << QStringList{ "--write-status", "advertising-flags=denied" } << QByteArray("writeRfAdvertisingFlags") << QVariant(4) << QByteArray("rfAdvertisingFlagsWritten(bool)") << QVariant(false);
        QTest::newRow("write UART index outside the table") << QStringList() << QByteArray("writeUartConfigIndex") << QVariant(200) << QByteArray("uartConfigIndexWritten(bool)") << QVariant(false);
    }

    // A written name is what the module then reads back.
    void moduleSettings()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, slot);
        QFETCH(QVariant, argument);
        QFETCH(QByteArray, signal);
        QFETCH(QVariant, answer);
        QVERIFY(openBridge(options));
        QSignalSpy answers(m_bridge.get(), QByteArray("2" + signal).constData());
        if (!argument.isValid())
            QVERIFY(QMetaObject::invokeMethod(m_bridge.get(), slot.constData()));
        else if (argument.type() == QVariant::String)
            QVERIFY(QMetaObject::invokeMethod(m_bridge.get(), slot.constData(), Q_ARG(QString, argument.toString())));
        else
            QVERIFY(QMetaObject::invokeMethod(m_bridge.get(), slot.constData(), Q_ARG(uchar, uchar(argument.toInt()))));
        QVERIFY(answers.wait(3000));
        QCOMPARE(answers, (QList<QVariantList>{ { answer } }));
        if (slot == "writeRfDeviceName") {
            QSignalSpy names(m_bridge.get(), &CBluetoothInterface::rfDeviceNameReceived);
            m_bridge->readRfDeviceName();
            QVERIFY(names.wait(3000));
            QCOMPARE(names.first().first(), argument);
        }
    }

    void openingFailsFast_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("portName"); // empty: the emulator's
        QTest::newRow("no such device") << QStringList() << "Ghost,00:11:22:33:44:99";
        QTest::newRow("the module refuses") << QStringList{ "--refuse-connect" } << "";
    }

    void openingFailsFast()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, portName);
        QVERIFY(m_emulator.start(options));
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        QSignalSpy log(m_backend, &CDataBackend::log);
        QSignalSpy connection(m_backend, &CDataBackend::deviceConnected);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!m_backend->openInterface(INTERFACE_BLUETOOTH, portName.isEmpty() ? m_emulator.portName() : portName, 1));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        const QString name = (portName.isEmpty() ? m_emulator.portName() : portName).section(',', 0, 0);
        QCOMPARE(logLines(log).last(), QStringLiteral("Could not connect interface %1.").arg(name));
        QVERIFY(logLines(log).first().startsWith(QStringLiteral("Wireless device %1: ").arg(name)));
        QVERIFY(!m_backend->isConnected());
        QVERIFY(connection.isEmpty());
    }

    // The front end gives up while the module is still connecting: the wait
    // ends at once, though the transport is released inside it.
    void closingEndsAWaitingOpen()
    {
        QVERIFY(m_emulator.start({ "--stall-connect" }));
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        QTimer::singleShot(200, m_backend, [this] { m_backend->closeInterface(); });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!m_backend->openInterface(INTERFACE_BLUETOOTH, m_emulator.portName(), 1));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(m_emulator.lines().endsWith("disconnected"), 3000);
    }

    void configurationMessages_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QVariantList>("message");
        QTest::newRow("written: reconnect") << QStringList{ "--uart-index", "22" } << "Configured interface Paramica Bridge successfully." << QVariantList{ "Reset Interface", "Configured the wireless interface successfully. Reconnect the wireless module manually in the Windows settings menu!" };
        QTest::newRow("write failed") << QStringList{ "--uart-index", "22", "--write-status", "uart-index=failed" } << "Could not configure interface Paramica Bridge!" << QVariantList{ "Reset Interface", "Could not configure the wireless interface and establish device connection!" };
    }

    // Either way the interface is closed again; the back end's own serial
    // settings play no part.
    void configurationMessages()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, log);
        QFETCH(QVariantList, message);
        QVERIFY(m_emulator.start(options));
        m_backend->setInterfaceSettings({ 9600, 0, 0, 8, 1 });
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        QSignalSpy lines(m_backend, &CDataBackend::log);
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        QSignalSpy errors(m_backend, &CDataBackend::errorMessage);
        QSignalSpy connection(m_backend, &CDataBackend::deviceConnected);
        QVERIFY(!m_backend->openInterface(INTERFACE_BLUETOOTH, m_emulator.portName(), 1));
        m_backend->setInterfaceSettings({});
        QCOMPARE(m_emulator.lines("write uart-index").value(0).section(':', 0, 0), QStringLiteral("write uart-index 86"));
        QVERIFY(logLines(lines).contains(log));
        QCOMPARE(QList<QVariantList>(warnings) + QList<QVariantList>(errors), QList<QVariantList>{ message });
        QCOMPARE(connection, QList<QVariantList>{ { false } });
        QVERIFY(!m_backend->isConnected());
    }

    // A write the module fails: the service error is logged, the back end
    // closes the interface and says the device is gone.
    void serviceErrorClosesTheInterface()
    {
        QVERIFY(m_emulator.start({ "--with-response", "--refuse-data" }));
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        QVERIFY(m_backend->openInterface(INTERFACE_BLUETOOTH, m_emulator.portName(), 1));
        QSignalSpy log(m_backend, &CDataBackend::log);
        QSignalSpy connection(m_backend, &CDataBackend::deviceConnected);
        m_backend->scanDevice();
        QTRY_COMPARE_WITH_TIMEOUT(connection, QList<QVariantList>{ { false } }, 3000);
        QVERIFY(!m_backend->isConnected());
        QCOMPARE(logLines(log).filter(QRegularExpression("failed!$|disconnected\\.$")),
                 (QStringList{ "An attempt to write a new value to a characteristic failed!", "Interface Paramica Bridge disconnected." }));
        QTRY_VERIFY_WITH_TIMEOUT(m_emulator.lines().endsWith("disconnected"), 3000);
    }

    // The link's end is logged and the interface is no longer open; closing
    // it is quiet, and opening it again fails at once, the module being gone.
    void moduleVanishesMidRead()
    {
        QVERIFY(m_emulator.start({ "--vanish-after", "0" }));
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        QVERIFY(m_backend->openInterface(INTERFACE_BLUETOOTH, m_emulator.portName(), 1));
        QSignalSpy log(m_backend, &CDataBackend::log);
        QSignalSpy connection(m_backend, &CDataBackend::deviceConnected);
        m_backend->buildRequest(CRequest(REQUEST_READ_GENERIC, 3, 0x1000, 2));
        QTRY_VERIFY_WITH_TIMEOUT(!m_backend->isConnected(), 3000);
        QVERIFY(m_emulator.lines().contains("vanished"));
        QCOMPARE(logLines(log).filter("Wireless"), QStringList{ "Wireless connection to Paramica Bridge ended." });
        QVERIFY(m_backend->closeInterface());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!m_backend->openInterface(INTERFACE_BLUETOOTH, m_emulator.portName(), 1));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(connection.isEmpty());
    }

    // Identify, read and write the sample device behind the module. The
    // identified device's plug-in then wants 19200 baud without parity: the
    // next opening configures the module, the one after that uses it.
    void endToEnd()
    {
        QVERIFY(m_simulator.startRtu());
        QVERIFY(m_emulator.start({ "--serial", m_simulator.endpoint() }));
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        QVERIFY(m_backend->openInterface(INTERFACE_BLUETOOTH, m_emulator.portName(), 1));
        QSignalSpy activated(m_backend, &CDataBackend::deviceActivated);
        QSignalSpy checked(m_backend, &CDataBackend::deviceChecked);
        m_backend->scanDevice();
        QVERIFY(activated.wait(10000));
        QCOMPARE(m_backend->currentDevice(), QStringLiteral("TC200 (Parameter version: 1.00, Order number: 47110001)"));
        QTRY_COMPARE_WITH_TIMEOUT(checked, QList<QVariantList>{ { true } }, 10000);
        CTreeModel* parameter = m_backend->model("Parameter");
        QTRY_VERIFY_WITH_TIMEOUT(parameter->isValid(), 10000);

        CItem* setpoint = parameter->findChildren<CItem*>(QRegularExpression("_Sollwert$")).value(0);
        QVERIFY(setpoint);
        setpoint->setValue(300);
        QSignalSpy acks(m_backend, &CDataBackend::deviceAckResponse);
        parameter->writeData();
        QVERIFY(acks.wait(5000));
        QSignalSpy data(m_backend->protocolMaster(), &CProtocolMaster::dataResponse);
        m_backend->buildRequest(CRequest(REQUEST_READ_GENERIC, 3, 0x1000, 2));
        QVERIFY(data.wait(5000));
        QCOMPARE(data.first().first().toByteArray().toHex(), QByteArray("1000012c"));

        QSignalSpy connection(m_backend, &CDataBackend::deviceConnected);
        m_backend->closeInterface();
        QCOMPARE(connection, QList<QVariantList>{ { false } });
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        QVERIFY(!m_backend->openInterface(INTERFACE_BLUETOOTH, m_emulator.portName(), 1));
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(m_emulator.lines("write uart-index"), QStringList{ "write uart-index 10: ok" });
        QVERIFY(m_backend->openInterface(INTERFACE_BLUETOOTH, m_emulator.portName(), 1));
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 2, 10000);
        QVERIFY(checked.last().first().toBool());
    }
};

QTEST_GUILESS_MAIN(tst_CBluetoothInterface)
#include "tst_CBluetoothInterface.moc"
