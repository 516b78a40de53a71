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
    CClockedChartModel* m_process = nullptr;

    static CItem* item(CChartModel* model, const QString& name) { return model->findChild<CItem*>(name); }

    // One complete sample: every process value arrives.
    void sample(const QDateTime& time, int actual)
    {
        m_process->now = time;
        item(m_process, ACTUAL)->setValue(actual);
        item(m_process, LEVEL)->setValue(50);
        item(m_process, RELAY)->setValue(1);
        item(m_process, POWER)->setValue(2.5);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_sample.isValid());
        // Local time differs from UTC, so that mixing them up shows.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }

    void init() { QVERIFY(m_process = m_sample.build<CClockedChartModel>(QStringLiteral("PabOut"), nullptr)); }
    void cleanup() { delete m_process; }

    // A column per chartable item, a row per complete sample.
    void columnsAndSamples()
    {
        QCOMPARE(m_process->objectNames(), QStringList({ TIME, ACTUAL, LEVEL, RELAY, POWER }));
        QCOMPARE(m_process->dataNames().mid(0, 2), (QList<QPair<QString, QString>>{ { TIME, TIME }, { ACTUAL, "Actual value" } }));
        QVERIFY(!m_process->isValid() && !m_process->axisXMin().isValid());
        QCOMPARE(m_process->axisYMax(ACTUAL), 0.0);
        // Visible bits of a bitfield get their own column; 16-bit texts and
        // hidden items none. No item is drawn before the user asks for it.
        QScopedPointer<CChartModel> parameter(m_sample.build<CClockedChartModel>(QStringLiteral("Parameter"), nullptr));
        QCOMPARE(parameter->objectNames().filter(QStringLiteral("Betrieb_")),
                 QStringList({ "Betrieb_Sprache", "Betrieb_Optionen", "Betrieb_Optionen_Alarm", "Betrieb_Optionen_Modus",
                               "Betrieb_Wartung", "Betrieb_Startzeit", "Betrieb_Einschaltzeit", "Betrieb_Laufzeit",
                               "Betrieb_Kurzname", "Betrieb_Profilversion" }));
        QVERIFY(!item(parameter.data(), QStringLiteral("Betrieb_Bezeichnung"))->isChartVisible());

        QSignalSpy texts(m_process, qOverload<QHash<QString, QString>>(&CChartModel::newDataAdded));
        QSignalSpy values(m_process, qOverload<QHash<QString, QVariant>>(&CChartModel::newDataAdded));
        sample(m_process->now, 215);
        QCOMPARE(m_process->rowCount(), 1);
        const auto text = texts.value(0).value(0).value<QHash<QString, QString>>();
        QCOMPARE(text.value(TIME), m_process->now.toString(CItem::dateTimeFormat(true)));
        QCOMPARE(text.value(ACTUAL), QStringLiteral("21,5"));
        const auto raw = values.value(0).value(0).value<QHash<QString, QVariant>>();
        QCOMPARE(raw.value(ACTUAL), QVariant(21.5));
        QCOMPARE(m_process->valueAtIndex(ACTUAL, 0), raw.value(ACTUAL));
        QCOMPARE(m_process->valueAtIndex(TIME, 0).toDateTime(), m_process->now);
        // Time leaves the model in the user's local time, however it is kept.
        for (const QVariant& time : { raw.value(TIME), m_process->valueAtIndex(TIME, 0), QVariant(m_process->axisXMin()),
                                      m_process->data(m_process->index(0, 0)) })
            QCOMPARE(time.toDateTime().timeSpec(), Qt::LocalTime);

        // An incomplete sample is dropped when the gathering time is over;
        // its values do not complete the next one.
        QSignalSpy gathered(m_process->findChild<QTimer*>(), &QTimer::timeout);
        for (const QString& name : { ACTUAL, LEVEL, RELAY, POWER }) {
            item(m_process, name)->setValue(7);
            if (name == LEVEL)
                QVERIFY(gathered.wait(2000));
        }
        QVERIFY(gathered.wait(2000));
        QCOMPARE(m_process->rowCount(), 1);
    }

    void historyKeepsOneDay()
    {
        QSignalSpy removed(m_process, &QAbstractItemModel::rowsRemoved);
        const QDateTime dayLater = m_process->now.addSecs(DAY);
        sample(m_process->now, 1);
        sample(dayLater, 2);
        QCOMPARE(m_process->rowCount(), 2); // exactly a day old stays
        sample(dayLater.addMSecs(1), 3);
        QCOMPARE(m_process->rowCount(), 2);
        QCOMPARE(m_process->axisXMin(), dayLater);
        QCOMPARE(m_process->axisXMax(), dayLater.addMSecs(1));
        QCOMPARE(m_process->axisYMin(ACTUAL), 0.2);
        QCOMPARE(m_process->axisYMax(ACTUAL), 0.3);

        // A clock set back an hour: rows younger than a day stay, although
        // older ones follow them.
        sample(dayLater.addSecs(-3600), 4);
        sample(dayLater.addSecs(DAY).addMSecs(1), 5);
        QCOMPARE(m_process->rowCount(), 3);
        QCOMPARE(m_process->axisXMin(), dayLater.addMSecs(1));
        // After two days without a sample the next one drops them all at once.
        sample(dayLater.addSecs(4 * DAY), 6);
        QCOMPARE(m_process->rowCount(), 1);
        QCOMPARE(removed.last().mid(1), (QVariantList{ 0, 2 }));
    }

    void nearestSampleAndMarkers()
    {
        QSignalSpy markers(m_process, &CChartModel::newMarkerData);
        const QDateTime start = m_process->now;
        QCOMPARE(m_process->indexOfValue(TIME, start), -1);
        QVERIFY(!m_process->nextTo(TIME, start).isValid());
        m_process->setMarkerData(QPointF(start.toMSecsSinceEpoch(), 0), 1);
        QCOMPARE(markers.count(), 0); // no rows, no marker values

        sample(start, 30);
        // A single row is the nearest one for any question.
        QCOMPARE(m_process->nextTo(TIME, start.addSecs(-100)).toDateTime(), start);
        QCOMPARE(m_process->nextTo(TIME, start.addSecs(100)).toDateTime(), start);
        sample(start.addSecs(10), 10);
        sample(start.addSecs(20), 20);
        // time asked for (ms after start), index of the first row not before it, nearest row
        for (const auto& [ms, index, nearest] : QList<std::tuple<int, int, int>>{ { 10000, 1, 10 }, { 11000, 2, 10 }, { 30000, 3, 20 }, { 5000, 1, 0 }, { 5001, 1, 10 }, { 99000, 3, 20 } }) {
            QCOMPARE(m_process->indexOfValue(TIME, start.addMSecs(ms)), index);
            QCOMPARE(m_process->nextTo(TIME, start.addMSecs(ms)).toDateTime(), start.addSecs(nearest)); // halfway: the earlier one
        }

        m_process->setMarkerData(QPointF(start.addSecs(8).toMSecsSinceEpoch(), 0), 2);
        const auto values = markers.last().at(1).value<QHash<QString, QVariant>>();
        QCOMPARE(markers.last().at(0).toInt(), 2);
        QCOMPARE(values.size(), 5);
        QCOMPARE(values.value(TIME).toDateTime(), start.addSecs(10));
        QCOMPARE(values.value(ACTUAL), m_process->valueAtIndex(ACTUAL, 1));
        m_process->setMarkerData(QPointF(), 2, true);
        QCOMPARE(markers.count(), 2);
        QVERIFY(markers.last().at(1).value<QVariantHash>().isEmpty());
    }

    // A recorded block replaces the series and switches live values off;
    // back online, the series starts afresh.
    void onlineOfflineAndRecords()
    {
        QSignalSpy reset(m_process, &CChartModel::dataReseted);
        QSignalSpy range(m_process, &CChartModel::offlineAxisXRangeChanged);
        sample(m_process->now, 1);
        m_process->setOnline(true); // already online: the series stays
        m_process->insertRecord({}, QString()); // nothing recorded: nothing changes
        QCOMPARE(m_process->rowCount(), 1);
        QCOMPARE(reset.count() + range.count(), 0);

        // Keys are item texts, alone or after their parents' texts.
        const QDateTime start(QDate(2026, 2, 1), QTime(8, 0));
        QHash<QString, QVector<QVariant>> record;
        for (int second = 0; second <= 10; ++second)
            record[TIME].append(start.addSecs(second));
        record[QStringLiteral("Actual value")] = QVector<QVariant>(11, 21.5);
        record[QStringLiteral("Prozesswerte - Output level")] = QVector<QVariant>(11, 40);
        record[QStringLiteral("Something else")] = QVector<QVariant>(11, 1);
        m_process->insertRecord(record, QString());
        QVERIFY(!m_process->isOnline());
        sample(m_process->now.addSecs(1), 2);
        QCOMPARE(m_process->rowCount(), 11);
        QCOMPARE(m_process->valueAtIndex(ACTUAL, 3).toDouble(), 21.5);
        QCOMPARE(m_process->valueAtIndex(LEVEL, 3).toInt(), 40);
        QVERIFY(!m_process->valueAtIndex(RELAY, 0).isValid());
        QCOMPARE(range.value(0), (QVariantList{ start, start.addSecs(CChartModel::MINIMUM_OFFLINE_RANGE_SECONDS) }));

        // Keys in the record's language.
        item(m_process, ACTUAL)->setupTranslations({ { "Deutsch", { { "Actual value", "Istwert" } } } });
        m_process->insertRecord({ { TIME, { start } }, { QStringLiteral("Istwert"), { 7 } } }, QStringLiteral("Deutsch"));
        QCOMPARE(m_process->valueAtIndex(ACTUAL, 0).toInt(), 7);

        reset.clear();
        m_process->setOnline(true);
        QCOMPARE(m_process->rowCount(), 0);
        QCOMPARE(reset.count(), 1);
    }
};

QTEST_MAIN(tst_CChartModel)
#include "tst_CChartModel.moc"
