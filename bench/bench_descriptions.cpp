// Description reader costs in one run, each against floors measured on the
// same bytes: a bare streaming pass (read, CRC, QXmlStreamReader tokens), the
// least any reader that checks the whole file can do, and a bare DOM parse,
// what the reader once built. Measured: the identity of 200 sealed sample
// descriptions and of one description of 5,000 data lines (what the back end
// does to list the installed devices), the full read of the large one and the
// building of its tree model; and the command line started with and without
// the large description installed, listing the devices and reading a register
// from the simulator (the paramica and paramica-devsim targets beside it).

#include "items/CItem.h"
#include "models/CTreeModel.h"
#include "protocol/CModbusMaster.h"
#include "protocol/CRC16.h"
#include "xml/CXmlParser.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

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

// The generated files, written once before the benchmarks run. The two
// installations hold a copy of the command line and the sealed samples, the
// second one also the large description; the simulator answers their reads.
struct STRUCT_FIXTURE {
    QTemporaryDir directory;
    QString listDirectory;
    QString largePath;
    qint64 largeBytes = 0;
    QString commandLine[2];
    QProcess simulator;
    QString simulatorEndpoint;
    // A second simulator serves the large description as a device.
    QProcess largeSimulator;
    QString largeEndpoint;
};
std::unique_ptr<STRUCT_FIXTURE> fixture;

// The simulator on a port the system picks; it says which once it listens.
QString startSimulator(QProcess& process, const QStringList& arguments)
{
    const QString simulator = QCoreApplication::applicationDirPath() + QStringLiteral("/paramica-devsim");
    if (!QFile::exists(simulator))
        return QString();
    process.start(simulator, QStringList{ QStringLiteral("--port"), QStringLiteral("0") } + arguments);
    if (!process.waitForReadyRead(10000))
        return QString();
    const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
    return line.startsWith(QStringLiteral("listening on ")) ? line.mid(int(qstrlen("listening on "))) : QString();
}

// Without the command line beside the benchmark the start-up figures are skipped.
bool createInstallations(const QDir& root, const QByteArray& large)
{
    const QString commandLine = QCoreApplication::applicationDirPath() + QStringLiteral("/paramica");
    if (!QFile::exists(commandLine))
        return true;
    const QDir samples = QFileInfo(QStringLiteral(PARAMICA_SAMPLE_DESCRIPTION)).dir();
    for (int withLarge = 0; withLarge < 2; ++withLarge) {
        const QString name = QStringLiteral("installation%1").arg(withLarge);
        root.mkpath(name + QStringLiteral("/xml"));
        const QDir installation(root.filePath(name));
        const QString copy = installation.filePath(QStringLiteral("paramica"));
        if (!QFile::copy(commandLine, copy))
            return false;
        for (const QString& sample : samples.entryList({ QStringLiteral("*.xml") }, QDir::Files)) {
            if (!writeFile(installation.filePath(QStringLiteral("xml/") + sample), sealed(readFile(samples.filePath(sample)))))
                return false;
        }
        if (withLarge && !writeFile(installation.filePath(QStringLiteral("xml/TC900.xml")), large))
            return false;
        fixture->commandLine[withLarge] = copy;
    }
    fixture->simulatorEndpoint = startSimulator(fixture->simulator, {});
    return true;
}

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
    if (!writeFile(fixture->largePath, large) || !createInstallations(root, large))
        return false;
    fixture->largeEndpoint = startSimulator(fixture->largeSimulator,
                                            { QStringLiteral("--description"), fixture->largePath });
    return true;
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
void listDescriptions(benchmark::State& state, const QStringList& paths)
{
    CXmlParser parser;
    int listed = 0;
    for (auto _ : state) {
        listed = 0;
        for (const QString& path : paths)
            listed += parser.readFileDeviceId(path) ? 1 : 0;
        benchmark::DoNotOptimize(listed);
    }
    if (listed != paths.size())
        state.SkipWithError("a description was not listed");
}

// Floor: what any reader checking whole files must do, with nothing kept.
void streamFiles(benchmark::State& state, const QStringList& paths)
{
    for (auto _ : state) {
        qint64 tokens = 0;
        for (const QString& path : paths) {
            const QByteArray bytes = readFile(path);
            benchmark::DoNotOptimize(CRC16::calc_crc(bytes.constData(), uint(bytes.size() - 2)));
            QXmlStreamReader reader(bytes.left(bytes.size() - 2));
            while (!reader.atEnd() && reader.readNext() != QXmlStreamReader::Invalid)
                ++tokens;
        }
        benchmark::DoNotOptimize(tokens);
    }
}

// Floor of the earlier reader: the same files parsed into a DOM.
void parseFilesIntoDom(benchmark::State& state, const QStringList& paths)
{
    for (auto _ : state) {
        int parsed = 0;
        for (const QString& path : paths) {
            const QByteArray bytes = readFile(path);
            QDomDocument document;
            parsed += document.setContent(bytes.left(bytes.size() - 2), false) ? 1 : 0;
        }
        benchmark::DoNotOptimize(parsed);
    }
}

