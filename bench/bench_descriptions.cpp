// Description reader costs against a bare DOM parse of the same bytes, in one
// run: reading the identity of 200 sealed description files (what the back end
// does to list the installed devices) and fully reading one description of
// 5,000 data lines and building its tree model.

#include "items/CItem.h"
#include "models/CTreeModel.h"
#include "protocol/CRC16.h"
#include "xml/CXmlParser.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {
const int DESCRIPTION_FILES = 200;
const int CLASSES = 50;
const int ELEMENTS_PER_CLASS = 4;
const int LINES_PER_ELEMENT = 25;
const int LISTS = 20;
const int BITFIELDS = 20;
const QByteArray SAMPLE_ORDER_NUMBER = "DVX_PROJECT_ORDER_NUMBER=\"47110001\"";

// Sealed as paramica-dvx seals: the CRC of the XML appended high byte first.
QByteArray sealed(QByteArray xml)
{
    const quint16 crc = CRC16::calc_crc(xml);
    xml.append(char(crc >> 8));
    xml.append(char(crc & 0xFF));
    return xml;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One data line; the types rotate so that every codec class takes part.
QString dataLine(int id, int line)
{
    static const char* const types[] = { "uint16_t", "int16_t",  "float",   "uint32_t", "int32_t",
                                         "list16_t", "bool",     "bit16_t", "uint8_t",  "version16_t" };
    const QString type = QString::fromLatin1(types[line % 10]);
    QString parameter = QStringLiteral("Wert%1").arg(id);
    QString extra = QStringLiteral(" Unit=\"K\" Default=\"%1\" Divider=\"10\" Min=\"-500\" Max=\"1500\"").arg(line % 100);
    if (type == QLatin1String("list16_t")) {
        parameter = QStringLiteral("ModeK%1X_%2").arg(line % LISTS).arg(id);
        extra = QStringLiteral(" Default=\"1\"");
    } else if (type == QLatin1String("bit16_t")) {
        parameter = QStringLiteral("FlagsK%1X_%2").arg(line % BITFIELDS).arg(id);
        extra = QStringLiteral(" Default=\"5\"");
    }
    return QStringLiteral("          <value DataId=\"%1\" Datatype=\"%2\" Parameter=\"%3\" Text=\"Value %1\""
                          " Infonummer=\"P%4\"%5/>\n")
        .arg(id)
        .arg(type, parameter)
        .arg(line)
        .arg(extra);
}

// A Parameter object of 5,000 lines of mixed types in 50 sections of four
// elements, with the list and bitfield definitions its lines refer to.
QByteArray largeDescription()
{
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DVX>\n"
                                 "  <group name=\"DVX_PROJECT\">\n"
                                 "    <value DVX_PROJECT_NAME=\"TC900\" DVX_PROJECT_ORDER_NUMBER=\"47119999\"/>\n"
                                 "    <value DVX_PROJECT_SW_VERSION=\"1.0.0\" DVX_PROJECT_TABLE_VERSION=\"500\"/>\n"
                                 "  </group>\n"
                                 "  <group name=\"DVX_OBJECT\">\n"
                                 "    <value DVX_OBJECT_NAME=\"Parameter\"/>\n"
                                 "    <group name=\"DVX_LINE\">\n"
                                 "      <value name=\"FC_RD\" Default=\"3\"/>\n"
                                 "      <value name=\"FC_WR\" Default=\"16\"/>\n"
                                 "      <value name=\"Access\" Default=\"static\"/>\n");
    int line = 0;
    for (int c = 0; c < CLASSES; ++c) {
        const int address = 0x1000 + c * 0x100;
        xml += QStringLiteral("      <group name=\"Bereich%1\" Text=\"Section %1\">\n"
                              "        <value name=\"Address_RD\" Default=\"%2\"/>\n"
                              "        <value name=\"Address_WR\" Default=\"%2\"/>\n")
                   .arg(c)
                   .arg(address);
        if (c == 0)
            xml += QStringLiteral("        <value name=\"Version\" Default=\"100\" Divider=\"100\"/>\n");
        int id = 0;
        for (int e = 0; e < ELEMENTS_PER_CLASS; ++e) {
            xml += QStringLiteral("        <group name=\"Gruppe%1_%2\" Text=\"Group %2\">\n").arg(c).arg(e);
            for (int l = 0; l < LINES_PER_ELEMENT; ++l)
                xml += dataLine(id++, line++);
            xml += QStringLiteral("        </group>\n");
        }
        xml += QStringLiteral("      </group>\n");
    }
    xml += QStringLiteral("    </group>\n    <group name=\"DVX_TYPE_LIST\">\n");
    for (int i = 0; i < LISTS; ++i)
        xml += QStringLiteral("      <value Parameter=\"ModeK%1X\" List=\"Off,Heating,Cooling,Auto\"/>\n").arg(i);
    xml += QStringLiteral("    </group>\n    <group name=\"DVX_TYPE_BITFIELD\">\n");
    for (int i = 0; i < BITFIELDS; ++i) {
        xml += QStringLiteral("      <group name=\"FlagsK%1X\" Text=\"Flags\">\n"
                              "        <value Parameter=\"Alarm\" Default=\"1\" Text=\"Alarm relay\" List=\"Off,On\"/>\n"
                              "        <value Parameter=\"Modus\" Default=\"2\" Text=\"Mode\" List=\"A,B,C,D\"/>\n"
                              "        <value Parameter=\"Intern\" Default=\"13\" Text=\"Internal\" Visibility=\"false\"/>\n"
                              "      </group>\n")
                   .arg(i);
    }
    xml += QStringLiteral("    </group>\n  </group>\n</DVX>\n");
    return xml.toUtf8();
}

