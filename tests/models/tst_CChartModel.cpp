#include "items/CItem.h"
#include "models/CChartModel.h"
#include "support/CSampleDescription.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
const QString TIME = QStringLiteral("Time of day");
const QString ACTUAL = QStringLiteral("Prozesswerte_Istwert");
const QString LEVEL = QStringLiteral("Prozesswerte_Stellgrad");
const QString RELAY = QStringLiteral("Prozesswerte_Relais");
const QString POWER = QStringLiteral("Prozesswerte_Leistung");
}

// A chart model whose clock the test sets, so that a day passes at once.
class CClockedChartModel : public CChartModel
{
public:
    using CChartModel::CChartModel;
    QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0));

protected:
    QDateTime currentDateTime() const override { return now; }
};

// Time series of the sample device's process values.
class tst_CChartModel : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;

    CClockedChartModel* build(const QString& object, QObject* parent)
    {
        auto* model = new CClockedChartModel(object, parent);
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
        const CElementMap* map = m_sample.object(object);
        model->setupListEntries(map->lists);
        model->setupBitfieldEntries(map->bitfields);
        return model->setupModel(map->classes) ? nullptr : model;
    }

    static CItem* item(CChartModel* model, const QString& name) { return model->findChild<CItem*>(name); }

    // One complete sample: every process value arrives.
    static void sample(CClockedChartModel* model, const QDateTime& time, int actual)
    {
        model->now = time;
        item(model, ACTUAL)->setValue(actual);
        item(model, LEVEL)->setValue(50);
        item(model, RELAY)->setValue(1);
        item(model, POWER)->setValue(2.5);
    }

