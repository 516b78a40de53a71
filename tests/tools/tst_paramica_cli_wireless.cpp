#include "support/CBridgeEmulator.h"
#include "support/CPcscdProcess.h"
#include "support/CPrivateSystemBus.h"
#include "support/CSimulatorProcess.h"
#include "support/CTagSimProcess.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

// The command-line front end over its wireless transports as a user runs it:
// NFC through pcscd's virtual reader and the tag emulator, Bluetooth LE
// through Qt's BlueZ back end, the bridge emulator on a private bus and the
// device simulator behind it.
class tst_paramica_cli_wireless : public QObject
{
    Q_OBJECT

    CPcscdProcess m_pcscd;
    CTagSimProcess m_tag;
    CPrivateSystemBus m_bus;
    CBridgeEmulator m_bridge;
    CSimulatorProcess m_simulator;

    struct Result {
        int exitCode = -1;
        QStringList out;
        QString err;
    };

    // English; the Bluetooth classes on the private bus.
    QProcessEnvironment environment(const QStringList& extra = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.remove(QStringLiteral("LANGUAGE"));
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QString::fromUtf8(m_bus.address()));
        environment.insert(QStringLiteral("BLUETOOTH_FORCE_DBUS_LE_VERSION"), QStringLiteral("5.66"));
        for (const QString& variable : extra)
            environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
        return environment;
    }

    static Result finish(QProcess& cli, int timeoutMs)
    {
        Result result;
        if (!cli.waitForFinished(timeoutMs)) {
            cli.kill();
            cli.waitForFinished();
            return result;
        }
        result.exitCode = cli.exitCode();
        result.out = QString::fromUtf8(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        result.err += QString::fromUtf8(cli.readAllStandardError());
        return result;
    }

    Result run(const QStringList& arguments, const QStringList& extraEnvironment = {}) const
    {
        QProcess cli;
        cli.setProcessEnvironment(environment(extraEnvironment));
        cli.start(QStringLiteral(PARAMICA_CLI_PATH), arguments);
        return finish(cli, 60000);
    }

    bool startBridge(const QStringList& options = {})
    {
        return m_bus.isValid() && m_bridge.start(QStringList{ "--bus", QString::fromUtf8(m_bus.address()) } + options);
    }

private slots:
    void cleanup()
    {
        m_tag.stop();
        m_bridge.stop();
        m_simulator.stop();
    }

    void nfcCommands_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QStringList>("showAfterwards"); // a second run, on the same tag

        QTest::newRow("identify") << QStringList{ "identify" }
                                  << QStringList{ "Device: TC200N (Parameter version: 1.00, Order number: 47130001)",
                                                  "Models: DeviceInfo, PabOut, Parameter" }
                                  << QStringList();
        QTest::newRow("scan: the tag's record and version") << QStringList{ "scan" } << QStringList{ "Order number: 47130001", "Parameter version: 1.00" }
                                                            << QStringList();
        QTest::newRow("set, read back by the next run")
            << QStringList{ "set", "Parameter", "Sollwerte_Sollwert", "30,5" } << QStringList{ "Setpoint: 30,5 °C" }
            << QStringList{ "    Setpoint: 30,5 °C" };
        QTest::newRow("set a text")
            << QStringList{ "set", "Parameter", "Location", "Hall C" } << QStringList{ "Location: Hall C" }
            << QStringList{ "    Location: Hall C" };
    }

    // The tag lies on the reader before the command starts: no waiting said.
    void nfcCommands()
    {
        QFETCH(QStringList, command);
        QFETCH(QStringList, out);
        QFETCH(QStringList, showAfterwards);
        if (!m_pcscd.start())
            QSKIP("no pcscd with the virtual readers");
        QVERIFY(m_tag.start());
        QVERIFY(CPcscdProcess::waitForState(CPcscdProcess::FIRST_READER, SCARD_STATE_PRESENT, 5000));
        const Result result = run(command + QStringList{ "--nfc" });
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QCOMPARE(result.out, out);
        QVERIFY2(!result.err.contains("Waiting"), qPrintable(result.err));
        if (showAfterwards.isEmpty())
            return;
        const Result shown = run({ "show", "Parameter", "--nfc" });
        QCOMPARE(shown.exitCode, 0);
        for (const QString& line : showAfterwards)
            QVERIFY2(shown.out.contains(line), qPrintable(shown.out.join('\n')));
    }

    void waitingForATag_data()
    {
        QTest::addColumn<bool>("tagArrives");
        QTest::newRow("none comes: no connection") << false;
        QTest::newRow("one comes while waiting") << true;
    }

    // The waiting is said once, and lasts until the tag or --timeout.
    void waitingForATag()
    {
        QFETCH(bool, tagArrives);
        if (!m_pcscd.start())
            QSKIP("no pcscd with the virtual readers");
        QProcess cli;
        cli.setProcessEnvironment(environment());
        cli.setReadChannel(QProcess::StandardError);
        QElapsedTimer clock;
        clock.start();
        cli.start(QStringLiteral(PARAMICA_CLI_PATH), { "identify", "--nfc", "--timeout", tagArrives ? "20" : "3" });
        QString err;
        const QDeadlineTimer deadline(10000);
        while (!err.contains("Waiting") && !deadline.hasExpired()
               && cli.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            err += QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(err, QStringLiteral("Waiting for a tag on the reader Virtual PCD 00 00 ...\n"));
        if (tagArrives)
            QVERIFY(m_tag.start());
        Result result = finish(cli, 30000);
        result.err.prepend(err);
        if (tagArrives) {
            QVERIFY2(result.exitCode == 0, qPrintable(result.err));
            QCOMPARE(result.out.value(0), QStringLiteral("Device: TC200N (Parameter version: 1.00, Order number: 47130001)"));
            QCOMPARE(result.err.count("Waiting"), 1);
            return;
        }
        QCOMPARE(result.exitCode, 3);
        QCOMPARE(result.err, QStringLiteral("Waiting for a tag on the reader Virtual PCD 00 00 ...\n"
                                            "No tag on the reader Virtual PCD 00 00 within 3 s.\n"));
        QVERIFY2(clock.elapsed() >= 2850, qPrintable(QString::number(clock.elapsed())));
    }

    // The sample device through the module: identified, written and read.
    void bleCommands_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("identify") << QStringList{ "identify" }
                                  << "Device: TC200 (Parameter version: 1.00, Order number: 47110001)";
        QTest::newRow("set, read back") << QStringList{ "set", "Parameter", "Setpoint", "30,5" } << "Setpoint: 30,5 °C";
    }

    void bleCommands()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, firstLine);
        QVERIFY(m_simulator.startRtu());
        QVERIFY(startBridge({ "--serial", m_simulator.endpoint() }));
        const Result result = run(command + QStringList{ "--ble", m_bridge.portName() });
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QCOMPARE(result.out.value(0), firstLine);
    }

    // The module's UART is set for the device and the module let go; the
    // next run goes through.
    void bleModuleReconfigured()
    {
        QVERIFY(m_simulator.startRtu());
        QVERIFY(startBridge({ "--serial", m_simulator.endpoint(), "--uart-index", "22" }));
        const Result first = run({ "identify", "--ble", m_bridge.portName() });
        QCOMPARE(first.exitCode, 3);
        QVERIFY2(first.err.endsWith("Its UART now suits the device: run the command again.\n"), qPrintable(first.err));
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge.lines("write uart-index"), QStringList{ "write uart-index 86: ok" }, 3000);
        const Result second = run({ "identify", "--ble", m_bridge.portName() });
        QVERIFY2(second.exitCode == 0, qPrintable(second.err));
    }

    void bridge_data()
    {
        QTest::addColumn<QStringList>("module");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QStringList>("writes"); // as the module answered them

        const QStringList defaults{ "Radio name: Paramica Bridge", "Pass key: 123456", "Advertising flags: 0x06",
                                    "UART configuration: 86 (115200 baud, even parity, no flow control)" };
        QTest::newRow("read") << QStringList() << QStringList() << 0 << defaults << QString() << QStringList();
        QTest::newRow("write all, read back")
            << QStringList() << QStringList{ "--name", "Kessel 3", "--pass-key", "4711", "--advertising-flags", "0x85", "--uart-index", "11" }
            << 0
            << QStringList{ "Radio name: Kessel 3", "Pass key: 4711", "Advertising flags: 0x85",
                            "UART configuration: 11 (19200 baud, no parity, hardware flow control)" }
            << QString()
            << QStringList{ "write name Kessel 3: ok", "write pass-key 4711: ok", "write advertising-flags 133: ok", "write uart-index 11: ok" };
        QTest::newRow("write failed: the rest is written")
            << QStringList{ "--write-status", "pass-key=failed" } << QStringList{ "--pass-key", "0000", "--name", "Kessel 3" } << 5
            << QStringList{ "Radio name: Kessel 3", "Pass key: 123456", "Advertising flags: 0x06",
                            "UART configuration: 86 (115200 baud, even parity, no flow control)" }
            << "The module refused the write of the pass key."
            << QStringList{ "write name Kessel 3: ok", "write pass-key 0000: failed" };
        QTest::newRow("read denied") << QStringList{ "--read-status", "advertising-flags=denied" } << QStringList() << 5
                                     << QStringList{ defaults.at(0), defaults.at(1), defaults.at(3) }
                                     << "The module refused the read of the advertising flags." << QStringList();
    }

    // The module's settings are written before all four are read back.
    void bridge()
    {
        QFETCH(QStringList, module);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        QFETCH(QStringList, writes);
        QVERIFY(startBridge(module));
        const Result result = run(QStringList{ "bridge", "--ble", m_bridge.portName() } + options);
        QVERIFY2(result.exitCode == exitCode, qPrintable(result.err));
        QCOMPARE(result.out, out);
        if (!err.isEmpty())
            QVERIFY2(result.err.contains(err), qPrintable(result.err));
        // The emulator's report reaches this process through its event loop.
        QTRY_COMPARE_WITH_TIMEOUT(m_bridge.lines("read ").size(), 4, 3000);
        QCOMPARE(m_bridge.lines("write "), writes);
    }

    void noConnection_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("err");
        QTest::newRow("no PC/SC service")
            << QStringList{ "identify", "--nfc" } << QStringList{ "PCSCLITE_CSOCK_NAME=/nonexistent/pcscd.comm" }
            << "The Smart card resource manager is not running.\nCould not open the NFC reader.\n";
        QTest::newRow("no such module") << QStringList{ "identify", "--ble", "Ghost,00:11:22:33:44:99" } << QStringList()
                                        << "Could not connect to the Bluetooth module Ghost,00:11:22:33:44:99.\n";
        QTest::newRow("bridge: no such module") << QStringList{ "bridge", "--ble", "Ghost,00:11:22:33:44:99" }
                                                << QStringList()
                                                << "Could not connect to the Bluetooth module Ghost,00:11:22:33:44:99.\n";
    }

    // Fast, and saying why.
    void noConnection()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(QString, err);
        QVERIFY(startBridge());
        QElapsedTimer clock;
        clock.start();
        const Result result = run(arguments, environment);
        QCOMPARE(result.exitCode, 3);
        QVERIFY2(result.err.endsWith(err), qPrintable(result.err));
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("err");
        QTest::newRow("read over NFC") << QStringList{ "read", "--nfc", "--register", "1" }
                                       << "read works over --tcp or --serial only, not over --nfc.";
        QTest::newRow("update over Bluetooth") << QStringList{ "update", "--ble", "B,00:11:22:33:44:55" }
                                               << "update works over --tcp or --serial only, not over --ble.";
        QTest::newRow("--ble without an address") << QStringList{ "identify", "--ble", "Paramica Bridge" }
                                                  << "Invalid --ble 'Paramica Bridge' (NAME,ADDRESS such as "
                                                     "\"Paramica Bridge,00:11:22:33:44:55\").";
        QTest::newRow("two transports") << QStringList{ "identify", "--nfc", "--tcp", "127.0.0.1" }
                                        << "Give exactly one of --tcp HOST[:PORT], --serial DEVICE, --nfc and --ble NAME,ADDRESS.";
        QTest::newRow("no wait") << QStringList{ "identify", "--nfc", "--timeout", "0" }
                                 << "Invalid --timeout '0' (0.01 to 86400 seconds).";
        QTest::newRow("bridge without --ble") << QStringList{ "bridge", "--nfc" }
                                              << "bridge needs --ble NAME,ADDRESS and no other device option.";
        QTest::newRow("UART index outside the table")
            << QStringList{ "bridge", "--ble", "B,00:11:22:33:44:55", "--uart-index", "200" }
            << "Invalid --uart-index '200' (one of 0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 14, 15, 18, 19, 22, 23, 64,";
        QTest::newRow("name beyond Latin-1") << QStringList{ "bridge", "--ble", "B,00:11:22:33:44:55", "--name", "Kessel €" }
                                             << "--name 'Kessel €' has characters the module cannot store (Latin-1 only).";
    }

    // Refused before anything is opened.
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        const Result result = run(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.startsWith(err), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_paramica_cli_wireless)
#include "tst_paramica_cli_wireless.moc"
