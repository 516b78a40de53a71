// NFC costs against floors measured in the same run, on pcscd's virtual
// reader with the tag emulator: processor time while the adapter waits for a
// tag (against polling as the waiting threads once did), the latency from a
// tag's arrival to targetConnected (against the service's own notice), and
// reading every model of the NFC sample through the back end (against bare
// APDU round trips).

#include "backend/CDataBackend.h"
#include "interfaces/nfc/CPCSCAdapter.h"
#include "models/CTreeModel.h"
#include "protocol/CNfcMaster.h"
#include "support/CPcscdProcess.h"
#include "support/CTagSimProcess.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <ctime>
#include <thread>

namespace {
const int WINDOW_MS = 1000;
// The adapter's NDEF read is eight reads of four blocks.
const int APDUS_PER_NDEF_READ = 8;

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Share of one core the process used while its event loop ran for the window.
double cpuPercentOverWindow()
{
    const double before = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(WINDOW_MS);
    return 100.0 * (processCpuSeconds() - before) / (double(wall.nsecsElapsed()) / 1e9);
}

void BM_WaitingForTag_Adapter(benchmark::State& state)
{
    CPCSCAdapter adapter;
    if (!adapter.start()) {
        state.SkipWithError("no reader");
        return;
    }
    double percent = 0;
    for (auto _ : state)
        percent = cpuPercentOverWindow();
    state.counters["cpu_percent"] = percent;
    adapter.stop();
}

// What the waiting threads once did: ask for the state with the current
// state unaware and a 30 ms time-out, again and again.
void BM_WaitingForTag_Polling(benchmark::State& state)
{
    std::atomic<bool> stop{ false };
    std::thread poller([&stop] {
        SCARDCONTEXT context = 0;
        SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context);
        SCARD_READERSTATE reader{};
        reader.szReader = CPcscdProcess::FIRST_READER;
        while (!stop) {
            reader.dwCurrentState = SCARD_STATE_UNAWARE;
            SCardGetStatusChange(context, 30, &reader, 1);
        }
        SCardReleaseContext(context);
    });
    double percent = 0;
    for (auto _ : state)
        percent = cpuPercentOverWindow();
    state.counters["cpu_percent"] = percent;
    stop = true;
    poller.join();
}

void BM_TagArrival_AdapterConnected(benchmark::State& state)
{
    CTagSimProcess tag;
    CPCSCAdapter adapter;
    QSignalSpy connected(&adapter, &CNfcAdapter::targetConnected);
    QSignalSpy lost(&adapter, &CNfcAdapter::targetLost);
    if (!tag.start() || !tag.toggle() || !adapter.start()) {
        state.SkipWithError("no tag");
        return;
    }
    for (auto _ : state) {
        tag.toggle();
        QElapsedTimer elapsed;
        elapsed.start();
        connected.wait(5000);
        state.SetIterationTime(double(elapsed.nsecsElapsed()) / 1e9);
        tag.toggle();
        lost.wait(5000);
    }
    adapter.stop();
}

// The service's own notice of the tag: the floor of any adapter.
void BM_TagArrival_ServiceNotice(benchmark::State& state)
{
    CTagSimProcess tag;
    if (!tag.start() || !tag.toggle()) {
        state.SkipWithError("no tag");
        return;
    }
    for (auto _ : state) {
        tag.toggle();
        QElapsedTimer elapsed;
        elapsed.start();
        CPcscdProcess::waitForState(CPcscdProcess::FIRST_READER, SCARD_STATE_PRESENT, 5000);
        state.SetIterationTime(double(elapsed.nsecsElapsed()) / 1e9);
        tag.toggle();
        CPcscdProcess::waitForState(CPcscdProcess::FIRST_READER, SCARD_STATE_EMPTY, 5000);
    }
}

void BM_ReadDevice_Backend(benchmark::State& state)
{
    CTagSimProcess tag;
    CDataBackend* backend = CDataBackend::instance();
    backend->setComProtocol(PROTOCOL_NFC);
    QSignalSpy checked(backend, &CDataBackend::deviceChecked);
    const CProtocolMaster* master = backend->protocolMaster();
    const auto idle = [backend, master] {
        return backend->model("Parameter") && backend->model("Parameter")->isValid()
            && master->state() == CProtocolMaster::STATE_IDLE && master->queuedCount() == 0;
    };
    if (!tag.start() || !backend->openInterface(INTERFACE_NFC, QString(), 0)
        || !QTest::qWaitFor([&checked] { return checked.count() > 0; }, 10000) || !QTest::qWaitFor(idle, 5000)) {
        state.SkipWithError("device not identified");
        return;
    }
    // Block commands come back through the interface; the NDEF area is read
    // by the adapter itself, a fixed number of APDUs each time.
    int apdus = 0;
    const QMetaObject::Connection blocks = QObject::connect(backend, &CDataBackend::dataWritten, [&apdus] { ++apdus; });
    const QMetaObject::Connection records = QObject::connect(
        qobject_cast<const CNfcMaster*>(master), &CNfcMaster::readNdefMessages, [&apdus] { apdus += APDUS_PER_NDEF_READ; });
    for (auto _ : state) {
        apdus = 0;
        for (CTreeModel* model : backend->models())
            model->readData();
        if (!QTest::qWaitFor(idle, 10000)) {
            state.SkipWithError("the reads did not finish");
            break;
        }
    }
    state.counters["apdus"] = apdus;
    QObject::disconnect(blocks);
    QObject::disconnect(records);
    backend->deactivateDevice();
    backend->closeInterface();
}

// One read of a block through the adapter, nothing else.
void BM_ApduRoundTrip_Adapter(benchmark::State& state)
{
    CTagSimProcess tag;
    CPCSCAdapter adapter;
    QSignalSpy connected(&adapter, &CNfcAdapter::targetConnected);
    if (!tag.start() || !adapter.start() || !connected.wait(5000)) {
        state.SkipWithError("no tag");
        return;
    }
    const QByteArray readBlock = QByteArray::fromHex("2020");
    for (auto _ : state)
        adapter.writeData(readBlock);
    adapter.stop();
}
}

BENCHMARK(BM_WaitingForTag_Adapter)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaitingForTag_Polling)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TagArrival_AdapterConnected)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TagArrival_ServiceNotice)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDevice_Backend)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApduRoundTrip_Adapter)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    CPcscdProcess pcscd;
    if (!pcscd.start())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