private slots:
    void initTestCase() { QVERIFY(m_sample.isValid()); }

    void columnsOfChartableItems()
    {
        QObject owner;
        CChartModel* process = build(QStringLiteral("PabOut"), &owner);
        QVERIFY(process);
        QCOMPARE(process->objectNames(), QStringList({ TIME, ACTUAL, LEVEL, RELAY, POWER }));
        QCOMPARE(process->rowCount(), 0);
        QVERIFY(!process->isValid());
        QCOMPARE(process->dataNames().first(), qMakePair(TIME, TIME));
        QCOMPARE(process->dataNames().at(1).second, QStringLiteral("Actual value"));
        QCOMPARE(process->headerData(1, Qt::Horizontal).toString(), ACTUAL);
        QCOMPARE(process->headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
        QVERIFY(!item(process, ACTUAL)->isChartVisible());

        // Texts get no column but are switched off like everything else;
        // visible bits of a bitfield get their own column, hidden items none.
        CChartModel* parameter = build(QStringLiteral("Parameter"), &owner);
        const QStringList names = parameter->objectNames();
        QVERIFY(!names.contains(QStringLiteral("Betrieb_Bezeichnung")));
        QVERIFY(!item(parameter, QStringLiteral("Betrieb_Bezeichnung"))->isChartVisible());
        QVERIFY(names.contains(QStringLiteral("Betrieb_Optionen")));
        QVERIFY(names.contains(QStringLiteral("Betrieb_Optionen_Alarm")));
        QVERIFY(!names.contains(QStringLiteral("Betrieb_Reserve")));
        QVERIFY(!names.contains(QStringLiteral("Betrieb_Optionen_Reserve")));
    }

    void completeSampleMakesARowAtOnce()
    {
        QObject owner;
        CClockedChartModel* process = build(QStringLiteral("PabOut"), &owner);
        QSignalSpy texts(process, qOverload<QHash<QString, QString>>(&CChartModel::newDataAdded));
        QSignalSpy values(process, qOverload<QHash<QString, QVariant>>(&CChartModel::newDataAdded));
        sample(process, process->now, 215);
        QCOMPARE(process->rowCount(), 1);
        QCOMPARE(texts.count(), 1);
        const auto text = texts.first().first().value<QHash<QString, QString>>();
        QCOMPARE(text.value(TIME), process->now.toString(CItem::dateTimeFormat(true)));
        QCOMPARE(text.value(ACTUAL), QStringLiteral("21,5"));
        const auto raw = values.first().first().value<QHash<QString, QVariant>>();
        QCOMPARE(raw.value(ACTUAL), CItem::rawValue(215, CItem::TYPE_INT16_T, item(process, ACTUAL)->decimalFactor()));
        QCOMPARE(process->valueAtIndex(ACTUAL, 0), raw.value(ACTUAL));
        QCOMPARE(process->valueAtIndex(TIME, 0).toDateTime(), process->now);
        QVERIFY(!process->valueAtIndex(ACTUAL, 1).isValid());
        QVERIFY(!process->valueAtIndex(QStringLiteral("nothing"), 0).isValid());
    }

    void incompleteSampleIsDropped()
    {
        QObject owner;
        CClockedChartModel* process = build(QStringLiteral("PabOut"), &owner);
        QSignalSpy gathered(process->findChild<QTimer*>(), &QTimer::timeout);
        item(process, ACTUAL)->setValue(215);
        item(process, LEVEL)->setValue(50);
        QVERIFY(gathered.wait(2000));
        QCOMPARE(process->rowCount(), 0);
        // The dropped values do not complete the next sample.
        item(process, RELAY)->setValue(1);
        item(process, POWER)->setValue(2.5);
        QVERIFY(gathered.wait(2000));
        QCOMPARE(process->rowCount(), 0);
    }

    void historyKeepsOneDay()
    {
        QObject owner;
        CClockedChartModel* process = build(QStringLiteral("PabOut"), &owner);
        const QDateTime start = process->now;
        sample(process, start, 1);
        sample(process, start.addSecs(CChartModel::HISTORY_SECONDS), 2);
        QCOMPARE(process->rowCount(), 2);
        sample(process, start.addSecs(CChartModel::HISTORY_SECONDS).addMSecs(1), 3);
        QCOMPARE(process->rowCount(), 2);
        QCOMPARE(process->axisXMin(), start.addSecs(CChartModel::HISTORY_SECONDS));
        QCOMPARE(process->axisXMax(), start.addSecs(CChartModel::HISTORY_SECONDS).addMSecs(1));
    }

    void axesAndNearestValues()
    {
        QObject owner;
        CClockedChartModel* process = build(QStringLiteral("PabOut"), &owner);
        QVERIFY(!process->axisXMin().isValid());
        QCOMPARE(process->axisYMax(ACTUAL), 0.0);
        QCOMPARE(process->indexOfValue(TIME, process->now), -1);
        QVERIFY(!process->nextTo(TIME, process->now).isValid());

        const QDateTime start = process->now;
        sample(process, start, 30);
        // A single row is the nearest one for any question.
        QCOMPARE(process->nextTo(TIME, start.addSecs(-100)).toDateTime(), start);
        QCOMPARE(process->nextTo(TIME, start.addSecs(100)).toDateTime(), start);

        sample(process, start.addSecs(10), 10);
        sample(process, start.addSecs(20), 20);
        QCOMPARE(process->axisXMin(), start);
        QCOMPARE(process->axisXMax(), start.addSecs(20));
        QCOMPARE(process->axisYMin(ACTUAL), process->valueAtIndex(ACTUAL, 1).toDouble());
        QCOMPARE(process->axisYMax(ACTUAL), process->valueAtIndex(ACTUAL, 0).toDouble());
        QCOMPARE(process->axisY(ACTUAL), 0);

        QCOMPARE(process->indexOfValue(TIME, start.addSecs(10)), 1);
        QCOMPARE(process->indexOfValue(TIME, start.addSecs(11)), 2);
        QCOMPARE(process->indexOfValue(TIME, start.addSecs(30)), 3);
        QCOMPARE(process->nextTo(TIME, start.addSecs(5)).toDateTime(), start); // halfway: the earlier one
        QCOMPARE(process->nextTo(TIME, start.addMSecs(5001)).toDateTime(), start.addSecs(10));
        QCOMPARE(process->nextTo(TIME, start.addSecs(99)).toDateTime(), start.addSecs(20));
        QCOMPARE(process->nextTo(TIME, start.addSecs(-99)).toDateTime(), start);
    }

    void markers()
    {
        QObject owner;
        CClockedChartModel* process = build(QStringLiteral("PabOut"), &owner);
        QSignalSpy markers(process, &CChartModel::newMarkerData);
        process->setMarkerData(QPointF(process->now.toMSecsSinceEpoch(), 0), 1);
        QCOMPARE(markers.count(), 0); // no rows, no marker values

        const QDateTime start = process->now;
        sample(process, start, 10);
        sample(process, start.addSecs(10), 20);
        process->setMarkerData(QPointF(start.addSecs(8).toMSecsSinceEpoch(), 0), 2);
        QCOMPARE(markers.count(), 1);
        QCOMPARE(markers.first().at(0).toInt(), 2);
        const auto values = markers.first().at(1).value<QHash<QString, QVariant>>();
        QCOMPARE(values.value(TIME).toDateTime(), start.addSecs(10));
        QCOMPARE(values.value(ACTUAL), process->valueAtIndex(ACTUAL, 1));
        QCOMPARE(values.size(), 5);

        process->setMarkerData(QPointF(), 2, true);
        QCOMPARE(markers.count(), 2);
        QVERIFY(markers.last().at(1).value<QVariantHash>().isEmpty());
    }

    void onlineAndOffline()
    {
        QObject owner;
        CClockedChartModel* process = build(QStringLiteral("PabOut"), &owner);
        QSignalSpy reset(process, &CChartModel::dataReseted);
        sample(process, process->now, 1);
        process->setOnline(true);
        QCOMPARE(process->rowCount(), 1);
        QCOMPARE(reset.count(), 0);

        process->setOnline(false);
        sample(process, process->now.addSecs(1), 2);
        QCOMPARE(process->rowCount(), 1); // live values are ignored offline
        process->setOnline(true);
        QCOMPARE(process->rowCount(), 0);
        QCOMPARE(reset.count(), 1);
        sample(process, process->now.addSecs(2), 3);
        QCOMPARE(process->rowCount(), 1);
    }

    void recordedBlock()
    {
        QObject owner;
        CClockedChartModel* process = build(QStringLiteral("PabOut"), &owner);
        QSignalSpy range(process, &CChartModel::offlineAxisXRangeChanged);
        const QDateTime start(QDate(2026, 2, 1), QTime(8, 0));
        QHash<QString, QVector<QVariant>> record;
        for (int second = 0; second <= 10; ++second)
            record[TIME].append(start.addSecs(second));
        record[QStringLiteral("Actual value")] = QVector<QVariant>(11, 21.5);
        record[QStringLiteral("Prozesswerte - Output level")] = QVector<QVariant>(11, 40);
        record[QStringLiteral("Something else")] = QVector<QVariant>(11, 1);

        process->insertRecord({}, QString());
        QCOMPARE(range.count(), 0);
        process->insertRecord(record, QString());
        QVERIFY(!process->isOnline());
        QCOMPARE(process->rowCount(), 11);
        QCOMPARE(process->valueAtIndex(ACTUAL, 3).toDouble(), 21.5);
        QCOMPARE(process->valueAtIndex(LEVEL, 3).toInt(), 40);
        QVERIFY(!process->valueAtIndex(RELAY, 0).isValid());
        QCOMPARE(range.count(), 1);
        QCOMPARE(range.first().at(0).toDateTime(), start);
        QCOMPARE(range.first().at(1).toDateTime(), start.addSecs(CChartModel::MINIMUM_OFFLINE_RANGE_SECONDS));

        // Keys are item texts in the record's language.
        item(process, ACTUAL)->setupTranslations(
            { { QStringLiteral("Deutsch"), { { QStringLiteral("Actual value"), QStringLiteral("Istwert") } } } });
        process->insertRecord({ { TIME, { start } }, { QStringLiteral("Istwert"), { 7 } } }, QStringLiteral("Deutsch"));
        QCOMPARE(process->valueAtIndex(ACTUAL, 0).toInt(), 7);
    }
};

QTEST_MAIN(tst_CChartModel)
#include "tst_CChartModel.moc"
