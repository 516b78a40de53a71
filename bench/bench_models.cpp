// Model costs against their floors, in one run: distributing one answer block
// over tree models of 2,000 items, compared with decoding the covered items
// directly; and a day of samples of 16 series appended through the chart
// model, its time per sample at the start and end of the day, after a gap of
// two days, and its memory, compared with plain deques of doubles doing the
// same appends and drops.

#include "items/CItem.h"
#include "models/CChartModel.h"
#include "models/CTreeModel.h"
#include "xml/CXmlParser.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

namespace {
const int SECTIONS = 20;
const int LINES_PER_SECTION = 100;
const int SECTION_ADDRESS = 0x1000;
const int ANSWER_BYTES = 250;
const int ANSWERED_SECTION = SECTIONS - 1;
const int CHART_SERIES = 16;
const int DAY_SAMPLES = 86400;
const int TIMED_SAMPLES = 1000;
const int ROLLING_SAMPLES = 200;
const int GAP_SECONDS = 2 * DAY_SAMPLES;
const int GAPS = 3;

int sectionAddress(int section)
{
    return SECTION_ADDRESS + section * 0x100;
}

// Every fourth of the first 96 lines is a float, so that a section fills
// exactly the 124 registers of one answer.
QString lineType(int line)
{
    if (line % 4 == 3 && line < 96)
        return QStringLiteral("float");
    return line % 2 ? QStringLiteral("int16_t") : QStringLiteral("uint16_t");
}

QString dataLines(int count, int firstId)
{
    QString xml;
    for (int line = 0; line < count; ++line) {
        const int id = firstId + line;
        xml += QStringLiteral("          <value DataId=\"%1\" Datatype=\"%2\" Parameter=\"Wert%1\" Text=\"Value %1\""
                              " Unit=\"K\" Divider=\"10\" Min=\"-500\" Max=\"1500\"/>\n")
                   .arg(id)
                   .arg(lineType(id));
    }
    return xml;
}

QByteArray description(const QString& object, int sections, int elements, int linesPerElement)
{
    QString xml = QStringLiteral("<DVX>\n  <group name=\"DVX_OBJECT\">\n    <value DVX_OBJECT_NAME=\"%1\"/>\n"
                                 "    <group name=\"DVX_LINE\">\n      <value name=\"FC_RD\" Default=\"3\"/>\n")
                      .arg(object);
    for (int section = 0; section < sections; ++section) {
        xml += QStringLiteral("      <group name=\"Bereich%1\" Text=\"Section %1\">\n"
                              "        <value name=\"Address_RD\" Default=\"%2\"/>\n")
                   .arg(section)
                   .arg(sectionAddress(section));
        for (int element = 0; element < elements; ++element) {
            xml += QStringLiteral("        <group name=\"Gruppe%1_%2\" Text=\"Group %2\">\n").arg(section).arg(element);
            xml += dataLines(linesPerElement, element * linesPerElement);
            xml += QStringLiteral("        </group>\n");
        }
        xml += QStringLiteral("      </group>\n");
    }
    xml += QStringLiteral("    </group>\n  </group>\n</DVX>\n");
    return xml.toUtf8();
}

// The element maps of a generated description, as the reader hands them out.
class CGeneratedDescription
{
public:
    CGeneratedDescription(const QString& object, const QByteArray& xml)
        : m_content(CXmlParser::parseFileContent(xml, QString()))
        , m_map(m_content.value(object))
    {
    }
    ~CGeneratedDescription() { qDeleteAll(m_content); }
    CGeneratedDescription(const CGeneratedDescription&) = delete;
    CGeneratedDescription& operator=(const CGeneratedDescription&) = delete;

