#include "backend/CDataBackend.h"
#include "items/CItem.h"
#include "models/CChartModel.h"
#include "models/CTreeModel.h"
#include "protocol/CProtocolMaster.h"
#include "support/CPcscdProcess.h"
#include "support/CTagSimProcess.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

// The back end reaching the NFC sample device through pcscd's virtual reader
// and the tag emulator, as a front end does: scan, activation, reads and
// writes, and what faults of the tag do to them.
class tst_CDataBackendNfc : public QObject
{
    Q_OBJECT

    CDataBackend* m_backend = nullptr;
    CPcscdProcess m_pcscd;
    CTagSimProcess m_tag;

    QString value(const QString& model, const QString& item) const
    {
        const CTreeModel* tree = m_backend->model(model);
        const CItem* found = tree ? tree->findChild<CItem*>(item) : nullptr;
        return found ? found->toValueString() : QStringLiteral("(no %1 in %2)").arg(item, model);
    }

    // Presents the tag, opens the reader and waits until the device is
    // identified, checked and its parameters read.
    bool identify(const QStringList& options = {})
    {
        QSignalSpy checked(m_backend, &CDataBackend::deviceChecked);
        if (!m_tag.start(options) || !m_backend->openInterface(INTERFACE_NFC, QString(), 0))
            return false;
        if (!QTest::qWaitFor([&] { return checked.count() > 0; }, 10000) || !checked.first().first().toBool())
            return false;
        // Every section read: the master has nothing left to send.
        const CProtocolMaster* master = m_backend->protocolMaster();
        return QTest::qWaitFor([this, master] {
            return m_backend->model("Parameter")->isValid() && master->state() == CProtocolMaster::STATE_IDLE
                && master->queuedCount() == 0;
        }, 5000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_pcscd.start());
        m_backend = CDataBackend::instance();
        m_backend->setComProtocol(PROTOCOL_NFC);
    }

    void cleanup()
    {
        m_backend->deactivateDevice();
        m_backend->closeInterface();
        m_tag.stop();
    }

