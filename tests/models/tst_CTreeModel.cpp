#include "items/CItem.h"
#include "models/CTreeModel.h"
#include "support/CSampleDescription.h"

#include <QSignalSpy>
#include <QTest>

// Tree models built from the sample description, as the back end builds them.
class tst_CTreeModel : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;

    static CItem* item(CTreeModel* model, const QString& name) { return model->findChild<CItem*>(name); }

private slots:
    void initTestCase() { QVERIFY(m_sample.isValid()); }

    void structureAndRoles()
    {
        QObject owner;
        auto* parameter = m_sample.build<CTreeModel>(QStringLiteral("Parameter"), &owner);
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
        QCOMPARE(item(parameter, "Sollwerte_Betriebsart")->toValueString(), QStringLiteral("Heating"));

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

        auto* deviceInfo = m_sample.build<CTreeModel>(QStringLiteral("DeviceInfo"), &owner);
        QCOMPARE(deviceInfo->columnCount(), 2);
        QCOMPARE(deviceInfo->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
        // Single-element classes hang their lines under the object row.
        QCOMPARE(deviceInfo->rowCount(deviceInfo->index(0, 0)), 4);
    }

    void rowsAreAnnouncedWhereTheyAppear()
    {
        const auto line = [](const char* id, const char* type, const char* name) {
            return QHash<QString, QString>{ { "DataId", id }, { "Datatype", type }, { "Parameter", name }, { "Text", name } };
        };
        const CElement element{ "Werte", "Values", { line("0", "uint16_t", "Known"), line("1", "quantum", "Unknown") } };
        CTreeModel model(QStringLiteral("Generic"));
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QVERIFY(model.setupModel({ CElementClass{ "Werte", "Values", {}, { element } } })); // the unknown type
        QCOMPARE(reset.count(), 1);
        QCOMPARE(inserted.count(), 0);
        // The line of unknown type is kept, and has its row while visible.
        const QModelIndex values = model.index(0, 0);
        QCOMPARE(model.rowCount(values), 2);
        QCOMPARE(model.itemAt(model.index(1, 0, values))->objectName(), QStringLiteral("Werte_Unknown"));

        // An item appended to a built model appears below its parent.
        auto* added = new CItem(model.itemAt(values));
        model.appendItem(added);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(0).toModelIndex(), values);
        QCOMPARE(inserted.first().at(1).toInt(), 2);
        QCOMPARE(model.itemAt(model.index(2, 0, values)), added);
    }

    void requests()
    {
        QObject owner;
        auto* parameter = m_sample.build<CTreeModel>(QStringLiteral("Parameter"), &owner);
        QSignalSpy reads(parameter, &CTreeModel::buildReadRequests);
        QSignalSpy writes(parameter, &CTreeModel::buildWriteRequests);
        QSignalSpy readWrites(parameter, &CTreeModel::buildReadWriteRequests);
        parameter->readData();
        parameter->writeData();
        parameter->readWriteData(); // no FC_RW feature
        QCOMPARE(readWrites.count(), 0);
        const CRequest read = reads.first().first().value<QList<CRequest>>().first();
        QCOMPARE(QList<int>({ read.type, read.functionCode, read.readAddress, read.readLength }),
                 QList<int>({ REQUEST_READ_PARA, 3, 0x1000, 70 }));
        const CRequest write = writes.first().first().value<QList<CRequest>>().first();
        QCOMPARE(QList<int>({ write.type, write.functionCode, write.writeAddress, write.writeLength, write.data.size() }),
                 QList<int>({ REQUEST_WRITE_PARA, 16, 0x1000, 70, 70 }));
        QCOMPARE(write.data.left(6), QByteArray::fromHex("00d700140001")); // 215, 20, list index 1

        auto* deviceInfo = m_sample.build<CTreeModel>(QStringLiteral("DeviceInfo"), &owner);
        QSignalSpy infoReads(deviceInfo, &CTreeModel::buildReadRequests);
        deviceInfo->readData();
        const QList<CRequest> infoRequests = infoReads.first().first().value<QList<CRequest>>();
        QCOMPARE(infoRequests.size(), 2);
        QCOMPARE(QList<int>({ infoRequests.at(0).type, infoRequests.at(0).readLength, infoRequests.at(1).readAddress }),
                 QList<int>({ REQUEST_READ_DEVICE_INFO, 20, 0x0410 }));
    }
};

QTEST_MAIN(tst_CTreeModel)
#include "tst_CTreeModel.moc"
