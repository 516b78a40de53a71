#include "support/CSimulatorProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
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
        // English unless a test asks for another language.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.remove(QStringLiteral("LANGUAGE"));
        cli.setProcessEnvironment(environment);
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

    // Runs a command against the simulator serving the first sample description
    // with its default values.
    Result runOnDevice(const QStringList& arguments)
    {
        if (!m_simulator.isRunning() && !m_simulator.startTcp())
            return {};
        return run(arguments + QStringList{ "--tcp", m_simulator.endpoint() });
    }

    static QString readFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
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
                              << QStringList{ "Order number: 47129999", "Parameter version: 2.05", "Vendor: VELTA",
                                              "Product code: 4712", "Revision: V1.00" }
                              << QString();
        QTest::newRow("scan of units") << QStringList{ "--unit", "3", "--product", "TC-4711" }
                                       << QStringList{ "scan", "--units", "1-4" } << 0
                                       << QStringList{ "Unit 3: Order number: 47110001, Parameter version: 1.00, "
                                                       "Vendor: VELTA, Product code: TC-4711, Revision: V1.00" }
                                       << QString();
        QTest::newRow("scan of absent units") << QStringList{ "--unit", "3" } << QStringList{ "scan", "--units", "4-5" }
                                              << 3 << QStringList{} << "No unit from 4 to 5 answers at 127.0.0.1:";
        // A device that never answers is named with the way to find it.
        QTest::newRow("wrong unit") << QStringList{ "--unit", "3" } << QStringList{ "identify", "--timeout", "0.5" } << 3
                                    << QStringList{}
                                    << "No answer from unit 1 at 127.0.0.1:";
        QTest::newRow("read") << QStringList{ "--register", "0x0100=0xabcd", "--register", "0x0101=7" }
                              << QStringList{ "read", "--register", "0x100", "--count", "2" } << 0
                              << QStringList{ "0x0100: 0xabcd", "0x0101: 0x0007" } << QString();
        QTest::newRow("write") << QStringList{} << QStringList{ "write", "--register", "32", "--value", "0x1234" }
                               << 0 << QStringList{ "0x0020: 0x1234 written" } << QString();
        QTest::newRow("refused read")
            << QStringList{ "--exception", "2:0x0100-0x0100" } << QStringList{ "read", "--register", "0x100" } << 5
            << QStringList{}
            << "Device communication: Read Generic: Function denied! Function code 3, Register 0x0100, "
               "Exception code 2 (Illegal Data Address)";
        QTest::newRow("missing register") << QStringList{} << QStringList{ "read" } << 2 << QStringList{}
                                          << "read needs --register ADDR.";
        QTest::newRow("nothing to read") << QStringList{} << QStringList{ "read", "--register", "1", "--count", "0" } << 2
                                         << QStringList{} << "Invalid --count '0' (1 to 125).";
        // Process values are read without retries and given up without a warning of the library.
        QTest::newRow("lost process values") << QStringList{ "--silent", "0x1200-0x1200" } << QStringList{ "show", "PabOut" }
                                             << 5 << QStringList{}
                                             << "No answer from device to the read of PabOut (register 0x1200).";
        QTest::newRow("German messages")
            << QStringList{ "--order-number", "99990001" } << QStringList{ "identify", "--language", "de" } << 5
            << QStringList{}
            << "Gerät: Gerät mit Bestellnummer '99990001' und Parameterversion '1.00' wird nicht unterstützt!";
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

    // --timeout bounds the answer wait, retries included: within half a
    // second there is room for one try only.
    void unansweredReadReportsTheLibraryMessage()
    {
        QVERIFY(m_simulator.startTcp({ "--drop-every", "1" }));
        const Result result =
            run({ "read", "--tcp", m_simulator.endpoint(), "--register", "5", "--timeout", "0.5", "--verbose" });
        QCOMPARE(result.exitCode, 3);
        QVERIFY2(result.err.contains("Read Generic: No answer from device (device address: 1)!")
                     && result.err.contains("Check the unit id and the port settings, or list the units that answer "
                                            "with: paramica scan --units 1-247"),
                 qPrintable(result.err));
        QCOMPARE(result.err.count(", Tx: "), 1);
    }

    // On a serial line each unit is asked at each setting of the lists.
    void serialScan()
    {
        QVERIFY(m_simulator.startRtu({ "--unit", "2" }));
        const Result result = run({ "scan", "--serial", m_simulator.endpoint(), "--units", "1-2", "--baud",
                                    "9600,115200", "--parity", "none" });
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out.size(), 2);
        QVERIFY2(result.out.at(0).startsWith("9600 baud, parity none, unit 2: Order number: 47110001,")
                     && result.out.at(1).startsWith("115200 baud, parity none, unit 2: "),
                 qPrintable(result.out.join('\n')));
        const Result single = run({ "identify", "--serial", m_simulator.endpoint(), "--baud", "9600,115200" });
        QCOMPARE(single.exitCode, 2);
        QVERIFY(single.err.contains("Only scan --units takes lists of --baud and --parity."));
    }

    void withoutDevice_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("text");
        QTest::newRow("closed tcp port") << QStringList{ "scan", "--tcp", "127.0.0.1:1" } << 3
                                         << "Could not connect to 127.0.0.1:1: Connection refused.";
        QTest::newRow("tcp port beyond 16 bits") << QStringList{ "scan", "--tcp", "127.0.0.1:65537" } << 2
                                                 << "Invalid --tcp '127.0.0.1:65537' (HOST or HOST:PORT, port 1 to 65535).";
        QTest::newRow("missing serial port") << QStringList{ "scan", "--serial", "/dev/paramica-none" } << 3
                                             << "Could not open serial port /dev/paramica-none: No such file or directory.";
        QTest::newRow("no time for an answer") << QStringList{ "scan", "--tcp", "127.0.0.1:1", "--timeout", "0" } << 2
                                               << "Invalid --timeout '0' (0.01 to 86400 seconds).";
        QTest::newRow("units backwards") << QStringList{ "scan", "--tcp", "127.0.0.1:1", "--units", "5-2" } << 2
                                         << "Invalid --units '5-2' (FIRST-LAST, from 1 to 247).";
        QTest::newRow("missing image") << QStringList{ "update", "/nonexistent/TC200.bin", "--tcp", "127.0.0.1:1" } << 4
                                       << "No firmware image /nonexistent/TC200.bin: no such file.";
        QTest::newRow("version") << QStringList{ "--version" } << 0 << "paramica " PARAMICA_VERSION " (library " PARAMICA_VERSION ")";
    }

    void withoutDevice()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, text);
        const Result result = run(arguments);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.out.join('\n').contains(text) || result.err.contains(text), qPrintable(result.err));
    }
    void installedDevices()
    {
        const Result result = run({ "devices" });
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out.size(), 4);
        QVERIFY(result.out.contains("TC300 (Parameter version: 2.00, Order number: 4712XXXX)"));
        QVERIFY(result.out.contains("TC200N (Parameter version: 1.00, Order number: 47130001)"));
    }

    // A file nested far too deep is skipped with its reason, before it can
    // take the program down; the others are listed.
    void skippedDescriptions()
    {
        QTemporaryDir dir;
        const QString cli = dir.filePath("paramica");
        QVERIFY(QFile::copy(PARAMICA_CLI_PATH, cli));
        QVERIFY(QDir(dir.path()).mkdir("xml"));
        QVERIFY(QFile::copy(QFileInfo(PARAMICA_CLI_PATH).absolutePath() + "/xml/TC300.xml", dir.filePath("xml/TC300.xml")));
        QFile deep(dir.filePath("xml/deep.xml"));
        QVERIFY(deep.open(QIODevice::WriteOnly));
        deep.write("<DVX>" + QByteArray("<group>").repeated(25000) + QByteArray("</group>").repeated(25000) + "</DVX>");
        deep.close();
        QProcess process;
        process.start(cli, { "devices" });
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(), QByteArray("TC300 (Parameter version: 2.00, Order number: 4712XXXX)\n"));
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardError()),
                 QStringLiteral("Skipped %1: Elements are nested more than 64 deep at line 1; such a file is not read.\n")
                     .arg(QDir::toNativeSeparators(deep.fileName())));
    }

    void identification_data()
    {
        QTest::addColumn<QStringList>("simulatorArguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("sample device") << QStringList{ "--order-number", "47110001" } << 0
                                       << QStringList{ "Device: TC200 (Parameter version: 1.00, Order number: 47110001)",
                                                       "Models: DeviceInfo, PabOut, Parameter, Setup" }
                                       << QString();
        QTest::newRow("unknown device")
            << QStringList{ "--order-number", "99990001" } << 5 << QStringList{}
            << "Device: Device with order number '99990001' and parameter version '1.00' not supported!";
    }

    void identification()
    {
        QFETCH(QStringList, simulatorArguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        QVERIFY(m_simulator.startTcp(simulatorArguments));
        const Result result = run({ "identify", "--tcp", m_simulator.endpoint() });
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.out, out);
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
    }

    void setAndShow_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("line");
        QTest::newRow("scaled value by object name") << QStringList{ "set", "Parameter", "Sollwerte_Sollwert", "21,5" } << 0
                                                     << "Setpoint: 21,5 °C";
        QTest::newRow("list entry by caption") << QStringList{ "set", "Parameter", "Operating mode", "Cooling" } << 0
                                               << "Operating mode: Cooling";
        QTest::newRow("time of day") << QStringList{ "set", "Parameter", "Start time", "07:45" } << 0
                                     << "Start time: 07:45";
        QTest::newRow("negative value without --") << QStringList{ "set", "Parameter", "Sensor correction", "-5" } << 0
                                                   << "Sensor correction: -5 K";
        QTest::newRow("German caption, any case") << QStringList{ "set", "parameter", "SOLLWERT", "-2,5" } << 0
                                                  << "Setpoint: -2,5 °C";
        QTest::newRow("out of range") << QStringList{ "set", "Parameter", "Sollwerte_Sollwert", "999" } << 2
                                      << "'999' is not a valid value for Setpoint: 999 is above the maximum 150.";
        QTest::newRow("read-only item") << QStringList{ "set", "Parameter", "Profile version", "1" } << 2
                                        << "Profile version cannot be written.";
        QTest::newRow("unknown item") << QStringList{ "set", "Parameter", "Setpont", "1" } << 2
                                      << "Model 'Parameter' has no item 'Setpont'. Did you mean: Setpoint?";
        QTest::newRow("unknown model") << QStringList{ "show", "Paramter" } << 2
                                       << "The device has no model 'Paramter' (models: DeviceInfo, PabOut, Parameter, "
                                          "Setup). Did you mean: Parameter?";
    }

    void setAndShow()
    {
        QFETCH(QStringList, command);
        QFETCH(int, exitCode);
        QFETCH(QString, line);
        const Result result = runOnDevice(command);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.out.contains(line) || result.err.contains(line), qPrintable(result.err));
        if (exitCode != 0)
            return;
        // Read back by another run, as an indented tree line.
        const Result shown = runOnDevice({ "show", "Parameter" });
        QCOMPARE(shown.exitCode, 0);
        QVERIFY2(shown.out.contains("      " + line), qPrintable(shown.out.join('\n')));
    }

    void parameterFileRoundTrip()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("tc200.xml");
        QCOMPARE(runOnDevice({ "set", "Parameter", "Sollwerte_Sollwert", "30" }).exitCode, 0);
        QCOMPARE(runOnDevice({ "set", "Parameter", "Zone name", "Hall 2" }).exitCode, 0);
        const Result saved = runOnDevice({ "save", file });
        QCOMPARE(saved.exitCode, 0);
        QVERIFY(readFile(file).contains("Parameter=\"Sollwerte_Sollwert\" DataId=\"0\" Datatype=\"int16_t\" Default=\"300\""));

        QCOMPARE(runOnDevice({ "set", "Parameter", "Sollwerte_Sollwert", "12" }).exitCode, 0);
        QCOMPARE(runOnDevice({ "set", "Parameter", "Zone name", "Shed" }).exitCode, 0);
        const Result loaded = runOnDevice({ "load", file });
        QCOMPARE(loaded.exitCode, 0);
        const Result shown = runOnDevice({ "show", "Parameter" });
        QVERIFY(shown.out.contains("      Setpoint: 30,0 °C"));
        QVERIFY(shown.out.contains("      Zone name: Hall 2"));

        // Files that do not fit are refused and leave the device as it is.
        QString foreign = readFile(file);
        foreign.replace("Parameter=\"le_device\" Default=\"TC200\"", "Parameter=\"le_device\" Default=\"TC300\"");
        QFile foreignFile(dir.filePath("foreign.xml"));
        QVERIFY(foreignFile.open(QIODevice::WriteOnly));
        foreignFile.write(foreign.toUtf8());
        foreignFile.close();
        QFile damagedFile(dir.filePath("damaged.xml"));
        QVERIFY(damagedFile.open(QIODevice::WriteOnly));
        damagedFile.write(readFile(file).toUtf8().left(400));
        damagedFile.close();
        QString invalid = readFile(file);
        invalid.replace("Parameter=\"Sollwerte_Sollwert\" DataId=\"0\" Datatype=\"int16_t\" Default=\"300\"",
                        "Parameter=\"Sollwerte_Sollwert\" DataId=\"0\" Datatype=\"int16_t\" Default=\"nan\"");
        invalid.replace("Default=\"Hall 2\"", "Default=\"Hall 2 of the north wing\"");
        QFile invalidFile(dir.filePath("invalid.xml"));
        QVERIFY(invalidFile.open(QIODevice::WriteOnly));
        invalidFile.write(invalid.toUtf8());
        invalidFile.close();
        QCOMPARE(runOnDevice({ "set", "Parameter", "Sollwerte_Sollwert", "12" }).exitCode, 0);

        const Result refused = runOnDevice({ "load", foreignFile.fileName() });
        QCOMPARE(refused.exitCode, 4);
        QVERIFY2(refused.err.contains("The parameter file belongs to TC300 (order number 47110001), not to the connected "
                                      "TC200 (order number 47110001)."),
                 qPrintable(refused.err));
        const Result damaged = runOnDevice({ "load", damagedFile.fileName() });
        QCOMPARE(damaged.exitCode, 4);
        QVERIFY2(damaged.err.contains("is no readable parameter file."), qPrintable(damaged.err));
        // Every value is checked before the first is written.
        const Result invalidValues = runOnDevice({ "load", invalidFile.fileName() });
        QCOMPARE(invalidValues.exitCode, 4);
        QVERIFY2(invalidValues.err.contains("Sollwerte_Sollwert: nan is not a finite number.")
                     && invalidValues.err.contains("is longer than the 10 characters the device stores."),
                 qPrintable(invalidValues.err));
        QVERIFY(runOnDevice({ "show", "Parameter" }).out.contains("      Setpoint: 12,0 °C"));

        const Result unwritable = runOnDevice({ "save", file + "/inside-a-file.xml" });
        QCOMPARE(unwritable.exitCode, 4);
    }

    // A parameter file compared with the device, shown and edited without one.
    void compareAndEditOffline()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("tc200.xml");
        QCOMPARE(runOnDevice({ "save", file }).exitCode, 0);
        const Result same = runOnDevice({ "diff", file });
        QCOMPARE(same.exitCode, 0);
        QCOMPARE(same.out, QStringList{ "The device holds the values of " + QDir::toNativeSeparators(file) + "." });
        m_simulator.stop();

        const QString saved = readFile(file);
        // Every value is checked first; one refusal leaves the file as it was.
        const QList<QPair<QStringList, QString>> refusals = {
            { { "Setpoint", "23", "Hysteresis", "99" }, "'99' is not a valid value for Hysteresis: 99 is above the maximum 10." },
            { { "Profile version", "1" }, "Profile version cannot be written." },
            { { "Nothing", "1" }, "The device has no item 'Nothing'." },
            { { "Setpoint", "23", "Hysteresis" }, "edit needs a VALUE after each ITEM." },
        };
        for (const auto& refusal : refusals) {
            const Result refused = run(QStringList{ "edit", file } + refusal.first);
            QCOMPARE(refused.exitCode, 2);
            QVERIFY2(refused.err.contains(refusal.second), qPrintable(refused.err));
            QCOMPARE(readFile(file), saved);
        }
        const Result edited = run({ "edit", file, "Setpoint", "23", "Operating mode", "Cooling" });
        QCOMPARE(edited.exitCode, 0);
        QCOMPARE(edited.out.mid(0, 2), (QStringList{ "Setpoint: 23,0 °C", "Operating mode: Cooling" }));
        QString expected = saved;
        expected.replace("Parameter=\"Sollwerte_Sollwert\" DataId=\"0\" Datatype=\"int16_t\" Default=\"215\"",
                         "Parameter=\"Sollwerte_Sollwert\" DataId=\"0\" Datatype=\"int16_t\" Default=\"230\"");
        expected.replace("Sollwerte_Betriebsart\" DataId=\"2\" Datatype=\"list16_t\" Default=\"1\"",
                         "Sollwerte_Betriebsart\" DataId=\"2\" Datatype=\"list16_t\" Default=\"2\"");
        QCOMPARE(readFile(file), expected);
        const Result shown = run({ "show", "--file", file });
        QCOMPARE(shown.exitCode, 0);
        QVERIFY2(shown.out.contains("      Setpoint: 23,0 °C") && shown.out.contains("      Operating mode: Cooling"),
                 qPrintable(shown.out.join('\n')));

        // A record the device does not know is listed with the differing values.
        QString extended = expected;
        extended.replace("</group>\n</PMX_PARA>", "<value Parameter=\"Extra\" DataId=\"99\" Datatype=\"uint16_t\" "
                                                   "Default=\"5\"/></group>\n</PMX_PARA>");
        QFile extendedFile(file);
        QVERIFY(extendedFile.open(QIODevice::WriteOnly));
        extendedFile.write(extended.toUtf8());
        extendedFile.close();
        const Result differences = runOnDevice({ "diff", file });
        QCOMPARE(differences.exitCode, 1);
        QCOMPARE(differences.out, (QStringList{ "Setpoint: device 21,5 °C, file 23,0 °C",
                                                "Operating mode: device Heating, file Cooling",
                                                "Extra: device (none), file 5", "3 values differ." }));

        // Without the description the file was saved from, nothing is edited.
        QString foreign = expected;
        foreign.replace("Default=\"TC200\"", "Default=\"TC999\"");
        QVERIFY(extendedFile.open(QIODevice::WriteOnly));
        extendedFile.write(foreign.toUtf8());
        extendedFile.close();
        const Result unknown = run({ "edit", file, "Setpoint", "20" });
        QCOMPARE(unknown.exitCode, 4);
        QVERIFY2(unknown.err.contains("not supported"), qPrintable(unknown.err));
        QCOMPARE(readFile(file), foreign);
    }

    void printedParameters()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath("tc200.pdf");
        const Result printed = runOnDevice({ "print", pdf });
        QCOMPARE(printed.exitCode, 0);
        QProcess text;
        text.start("pdftotext", { "-layout", pdf, "-" });
        if (!text.waitForStarted(5000))
            QSKIP("pdftotext is not installed");
        QVERIFY(text.waitForFinished(10000));
        const QString content = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(content.contains("TC200 - Parameter"), qPrintable(content));
        QVERIFY(content.contains("Setpoint"));
        QVERIFY(content.contains("Operating mode"));
    }

    // The images for the device, the boot loader's identification, and an
    // update with the newest image that keeps a changed parameter.
    void firmware()
    {
        const Result images = runOnDevice({ "firmware" });
        QCOMPARE(images.exitCode, 0);
        QCOMPARE(images.out.mid(1), (QStringList{ "  1.05  TC200_1.05.bin", "  1.10  TC200_1.10.bin  (newest)" }));
        const Result bootLoader = runOnDevice({ "bootid" });
        QCOMPARE(bootLoader.exitCode, 0);
        QCOMPARE(bootLoader.out, QStringList{ "Boot loader: BL-0x1267, version 0.0" });

        QCOMPARE(runOnDevice({ "set", "Parameter", "Sollwerte_Sollwert", "30" }).exitCode, 0);
        const Result updated = runOnDevice({ "update" });
        QCOMPARE(updated.exitCode, 0);
        QVERIFY2(updated.out.last() == "Firmware updated; the parameters are written back.", qPrintable(updated.err));
        QVERIFY(runOnDevice({ "scan" }).out.contains("Revision: V1.10"));
        QVERIFY(runOnDevice({ "show", "Parameter" }).out.contains("      Setpoint: 30,0 °C"));
    }

    void recording()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath("tc200.csv");
        const Result recorded = runOnDevice({ "record", csv, "--seconds", "2" });
        QCOMPARE(recorded.exitCode, 0);
        const QStringList lines = readFile(csv).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 6, qPrintable(lines.join('\n')));
        QCOMPARE(lines.at(2), QStringLiteral("#;Device:;TC200;"));
        QCOMPARE(lines.at(4), QStringLiteral("Time of day;Actual value;Output level;Relay;Power;"));
        QCOMPARE(lines.at(5).count(';'), 5);
        QVERIFY(recorded.out.last().endsWith("rows recorded to " + csv));
        QCOMPARE(runOnDevice({ "record", csv, "--rotate", "3" }).exitCode, 2);
        const Result empty = runOnDevice({ "record", csv, "--seconds", "0" });
        QCOMPARE(empty.exitCode, 2);
        QVERIFY2(empty.err.contains("Invalid --seconds '0' (1 to 604800)."), qPrintable(empty.err));
    }
};

QTEST_GUILESS_MAIN(tst_paramica_cli)
#include "tst_paramica_cli.moc"
