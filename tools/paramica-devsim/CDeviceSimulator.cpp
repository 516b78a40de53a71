#include "CDeviceSimulator.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const int REGISTER_COUNT = 0x10000;
const int IDENTIFICATION_BLOCK = 0x0400;
const int SECOND_IDENTIFICATION_BLOCK = 0x0300;
const int DEVICE_NUMBER = 200;
const uint8_t FUNCTION_DEVICE_ID = 0x2B;
const uint8_t MEI_DEVICE_ID = 0x0E;
const int TCP_HEADER = 7;
const int RTU_HEADER = 1;

int word(const uint8_t* bytes)
{
    return (bytes[0] << 8) | bytes[1];
}
}

CDeviceSimulator::CDeviceSimulator(const CSimulatorOptions& options)
    : m_options(options)
{
    // The reply context never opens its device: its socket is one end of the
    // pair, so libmodbus only frames.
    if (isRtu())
        m_context = modbus_new_rtu("/dev/null", options.baudRate, options.parity, 8, 1);
    else
        m_context = modbus_new_tcp(options.host.c_str(), options.port);
    m_mapping = modbus_mapping_new(0, 0, REGISTER_COUNT, REGISTER_COUNT);
    int pair[2];
    if (!m_context || !m_mapping || socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return;
    m_replyFd = pair[0];
    m_collectFd = pair[1];
    fcntl(m_collectFd, F_SETFL, O_NONBLOCK);
    modbus_set_socket(m_context, m_replyFd);
    modbus_set_slave(m_context, options.unit);

    setIdentificationBlock(IDENTIFICATION_BLOCK);
    setIdentificationBlock(SECOND_IDENTIFICATION_BLOCK);
    for (const auto& preset : options.presets)
        m_mapping->tab_registers[preset.address] = uint16_t(preset.value);
}

CDeviceSimulator::~CDeviceSimulator()
{
    if (m_context) {
        modbus_set_socket(m_context, -1);
        modbus_free(m_context);
    }
    if (m_mapping)
        modbus_mapping_free(m_mapping);
    if (m_replyFd >= 0)
        close(m_replyFd);
    if (m_collectFd >= 0)
        close(m_collectFd);
}

void CDeviceSimulator::setIdentificationBlock(int address)
{
    uint16_t* block = m_mapping->tab_registers + address;
    block[0] = DEVICE_NUMBER;
    block[2] = uint16_t(m_options.orderNumber & 0xFFFF);
    block[3] = uint16_t(m_options.orderNumber >> 16);
    block[9] = uint16_t(m_options.paraVersionHundredths);
}

int CDeviceSimulator::tcpFrameLength(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 6)
        return 0;
    return 6 + word(&bytes[4]);
}

std::vector<uint8_t> CDeviceSimulator::takeReply()
{
    std::vector<uint8_t> reply;
    uint8_t buffer[512];
    ssize_t count = 0;
    while ((count = read(m_collectFd, buffer, sizeof buffer)) > 0)
        reply.insert(reply.end(), buffer, buffer + count);
    return reply;
}

std::vector<uint8_t> CDeviceSimulator::sendRaw(const std::vector<uint8_t>& pdu)
{
    modbus_send_raw_request(m_context, pdu.data(), int(pdu.size()));
    return takeReply();
}

bool CDeviceSimulator::rtuChecksumValid(const std::vector<uint8_t>& request)
{
    // libmodbus appends the CRC it expects; compare it with the one received.
    const std::vector<uint8_t> body(request.begin(), request.end() - 2);
    const std::vector<uint8_t> framed = sendRaw(body);
    return framed.size() == request.size() && framed[framed.size() - 2] == request[request.size() - 2]
        && framed.back() == request.back();
}

