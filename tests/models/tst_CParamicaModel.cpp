#include "backend/CDataBackend.h"
#include "items/CItem.h"
#include "models/CChartModel.h"
#include "protocol/CProtocolMaster.h"
#include "support/CSampleDescription.h"
#include "support/CSimulatorProcess.h"

#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTest>

#include <algorithm>

namespace {
enum ENUM_MODEL_KIND { TREE, TABLE, CHART, PROGRAM };

struct STRUCT_TRACKED {
    QPersistentModelIndex source;
    QPersistentModelIndex proxied;
    QVariant identity;
    bool lost;
};

// Every row below `parent`, depth first, in column 0.
QModelIndexList rows(const QAbstractItemModel* model, const QModelIndex& parent = QModelIndex())
{
    QModelIndexList result;
    for (int row = 0; row < model->rowCount(parent); ++row)
        result << model->index(row, 0, parent) << rows(model, model->index(row, 0, parent));
    return result;
}

QModelIndexList sourceRows(const QSortFilterProxyModel& proxy)
{
    QModelIndexList result;
    for (const QModelIndex& index : rows(&proxy))
        result << proxy.mapToSource(index);
    std::sort(result.begin(), result.end());
    return result;
}

void filter(QSortFilterProxyModel* proxy, int column, const QString& rejected)
{
    proxy->setFilterKeyColumn(column);
    proxy->setFilterRegularExpression(QStringLiteral("^(?!%1$)").arg(QRegularExpression::escape(rejected)));
    proxy->setRecursiveFilteringEnabled(true);
}
}

// The models built from the sample description. What every kind owes the
// front end: rows that appear, vanish or change are announced where they
// are, persistent indexes follow their items, and answers from the device
// reach the right items; then what each kind shows and asks for.
class tst_CParamicaModel : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;
    int m_kind = TREE;
    QAbstractItemModel* m_model = nullptr;

    QAbstractItemModel* build(const QString& object, QObject* parent, QSortFilterProxyModel* proxy = nullptr) const
    {
        if (m_kind == TREE)
            return m_sample.build<CTreeModel>(object, parent, proxy);
        if (m_kind == TABLE)
            return m_sample.build<CTableModel>(object, parent, proxy);
        if (m_kind == CHART)
            return m_sample.build<CChartModel>(object, parent, proxy);
        return m_sample.buildProgram(object, parent, proxy);
    }

    // What dataFinished reports (the program model has no such signal).
    QVariantList deliver(const QByteArray& answer) const
    {
        if (auto* program = qobject_cast<CProgramTableModel*>(m_model)) {
            program->decodeData(answer);
            return {};
        }
        QSignalSpy finished(m_model, SIGNAL(dataFinished(QByteArray)));
        dynamic_cast<CParamicaModel*>(m_model)->newMultipleData(answer);
        return finished.value(0);
    }

    // A tree row stands for its item; the rows of the flat models stay put.
    QVariant identity(const QModelIndex& index) const
    {
        return m_kind == TREE ? QVariant::fromValue(static_cast<QObject*>(index.internalPointer())) : index.row();
    }

    // The tree drops the rows of hidden items and of everything below them.
    static bool reachable(const QVariant& identity)
    {
        auto* item = qobject_cast<CItem*>(identity.value<QObject*>());
        while (item && item->isVisible())
            item = qobject_cast<CItem*>(item->parent());
        return !item;
    }