    // The tag is found, the device identified from its record and version and
    // its description activated; every model reads its values from the tag.
    void identifyAndReadEveryModel()
    {
        QSignalSpy lines(m_backend, &CDataBackend::log);
        QSignalSpy connected(m_backend, &CDataBackend::deviceConnected);
        QSignalSpy activated(m_backend, &CDataBackend::deviceActivated);
        QVERIFY(identify());
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [](const QList<QVariant>& line) {
            return line.first().toString().endsWith(QStringLiteral("Interface activated. Wait for device."));
        }));
        QCOMPARE(connected, (QList<QList<QVariant>>{ { true } }));
        QCOMPARE(activated, (QList<QList<QVariant>>{ { "TC200N" } }));
        QCOMPARE(m_backend->currentDevice(), QStringLiteral("TC200N (Parameter version: 1.00, Order number: 47130001)"));
        QStringList names;
        for (const CTreeModel* model : m_backend->models())
            names.append(model->objectName());
        QCOMPARE(names, (QStringList{ "DeviceInfo", "PabOut", "Parameter" }));
        QCOMPARE(value("DeviceInfo", "Identifikation_Geraetenummer"), QStringLiteral("4713"));
        QCOMPARE(value("DeviceInfo", "Identifikation_Bestellnummer"), QStringLiteral("47130001"));
        QCOMPARE(value("DeviceInfo", "Versionen_SoftwareVersion"), QStringLiteral("1.05"));
        QCOMPARE(value("Parameter", "Sollwerte_Sollwert"), QStringLiteral("21,5"));
        QCOMPARE(value("Parameter", "Sollwerte_Faktor"), QStringLiteral("1,500"));
        QCOMPARE(value("Parameter", "Sollwerte_Betriebsart"), QStringLiteral("Heating"));
        m_backend->model("PabOut")->readData();
        QTRY_COMPARE_WITH_TIMEOUT(m_backend->chartModel("PabOut")->rowCount(), 1, 5000);
        QCOMPARE(value("PabOut", "Prozesswerte_Istwert"), QStringLiteral("20,8"));
    }

    // A write lands in tag memory, one acknowledgement per section whatever
    // its number of blocks: a value changed here only afterwards is replaced
    // by the written one when the section is read back from the tag.
    void writeAndReadBack()
    {
        QVERIFY(identify());
        CTreeModel* parameter = m_backend->model("Parameter");
        CItem* setpoint = parameter->findChild<CItem*>("Sollwerte_Sollwert");
        CItem* location = parameter->findChild<CItem*>("Beschriftung_Standort");
        setpoint->setValue(-123);
        location->setValue(QStringLiteral("Hall C"));
        QSignalSpy acks(m_backend, &CDataBackend::deviceAckResponse);
        parameter->writeData();
        QTRY_COMPARE_WITH_TIMEOUT(acks.count(), 2, 5000);
        setpoint->setValue(0);
        location->setValue(QStringLiteral("-"));
        QSignalSpy finished(parameter, &CTreeModel::dataFinished);
        parameter->readData();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 5000);
        QCOMPARE(setpoint->toValueString(), QStringLiteral("-12,3"));
        QCOMPARE(location->toValueString(), QStringLiteral("Hall C"));
        QCOMPARE(acks.count(), 2);
    }

    void faults_data()
    {
        QTest::addColumn<QStringList>("tag");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<int>("nacks");
        // Blocks 64 to 68 hold the control parameters, 80 to 95 the labels.
        QTest::newRow("corrupt CRC: no answer after three attempts") << QStringList{ "--corrupt-crc", "256" } << "Read Para: No answer from device!" << 0;
        QTest::newRow("failure status word") << QStringList{ "--fail-block", "65:6A82" } << "Read Para: Function denied! Error code 0x6a82" << 1;
    }

    // A parameter read that the tag answers wrongly is reported, not taken.
    void faults()
    {
        QFETCH(QStringList, tag);
        QFETCH(QString, warning);
        QFETCH(int, nacks);
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        QSignalSpy nacked(m_backend, &CDataBackend::deviceNackResponse);
        QSignalSpy activated(m_backend, &CDataBackend::deviceActivated);
        QSignalSpy answers(m_backend->protocolMaster(), &CProtocolMaster::dataResponse);
        QVERIFY(m_tag.start(tag));
        QVERIFY(m_backend->openInterface(INTERFACE_NFC, QString(), 0));
        QVERIFY(activated.wait(5000));
        QTRY_COMPARE_WITH_TIMEOUT(warnings.count(), 1, 15000);
        QCOMPARE(warnings.first(), (QList<QVariant>{ "Device communication", warning }));
        QCOMPARE(nacked.count(), nacks);
        for (const QList<QVariant>& answer : qAsConst(answers))
            QVERIFY(!answer.first().toByteArray().startsWith(QByteArray::fromHex("0100")));
    }

    void tagRemovedMidway_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("read") << false << QStringList();
        QTest::newRow("write") << true << QStringList{ "Write Para: The tag left the field before the write was carried out!" };
    }

    // The tag leaves at the labels' last block: the loss is reported, a write
    // cut short is named and not finished on the tag that comes back, and the
    // same device is taken up again without a new activation.
    void tagRemovedMidway()
    {
        QFETCH(bool, write);
        QFETCH(QStringList, warnings);
        // Block 95 is the labels' last: read once while the device is identified.
        QVERIFY(identify({ "--remove-at-block", "95:2", "--return-after-ms", "300" }));
        QSignalSpy connected(m_backend, &CDataBackend::deviceConnected);
        QSignalSpy activated(m_backend, &CDataBackend::deviceActivated);
        QSignalSpy shown(m_backend, &CDataBackend::warningMessage);
        QSignalSpy nacked(m_backend, &CDataBackend::deviceNackResponse);
        CTreeModel* parameter = m_backend->model("Parameter");
        if (write)
            parameter->writeData();
        else
            parameter->readData();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, 5000);
        QCOMPARE(connected, (QList<QList<QVariant>>{ { false }, { true } }));
        QStringList warningTexts;
        for (const QList<QVariant>& warning : qAsConst(shown))
            warningTexts.append(warning.last().toString());
        QCOMPARE(warningTexts, warnings);
        QCOMPARE(nacked.count(), warnings.size());
        QTRY_VERIFY_WITH_TIMEOUT(m_backend->isConnected(), 5000);
        QSignalSpy finished(parameter, &CTreeModel::dataFinished);
        parameter->readData();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 5000);
        QCOMPARE(value("Parameter", "Sollwerte_Sollwert"), QStringLiteral("21,5"));
        QVERIFY(activated.isEmpty());
    }

    // Requests for a tag that is not there go nowhere; closing says so once.
    void closedInterfaceDropsRequests()
    {
        QVERIFY(identify());
        QSignalSpy connected(m_backend, &CDataBackend::deviceConnected);
        QSignalSpy lines(m_backend, &CDataBackend::log);
        m_backend->closeInterface();
        QCOMPARE(connected, (QList<QList<QVariant>>{ { false } }));
        QVERIFY(lines.last().first().toString().endsWith(QStringLiteral("NFC interface deactivated.")));
        m_backend->model("Parameter")->readData();
        QCOMPARE(m_backend->protocolMaster()->queuedCount(), 0);
        QVERIFY(!m_backend->isConnected());
    }
};

QTEST_GUILESS_MAIN(tst_CDataBackendNfc)
#include "tst_CDataBackendNfc.moc"