void BM_ListDescriptions_Ours(benchmark::State& state) { listDescriptions(state, descriptionFiles()); }
void BM_ListDescriptions_StreamFloor(benchmark::State& state) { streamFiles(state, descriptionFiles()); }
void BM_ListDescriptions_Dom(benchmark::State& state) { parseFilesIntoDom(state, descriptionFiles()); }
void BM_ListLargeDescription_Ours(benchmark::State& state) { listDescriptions(state, { fixture->largePath }); }
void BM_LargeDescription_StreamFloor(benchmark::State& state) { streamFiles(state, { fixture->largePath }); }
void BM_LargeDescription_Dom(benchmark::State& state) { parseFilesIntoDom(state, { fixture->largePath }); }

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

void BM_ReadLargeDescription_Ours(benchmark::State& state)
{
    for (auto _ : state) {
        CXmlParser parser;
        benchmark::DoNotOptimize(parser.readFileContent(fixture->largePath));
    }
}

void BM_ReadLargeDescriptionAndBuildModel_Ours(benchmark::State& state)
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

// One run of the command line: process start, the back end with its listing
// of the installed descriptions, the command.
void startUp(benchmark::State& state, bool withLarge, const QStringList& arguments)
{
    const QString commandLine = fixture->commandLine[withLarge ? 1 : 0];
    if (commandLine.isEmpty()) {
        state.SkipWithError("no paramica beside the benchmark: build the paramica-cli target too");
        return;
    }
    for (auto _ : state) {
        QProcess process;
        process.start(commandLine, arguments);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            state.SkipWithError("the command failed");
            return;
        }
    }
}

void devices(benchmark::State& state, bool withLarge)
{
    startUp(state, withLarge, { QStringLiteral("devices") });
}

// A raw register read, which needs no description at all.
void rawRead(benchmark::State& state, bool withLarge)
{
    if (fixture->simulatorEndpoint.isEmpty()) {
        state.SkipWithError("no paramica-devsim beside the benchmark: build the paramica-devsim target too");
        return;
    }
    startUp(state, withLarge,
            { QStringLiteral("read"), QStringLiteral("--tcp"), fixture->simulatorEndpoint, QStringLiteral("--register"),
              QStringLiteral("0x400") });
}

// A whole command on the large device served by the simulator, with the
// telegrams it sends: the master sends at most one per tick of its 20 ms
// cycle, so telegrams x 20 ms is the part of the time that is the cycle.
void onLargeDevice(benchmark::State& state, const QStringList& command)
{
    if (fixture->largeEndpoint.isEmpty() || fixture->commandLine[1].isEmpty()) {
        state.SkipWithError("build the paramica-cli and paramica-devsim targets too");
        return;
    }
    int telegrams = 0;
    for (auto _ : state) {
        QProcess process;
        process.start(fixture->commandLine[1],
                      command + QStringList{ QStringLiteral("--tcp"), fixture->largeEndpoint, QStringLiteral("--verbose") });
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            state.SkipWithError("the command failed");
            return;
        }
        telegrams = int(QString::fromLocal8Bit(process.readAllStandardError()).count(QStringLiteral(", Tx: ")));
    }
    state.counters["telegrams"] = telegrams;
    state.counters["cycle_ms"] = telegrams * double(CModbusMaster::CYCLE_INTERVAL_MS);
}

void BM_LargeDevice_Identify(benchmark::State& state) { onLargeDevice(state, { QStringLiteral("identify") }); }
void BM_LargeDevice_Show(benchmark::State& state) { onLargeDevice(state, { QStringLiteral("show") }); }
void BM_LargeDevice_Save(benchmark::State& state)
{
    onLargeDevice(state, { QStringLiteral("save"), fixture->directory.filePath(QStringLiteral("large-parameters.xml")) });
}

void BM_StartUpDevices_WithoutLargeDescription(benchmark::State& state) { devices(state, false); }
void BM_StartUpDevices_WithLargeDescription(benchmark::State& state) { devices(state, true); }
void BM_StartUpRawRead_WithoutLargeDescription(benchmark::State& state) { rawRead(state, false); }
void BM_StartUpRawRead_WithLargeDescription(benchmark::State& state) { rawRead(state, true); }
}

BENCHMARK(BM_ListDescriptions_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListDescriptions_StreamFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListDescriptions_Dom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListLargeDescription_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeDescription_StreamFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeDescription_Dom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLargeDescription_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLargeDescriptionAndBuildModel_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpDevices_WithoutLargeDescription)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpDevices_WithLargeDescription)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpRawRead_WithoutLargeDescription)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpRawRead_WithLargeDescription)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeDevice_Identify)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LargeDevice_Show)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LargeDevice_Save)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

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
