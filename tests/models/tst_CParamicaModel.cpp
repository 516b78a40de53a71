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

// What every kind of model owes the front end: rows that appear, vanish or
// change are announced where they are, persistent indexes follow their items,
// and answers from the device reach the right items.
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