int CDeviceSimulator::exceptionFor(int function, const uint8_t* pdu) const
{
    int first = word(pdu);
    int count = 1;
    switch (function) {
    case 3:
    case 4:
    case 16:
        count = word(pdu + 2);
        break;
    case 6:
        break;
    case 23: { // read range and write range
        const int readFirst = first;
        const int readCount = word(pdu + 2);
        const int writeFirst = word(pdu + 4);
        const int writeCount = word(pdu + 6);
        for (const auto& range : m_options.exceptions) {
            if ((readFirst <= range.last && readFirst + readCount - 1 >= range.first)
                || (writeFirst <= range.last && writeFirst + writeCount - 1 >= range.first))
                return range.code;
        }
        return 0;
    }
    default:
        return 0;
    }
    for (const auto& range : m_options.exceptions) {
        if (first <= range.last && first + count - 1 >= range.first)
            return range.code;
    }
    return 0;
}

std::vector<uint8_t> CDeviceSimulator::deviceIdentification(const std::vector<uint8_t>& request, int header)
{
    const uint8_t unit = request[header - 1];
    if (request.size() < size_t(header + 3) || request[header + 1] != MEI_DEVICE_ID) {
        modbus_reply_exception(m_context, request.data(), MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
        return takeReply();
    }
    std::vector<uint8_t> pdu{ unit, FUNCTION_DEVICE_ID, MEI_DEVICE_ID, request[header + 2], 0x01, 0x00, 0x00, 3 };
    const std::string* objects[] = { &m_options.vendor, &m_options.product, &m_options.revision };
    for (uint8_t id = 0; id < 3; ++id) {
        const std::string& text = *objects[id];
        pdu.push_back(id);
        pdu.push_back(uint8_t(text.size()));
        pdu.insert(pdu.end(), text.begin(), text.end());
    }
    std::vector<uint8_t> reply = sendRaw(pdu);
    if (!isRtu() && reply.size() >= 2) { // answer with the request's transaction id
        reply[0] = request[0];
        reply[1] = request[1];
    }
    return reply;
}

std::vector<uint8_t> CDeviceSimulator::framedAnswer(const std::vector<uint8_t>& request)
{
    const int header = isRtu() ? RTU_HEADER : TCP_HEADER;
    const size_t minimum = size_t(header + 1 + (isRtu() ? 2 : 0));
    if (request.size() < minimum)
        return {};
    if (isRtu() && !rtuChecksumValid(request)) {
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: request with bad CRC ignored\n");
        return {};
    }
    if (request[header - 1] != m_options.unit)
        return {};

    const int function = request[header];
    if (m_options.verbose) {
        if (request.size() >= size_t(header + 5))
            std::fprintf(stderr, "devsim: function 0x%02x address 0x%04x count %d\n", function,
                         word(&request[header + 1]), word(&request[header + 3]));
        else
            std::fprintf(stderr, "devsim: function 0x%02x\n", function);
    }
    if (function == FUNCTION_DEVICE_ID)
        return deviceIdentification(request, header);
    if (request.size() >= size_t(header + 5)) {
        if (const int code = exceptionFor(function, &request[header + 1])) {
            modbus_reply_exception(m_context, request.data(), unsigned(code));
            return takeReply();
        }
    }
    modbus_reply(m_context, request.data(), int(request.size()), m_mapping);
    return takeReply();
}

std::vector<uint8_t> CDeviceSimulator::answer(const std::vector<uint8_t>& request)
{
    std::vector<uint8_t> reply = framedAnswer(request);
    if (reply.empty())
        return reply;
    ++m_requestCount;
    if (m_options.dropEvery && m_requestCount % m_options.dropEvery == 0) {
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: answer %ld dropped\n", m_requestCount);
        return {};
    }
    if (m_options.corruptEvery && m_requestCount % m_options.corruptEvery == 0) {
        if (isRtu())
            reply.back() ^= 0xFF;
        else if (reply.size() >= 6)
            reply[5] = uint8_t(reply[5] + 1);
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: answer %ld corrupted\n", m_requestCount);
    }
    if (m_options.delayMs > 0)
        usleep(useconds_t(m_options.delayMs) * 1000);
    return reply;
}
