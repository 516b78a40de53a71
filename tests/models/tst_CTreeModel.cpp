#include "backend/CDataBackend.h"
#include "items/CItem.h"
#include "models/CTreeModel.h"
#include "protocol/CProtocolMaster.h"
#include "support/CSampleDescription.h"
#include "support/CSimulatorProcess.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>


// Tree models built from the sample description, as the back end builds them.
class tst_CTreeModel : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;

    // Built like the back end does; the Qt model tester watches it afterwards.
    CTreeModel* build(const QString& object, QObject* parent)
    {
        auto* model = new CTreeModel(object, parent);
        const CElementMap* map = m_sample.object(object);
        model->setupListEntries(map->lists);
        model->setupBitfieldEntries(map->bitfields);
        model->setupFeatures(map->features);
        if (model->setupModel(map->classes))
            return nullptr;
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
        return model;
    }

    static CItem* item(CTreeModel* model, const QString& name) { return model->findChild<CItem*>(name); }

    static QByteArray block(quint16 address, const QByteArray& registers)
    {
        QByteArray data;
        data.append(char(address >> 8));
        data.append(char(address & 0xFF));
        return data + registers;
    }

private slots:
    void initTestCase() { QVERIFY(m_sample.isValid()); }

    void structure()
    {
        QObject owner;
        CTreeModel* parameter = build(QStringLiteral("Parameter"), &owner);
        QVERIFY(parameter);
        QCOMPARE(parameter->rowCount(), 1);
        QCOMPARE(parameter->columnCount(), 3); // info numbers present
        const QModelIndex control = parameter->index(0, 0);
        QVERIFY(parameter->data(control).toString().isEmpty()); // no info number on the object row
        QCOMPARE(parameter->data(parameter->index(0, 1)).toString(), QStringLiteral("Control"));
        QCOMPARE(parameter->rowCount(control), 2); // two elements: group rows
        const QModelIndex setpoints = parameter->index(0, 0, control);
        QCOMPARE(parameter->itemAt(setpoints)->objectName(), QStringLiteral("Sollwerte"));
        QCOMPARE(parameter->rowCount(setpoints), 10);
        QCOMPARE(parameter->rowCount(parameter->index(1, 0, control)), 9); // the hidden reserve has no row
        QCOMPARE(parameter->parent(setpoints), control);

        QVERIFY(item(parameter, "Sollwerte_Sollwert"));
        QVERIFY(item(parameter, "Betrieb_Optionen_Alarm"));
        QVERIFY(!item(parameter, "Betrieb_Optionen_Reserve")->isVisible());
        QCOMPARE(item(parameter, "Sollwerte_Betriebsart")->toValueString(), QStringLiteral("Heating"));

        CTreeModel* deviceInfo = build(QStringLiteral("DeviceInfo"), &owner);
        QCOMPARE(deviceInfo->columnCount(), 2);
        QCOMPARE(deviceInfo->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
        // Single-element classes hang their lines under the object row.
        QCOMPARE(deviceInfo->rowCount(deviceInfo->index(0, 0)), 4);
    }

    void displayRoles()
    {
        QObject owner;
        CTreeModel* parameter = build(QStringLiteral("Parameter"), &owner);
        const QModelIndex setpoints = parameter->index(0, 0, parameter->index(0, 0));
        const QModelIndex setpoint = parameter->index(0, 2, setpoints);
        QCOMPARE(parameter->data(parameter->index(0, 0, setpoints)).toString(), QStringLiteral("P01"));
        QCOMPARE(parameter->data(parameter->index(0, 1, setpoints)).toString(), QStringLiteral("Setpoint"));
        QCOMPARE(parameter->data(setpoint).toString(), QStringLiteral("21,5 °C"));
        QCOMPARE(parameter->data(setpoint, Qt::ToolTipRole).toString(),
                 QStringLiteral("Settings range min: -50,0 °C\nSettings range max: 150,0 °C"));
        QCOMPARE(parameter->data(setpoint, Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(parameter->data(setpoints, Qt::BackgroundRole).value<QColor>(), CParamicaModel::TABLE_CAPTION_COLOR);
        QVERIFY(parameter->flags(setpoint) & Qt::ItemIsEditable);
        parameter->setReadOnly(true);
        QVERIFY(!(parameter->flags(setpoint) & Qt::ItemIsEditable));
        QVERIFY(item(parameter, "Sollwerte_Sollwert")->isReadOnly());
    }

    void requests()
    {
        QObject owner;
        CTreeModel* parameter = build(QStringLiteral("Parameter"), &owner);
        QSignalSpy reads(parameter, &CTreeModel::buildReadRequests);
        QSignalSpy writes(parameter, &CTreeModel::buildWriteRequests);
        QSignalSpy readWrites(parameter, &CTreeModel::buildReadWriteRequests);
        parameter->readData();
        parameter->writeData();
        parameter->readWriteData(); // no FC_RW feature
        QCOMPARE(reads.count(), 1);
        QCOMPARE(readWrites.count(), 0);

        const CRequest read = reads.first().first().value<QList<CRequest>>().first();
        QCOMPARE(int(read.type), int(REQUEST_READ_PARA));
        QCOMPARE(int(read.functionCode), 3);
        QCOMPARE(int(read.readAddress), 0x1000);
        QCOMPARE(int(read.readLength), 70);

        const CRequest write = writes.first().first().value<QList<CRequest>>().first();
        QCOMPARE(int(write.type), int(REQUEST_WRITE_PARA));
        QCOMPARE(int(write.functionCode), 16);
        QCOMPARE(int(write.writeAddress), 0x1000);
        QCOMPARE(int(write.writeLength), 70);
        QCOMPARE(write.data.size(), 70);
        QCOMPARE(write.data.left(6), QByteArray::fromHex("00d700140001")); // 215, 20, list index 1

        CTreeModel* deviceInfo = build(QStringLiteral("DeviceInfo"), &owner);
        QSignalSpy infoReads(deviceInfo, &CTreeModel::buildReadRequests);
        QSignalSpy infoWrites(deviceInfo, &CTreeModel::buildWriteRequests);
        deviceInfo->readData();
        deviceInfo->writeData(); // no write addresses
        const QList<CRequest> infoRequests = infoReads.first().first().value<QList<CRequest>>();
        QCOMPARE(infoRequests.size(), 2);
        QCOMPARE(int(infoRequests.at(0).type), int(REQUEST_READ_DEVICE_INFO));
        QCOMPARE(int(infoRequests.at(0).readLength), 20);
        QCOMPARE(int(infoRequests.at(1).readAddress), 0x0410);
        QCOMPARE(infoWrites.count(), 0);
    }

    void answersAreCutIntoItems()
    {
        QObject owner;
        CTreeModel* deviceInfo = build(QStringLiteral("DeviceInfo"), &owner);
        CTreeModel* parameter = build(QStringLiteral("Parameter"), &owner);
        QSignalSpy valid(deviceInfo, &CTreeModel::validChanged);
        QSignalSpy finished(deviceInfo, &CTreeModel::dataFinished);
        QSignalSpy parameterFinished(parameter, &CTreeModel::dataFinished);
        const QByteArray registers = QByteArray::fromHex("00c8" "0000" "d77102ce" "4142434400000000 0000" "0064");

        // Every model gets every answer, as from the back end; only the one
        // reading 0x0400 takes it.
        for (CTreeModel* model : { deviceInfo, parameter }) {
            model->newMultipleData(block(0x0401, registers));
            model->newMultipleData(block(0x0400, registers));
        }
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toByteArray(), registers);
        QCOMPARE(parameterFinished.count(), 0);
        QCOMPARE(valid.count(), 1);
        QVERIFY(deviceInfo->isValid());
        QCOMPARE(item(deviceInfo, "Identifikation_Geraetenummer")->toValueString(), QStringLiteral("200"));
        QCOMPARE(item(deviceInfo, "Identifikation_Bestellnummer")->toValueString(), QStringLiteral("47110001"));
        QCOMPARE(item(deviceInfo, "Identifikation_Seriennummer")->toValueString(), QStringLiteral("BADC"));
        QCOMPARE(item(deviceInfo, "Identifikation_ParameterVersion")->toValueString(), QStringLiteral("1.00"));

        // A short block fills what fits and leaves the rest.
        deviceInfo->newMultipleData(block(0x0400, QByteArray::fromHex("0001")));
        QCOMPARE(item(deviceInfo, "Identifikation_Geraetenummer")->toValueString(), QStringLiteral("1"));
        QCOMPARE(item(deviceInfo, "Identifikation_Bestellnummer")->toValueString(), QStringLiteral("47110001"));
        QCOMPARE(valid.count(), 1);
    }

    void bitfieldAnswerReachesTheBits()
    {
        QObject owner;
        CTreeModel* parameter = build(QStringLiteral("Parameter"), &owner);
        QByteArray registers = parameter->modbusData(QStringLiteral("Regelung"));
        registers.replace(28, 2, QByteArray::fromHex("0009")); // Optionen: alarm on, display mode 2
        parameter->newMultipleData(block(0x1000, registers));
        QCOMPARE(item(parameter, "Betrieb_Optionen_Alarm")->toValueString(), QStringLiteral("On"));
        QCOMPARE(item(parameter, "Betrieb_Optionen_Modus")->toValueString(), QStringLiteral("Service"));
    }

    void readAndWriteAgainstTheSimulator()
    {
        CSimulatorProcess simulator;
        QVERIFY(simulator.startTcp({ "--order-number", "47110001" }));
        CDataBackend* backend = CDataBackend::instance();
        backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        QVERIFY(backend->openInterface(INTERFACE_TCP, simulator.endpoint(), 1));

        QObject owner;
        CTreeModel* deviceInfo = build(QStringLiteral("DeviceInfo"), &owner);
        CTreeModel* parameter = build(QStringLiteral("Parameter"), &owner);
        for (CTreeModel* model : { deviceInfo, parameter }) {
            connect(model, &CTreeModel::buildReadRequests, backend, &CDataBackend::buildRequests);
            connect(model, &CTreeModel::buildWriteRequests, backend, &CDataBackend::buildRequests);
            connect(backend->protocolMaster(), &CProtocolMaster::dataResponse, model, &CTreeModel::newMultipleData);
        }
        QSignalSpy infoFinished(deviceInfo, &CTreeModel::dataFinished);
        deviceInfo->readData();
        QTRY_COMPARE_WITH_TIMEOUT(infoFinished.count(), 2, 5000);
        QCOMPARE(item(deviceInfo, "Identifikation_Bestellnummer")->toValueString(), QStringLiteral("47110001"));
        QCOMPARE(item(deviceInfo, "Identifikation_ParameterVersion")->toValueString(), QStringLiteral("1.00"));

        item(parameter, "Sollwerte_Sollwert")->setValue(-123);
        item(parameter, "Betrieb_Bezeichnung")->setValue(QStringLiteral("Hall"));
        QSignalSpy acks(backend, &CDataBackend::deviceAckResponse);
        parameter->writeData();
        QVERIFY(acks.wait(5000));
        item(parameter, "Sollwerte_Sollwert")->setValue(0);
        QSignalSpy finished(parameter, &CTreeModel::dataFinished);
        parameter->readData();
        QVERIFY(finished.wait(5000));
        QCOMPARE(item(parameter, "Sollwerte_Sollwert")->toValueString(), QStringLiteral("-12,3"));
        QCOMPARE(item(parameter, "Betrieb_Bezeichnung")->toValueString(), QStringLiteral("Hall"));
        backend->closeInterface();
    }
};

QTEST_MAIN(tst_CTreeModel)
#include "tst_CTreeModel.moc"
