#include "backend/CDataBackend.h"
#include "models/CChartModel.h"
#include "models/CProgramTableModel.h"
#include "models/CTreeModel.h"
#include "protocol/CProtocolMaster.h"
#include "protocol/CRC16.h"
#include "support/CSimulatorProcess.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Identification, choice of the description file, activation and check of a
// device, against the simulator and the installed sample descriptions.
class tst_CDataBackendDevices : public QObject
{
    Q_OBJECT

    CDataBackend* m_backend = nullptr;
    CSimulatorProcess m_simulator;
    const QString TC200_100 = QStringLiteral("TC200 (Parameter version: 1.00, Order number: 47110001)");

    // A sealed description of a device with only its parameter version.
    static void writeDescription(const QString& path, const QString& name, const QString& orderNumber, int version)
    {
        QByteArray xml = QStringLiteral("<DVX><group name=\"DVX_PROJECT\"><value DVX_PROJECT_NAME=\"%1\" DVX_PROJECT_ORDER_NUMBER=\"%2\" "
                                        "DVX_PROJECT_TABLE_VERSION=\"500\"/></group><group name=\"DVX_OBJECT\"><value DVX_OBJECT_NAME=\"Parameter\"/>"
                                        "<group name=\"DVX_LINE\"><group name=\"C\"><value name=\"Version\" Default=\"%3\" Divider=\"100\"/>"
                                        "</group></group></group></DVX>\n").arg(name, orderNumber).arg(version).toUtf8();
        const quint16 crc = CRC16::calc_crc(xml);
        xml.append(char(crc >> 8)).append(char(crc & 0xFF));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(xml);
    }

private slots:
    void initTestCase() { m_backend = CDataBackend::instance(); }

    void cleanup()
    {
        m_backend->deactivateDevice();
        m_backend->closeInterface();
        m_simulator.stop();
        m_backend->loadDeviceFileNames();
    }

