// libFuzzer target: any bytes as the answer to a request, handed to the
// Modbus master as a transport hands them over. The first input byte chooses
// the framing (RTU or TCP), the type of the outstanding request and whether
// the frame's checksum (RTU) or header (TCP) is made to fit the request, so
// that inputs reach the decoding of every request type; the next two bytes
// are the request's read length.

#include "protocol/CModbusMaster.h"
#include "protocol/CRC16.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstdlib>
#include <vector>

namespace {
const int REQUEST_TYPES = REQUEST_FIRMWARE_UPDATE + 1;
const int MAX_READ_LENGTH = 250;

struct Masters {
    CModbusMaster rtu{ PROTOCOL_MODBUS_RTU };
    CModbusMaster tcp{ PROTOCOL_MODBUS_TCP };
    QByteArray sent; // the telegram of the outstanding request
};
Masters* masters = nullptr;

// The answer as the request on the line expects its frame to be built.
void fitFrame(QByteArray& frame, bool tcp, const QByteArray& sent)
{
    if (tcp) {
        if (frame.size() < 8 || sent.size() < 2)
            return;
        const int length = frame.size() - 6;
        frame[0] = sent[0];
        frame[1] = sent[1];
        frame[2] = frame[3] = 0;
        frame[4] = char(length >> 8);
        frame[5] = char(length & 0xFF);
        return;
    }
    if (frame.size() < 4)
        return;
    frame[0] = sent.isEmpty() ? 1 : sent[0];
    const quint16 crc = CRC16::calc_crc(frame.constData(), uint(frame.size() - 2));
    frame[frame.size() - 2] = char(crc >> 8);
    frame[frame.size() - 1] = char(crc & 0xFF);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv);
    masters = new Masters;
    for (CModbusMaster* master : { &masters->rtu, &masters->tcp })
        QObject::connect(master, &CProtocolMaster::write, master,
                         [](const char* buffer, int count) { masters->sent = QByteArray(buffer, count); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const bool tcp = data[0] & 1;
    const bool fit = data[0] & 2;
    const auto type = ENUM_REQUEST_TYPE((data[0] >> 2) % REQUEST_TYPES);
    const quint16 readLength = quint16(((data[1] << 8) | data[2]) % (MAX_READ_LENGTH + 1));
    QByteArray frame(reinterpret_cast<const char*>(data + 3), int(size - 3));

    CModbusMaster& master = tcp ? masters->tcp : masters->rtu;
    master.reset();
    masters->sent.clear();
    // The request takes the frame's function code, so that the answer can be its own.
    const int functionOffset = tcp ? 7 : 1;
    const quint8 function = frame.size() > functionOffset ? quint8(frame[functionOffset]) & 0x7F : 3;
    master.buildRequest(CRequest(type, function, 0x0100, readLength, 0x0100, 2, QByteArray(2, '\0')));
    // One step of the state machine sends it, without waiting for the cycle timer.
    if (!QMetaObject::invokeMethod(&master, "statemachine", Qt::DirectConnection))
        std::abort();
    if (master.state() != CProtocolMaster::STATE_WAITING)
        return 0; // the request builds no telegram
    if (fit)
        fitFrame(frame, tcp, masters->sent);

    // An exact-size copy: a read past the frame is a fault the sanitizer sees.
    std::vector<char> exact(frame.begin(), frame.end());
    master.resolveResponse(exact.data(), int(exact.size()));
    return 0;
}