// The generated files, written once before the benchmarks run.
struct STRUCT_FIXTURE {
    QTemporaryDir directory;
    QString listDirectory;
    QString largePath;
    qint64 largeBytes = 0;
};
std::unique_ptr<STRUCT_FIXTURE> fixture;

bool createFixture()
{
    fixture = std::make_unique<STRUCT_FIXTURE>();
    if (!fixture->directory.isValid())
        return false;
    const QByteArray sample = readFile(QStringLiteral(PARAMICA_SAMPLE_DESCRIPTION));
    if (!sample.contains(SAMPLE_ORDER_NUMBER))
        return false;
    const QDir root(fixture->directory.path());
    root.mkdir(QStringLiteral("list"));
    fixture->listDirectory = root.filePath(QStringLiteral("list"));
    for (int i = 0; i < DESCRIPTION_FILES; ++i) {
        QByteArray xml = sample;
        xml.replace(SAMPLE_ORDER_NUMBER, QByteArray("DVX_PROJECT_ORDER_NUMBER=\"") + QByteArray::number(47120000 + i) + '"');
        const QString path = QDir(fixture->listDirectory).filePath(QStringLiteral("TC200_%1.xml").arg(i, 3, 10, QLatin1Char('0')));
        if (!writeFile(path, sealed(xml)))
            return false;
    }
    const QByteArray large = sealed(largeDescription());
    fixture->largePath = root.filePath(QStringLiteral("TC900.xml"));
    fixture->largeBytes = large.size();
    return writeFile(fixture->largePath, large);
}

QStringList descriptionFiles()
{
    const QDir dir(fixture->listDirectory);
    QStringList paths;
    for (const QString& file : dir.entryList({ QStringLiteral("*.xml") }, QDir::Files))
        paths.append(dir.filePath(file));
    return paths;
}

// The back end's listing loop: the identity of every description file.
void BM_OursListDescriptions(benchmark::State& state)
{
    CXmlParser parser;
    int listed = 0;
    for (auto _ : state) {
        listed = 0;
        for (const QString& path : descriptionFiles()) {
            if (parser.readFileDeviceId(path) && !parser.deviceDescription().orderNumber.isEmpty())
                ++listed;
        }
        benchmark::DoNotOptimize(listed);
    }
    // Shown rather than required: a file whose check bytes happen to form an
    // unfinished UTF-8 sequence passes as plain XML and is refused.
    state.counters["listed"] = listed;
}

// The same files read and parsed into a DOM without their two check bytes.
void BM_DomListDescriptions(benchmark::State& state)
{
    for (auto _ : state) {
        int parsed = 0;
        for (const QString& path : descriptionFiles()) {
            const QByteArray bytes = readFile(path);
            QDomDocument document;
            if (document.setContent(bytes.left(bytes.size() - 2), false))
                ++parsed;
        }
        benchmark::DoNotOptimize(parsed);
    }
}

CTreeModel* buildParameterModel(const CXmlParser& parser, QObject* owner)
{
    const CElementMap* map = parser.content().value(QStringLiteral("Parameter"));
    if (!map)
        return nullptr;
    auto* model = new CTreeModel(QStringLiteral("Parameter"), owner);
    model->setupListEntries(map->lists);
    model->setupBitfieldEntries(map->bitfields);
    model->setupFeatures(map->features);
    if (model->setupModel(map->classes)) {
        delete model;
        return nullptr;
    }
    return model;
}

void BM_OursReadLargeDescription(benchmark::State& state)
{
    for (auto _ : state) {
        CXmlParser parser;
        benchmark::DoNotOptimize(parser.readFileContent(fixture->largePath));
    }
}

void BM_OursReadLargeDescriptionAndBuildModel(benchmark::State& state)
{
    int items = 0;
    for (auto _ : state) {
        CXmlParser parser;
        QObject owner;
        if (!parser.readFileContent(fixture->largePath) || !buildParameterModel(parser, &owner)) {
            state.SkipWithError("the large description did not build");
            return;
        }
        items = owner.findChildren<CItem*>().size();
    }
    state.counters["items"] = items;
}

void BM_DomLargeDescription(benchmark::State& state)
{
    for (auto _ : state) {
        const QByteArray bytes = readFile(fixture->largePath);
        QDomDocument document;
        benchmark::DoNotOptimize(document.setContent(bytes.left(bytes.size() - 2), false));
    }
}
}

BENCHMARK(BM_OursListDescriptions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DomListDescriptions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursReadLargeDescription)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursReadLargeDescriptionAndBuildModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DomLargeDescription)->Unit(benchmark::kMillisecond);

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (!createFixture()) {
        std::fprintf(stderr, "bench_descriptions: cannot generate the description files\n");
        return 1;
    }
    std::printf("%d sealed descriptions of %lld bytes each; one of %d data lines, %lld bytes\n", DESCRIPTION_FILES,
                qint64(QFile(descriptionFiles().first()).size()), CLASSES * ELEMENTS_PER_CLASS * LINES_PER_ELEMENT,
                fixture->largeBytes);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    fixture.reset();
    return 0;
}