    void identification_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("models");
        QTest::newRow("TC200 1.00") << QStringList{ "--order-number", "47110001", "--para-version", "1.00" } << TC200_100 << QStringList{ "DeviceInfo", "PabOut", "Parameter", "Setup" };
        QTest::newRow("TC200 1.01 picks the newer file") << QStringList{ "--order-number", "47110001", "--para-version", "1.01" } << "TC200 (Parameter version: 1.01, Order number: 47110001)" << QStringList{ "DeviceInfo", "PabOut", "Parameter", "Setup" };
        QTest::newRow("TC300 variant through the wildcard") << QStringList{ "--order-number", "47120003", "--para-version", "2.00" } << "TC300 (Parameter version: 2.00, Order number: 4712XXXX)" << QStringList{ "DeviceInfo", "PabOut", "Parameter" };
    }

    void identification()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QString, device);
        QFETCH(QStringList, models);
        QVERIFY(m_simulator.serve(m_backend, simulator));
        QSignalSpy activated(m_backend, &CDataBackend::deviceActivated);
        QSignalSpy checked(m_backend, &CDataBackend::deviceChecked);
        m_backend->scanDevice();
        QVERIFY(activated.wait(5000));
        QCOMPARE(m_backend->currentDevice(), device);
        QStringList names;
        for (const CTreeModel* model : m_backend->models())
            names.append(model->objectName());
        QCOMPARE(names, models);
        // The device information read proves the device; then the parameters are read.
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, 5000);
        QCOMPARE(checked.first().first().toBool(), true);
        QTRY_VERIFY_WITH_TIMEOUT(m_backend->model("Parameter")->isValid(), 5000);
        QVERIFY(m_backend->model("DeviceInfo")->isValid());
        // Process values reach the chart, which only the dynamic object has.
        CChartModel* chart = m_backend->chartModel(QStringLiteral("PabOut"));
        QVERIFY(chart && !m_backend->chartModel(QStringLiteral("Parameter")));
        m_backend->model(QStringLiteral("PabOut"))->readData();
        QTRY_VERIFY_WITH_TIMEOUT(chart->rowCount() == 1, 5000);
    }

    void refusedDevices_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("selection"); // empty: scanned
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown device, scanned") << "99990001" << "" << "Device with order number '99990001' and parameter version '1.00' not supported!";
        QTest::newRow("another device's file selected") << "47110001" << "TC300 (Parameter version: 2.00, Order number: 4712XXXX)" << "Mismatch beetween selected device and read data.\nWrong device selected! ('4712XXXX' != '47110001')";
        QTest::newRow("no such file selected") << "47110001" << "TC999 (Parameter version: 1.00, Order number: 5555)" << "Device 'TC999 (Parameter version: 1.00, Order number: 5555)' not supported!";
    }

    // A device no file fits is reported after the second scan only (the first
    // miss asks the 0x0300 block). A selection the device contradicts is taken
    // back after the first read; one without a file is refused at once.
    void refusedDevices()
    {
        QFETCH(QString, order);
        QFETCH(QString, selection);
        QFETCH(QString, error);
        QVERIFY(m_simulator.serve(m_backend, { "--order-number", order }));
        QSignalSpy checked(m_backend, &CDataBackend::deviceChecked);
        QSignalSpy errors(m_backend, &CDataBackend::errorMessage);
        QSignalSpy deactivated(m_backend, &CDataBackend::deviceDeactivated);
        QSignalSpy scans(m_backend->protocolMaster(), &CProtocolMaster::scanResponse);
        if (selection.isEmpty()) {
            m_backend->scanDevice();
            QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
            QCOMPARE(scans.count(), 2);
        } else if (m_backend->activateDeviceByName(selection)) {
            QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, 5000);
            QCOMPARE(checked.first().first().toBool(), false);
            QCOMPARE(deactivated.count(), 1);
        }
        QCOMPARE(QList<QVariantList>(errors), (QList<QVariantList>{ { "Device", error } }));
        QVERIFY(!m_backend->isDeviceActive());
        QVERIFY(m_backend->models().isEmpty());
    }

    void activationReplacesTheModels_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::newRow("selected twice") << false;
        QTest::newRow("scanned twice") << true;
    }

    // A second activation takes the models of the first out of every lookup at
    // once; the new device is checked and its parameters read. Deactivation
    // releases the tree models and keeps the programs.
    void activationReplacesTheModels()
    {
        QFETCH(bool, scan);
        QVERIFY(m_simulator.serve(m_backend, { "--order-number", "47110001", "--para-version", "1.00" }));
        QSignalSpy checked(m_backend, &CDataBackend::deviceChecked);
        const auto activate = [this, scan] {
            if (!scan)
                return m_backend->activateDeviceByName(TC200_100);
            QSignalSpy activated(m_backend, &CDataBackend::deviceActivated);
            m_backend->scanDevice();
            return activated.wait(5000);
        };
        QVERIFY(activate());
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, 5000);
        QList<QPointer<QObject>> earlier;
        for (QObject* model : m_backend->findChildren<QAbstractItemModel*>())
            earlier.append(model);
        QCOMPARE(earlier.size(), 6); // four tree models, the chart, the weekly program

        QVERIFY(activate());
        for (QObject* model : m_backend->findChildren<QAbstractItemModel*>())
            QVERIFY(!earlier.contains(model));
        QCOMPARE(m_backend->programModels().size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 2, 5000);
        QVERIFY(checked.last().first().toBool());
        QTRY_VERIFY_WITH_TIMEOUT(m_backend->model("Parameter")->isValid(), 5000);
        for (const QPointer<QObject>& model : earlier)
            QTRY_VERIFY(!model);

        QPointer<CTreeModel> parameter = m_backend->model("Parameter");
        m_backend->deactivateDevice();
        QVERIFY(!m_backend->model("Parameter"));
        QTRY_VERIFY(!parameter);
        QCOMPARE(m_backend->programModels().size(), 1);
    }

    // A new master, the device still active: reopening reads the device
    // information through it, the unchanged answer is checked again, and the
    // models take the new master's answers.
    void modelsFollowTheCurrentMaster()
    {
        QVERIFY(m_simulator.serve(m_backend, { "--order-number", "47110001", "--para-version", "1.00" }));
        QSignalSpy checked(m_backend, &CDataBackend::deviceChecked);
        QVERIFY(m_backend->activateDeviceByName(TC200_100));
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, 5000);
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        QVERIFY(m_backend->openInterface(INTERFACE_TCP, m_simulator.endpoint(), 1));
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 2, 5000);
        QVERIFY(checked.last().first().toBool());
        CTreeModel* parameter = m_backend->model("Parameter");
        parameter->setValid(false);
        parameter->readData();
        QTRY_VERIFY_WITH_TIMEOUT(parameter->isValid(), 5000);
    }

    void choiceAmongMatchingFiles()
    {
        QTemporaryDir dir;
        writeDescription(dir.filePath("broad.xml"), "Broad", "47XXXXXX", 100);
        writeDescription(dir.filePath("narrow.xml"), "Narrow", "4711XXXX", 100);
        writeDescription(dir.filePath("narrow2.xml"), "Narrow", "4711XXXX", 102);
        m_backend->loadDeviceFileNames(dir.path());
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        QCOMPARE(m_backend->setupXmlData("47115555", "1.00", "").name, QStringLiteral("Narrow"));
        QCOMPARE(m_backend->setupXmlData("47115555", "", "").parameterVersion, QStringLiteral("1.02"));
        QCOMPARE(warnings.count(), 1); // several candidates, highest version taken
        QCOMPARE(m_backend->setupXmlData("47995555", "", "").name, QStringLiteral("Broad"));
        QCOMPARE(m_backend->setupXmlData("4711", "1.00", "Broad").name, QStringLiteral("Broad"));
    }

    void clockAnswersAreRouted()
    {
        QVERIFY(m_simulator.serve(m_backend, { "--register", "0x2000=0x2d05" }));
        QVERIFY(m_backend->activateDeviceByName(TC200_100));
        QSignalSpy clock(m_backend, &CDataBackend::dateTimeResponse);
        m_backend->buildRequest(CRequest(REQUEST_READ_DATETIME, 3, 0x2000, 8));
        QVERIFY(clock.wait(5000));
        QCOMPARE(clock.first().first().toByteArray().left(2), QByteArray::fromHex("2d05"));
    }

    void plugins()
    {
        m_backend->loadPlugins(QCoreApplication::applicationDirPath() + QStringLiteral("/plugins"));
        QCOMPARE(m_backend->pluginCount(), 1);
        QVERIFY(m_backend->activatePlugin(QStringLiteral("47110001")));
        QCOMPARE(m_backend->pluginName(), QStringLiteral("VELTA TC-200"));
        QCOMPARE(m_backend->getDeviceFlashNames(QStringLiteral("TC200 Plus")), (QStringList{ "TC200 Plus", "TC-200", "TC200" }));
        // A device without a plug-in of its own gets the family's fallback.
        QVERIFY(m_backend->activatePlugin(QStringLiteral("99990001")));
        QCOMPARE(m_backend->pluginName(), QStringLiteral("VELTA TC-200"));

        // Files that are not plug-ins are skipped with a log line.
        QTemporaryDir dir;
        QFile fake(dir.filePath(QStringLiteral("plugin_fake.so")));
        QVERIFY(fake.open(QIODevice::WriteOnly) && fake.write("not a library") > 0);
        fake.close();
        QSignalSpy logs(m_backend, &CDataBackend::log);
        m_backend->loadPlugins(dir.path());
        QCOMPARE(m_backend->pluginCount(), 0);
        QVERIFY(logs.last().first().toString().contains(QStringLiteral("Could not load plug-in plugin_fake.so")));

        // A Qt plug-in of another interface loads but is never chosen.
        m_backend->loadPlugins(QStringLiteral(OTHER_INTERFACE_PLUGIN_DIR));
        QCOMPARE(m_backend->pluginCount(), 1);
        QVERIFY(!m_backend->activatePlugin(QStringLiteral("47110001")));
        QVERIFY(!m_backend->activatePlugin(QStringLiteral("00000000")));
    }
};

QTEST_GUILESS_MAIN(tst_CDataBackendDevices)
#include "tst_CDataBackendDevices.moc"
