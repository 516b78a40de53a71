#include "support/CSimulatorProcess.h"

#include <QProcess>
#include <QTest>

// The command-line front end as a user runs it, against the simulator.
class tst_paramica_cli : public QObject
{
    Q_OBJECT

    CSimulatorProcess m_simulator;

    struct Result {
        int exitCode = -1;
        QStringList out;
        QString err;
    };

    static Result run(const QStringList& arguments)
    {
        QProcess cli;
        cli.start(QStringLiteral(PARAMICA_CLI_PATH), arguments);
        Result result;
        if (!cli.waitForFinished(30000)) {
            cli.kill();
            cli.waitForFinished();
            return result;
        }
        result.exitCode = cli.exitCode();
        result.out = QString::fromLocal8Bit(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        result.err = QString::fromLocal8Bit(cli.readAllStandardError());
        return result;
    }

private slots:
    void cleanup() { m_simulator.stop(); }

    void commands_data()
    {
        QTest::addColumn<QStringList>("simulatorArguments");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QString>("err");

        QTest::newRow("scan") << QStringList{ "--order-number", "47129999", "--para-version", "2.05" }
                              << QStringList{ "scan" } << 0
                              << QStringList{ "47129999", "2.05", "VELTA", "TC200", "V1.00" } << QString();
        QTest::newRow("read") << QStringList{ "--register", "0x0100=0xabcd", "--register", "0x0101=7" }
                              << QStringList{ "read", "--register", "0x100", "--count", "2" } << 0
                              << QStringList{ "0x0100: 0xabcd", "0x0101: 0x0007" } << QString();
        QTest::newRow("write") << QStringList{} << QStringList{ "write", "--register", "32", "--value", "0x1234" }
                               << 0 << QStringList{ "0x0020: 0x1234 written" } << QString();
        QTest::newRow("refused read")
            << QStringList{ "--exception", "2:0x0100-0x0100" } << QStringList{ "read", "--register", "0x100" } << 1
            << QStringList{}
            << "Device communication: Read Generic: Function denied! Function code 3, Register 0x0100, "
               "Exception code 2 (Illegal Data Address)";
        QTest::newRow("missing register") << QStringList{} << QStringList{ "read" } << 2 << QStringList{}
                                          << "read needs --register ADDR.";
        QTest::newRow("unknown command") << QStringList{} << QStringList{ "frobnicate" } << 2 << QStringList{}
                                         << "Unknown command 'frobnicate'. See --help.";
    }

    void commands()
    {
        QFETCH(QStringList, simulatorArguments);
        QFETCH(QStringList, command);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        QVERIFY(m_simulator.startTcp(simulatorArguments));
        const Result result = run(command + QStringList{ "--tcp", m_simulator.endpoint() });
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.out, out);
        if (!err.isEmpty())
            QVERIFY2(result.err.contains(err), qPrintable(result.err));
    }

    void unansweredReadReportsTheLibraryMessage()
    {
        QVERIFY(m_simulator.startTcp({ "--drop-every", "1" }));
        const Result result = run({ "read", "--tcp", m_simulator.endpoint(), "--register", "5" });
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("Read Generic: No answer from device (device address: 1)!"),
                 qPrintable(result.err));
    }

    void wrongPorts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("err");
        QTest::newRow("closed tcp port") << QStringList{ "scan", "--tcp", "127.0.0.1:1" }
                                         << "Could not connect to 127.0.0.1:1.";
        QTest::newRow("missing serial port") << QStringList{ "scan", "--serial", "/dev/paramica-none" }
                                             << "Could not open serial port /dev/paramica-none.";
    }

    void wrongPorts()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, err);
        const Result result = run(arguments);
        QCOMPARE(result.exitCode, 3);
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
    }
};

QTEST_GUILESS_MAIN(tst_paramica_cli)
#include "tst_paramica_cli.moc"
