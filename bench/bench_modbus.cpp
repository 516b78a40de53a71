// Modbus master costs against libmodbus on the same input, in one run:
// building a 125-register read telegram, checking and decoding its answer, and
// round trips over loopback TCP against the device simulator.

#include "interfaces/CTcpInterface.h"
#include "protocol/CModbusMaster.h"
#include "protocol/CModbusRTUMode.h"
#include "protocol/CRC16.h"
#include "support/CSimulatorProcess.h"

#include <benchmark/benchmark.h>
#include <modbus/modbus.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace {
const int REGISTERS = 125;

// A 125-register RTU read answer with a valid CRC.
QByteArray readAnswerFrame()
{
    QByteArray frame;
    frame.append(char(1));
    frame.append(char(3));
    frame.append(char(2 * REGISTERS));
    for (int i = 0; i < 2 * REGISTERS; ++i)
        frame.append(char(i));
    const quint16 crc = CRC16::calc_crc(frame);
    frame.append(char(crc >> 8));
    frame.append(char(crc & 0xFF));
    return frame;
}

void BM_OursBuildReadTelegram(benchmark::State& state)
{
    CModbusRTUMode mode;
    Modbus::UNION_MODBUS_RD_WR data;
    std::memset(data.raw, 0, sizeof data.raw);
    const int sink = open("/dev/null", O_WRONLY);
    for (auto _ : state) {
        Modbus::setWord(data, 0, 0x0100);
        Modbus::setWord(data, 2, REGISTERS);
        const QByteArray telegram = mode.buildTelegram(3, 4, data);
        benchmark::DoNotOptimize(write(sink, telegram.constData(), size_t(telegram.size())));
    }
    close(sink);
}

void BM_LibmodbusBuildReadTelegram(benchmark::State& state)
{
    modbus_t* context = modbus_new_rtu("/dev/null", 115200, 'E', 8, 1);
    const int sink = open("/dev/null", O_WRONLY);
    modbus_set_socket(context, sink);
    const uint8_t request[] = { 1, 3, 0x01, 0x00, 0x00, REGISTERS };
    for (auto _ : state)
        benchmark::DoNotOptimize(modbus_send_raw_request(context, request, sizeof request));
    modbus_set_socket(context, -1);
    modbus_free(context);
    close(sink);
}

void BM_OursCheckAndDecodeAnswer(benchmark::State& state)
{
    CModbusRTUMode mode;
    const QByteArray frame = readAnswerFrame();
    for (auto _ : state) {
        const bool valid = mode.resolveResponse(frame.constData(), frame.size());
        QByteArray answer(mode.userData(frame.constData()) + 1, mode.userByteCount(frame.size()));
        benchmark::DoNotOptimize(valid);
        benchmark::DoNotOptimize(answer.data());
    }
}

// libmodbus checks an answer only as it receives it, so its baseline includes
// reading the frame from a pipe.
void BM_LibmodbusReceiveAnswer(benchmark::State& state)
{
    modbus_t* context = modbus_new_rtu("/dev/null", 115200, 'E', 8, 1);
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return;
    modbus_set_socket(context, pipeFds[0]);
    const QByteArray frame = readAnswerFrame();
    uint8_t answer[MODBUS_RTU_MAX_ADU_LENGTH];
    for (auto _ : state) {
        state.PauseTiming();
        benchmark::DoNotOptimize(write(pipeFds[1], frame.constData(), size_t(frame.size())));
        state.ResumeTiming();
        benchmark::DoNotOptimize(modbus_receive_confirmation(context, answer));
    }
    modbus_set_socket(context, -1);
    modbus_free(context);
    close(pipeFds[0]);
    close(pipeFds[1]);
}

struct RoundTripFigures {
    double roundTripsPerSecond = 0;
    double answerToSignalMicroseconds = 0;
};

RoundTripFigures ourRoundTrips(const CSimulatorProcess& simulator, int count)
{
    CTcpInterface transport;
    transport.setPortName(simulator.endpoint());
    CModbusMaster master(PROTOCOL_MODBUS_TCP);
    QElapsedTimer clock;
    qint64 lastBytes = 0;
    qint64 latencySum = 0;
    int answers = 0;
    QEventLoop loop;
    // Connected before the master, so it stamps the arrival of each answer.
    QObject::connect(&transport, &CBaseInterface::dataRead, [&] { lastBytes = clock.nsecsElapsed(); });
    QObject::connect(&transport, &CBaseInterface::dataRead, &master, &CProtocolMaster::resolveResponse);
    QObject::connect(&master, &CProtocolMaster::write, &transport, &CBaseInterface::sendData);
    const CRequest request(REQUEST_READ_GENERIC, 3, 0x0100, 2 * REGISTERS);
    QObject::connect(&master, &CProtocolMaster::dataResponse, [&] {
        latencySum += clock.nsecsElapsed() - lastBytes;
        if (++answers == count)
            loop.quit();
        else
            master.buildRequest(request);
    });
    if (!transport.openPort())
        return {};
    clock.start();
    master.buildRequest(request);
    loop.exec();
    RoundTripFigures figures;
    figures.roundTripsPerSecond = count / (clock.nsecsElapsed() / 1e9);
    figures.answerToSignalMicroseconds = latencySum / 1e3 / count;
    return figures;
}

double libmodbusRoundTrips(const CSimulatorProcess& simulator, int count)
{
    modbus_t* client = modbus_new_tcp(qPrintable(simulator.host()), simulator.port());
    modbus_set_slave(client, 1);
    if (modbus_connect(client) != 0)
        return 0;
    uint16_t words[REGISTERS];
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i)
        modbus_read_registers(client, 0x0100, REGISTERS, words);
    const double perSecond = count / (clock.nsecsElapsed() / 1e9);
    modbus_close(client);
    modbus_free(client);
    return perSecond;
}

void reportRoundTrips()
{
    CSimulatorProcess simulator;
    if (!simulator.startTcp())
        return;
    const int count = 200;
    const RoundTripFigures ours = ourRoundTrips(simulator, count);
    const double theirs = libmodbusRoundTrips(simulator, 2000);
    const double perCycle = ours.roundTripsPerSecond * CModbusMaster::CYCLE_INTERVAL_MS / 1000.0;
    std::printf("\nRound trips of 125-register reads over loopback TCP:\n"
                "  our master:       %8.1f /s (%.2f telegrams per 20 ms cycle)\n"
                "  libmodbus client: %8.1f /s\n"
                "  ratio ours/libmodbus: %.4f\n"
                "  answer's last byte to dataResponse: %.1f us\n",
                ours.roundTripsPerSecond, perCycle, theirs, ours.roundTripsPerSecond / theirs,
                ours.answerToSignalMicroseconds);
}
}

BENCHMARK(BM_OursBuildReadTelegram);
BENCHMARK(BM_LibmodbusBuildReadTelegram);
BENCHMARK(BM_OursCheckAndDecodeAnswer);
BENCHMARK(BM_LibmodbusReceiveAnswer);

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    reportRoundTrips();
    return 0;
}
