// Flashing a 256 KiB firmware image through the flasher into the simulator's
// boot loader, over loopback Modbus TCP and over Modbus RTU on a
// pseudo-terminal pair at 115200 baud: blocks per second of the transfer
// against a floor run in the same process (plain register writes of the same
// size through the same master, which sends one telegram per 20 ms cycle),
// and the CPU the library spends per block.

#include "backend/CDataBackend.h"
#include "protocol/CFirmwareImage.h"
#include "protocol/CModbusMaster.h"
#include "support/CSimulatorProcess.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <functional>

namespace {
const int IMAGE_SIZE = 256 * 1024;
const int BLOCK_LENGTH = 224;
const int FLOOR_WRITES = 200;
const quint8 FUNCTION_WRITE_BLOCK = 0x59;
const quint8 FUNCTION_WRITE_MULTIPLE = 16;
// Bits a byte takes on a serial line: start, 8 data, parity, stop.
const double BITS_PER_BYTE = 11.0;
const double BAUD = 115200.0;

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Times and CPU of the telegrams of one function code the master writes.
struct STRUCT_TELEGRAMS {
    int count = 0;
    qint64 firstMs = 0;
    qint64 lastMs = 0;
    double firstCpu = 0.0;
    double lastCpu = 0.0;
    qint64 bytes = 0;

    double perSecond() const { return count > 1 ? (count - 1) * 1000.0 / double(lastMs - firstMs) : 0.0; }
    double cpuMicrosecondsEach() const { return count > 1 ? (lastCpu - firstCpu) * 1e6 / (count - 1) : 0.0; }
};

STRUCT_TELEGRAMS watch(CDataBackend* backend, bool rtu, quint8 function, const std::function<void()>& run)
{
    STRUCT_TELEGRAMS telegrams;
    QElapsedTimer clock;
    clock.start();
    const int functionOffset = rtu ? 1 : 7;
    const QMetaObject::Connection connection = QObject::connect(
        backend->protocolMaster(), &CProtocolMaster::write, backend, [&](const char* buffer, int count) {
            if (count <= functionOffset || quint8(buffer[functionOffset]) != function)
                return;
            telegrams.lastMs = clock.elapsed();
            telegrams.lastCpu = processCpuSeconds();
            if (telegrams.count++ == 0) {
                telegrams.firstMs = telegrams.lastMs;
                telegrams.firstCpu = telegrams.lastCpu;
            }
            telegrams.bytes += count;
        });
    run();
    QObject::disconnect(connection);
    return telegrams;
}

void flash(benchmark::State& state, bool rtu)
{
    CDataBackend* backend = CDataBackend::instance();
    CSimulatorProcess simulator;
    QTemporaryDir directory;
    const QString file = directory.filePath(QStringLiteral("image.bin"));
    QByteArray body(IMAGE_SIZE - CFirmwareImage::HEADER_SIZE, '\0');
    for (int i = 0; i < body.size(); ++i)
        body[i] = char(i * 31 + i / 4099);
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(CFirmwareImage::pack(4711, 2, 0, body).bytes()) != IMAGE_SIZE) {
        state.SkipWithError("cannot write the image");
        return;
    }
    out.close();
    const QStringList options{ QStringLiteral("--flash-size"), QString::number(2 * IMAGE_SIZE),
                               QStringLiteral("--flash-block-length"), QString::number(BLOCK_LENGTH),
                               QStringLiteral("--flash-address-mode"), QStringLiteral("1") };
    if (!simulator.serve(backend, options, rtu)) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    STRUCT_TELEGRAMS blocks;
    STRUCT_TELEGRAMS floor;
    int result = -1;
    for (auto _ : state) {
        // The floor: the same bytes per telegram as plain register writes.
        floor = watch(backend, rtu, FUNCTION_WRITE_MULTIPLE, [backend] {
            QSignalSpy acknowledged(backend, &CDataBackend::deviceAckResponse);
            for (int i = 0; i < FLOOR_WRITES; ++i)
                backend->buildRequest(CRequest(REQUEST_WRITE_GENERIC, FUNCTION_WRITE_MULTIPLE, 0, 0, quint16(0x2000),
                                               BLOCK_LENGTH, QByteArray(BLOCK_LENGTH, char(i))));
            QTRY_COMPARE_WITH_TIMEOUT(acknowledged.count(), FLOOR_WRITES, 60000);
        });
        QSignalSpy finished(backend, &CDataBackend::firmwareUpdateFinished);
        blocks = watch(backend, rtu, FUNCTION_WRITE_BLOCK, [backend, &file] { backend->updateFirmware(file, true); });
        result = finished.isEmpty() ? -1 : finished.first().first().toInt();
    }
    if (result != 1) {
        state.SkipWithError("the update failed");
        return;
    }
    const double blockBytes = double(blocks.bytes) / blocks.count;
    state.counters["blocks"] = blocks.count;
    state.counters["blocks_per_s"] = blocks.perSecond();
    state.counters["floor_per_s"] = floor.perSecond();
    state.counters["ratio_to_floor"] = blocks.perSecond() / floor.perSecond();
    state.counters["cpu_us_per_block"] = blocks.cpuMicrosecondsEach();
    state.counters["transfer_s"] = (blocks.lastMs - blocks.firstMs) / 1000.0;
    // What the image's telegrams would take on a real line at 115200 baud.
    state.counters["wire_s"] = blocks.count * blockBytes * BITS_PER_BYTE / BAUD;
    backend->closeInterface();
}

void BM_FlashOverTcp(benchmark::State& state) { flash(state, false); }
void BM_FlashOverRtu(benchmark::State& state) { flash(state, true); }
} // namespace

BENCHMARK(BM_FlashOverTcp)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_FlashOverRtu)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
