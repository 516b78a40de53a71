#include "CChartPane.h"
#include "CConnectDialog.h"
#include "CStudioWindow.h"
#include "support/CSimulatorProcess.h"

#include "backend/CDataBackend.h"
#include "files/CParameterFile.h"
#include "models/CChartModel.h"
#include "models/CTreeModel.h"
#include "protocol/CFlasher.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

// The reference front end as a user drives it, offscreen, against the
// simulated TC200; what reached the device is read back with the command line.
class tst_paramica_studio : public QObject
{
    Q_OBJECT

    CSimulatorProcess m_simulator;
    std::unique_ptr<CStudioWindow> m_window;
    QTemporaryDir m_dir;

    struct Result {
        int exitCode = -1;
        QString out;
        QString err;
    };

    static Result run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        Result result;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitCode();
        result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }

    // The device as the command line reads it, independently of the window.
    QString deviceParameters()
    {
        return run(PARAMICA_CLI_PATH, { "show", "Parameter", "--tcp", m_simulator.endpoint() }).out;
    }

    // Connects through the dialog as a user fills it in, waits for the
    // identification and puts a tester on every proxy the window built.
    void connectAndIdentify()
    {
        QVERIFY(m_simulator.startTcp());
        CConnectDialog* dialog = m_window->connectDialog();
        m_window->showConnectDialog();
        QTRY_VERIFY(dialog->isVisible());
        auto* host = dialog->findChild<QLineEdit*>("host");
        auto* port = dialog->findChild<QSpinBox*>("tcpPort");
        QVERIFY(host && port);
        host->setText(m_simulator.host());
        port->setValue(m_simulator.port());
        QSignalSpy checked(m_window->backend(), &CDataBackend::deviceChecked);
        dialog->accept();
        QTRY_VERIFY_WITH_TIMEOUT(!checked.isEmpty(), 20000);
        QCOMPARE(checked.first().first().toBool(), true);
        QVERIFY(m_window->proxy("Parameter"));
        for (QSortFilterProxyModel* proxy : m_window->proxies())
            new QAbstractItemModelTester(proxy, QAbstractItemModelTester::FailureReportingMode::QtTest, proxy);
        // The back end reads the parameters of the device it identified.
        CTreeModel* parameter = m_window->backend()->model("Parameter");
        QTRY_VERIFY_WITH_TIMEOUT(parameter->isValid(), 10000);
    }

    // The value cell of the row with this caption in the parameter view.
    QModelIndex valueIndex(const QString& caption) const
    {
        QSortFilterProxyModel* proxy = m_window->proxy("Parameter");
        const QModelIndexList found =
            proxy->match(proxy->index(0, 0), Qt::DisplayRole, caption, 1, Qt::MatchExactly | Qt::MatchRecursive);
        if (found.isEmpty()) {
            // The caption is in the second column when the items carry info numbers.
            const int column = proxy->columnCount() - 2;
            for (const QModelIndex& index :
                 proxy->match(proxy->index(0, column), Qt::DisplayRole, caption, 1, Qt::MatchExactly | Qt::MatchRecursive))
                return index.sibling(index.row(), proxy->columnCount() - 1);
            return QModelIndex();
        }
        return found.first().sibling(found.first().row(), proxy->columnCount() - 1);
    }

    static void screenshot(QWidget* widget, const QString& name)
    {
        QVERIFY(QDir().mkpath(PARAMICA_STUDIO_ARTIFACTS));
        const QString path = QStringLiteral(PARAMICA_STUDIO_ARTIFACTS "/%1.png").arg(name);
        // Layouts changed by the last step are settled before the picture is taken.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QPixmap picture = widget->grab();
        QVERIFY(!picture.isNull() && picture.width() > 0 && picture.height() > 0);
        QVERIFY(picture.save(path, "PNG"));
        QVERIFY(QImage(path).size() == picture.size());
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        m_window.reset(new CStudioWindow);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        for (QWidget* box : QApplication::topLevelWidgets()) {
            if (box->objectName() == "errorBox")
                box->close();
        }
        m_window.reset();
        m_simulator.stop();
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("help") << QStringList{ "--help" } << 0 << "--language <lang>";
        QTest::newRow("unknown option") << QStringList{ "--frobnicate" } << 2 << "Unknown option 'frobnicate'";
        QTest::newRow("stray argument") << QStringList{ "device.xml" } << 2 << "unexpected argument 'device.xml'";
        QTest::newRow("port beyond 16 bits") << QStringList{ "--tcp", "localhost:65536" } << 2
                                             << "invalid --tcp 'localhost:65536'";
        QTest::newRow("missing value") << QStringList{ "--language" } << 2 << "Missing value after '--language'";
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const Result result = run(PARAMICA_STUDIO_PATH, arguments);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2((exitCode == 0 ? result.out : result.err).contains(output), qPrintable(result.out + result.err));
    }

    void connectSettings_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("tcp") << int(INTERFACE_TCP) << "127.0.0.1:1502" << true;
        QTest::newRow("tcp without host") << int(INTERFACE_TCP) << ":1502" << false;
        QTest::newRow("serial without device") << int(INTERFACE_SERIAL) << "" << false;
        QTest::newRow("serial") << int(INTERFACE_SERIAL) << "/dev/ttyUSB0" << true;
        QTest::newRow("bluetooth module") << int(INTERFACE_BLUETOOTH) << "TC-BLE,00:11:22:33:44:55" << true;
        QTest::newRow("bluetooth without address") << int(INTERFACE_BLUETOOTH) << "TC-BLE" << false;
        QTest::newRow("bluetooth with empty address") << int(INTERFACE_BLUETOOTH) << "TC-BLE," << false;
        QTest::newRow("nfc") << int(INTERFACE_NFC) << "" << true;
    }

    // What the dialog hands on is what was filled in, and incomplete
    // settings keep it open with the reason.
    void connectSettings()
    {
        QFETCH(int, type);
        QFETCH(QString, port);
        QFETCH(bool, accepted);
        CConnectDialog dialog;
        CConnectDialog::Settings settings;
        settings.type = ENUM_INTERFACE_TYPE(type);
        settings.port = port;
        settings.unit = 17;
        settings.serial.baudRate = 19200;
        settings.serial.parity = 3;
        dialog.setSettings(settings);
        dialog.open();
        dialog.accept();
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(dialog.findChild<QLabel*>("problem")->text().isEmpty(), accepted);
        if (!accepted)
            return;
        const CConnectDialog::Settings chosen = dialog.settings();
        QCOMPARE(int(chosen.type), type);
        QCOMPARE(chosen.port, port);
        QCOMPARE(int(chosen.unit), 17);
        QCOMPARE(chosen.serial.baudRate, 19200);
        QCOMPARE(chosen.serial.parity, 3);
    }

    void refusedConnection()
    {
        CConnectDialog::Settings settings;
        settings.port = QStringLiteral("127.0.0.1:1");
        QSignalSpy shown(m_window.get(), &CStudioWindow::messageShown);
        QVERIFY(!m_window->connectDevice(settings));
        QVERIFY(!shown.isEmpty());
        QVERIFY2(m_window->lastMessage().contains("Could not connect to 127.0.0.1:1"), qPrintable(m_window->lastMessage()));
        // Shown without blocking.
        QTRY_VERIFY(m_window->findChild<QMessageBox*>("errorBox") && m_window->findChild<QMessageBox*>("errorBox")->isVisible());
    }

    void editInPlace_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("deviceLine");
        QTest::addColumn<bool>("written");
        QTest::newRow("scaled number in a spin box") << "hyster" << "Hysteresis" << "3.5" << "Hysteresis: 3,5 K" << true;
        QTest::newRow("list in a combo box") << "operating" << "Operating mode" << "Cooling"
                                             << "Operating mode: Cooling" << true;
        QTest::newRow("switch in a combo box") << "enable" << "Enable" << "Off" << "Enable: Off" << true;
        QTest::newRow("text in a line") << "zone" << "Zone name" << "Hall 2" << "Zone name: Hall 2" << true;
        QTest::newRow("time of day") << "P14" << "Start time" << "07:45" << "Start time: 07:45" << true;
        QTest::newRow("text too long") << "zone" << "Zone name" << "A zone name far too long for the device"
                                       << "Zone name: Zone 1" << false;
        QTest::newRow("time off the quarter hours") << "start time" << "Start time" << "07:40"
                                                    << "Start time: 06:00" << false;
    }

    // Filter, edit in the view's own editor, and find the value on the device.
    void editInPlace()
    {
        QFETCH(QString, filter);
        QFETCH(QString, caption);
        QFETCH(QString, input);
        QFETCH(QString, deviceLine);
        QFETCH(bool, written);
        connectAndIdentify();
        if (QTest::currentTestFailed())
            return;

        QTest::keyClicks(m_window->filterField(), filter);
        QSortFilterProxyModel* proxy = m_window->proxy("Parameter");
        QCOMPARE(proxy->filterRegularExpression().pattern(), QRegularExpression::escape(filter));
        const QModelIndex value = valueIndex(caption);
        QVERIFY(value.isValid());
        // What does not match is gone; the matching row's groups stay.
        QVERIFY(caption == "Setpoint" || !valueIndex("Setpoint").isValid());
        QVERIFY(value.parent().isValid());

        auto* view = qobject_cast<QTreeView*>(m_window->view("Parameter"));
        m_window->tabs()->setCurrentWidget(view);
        view->setCurrentIndex(value);
        view->edit(value);
        QWidget* editor = view->indexWidget(value);
        QVERIFY(editor);
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            QVERIFY2(combo->findText(input) >= 0, qPrintable(input));
            combo->setCurrentIndex(combo->findText(input));
        } else {
            auto* line = qobject_cast<QLineEdit*>(editor);
            if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
                line = spin->findChild<QLineEdit*>();
                input.replace('.', spin->locale().decimalPoint());
            }
            QVERIFY(line);
            line->selectAll();
            QTest::keyClicks(line, input);
        }
        QSignalSpy acknowledged(m_window->backend(), &CDataBackend::deviceAckResponse);
        QTest::keyClick(editor, Qt::Key_Return);
        if (written) {
            QTRY_VERIFY_WITH_TIMEOUT(!acknowledged.isEmpty(), 10000);
            QTRY_COMPARE(value.data().toString().trimmed(), deviceLine.section(": ", 1));
        } else {
            // The editor is committed from the event loop.
            QTRY_VERIFY2(m_window->lastMessage().contains("is not a valid value for " + caption),
                         qPrintable(m_window->lastMessage()));
            QVERIFY(acknowledged.isEmpty());
        }
        const QString device = deviceParameters();
        QVERIFY2(device.contains("  " + deviceLine + "\n"), qPrintable(device));
        if (QTest::currentDataTag() == QLatin1String("scaled number in a spin box"))
            screenshot(m_window.get(), "parameters-filtered");
    }

    // Save, change on the device, compare, print, load back.
    void parameterFiles()
    {
        connectAndIdentify();
        if (QTest::currentTestFailed())
            return;
        screenshot(m_window.get(), "parameters");
        const QString file = m_dir.filePath("tc200.xml");
        QVERIFY(m_window->saveParameters(file));
        QMap<QString, QString> description;
        QList<CDataPoint> records;
        QVERIFY(CParameterFile::loadFile(file, &description, &records));
        QCOMPARE(description.value("le_device"), QStringLiteral("TC200"));

        QCOMPARE(run(PARAMICA_CLI_PATH, { "set", "Parameter", "Sollwerte_Sollwert", "30", "--tcp", m_simulator.endpoint() })
                     .exitCode,
                 0);
        m_window->readAll();
        QTRY_COMPARE_WITH_TIMEOUT(valueIndex("Setpoint").data().toString().trimmed(), QStringLiteral("30,0 °C"), 10000);
        QVERIFY(m_window->compareWithFile(file));
        QTableWidget* differences = m_window->differencesTable();
        QCOMPARE(differences->rowCount(), 1);
        QCOMPARE(differences->item(0, 0)->text(), QStringLiteral("Setpoint"));
        QCOMPARE(differences->item(0, 1)->text().trimmed(), QStringLiteral("30,0 °C"));
        QCOMPARE(differences->item(0, 2)->text().trimmed(), QStringLiteral("21,5 °C"));
        screenshot(differences->window(), "differences");

        QPrintPreviewDialog* preview = m_window->printPreview();
        QVERIFY(preview);
        QTRY_VERIFY(preview->isVisible());
        screenshot(preview, "print-preview");
        preview->close();

        QSignalSpy acknowledged(m_window->backend(), &CDataBackend::deviceAckResponse);
        QVERIFY(m_window->loadParameters(file));
        QTRY_VERIFY_WITH_TIMEOUT(!acknowledged.isEmpty(), 10000);
        QVERIFY(deviceParameters().contains("  Setpoint: 21,5 °C\n"));

        // A file of another device is refused before anything is written.
        const QString foreign = m_dir.filePath("foreign.xml");
        description["le_order_number"] = "47990001";
        QVERIFY(CParameterFile::saveFile(foreign, description, records));
        QVERIFY(!m_window->loadParameters(foreign));
        QVERIFY2(m_window->lastMessage().contains("not to the connected TC200"), qPrintable(m_window->lastMessage()));
    }

    // Live values into the chart and a CSV file, markers, and the recording
    // shown again offline.
    void chartAndRecording()
    {
        connectAndIdentify();
        if (QTest::currentTestFailed())
            return;
        CChartPane* pane = m_window->chartPane();
        CChartModel* chart = pane->model();
        QVERIFY(chart);
        const QString column = chart->objectNames().value(1);
        const QString csv = m_dir.filePath("process.csv");
        QVERIFY(m_window->startRecording(csv));
        QVERIFY(m_window->isRecording());
        m_window->tabs()->setCurrentWidget(pane);
        QTRY_VERIFY_WITH_TIMEOUT(pane->pointCount(column) >= 3, 15000);
        m_window->stopRecording();
        m_window->setLive(false);
        QVERIFY(!m_window->isRecording());

        QSignalSpy marked(chart, &CChartModel::newMarkerData);
        const QDateTime first = chart->valueAtIndex(chart->objectNames().first(), 0).toDateTime();
        pane->setMarker(1, QPointF(double(first.toMSecsSinceEpoch()), 0));
        QCOMPARE(marked.count(), 1);
        QVERIFY2(pane->markerText().startsWith("M 1: " + first.toString("hh:mm:ss")), qPrintable(pane->markerText()));
        QVERIFY2(pane->markerText().contains("Output level = "), qPrintable(pane->markerText()));
        screenshot(m_window.get(), "chart");

        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 7, qPrintable(lines.join('\n')));
        QCOMPARE(lines.at(4), QStringLiteral("Time of day;Actual value;Output level;Relay;Power;"));
        const int recorded = lines.size() - 5;

        QVERIFY(m_window->openRecording(csv));
        QVERIFY(!chart->isOnline());
        QCOMPARE(chart->rowCount(), recorded);
        QCOMPARE(pane->pointCount(column), recorded);
        screenshot(m_window.get(), "chart-recording");
        // A file that is no recording is refused with the reason.
        QVERIFY(!m_window->openRecording(m_dir.filePath("missing.csv")));
        QVERIFY(m_window->lastMessage().startsWith("Could not read the recording"));
    }

    // The program tables behind their proxy, and a firmware update followed
    // by its progress dialog.
    void programsAndFirmware()
    {
        connectAndIdentify();
        if (QTest::currentTestFailed())
            return;
        QSortFilterProxyModel* program = m_window->proxy("Weekly program");
        QVERIFY(program);
        QCOMPARE(program->rowCount(), 7);
        m_window->tabs()->setCurrentWidget(m_window->view("Weekly program"));
        screenshot(m_window.get(), "program");

        const QString image = QCoreApplication::applicationDirPath() + CFlasher::FIRMWARE_PATH + "/TC200_1.10.bin";
        QVERIFY(QFile::exists(image));
        QSignalSpy progress(m_window->backend(), &CDataBackend::firmwareUpdateProgress);
        // The update runs in the back end's own loop; the dialog is looked at meanwhile.
        QPointer<QProgressDialog> dialog;
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            if (!dialog)
                dialog = m_window->findChild<QProgressDialog*>("firmwareProgress");
        });
        look.start(50);
        QCOMPARE(m_window->updateFirmware(image), 0);
        look.stop();
        QVERIFY(dialog);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().first().toInt(), 100);
        QVERIFY(run(PARAMICA_CLI_PATH, { "scan", "--tcp", m_simulator.endpoint() }).out.contains("V1.10"));
    }
};

QTEST_MAIN(tst_paramica_studio)
#include "tst_paramica_studio.moc"