    template <class MODEL>
    bool setup(MODEL* model) const
    {
        if (!m_map)
            return false;
        model->setupListEntries(m_map->lists);
        model->setupBitfieldEntries(m_map->bitfields);
        return !model->setupModel(m_map->classes);
    }

private:
    QMap<QString, CElementMap*> m_content;
    const CElementMap* m_map = nullptr;
};

// Two answers to the same read whose every value differs, so that each item
// changes and notifies on every answer.
QList<QByteArray> answers()
{
    QList<QByteArray> result;
    for (int variant = 0; variant < 2; ++variant) {
        QByteArray answer;
        answer.append(char(sectionAddress(ANSWERED_SECTION) >> 8));
        answer.append(char(sectionAddress(ANSWERED_SECTION) & 0xFF));
        for (int i = 2; i < ANSWER_BYTES; ++i)
            answer.append(char(variant ? 0x40 + i % 7 : 0x20 + i % 5));
        result.append(answer);
    }
    return result;
}

struct STRUCT_TREE_MODELS {
    QObject owner;
    QList<CTreeModel*> models;
};

std::unique_ptr<STRUCT_TREE_MODELS> treeModels(int count)
{
    static const CGeneratedDescription generated(
        QStringLiteral("Parameter"), description(QStringLiteral("Parameter"), SECTIONS, 2, LINES_PER_SECTION / 2));
    auto result = std::make_unique<STRUCT_TREE_MODELS>();
    for (int i = 0; i < count; ++i) {
        auto* model = new CTreeModel(QStringLiteral("Parameter"), &result->owner);
        if (!generated.setup(model))
            return nullptr;
        result->models.append(model);
    }
    return result;
}

// The items one answer covers in a model, in id order.
QList<CItem*> coveredItems(CTreeModel* model)
{
    const QString section = QStringLiteral("Bereich%1").arg(ANSWERED_SECTION);
    const CItem* object = model->findChild<CItem*>(section);
    QList<CItem*> items;
    if (!object)
        return items;
    // Group rows carry no id and no slice of their own.
    for (CItem* item : object->findChildren<CItem*>()) {
        if (item->id() >= 0)
            items.append(item);
    }
    std::stable_sort(items.begin(), items.end(), idLessThen);
    return items;
}

// What the back end does with one answer: hand it to every model.
void BM_TreeModelsNewMultipleData(benchmark::State& state)
{
    const auto models = treeModels(int(state.range(0)));
    if (!models) {
        state.SkipWithError("the generated description did not build");
        return;
    }
    const QList<QByteArray> blocks = answers();
    int answer = 0;
    for (auto _ : state) {
        const QByteArray& block = blocks.at(answer++ % 2);
        for (CTreeModel* model : models->models)
            model->newMultipleData(block);
    }
    state.counters["items"] = models->owner.findChildren<CItem*>().size();
}

// The floor: the items an answer covers decode their slices directly. With
// `notifying` they still tell their model, which then signals its views.
void directDecoding(benchmark::State& state, bool notifying)
{
    const auto models = treeModels(int(state.range(0)));
    if (!models) {
        state.SkipWithError("the generated description did not build");
        return;
    }
    QList<QList<CItem*>> covered;
    for (CTreeModel* model : models->models) {
        covered.append(coveredItems(model));
        if (!notifying) {
            for (CItem* item : covered.last())
                item->disconnect(model);
        }
    }
    const QList<QByteArray> blocks = answers();
    int answer = 0;
    int decoded = 0;
    for (auto _ : state) {
        const QByteArray& block = blocks.at(answer++ % 2);
        decoded = 0;
        for (const QList<CItem*>& items : qAsConst(covered)) {
            int offset = 2;
            for (CItem* item : items) {
                const int length = item->dataLength();
                if (offset + length > block.size())
                    break;
                item->setData(block.mid(offset, length));
                offset += length;
                ++decoded;
            }
        }
    }
    state.counters["decoded"] = decoded;
}

void BM_DirectItemDecoding(benchmark::State& state)
{
    directDecoding(state, false);
}

void BM_DirectItemDecodingNotifyingModel(benchmark::State& state)
{
    directDecoding(state, true);
}

// Stamps samples one second apart, as a device sampled once per second
// would; the model keeps UTC, like its real clock.
class CSteppedChartModel : public CChartModel
{
public:
    using CChartModel::CChartModel;
    void tick(int seconds = 1) { m_now = m_now.addSecs(seconds); }

protected:
    QDateTime currentDateTime() const override { return m_now; }

private:
    QDateTime m_now = QDateTime(QDate(2026, 12, 6), QTime(0, 0), Qt::UTC);
};

long peakResidentKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void appendSamples(CSteppedChartModel* model, const QList<CItem*>& series, int first, int count)
{
    for (int sample = first; sample < first + count; ++sample) {
        model->tick();
        for (int i = 0; i < series.size(); ++i)
            series.at(i)->setValue(double((sample + 37 * i) % 1000) / 10.0);
    }
}

double nanosecondsPerSample(CSteppedChartModel* model, const QList<CItem*>& series, int first, int count)
{
    QElapsedTimer clock;
    clock.start();
    appendSamples(model, series, first, count);
    return double(clock.nsecsElapsed()) / count;
}

// The floor: the time stamps and 16 series as plain deques of numbers, each
// sample appended and the rows older than a day dropped from the front.
class CDequeDay
{
public:
    void append(qint64 second)
    {
        m_times.push_back(second);
        for (size_t i = 0; i < m_series.size(); ++i)
            m_series[i].push_back(double((second + 37 * qint64(i)) % 1000));
        const auto firstKept = std::lower_bound(m_times.begin(), m_times.end(), second - DAY_SAMPLES);
        const auto expired = firstKept - m_times.begin();
        m_times.erase(m_times.begin(), firstKept);
        for (auto& column : m_series)
            column.erase(column.begin(), column.begin() + expired);
        benchmark::ClobberMemory();
    }

private:
    std::deque<qint64> m_times;
    std::vector<std::deque<double>> m_series = std::vector<std::deque<double>>(CHART_SERIES);
};

double dequeNanosecondsPerSample(CDequeDay* day, qint64 first, int count)
{
    QElapsedTimer clock;
    clock.start();
    for (qint64 second = first; second < first + count; ++second)
        day->append(second);
    return double(clock.nsecsElapsed()) / count;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

struct STRUCT_FLOOR {
    double start = 0;
    double rolling = 0;
    double gap = 0;
};

// The floor's figures for the same day, the same rolling samples and the same
// gaps, each after a full day.
STRUCT_FLOOR dequeFloor()
{
    CDequeDay day;
    STRUCT_FLOOR figures;
    figures.start = dequeNanosecondsPerSample(&day, 1, TIMED_SAMPLES);
    dequeNanosecondsPerSample(&day, TIMED_SAMPLES + 1, DAY_SAMPLES - TIMED_SAMPLES);
    figures.rolling = dequeNanosecondsPerSample(&day, DAY_SAMPLES + 1, ROLLING_SAMPLES);
    qint64 second = DAY_SAMPLES + ROLLING_SAMPLES;
    std::vector<double> gaps;
    for (int gap = 0; gap < GAPS; ++gap) {
        second += GAP_SECONDS;
        gaps.push_back(dequeNanosecondsPerSample(&day, second, 1));
        dequeNanosecondsPerSample(&day, second + 1, DAY_SAMPLES - 1);
        second += DAY_SAMPLES;
    }
    figures.gap = median(gaps);
    return figures;
}

void reportChartDay()
{
    const CGeneratedDescription generated(QStringLiteral("PabOut"),
                                          description(QStringLiteral("PabOut"), 1, 1, CHART_SERIES));
    const long rssBefore = peakResidentKilobytes();
    QObject owner;
    auto* model = new CSteppedChartModel(QStringLiteral("PabOut"), &owner);
    if (!generated.setup(model) || model->columnCount() != CHART_SERIES + 1) {
        std::printf("\nChart model: the generated section did not build\n");
        return;
    }
    QList<CItem*> series;
    for (int column = 1; column < model->columnCount(); ++column)
        series.append(model->findChild<CItem*>(model->headerData(column, Qt::Horizontal).toString()));

    const double start = nanosecondsPerSample(model, series, 0, TIMED_SAMPLES);
    QElapsedTimer dayClock;
    dayClock.start();
    appendSamples(model, series, TIMED_SAMPLES, DAY_SAMPLES - 2 * TIMED_SAMPLES);
    const double end = nanosecondsPerSample(model, series, DAY_SAMPLES - TIMED_SAMPLES, TIMED_SAMPLES);
    const double dayMean = (dayClock.nsecsElapsed() + start * TIMED_SAMPLES) / DAY_SAMPLES;
    const long rssDelta = (peakResidentKilobytes() - rssBefore) * 1024;
    const int rowsAfterDay = model->rowCount();
    // Past a day every sample also drops the oldest row.
    const double rolling = nanosecondsPerSample(model, series, DAY_SAMPLES, ROLLING_SAMPLES);
    // A laptop waking up: the first sample after the gap drops the whole
    // day. The median of a few such gaps, each after a full day again.
    std::vector<double> gaps;
    int rowsAfterGap = 0;
    for (int gap = 0; gap < GAPS; ++gap) {
        model->tick(GAP_SECONDS);
        gaps.push_back(nanosecondsPerSample(model, series, 0, 1));
        rowsAfterGap = model->rowCount();
        appendSamples(model, series, 1, DAY_SAMPLES - 1);
    }
    const double gap = median(gaps);

    const STRUCT_FLOOR deques = dequeFloor();

    const double floorBytes = double(DAY_SAMPLES) * (CHART_SERIES + 1) * sizeof(double);
    std::printf("\nChart model, %d series + time, one sample per (simulated) second; floor: plain deques:\n"
                "  rows after a day: %d; after the gap: %d\n"
                "  per sample, first %d of the day: %10.0f ns (floor %.0f ns)\n"
                "  per sample, last %d of the day:  %10.0f ns (ratio end/start %.2f)\n"
                "  per sample, whole day:           %10.0f ns\n"
                "  per sample, first %d of the second day (dropping the oldest row): %.0f ns "
                "(ratio to start %.2f; floor %.0f ns)\n"
                "  first sample after a gap of %d s (dropping the whole day), median of %d: %.0f ns; "
                "floor %.0f ns; ratio %.2f\n"
                "  peak resident growth over the day: %.1f MB; raw doubles %d x %d x 8 = %.1f MB; ratio %.2f\n",
                CHART_SERIES, rowsAfterDay, rowsAfterGap, TIMED_SAMPLES, start, deques.start, TIMED_SAMPLES, end,
                end / start, dayMean, ROLLING_SAMPLES, rolling, rolling / start, deques.rolling, GAP_SECONDS, GAPS, gap,
                deques.gap, gap / deques.gap, rssDelta / 1e6, DAY_SAMPLES, CHART_SERIES + 1, floorBytes / 1e6,
                rssDelta / floorBytes);
}
}

BENCHMARK(BM_TreeModelsNewMultipleData)->Arg(1)->Arg(8);
BENCHMARK(BM_DirectItemDecoding)->Arg(1)->Arg(8);
BENCHMARK(BM_DirectItemDecodingNotifyingModel)->Arg(1)->Arg(8);

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // First, so that the peak resident size grows only by the chart's day.
    reportChartDay();
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