private slots:
    void initTestCase() { QVERIFY(m_sample.isValid()); }

    // Items are hidden and shown again under a filtering proxy, then an
    // answer (maybe another model's) arrives.
    void proxiesFollowVisibilityAndAnswers_data()
    {
        const auto block = &CSampleDescription::block;
        const QByteArray identity = QByteArray::fromHex("00c8" "0000" "d77102ce" "4142434400000000 0000" "0064");
        const QByteArray options = QByteArray(28, 0) + QByteArray::fromHex("0009"); // alarm on, display mode 2
        const QByteArray process = QByteArray::fromHex("00d7" "002a" "0001" "3f800000");
        QByteArray program; // quarter hours 0, 1, 2, ... in device order; the last cell no longer fits
        for (char quarters = 0; quarters < 28; ++quarters)
            program.append(char(0)).append(quarters);
        program.chop(1);
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<int>("filterColumn");
        QTest::addColumn<QString>("rejected"); // the value text the proxy filters out
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("finished"); // the model takes the block as its own
        QTest::addColumn<QStringList>("values"); // item name=value text after the answer
        QTest::addColumn<int>("changes"); // dataChanged signals: one per parent
        QTest::newRow("tree, a row amid its siblings") << int(TREE) << "Parameter" << QStringList{ "Sollwerte_Hysterese" } << 2 << "21,5 °C" << block(0x1000, QByteArray::fromHex("00c8001e")) << true << QStringList{ "Sollwerte_Sollwert=20,0", "Sollwerte_Hysterese=3,0" } << 1;
        QTest::newRow("tree, hidden bits hide their bitfield, which passes values on") << int(TREE) << "Parameter" << QStringList{ "Betrieb_Optionen_Alarm", "Betrieb_Optionen_Modus" } << 2 << "21,5 °C" << block(0x1000, options) << true << QStringList{ "Betrieb_Optionen_Alarm=On", "Betrieb_Optionen_Modus=Service" } << 3;
        QTest::newRow("tree, a whole object, the next one moves up") << int(TREE) << "DeviceInfo" << QStringList{ "Identifikation_Geraetenummer", "Identifikation_Bestellnummer", "Identifikation_Seriennummer", "Identifikation_ParameterVersion" } << 1 << "0 " << block(0x0400, identity) << true << QStringList{ "Identifikation_Geraetenummer=200", "Identifikation_Bestellnummer=47110001", "Identifikation_Seriennummer=BADC", "Identifikation_ParameterVersion=1.00" } << 1;
        QTest::newRow("tree, a short block fills what fits") << int(TREE) << "DeviceInfo" << QStringList() << 1 << "0 " << block(0x0400, QByteArray::fromHex("0001")) << true << QStringList{ "Identifikation_Geraetenummer=1", "Identifikation_Bestellnummer=0" } << 1;
        QTest::newRow("tree, the next address") << int(TREE) << "DeviceInfo" << QStringList() << 1 << "0 " << block(0x0401, identity) << false << QStringList{ "Identifikation_Geraetenummer=0" } << 0;
        QTest::newRow("tree, another model's block") << int(TREE) << "Parameter" << QStringList() << 2 << "21,5 °C" << block(0x0400, identity) << false << QStringList{ "Sollwerte_Sollwert=21,5" } << 0;
        QTest::newRow("table") << int(TABLE) << "PabOut" << QStringList{ "Prozesswerte_Stellgrad", "Prozesswerte" } << 1 << "0,0 °C" << block(0x1200, process) << true << QStringList{ "Prozesswerte_Istwert=21,5", "Prozesswerte_Stellgrad=42" } << 1;
        QTest::newRow("table, another address") << int(TABLE) << "PabOut" << QStringList() << 1 << "0,0 °C" << block(0x1300, process) << false << QStringList{ "Prozesswerte_Istwert=0,0" } << 0;
        QTest::newRow("chart") << int(CHART) << "PabOut" << QStringList{ "Prozesswerte_Stellgrad" } << 1 << "21.5" << block(0x1200, QByteArray::fromHex("012c002a00013f800000")) << true << QStringList{ "Prozesswerte_Istwert=30,0" } << 0;
        QTest::newRow("program") << int(PROGRAM) << "Weekly program" << QStringList() << 0 << "06:00 " << program << false << QStringList{ "Row1_Column1_On=00:00", "Row1_Column2_On=00:15", "Row2_Column1_On=00:30", "Row1_Column1_Off=03:30", "Row7_Column2_Off=22:00" } << 1;
    }

    void proxiesFollowVisibilityAndAnswers()
    {
        QFETCH(int, kind);
        QFETCH(QString, object);
        QFETCH(QStringList, hidden);
        QFETCH(int, filterColumn);
        QFETCH(QString, rejected);
        QFETCH(QByteArray, answer);
        QFETCH(bool, finished);
        QFETCH(QStringList, values);
        QFETCH(int, changes);
        m_kind = kind;
        QObject owner;
        QSortFilterProxyModel proxy;
        filter(&proxy, filterColumn, rejected);
        QAbstractItemModelTester proxyTester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_model = build(object, &owner, &proxy);
        QVERIFY(m_model);
        if (kind == CHART) {
            deliver(CSampleDescription::block(0x1200, QByteArray::fromHex("00d7002a00013f800000")));
            deliver(CSampleDescription::block(0x1200, QByteArray::fromHex("00c8002a00013f800000")));
        }
        QSignalSpy changed(m_model, &QAbstractItemModel::dataChanged);
        QVariantList finishedBlock;

        QList<STRUCT_TRACKED> tracked;
        for (const QModelIndex& index : rows(m_model))
            tracked.append({ index, proxy.mapFromSource(index), identity(index), false });
        QVERIFY(rows(&proxy).size() < tracked.size()); // the filter filters
        // After a failure (of a tester, too) the rows may be beyond reach.
        for (int step = 0; step < 3 && !QTest::currentTestFailed(); ++step) {
            if (step < 2) {
                for (const QString& name : hidden)
                    m_model->findChild<CItem*>(name)->setVisible(step == 1);
            } else {
                changed.clear();
                finishedBlock = deliver(answer);
            }
            QVariantList shown;
            for (const QModelIndex& index : rows(m_model))
                shown << identity(index);
            for (STRUCT_TRACKED& row : tracked) {
                row.lost = row.lost || !reachable(row.identity);
                QCOMPARE(shown.contains(row.identity), reachable(row.identity));
                QCOMPARE(row.source.isValid(), !row.lost);
                if (row.source.isValid())
                    QCOMPARE(identity(row.source), row.identity);
                if (row.proxied.isValid())
                    QCOMPARE(identity(proxy.mapToSource(row.proxied)), row.identity);
                QVERIFY(!row.lost || !row.proxied.isValid());
            }
        }
        for (const QString& value : values)
            QCOMPARE(m_model->findChild<CItem*>(value.section('=', 0, 0))->toValueString(), value.section('=', 1));
        QCOMPARE(changed.count(), changes);
        QCOMPARE(finishedBlock, finished ? QVariantList{ answer.mid(2) } : QVariantList()); // without the address
        if (auto* tree = qobject_cast<CTreeModel*>(m_model))
            QCOMPARE(tree->isValid(), finished);
        // What the live proxy shows after all that, a fresh one shows too.
        QSortFilterProxyModel fresh;
        filter(&fresh, filterColumn, rejected);
        fresh.setSourceModel(m_model);
        QCOMPARE(sourceRows(proxy), sourceRows(fresh));
    }

    void treeRowsRolesAndRequests()
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
        QCOMPARE(parameter->findChild<CItem*>("Sollwerte_Betriebsart")->toValueString(), QStringLiteral("Heating"));

        const QModelIndex setpoint = parameter->index(0, 2, setpoints);
        QCOMPARE(parameter->data(parameter->index(0, 0, setpoints)).toString(), QStringLiteral("P01"));
        QCOMPARE(parameter->data(parameter->index(0, 1, setpoints)).toString(), QStringLiteral("Setpoint"));
        QCOMPARE(parameter->data(setpoint).toString(), QStringLiteral("21,5 °C"));
        QCOMPARE(parameter->data(setpoint, Qt::ToolTipRole).toString(),
                 QStringLiteral("Settings range min: -50,0 °C\nSettings range max: 150,0 °C"));
        // Caption rows stand out; value rows do not.
        QVERIFY(parameter->data(setpoints, Qt::BackgroundRole).isValid() && !parameter->data(setpoint, Qt::BackgroundRole).isValid());
        // A new language is announced to the views of every row.
        parameter->setupTranslationTexts({ { "Deutsch", { { "Setpoint", "Sollwert" } } } });
        QSignalSpy translated(parameter, &QAbstractItemModel::dataChanged);
        parameter->updateModelTranslation(QStringLiteral("Deutsch"));
        QCOMPARE(parameter->data(parameter->index(0, 1, setpoints)).toString(), QStringLiteral("Sollwert"));
        QVERIFY(std::any_of(translated.cbegin(), translated.cend(), [&setpoint](const QList<QVariant>& range) {
            return range.at(0).toModelIndex().parent() == setpoint.parent();
        }));
        parameter->updateModelTranslation(QString());

        // One request each way over the whole object; no FC_RW feature, no read-write.
        QSignalSpy reads(parameter, &CTreeModel::buildReadRequests);
        QSignalSpy writes(parameter, &CTreeModel::buildWriteRequests);
        QSignalSpy readWrites(parameter, &CTreeModel::buildReadWriteRequests);
        parameter->readData();
        parameter->writeData();
        parameter->readWriteData();
        QCOMPARE(readWrites.count(), 0);
        const CRequest read = reads.first().first().value<QList<CRequest>>().first();
        QCOMPARE(QList<int>({ read.type, read.functionCode, read.readAddress, read.readLength }),
                 QList<int>({ REQUEST_READ_PARA, 3, 0x1000, 70 }));
        const CRequest write = writes.first().first().value<QList<CRequest>>().first();
        QCOMPARE(QList<int>({ write.type, write.functionCode, write.writeAddress, write.writeLength, write.data.size() }),
                 QList<int>({ REQUEST_WRITE_PARA, 16, 0x1000, 70, 70 }));
        QCOMPARE(write.data.left(6), QByteArray::fromHex("00d700140001")); // 215, 20, list index 1

        QVERIFY(parameter->flags(setpoint) & Qt::ItemIsEditable);
        parameter->setReadOnly(true);
        QVERIFY(!(parameter->flags(setpoint) & Qt::ItemIsEditable));
        QVERIFY(parameter->findChild<CItem*>("Sollwerte_Sollwert")->isReadOnly());

        // Single-element classes hang their lines under the object row; the
        // device information is read in two requests.
        auto* deviceInfo = m_sample.build<CTreeModel>(QStringLiteral("DeviceInfo"), &owner);
        QCOMPARE(deviceInfo->columnCount(), 2); // no info numbers
        QCOMPARE(deviceInfo->rowCount(deviceInfo->index(0, 0)), 4);
        QSignalSpy infoReads(deviceInfo, &CTreeModel::buildReadRequests);
        deviceInfo->readData();
        const QList<CRequest> infoRequests = infoReads.first().first().value<QList<CRequest>>();
        QCOMPARE(infoRequests.size(), 2);
        QCOMPARE(QList<int>({ infoRequests.at(0).type, infoRequests.at(0).readLength, infoRequests.at(1).readAddress }),
                 QList<int>({ REQUEST_READ_DEVICE_INFO, 20, 0x0410 }));
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

    // Flat tables: caption rows follow their rows.
    void tableRowsAndRoles()
    {
        QObject owner;
        auto* parameter = m_sample.build<CTableModel>(QStringLiteral("Parameter"), &owner);
        QVERIFY(parameter);
        QCOMPARE(parameter->columnCount(), 2);
        QCOMPARE(parameter->rowCount(), 10 + 1 + 10 + 1 + 1);
        QCOMPARE(parameter->itemAt(0)->objectName(), QStringLiteral("Sollwerte_Sollwert"));
        QCOMPARE(parameter->itemAt(10)->objectName(), QStringLiteral("Sollwerte"));
        QCOMPARE(parameter->itemAt(21)->type(), CItem::TYPE_GROUP);
        QCOMPARE(parameter->itemAt(22)->type(), CItem::TYPE_OBJECT);
        QVERIFY(!parameter->itemAt(-1));
        QVERIFY(!parameter->itemAt(parameter->rowCount()));
        // Bits are children of their bitfield, not rows.
        QVERIFY(parameter->itemAt(12)->findChild<CItem*>(QStringLiteral("Betrieb_Optionen_Alarm")));

        // Captions are looked up among the object and group rows only.
        QCOMPARE(parameter->itemByCaption(QStringLiteral("Control")), parameter->itemAt(22));
        QCOMPARE(parameter->itemByCaption(QStringLiteral("Operation")), parameter->itemAt(21));
        QVERIFY(!parameter->itemByCaption(QStringLiteral("Setpoint")));
        QVERIFY(!parameter->itemByCaption(QStringLiteral("control")));

        const QModelIndex setpoint = parameter->index(0, 1);
        QCOMPARE(parameter->data(parameter->index(0, 0)).toString(), QStringLiteral("Setpoint"));
        QCOMPARE(parameter->data(setpoint).toString(), QStringLiteral("21,5 °C"));
        // Caption rows stand out over the whole width; value rows do not.
        QVERIFY(!parameter->data(setpoint, Qt::BackgroundRole).isValid());
        QVERIFY(parameter->data(parameter->index(22, 1), Qt::BackgroundRole).isValid());

        // The special value text stands for values at or below the minimum.
        CItem* hysteresis = parameter->itemAt(1);
        hysteresis->setSpecialValueText(QStringLiteral("off"));
        hysteresis->setValue(0);
        QCOMPARE(parameter->data(parameter->index(1, 1)).toString(), QStringLiteral("off"));
        hysteresis->setValue(20);
        QCOMPARE(parameter->data(parameter->index(1, 1)).toString(), QStringLiteral("2,0 K"));

        // The language and the read-only state reach every row.
        parameter->setupTranslationTexts({ { "Deutsch", { { "Setpoint", "Sollwert" }, { "Control", "Regelung" } } } });
        QSignalSpy translated(parameter, &QAbstractItemModel::dataChanged);
        parameter->updateModelTranslation(QStringLiteral("Deutsch"));
        QCOMPARE(translated.count(), 1);
        QCOMPARE(translated.at(0).at(1).toModelIndex().row(), parameter->rowCount() - 1);
        QCOMPARE(parameter->data(parameter->index(0, 0)).toString(), QStringLiteral("Sollwert"));
        QCOMPARE(parameter->data(parameter->index(22, 0)).toString(), QStringLiteral("Regelung"));
        parameter->setReadOnly(true);
        QVERIFY(parameter->isReadOnly() && parameter->itemAt(0)->isReadOnly() && parameter->itemAt(22)->isReadOnly());
    }

    // The weekly program: seven days, two switch-on and two switch-off times
    // of day per day.
    void programCellsRequestsAndEditing()
    {
        QObject owner;
        CProgramTableModel* program = m_sample.buildProgram(QStringLiteral("Weekly program"), &owner);
        QCOMPARE(program->rowCount(), 7);
        QCOMPARE(program->columnCount(), 4);
        QCOMPARE(program->headerData(0, Qt::Vertical).toString(), QStringLiteral("Monday"));
        QCOMPARE(program->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Off 2"));
        QCOMPARE(program->headerData(9, Qt::Horizontal).toString(), QStringLiteral("?"));
        QCOMPARE(program->data(program->index(0, 0)).toString(), QStringLiteral("06:00 "));
        QCOMPARE(program->data(program->index(6, 3)).toString(), QStringLiteral("22:00 "));
        QCOMPARE(program->data(program->index(0, 0), Qt::ToolTipRole).toString(),
                 QStringLiteral("Settings range min: 00:00\nSettings range max: 24:00"));
        QVERIFY(program->flags(program->index(0, 0)) & Qt::ItemIsEditable);
        QCOMPARE(CProgramTableModel::columnRefFromString(QStringLiteral("Column12_Off")), QStringLiteral("Off"));
        QVERIFY(CProgramTableModel::columnRefFromString(QStringLiteral("Column3")).isEmpty());

        // Requests carry the whole program.
        const CRequest read = program->readData();
        QCOMPARE(QList<int>({ read.type, read.functionCode, read.readAddress, read.readLength, read.data.size() }),
                 QList<int>({ REQUEST_READ_PROGRAM, 3, 12288, 56, 0 }));
        const CRequest write = program->writeData();
        QCOMPARE(QList<int>({ write.type, write.functionCode, write.writeAddress, write.writeLength, write.data.size() }),
                 QList<int>({ REQUEST_WRITE_PROGRAM, 16, 12288, 56, 56 }));

        // The item judges the text; the model takes the value or says why not.
        QSignalSpy refused(program, &CProgramTableModel::inputRefused);
        QSignalSpy changed(program, &QAbstractItemModel::dataChanged);
        const QModelIndex monday = program->index(0, 0);
        QVERIFY(program->setData(monday, QStringLiteral("06:15")));
        QVERIFY(!changed.isEmpty());
        QVERIFY(!program->setData(monday, QStringLiteral("06:10"))); // not on a quarter hour
        QCOMPARE(program->itemAt(monday)->value().toInt(), 25);
        QCOMPARE(refused.count(), 1);
        QVERIFY(refused.first().first().toString().contains(QStringLiteral("Monday")));
        program->decodeData(QByteArray::fromHex("ffff")); // below the minimum
        QCOMPARE(program->data(monday).toString(), QStringLiteral("--:--"));
    }

    void readAndWriteThroughTheSimulator()
    {
        CSimulatorProcess simulator;
        QVERIFY(simulator.startTcp());
        CDataBackend* backend = CDataBackend::instance();
        backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        QVERIFY(backend->openInterface(INTERFACE_TCP, simulator.endpoint(), 1));
        QSignalSpy acks(backend, &CDataBackend::deviceAckResponse);
        QObject owner;
        auto* parameter = m_sample.build<CTreeModel>(QStringLiteral("Parameter"), &owner);
        connect(parameter, &CTreeModel::buildReadRequests, backend, &CDataBackend::buildRequests);
        connect(parameter, &CTreeModel::buildWriteRequests, backend, &CDataBackend::buildRequests);
        connect(backend->protocolMaster(), &CProtocolMaster::dataResponse, parameter, &CTreeModel::newMultipleData);
        auto* setpoint = parameter->findChild<CItem*>("Sollwerte_Sollwert");
        setpoint->setValue(-123);
        parameter->findChild<CItem*>("Betrieb_Bezeichnung")->setValue(QStringLiteral("Hall"));
        parameter->writeData();
        QVERIFY(acks.wait(5000));
        setpoint->setValue(0);
        QSignalSpy finished(parameter, &CTreeModel::dataFinished);
        parameter->readData();
        QVERIFY(finished.wait(5000));
        QCOMPARE(setpoint->toValueString(), QStringLiteral("-12,3"));
        QCOMPARE(parameter->findChild<CItem*>("Betrieb_Bezeichnung")->toValueString(), QStringLiteral("Hall"));

        // A program goes as one block each way.
        CProgramTableModel* program = m_sample.buildProgram(QStringLiteral("Weekly program"), &owner);
        CProgramTableModel* copy = m_sample.buildProgram(QStringLiteral("Weekly program"), &owner);
        QVERIFY(program->setData(program->index(2, 1), QStringLiteral("13:45")));
        backend->buildRequest(program->writeData());
        QVERIFY(acks.wait(5000));
        connect(backend, &CDataBackend::programDataResponse, copy, [copy](const QByteArray& data) {
            copy->decodeData(data.mid(2)); // after the start address
        });
        QSignalSpy answers(backend, &CDataBackend::programDataResponse);
        backend->buildRequest(copy->readData());
        QVERIFY(answers.wait(5000));
        QCOMPARE(copy->data(copy->index(2, 1)).toString(), QStringLiteral("13:45 "));
        QCOMPARE(copy->buildRequestData(), program->buildRequestData());
        backend->closeInterface();
    }
};

QTEST_MAIN(tst_CParamicaModel)
#include "tst_CParamicaModel.moc"
