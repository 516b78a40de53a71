#include "items/CItem.h"
#include "models/CChartModel.h"
#include "support/CSampleDescription.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <ctime>

namespace {
const QString TIME = QStringLiteral("Time of day");
const QString ACTUAL = QStringLiteral("Prozesswerte_Istwert");
const QString LEVEL = QStringLiteral("Prozesswerte_Stellgrad");
const QString RELAY = QStringLiteral("Prozesswerte_Relais");
const QString POWER = QStringLiteral("Prozesswerte_Leistung");
const qint64 DAY = CChartModel::HISTORY_SECONDS;
}

// A chart model whose clock the test sets, so that a day passes at once.
class CClockedChartModel : public CChartModel
{
public:
    using CChartModel::CChartModel;
    QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0));

protected:
    QDateTime currentDateTime() const override { return now.toUTC(); }
};

// Time series of the sample device's process values.
class tst_CChartModel : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;

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
    void initTestCase()
    {
        QVERIFY(m_sample.isValid());
        // Local time differs from UTC, so that mixing them up shows.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }

    void columnsOfChartableItems()
    {
        QObject owner;
        auto* process = m_sample.build<CClockedChartModel>(QStringLiteral("PabOut"), &owner);
        QVERIFY(process);
        QCOMPARE(process->objectNames(), QStringList({ TIME, ACTUAL, LEVEL, RELAY, POWER }));
        QVERIFY(!process->isValid());
        QCOMPARE(process->dataNames().first(), qMakePair(TIME, TIME));
        QCOMPARE(process->dataNames().at(1).second, QStringLiteral("Actual value"));
        QCOMPARE(process->axisYMax(ACTUAL), 0.0);
        QVERIFY(!process->axisXMin().isValid());
        QVERIFY(!item(process, ACTUAL)->isChartVisible());

        // 16-bit texts get no column but are switched off like everything
        // else; visible bits of a bitfield get their own column, hidden items none.
        auto* parameter = m_sample.build<CClockedChartModel>(QStringLiteral("Parameter"), &owner);
        QCOMPARE(parameter->objectNames().filter(QStringLiteral("Betrieb_")),
                 QStringList({ "Betrieb_Sprache", "Betrieb_Optionen", "Betrieb_Optionen_Alarm", "Betrieb_Optionen_Modus",
                               "Betrieb_Wartung", "Betrieb_Startzeit", "Betrieb_Einschaltzeit", "Betrieb_Laufzeit",
                               "Betrieb_Kurzname", "Betrieb_Profilversion" }));
        QVERIFY(!item(parameter, QStringLiteral("Betrieb_Bezeichnung"))->isChartVisible());
    }

    void samples()
    {
        QObject owner;
        auto* process = m_sample.build<CClockedChartModel>(QStringLiteral("PabOut"), &owner);
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
        // Time leaves the model in the user's local time, however it is kept.
        for (const QVariant& time : { raw.value(TIME), process->valueAtIndex(TIME, 0), QVariant(process->axisXMin()),
                                      process->data(process->index(0, 0)) })
            QCOMPARE(time.toDateTime().timeSpec(), Qt::LocalTime);

        // An incomplete sample is dropped when the gathering time is over;
        // its values do not complete the next one.
        QSignalSpy gathered(process->findChild<QTimer*>(), &QTimer::timeout);
        for (const QString& name : { ACTUAL, LEVEL, RELAY, POWER }) {
            item(process, name)->setValue(7);
            if (name == LEVEL)
                QVERIFY(gathered.wait(2000));
        }
        QVERIFY(gathered.wait(2000));
        QCOMPARE(process->rowCount(), 1);
    }

    void historyKeepsOneDay()
    {
        QObject owner;
        auto* process = m_sample.build<CClockedChartModel>(QStringLiteral("PabOut"), &owner);
        QSignalSpy removed(process, &QAbstractItemModel::rowsRemoved);
        const QDateTime start = process->now;
        const QDateTime dayLater = start.addSecs(DAY);
        sample(process, start, 1);
        sample(process, dayLater, 2);
        QCOMPARE(process->rowCount(), 2); // exactly a day old stays
        sample(process, dayLater.addMSecs(1), 3);
        QCOMPARE(process->rowCount(), 2);
        QCOMPARE(process->axisXMin(), dayLater);
        QCOMPARE(process->axisXMax(), dayLater.addMSecs(1));
        QCOMPARE(process->axisYMin(ACTUAL), 0.2);
        QCOMPARE(process->axisYMax(ACTUAL), 0.3);

        // A clock set back an hour: rows younger than a day stay, although
        // older ones follow them.
        sample(process, dayLater.addSecs(-3600), 4);
        sample(process, dayLater.addSecs(DAY).addMSecs(1), 5);
        QCOMPARE(process->rowCount(), 3);
        QCOMPARE(process->axisXMin(), dayLater.addMSecs(1));
        // After two days without a sample the next one drops them all at once.
        sample(process, dayLater.addSecs(4 * DAY), 6);
        QCOMPARE(process->rowCount(), 1);
        QCOMPARE(removed.last().at(1).toInt(), 0);
        QCOMPARE(removed.last().at(2).toInt(), 2);
    }

    void nearestSampleAndMarkers()
    {
        QObject owner;
        auto* process = m_sample.build<CClockedChartModel>(QStringLiteral("PabOut"), &owner);
        QSignalSpy markers(process, &CChartModel::newMarkerData);
        const QDateTime start = process->now;
        QCOMPARE(process->indexOfValue(TIME, start), -1);
        QVERIFY(!process->nextTo(TIME, start).isValid());
        process->setMarkerData(QPointF(start.toMSecsSinceEpoch(), 0), 1);
        QCOMPARE(markers.count(), 0); // no rows, no marker values

        sample(process, start, 30);
        // A single row is the nearest one for any question.
        QCOMPARE(process->nextTo(TIME, start.addSecs(-100)).toDateTime(), start);
        QCOMPARE(process->nextTo(TIME, start.addSecs(100)).toDateTime(), start);
        sample(process, start.addSecs(10), 10);
        sample(process, start.addSecs(20), 20);
        QCOMPARE(process->indexOfValue(TIME, start.addSecs(10)), 1);
        QCOMPARE(process->indexOfValue(TIME, start.addSecs(11)), 2);
        QCOMPARE(process->indexOfValue(TIME, start.addSecs(30)), 3);
        QCOMPARE(process->nextTo(TIME, start.addSecs(5)).toDateTime(), start); // halfway: the earlier one
        QCOMPARE(process->nextTo(TIME, start.addMSecs(5001)).toDateTime(), start.addSecs(10));
        QCOMPARE(process->nextTo(TIME, start.addSecs(99)).toDateTime(), start.addSecs(20));

        process->setMarkerData(QPointF(start.addSecs(8).toMSecsSinceEpoch(), 0), 2);
        const auto values = markers.last().at(1).value<QHash<QString, QVariant>>();
        QCOMPARE(markers.last().at(0).toInt(), 2);
        QCOMPARE(values.value(TIME).toDateTime(), start.addSecs(10));
        QCOMPARE(values.value(ACTUAL), process->valueAtIndex(ACTUAL, 1));
        QCOMPARE(values.size(), 5);
        process->setMarkerData(QPointF(), 2, true);
        QCOMPARE(markers.count(), 2);
        QVERIFY(markers.last().at(1).value<QVariantHash>().isEmpty());
    }

    void onlineOfflineAndRecords()
    {
        QObject owner;
        auto* process = m_sample.build<CClockedChartModel>(QStringLiteral("PabOut"), &owner);
        QSignalSpy reset(process, &CChartModel::dataReseted);
        QSignalSpy range(process, &CChartModel::offlineAxisXRangeChanged);
        sample(process, process->now, 1);
        process->setOnline(true); // already online: the series stays
        QCOMPARE(process->rowCount(), 1);
        QCOMPARE(reset.count(), 0);

        // A recorded block replaces the series and switches live values off.
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
        sample(process, process->now.addSecs(1), 2);
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

        // Back online, the series starts afresh.
        reset.clear();
        process->setOnline(true);
        QCOMPARE(process->rowCount(), 0);
        QCOMPARE(reset.count(), 1);
    }
};

QTEST_MAIN(tst_CChartModel)
#include "tst_CChartModel.moc"
