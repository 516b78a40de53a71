#include "CDeviceSimulator.h"

#include "CDescribedDevice.h"
#include "protocol/CFirmwareImage.h"

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const int REGISTER_COUNT = 0x10000;
const int IDENTIFICATION_BLOCK = 0x0400;
const int SECOND_IDENTIFICATION_BLOCK = 0x0300;
const uint8_t FUNCTION_DEVICE_ID = 0x2B;
const uint8_t MEI_DEVICE_ID = 0x0E;
const uint8_t BASIC_CONFORMITY = 0x01;
const uint8_t OBJECT_COUNT = 3;
const uint8_t FUNCTION_GO_TO = 0x57;
const uint8_t FUNCTION_WRITE_BLOCK = 0x59;
const int GO_TO_REGISTER = 0x5000;
const int GO_TO_REGISTER_COUNT = 3;
const int GO_TO_LENGTH = 11;
const uint32_t UNLOCK_VALUE = 0x04C1A93E;
const int COMMAND_BOOT_LOADER = 1;
const int COMMAND_APPLICATION = 2;
const size_t DEVICE_NUMBER_DIGITS = 4;
const int RTU_CRC_LENGTH = 2;
const int MAX_TCP_LENGTH_FIELD = 1 + 253; // unit id and the largest PDU

int word(const uint8_t* bytes)
{
    return (bytes[0] << 8) | bytes[1];
}

bool touches(int first, int count, const CSimulatorOptions::FaultRange& range)
{
    return count > 0 && first <= range.last && first + count - 1 >= range.first;
}

uint32_t deviceNumberOf(const CSimulatorOptions& options)
{
    if (options.deviceNumberGiven)
        return options.deviceNumber;
    return uint32_t(std::stoul(std::to_string(options.orderNumber).substr(0, DEVICE_NUMBER_DIGITS)));
}
}

CDeviceSimulator::CDeviceSimulator(const CSimulatorOptions& options, CDescribedDevice* described)
    : m_options(options)
    , m_described(described)
    , m_deviceNumber(deviceNumberOf(options))
    , m_product(options.productGiven ? options.product : std::to_string(m_deviceNumber))
    , m_revision(options.revisionGiven ? options.revision
                                       : "V" + CFirmwareImage::versionText(options.firmwareMajor, options.firmwareMinor).toStdString())
    , m_bootLoader(options, m_deviceNumber)
    , m_mode(options.bootLoader ? Mode::BootLoader : Mode::Application)
{
    // The reply context never opens its device: its socket is one end of the
    // pair, so libmodbus only frames.
    if (isRtu())
        m_context = modbus_new_rtu("/dev/null", options.baudRate, options.parity, 8, 1);
    else
        m_context = modbus_new_tcp("127.0.0.1", 0);
    m_mapping = modbus_mapping_new(0, 0, REGISTER_COUNT, 0);
    int pair[2];
    if (!m_context || !m_mapping || socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return;
    m_replyFd = pair[0];
    m_collectFd = pair[1];
    fcntl(m_collectFd, F_SETFL, O_NONBLOCK);
    modbus_set_socket(m_context, m_replyFd);
    // libmodbus sleeps for the response time-out before some exception
    // answers to let a broken request drain; here nothing is left to drain.
    modbus_set_response_timeout(m_context, 0, 1);

    // Input registers are the holding registers seen through the other function code.
    m_mapping->nb_input_registers = m_mapping->nb_registers;
    m_mapping->tab_input_registers = m_mapping->tab_registers;

    if (m_described)
        m_described->writeRegisters(m_mapping->tab_registers);
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
    if (m_mapping) {
        m_mapping->nb_input_registers = 0;
        m_mapping->tab_input_registers = nullptr; // shared with the holding registers
        modbus_mapping_free(m_mapping);
    }
    if (m_replyFd >= 0)
        close(m_replyFd);
    if (m_collectFd >= 0)
        close(m_collectFd);
}

void CDeviceSimulator::setIdentificationBlock(int address)
{
    uint16_t* block = m_mapping->tab_registers + address;
    block[2] = uint16_t(m_options.orderNumber & 0xFFFF);
    block[3] = uint16_t(m_options.orderNumber >> 16);
    block[9] = uint16_t(m_options.paraVersionHundredths);
}

int CDeviceSimulator::tcpFrameLength(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 6)
        return 0;
    const int length = word(&bytes[4]);
    if (length < 2 || length > MAX_TCP_LENGTH_FIELD)
        return -1;
    return 6 + length;
}

int CDeviceSimulator::rtuFrameLength(const std::vector<uint8_t>& bytes)
{
    // Address and function code, then per function the fixed part, a byte
    // count where there is one, and the CRC.
    auto withByteCount = [&bytes](size_t countIndex) {
        return bytes.size() > countIndex ? int(countIndex) + 1 + bytes[countIndex] + RTU_CRC_LENGTH : 0;
    };
    if (bytes.size() < 2)
        return 0;
    switch (bytes[1]) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06:
        return 8;
    case 0x07: case 0x0B: case 0x0C: case 0x11:
        return 4;
    case 0x0F: case 0x10: case FUNCTION_GO_TO: case FUNCTION_WRITE_BLOCK:
        return withByteCount(6);
    case 0x14: case 0x15:
        return withByteCount(2);
    case 0x16:
        return 10;
    case 0x17:
        return withByteCount(10);
    case 0x18:
        return 6;
    case FUNCTION_DEVICE_ID:
        if (bytes.size() < 3)
            return 0;
        return bytes[2] == MEI_DEVICE_ID ? 7 : -1;
    default:
        return -1;
    }
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

std::vector<uint8_t> CDeviceSimulator::sendRaw(const std::vector<uint8_t>& request, const std::vector<uint8_t>& pdu)
{
    // pdu is unit id, function code and data; libmodbus adds header or CRC.
    if (modbus_send_raw_request(m_context, pdu.data(), int(pdu.size())) < 0)
        return {};
    std::vector<uint8_t> reply = takeReply();
    if (!isRtu() && reply.size() >= 2) { // raw frames carry transaction id 0
        reply[0] = request[0];
        reply[1] = request[1];
    }
    return reply;
}

bool CDeviceSimulator::rtuChecksumValid(const std::vector<uint8_t>& request)
{
    // libmodbus appends the CRC it expects; compare it with the one received.
    const std::vector<uint8_t> body(request.begin(), request.end() - RTU_CRC_LENGTH);
    const std::vector<uint8_t> framed = sendRaw(request, body);
    return framed.size() == request.size() && framed[framed.size() - 2] == request[request.size() - 2]
        && framed.back() == request.back();
}

std::vector<uint8_t> CDeviceSimulator::exceptionAnswer(const std::vector<uint8_t>& request, uint8_t code)
{
    const int header = headerLength();
    return sendRaw(request, { request[header - 1], uint8_t(request[header] | 0x80), code });
}

const CSimulatorOptions::FaultRange* CDeviceSimulator::injectedFault(int function, const uint8_t* pdu, size_t pduLength) const
{
    int first = 0, count = 0;   // registers read or written
    int second = 0, count2 = 0; // the write range of a read/write request
    switch (function) {
    case 0x03: case 0x04: case 0x10: case FUNCTION_GO_TO: case FUNCTION_WRITE_BLOCK:
        if (pduLength < 4)
            return nullptr;
        first = word(pdu);
        count = word(pdu + 2);
        break;
    case 0x06: case 0x16:
        if (pduLength < 2)
            return nullptr;
        first = word(pdu);
        count = 1;
        break;
    case 0x17:
        if (pduLength < 8)
            return nullptr;
        first = word(pdu);
        count = word(pdu + 2);
        second = word(pdu + 4);
        count2 = word(pdu + 6);
        break;
    default:
        return nullptr;
    }
    for (const auto& range : m_options.faultRanges) {
        if (touches(first, count, range) || touches(second, count2, range))
            return &range;
    }
    return nullptr;
}

std::vector<uint8_t> CDeviceSimulator::deviceIdentification(const std::vector<uint8_t>& request)
{
    const int header = headerLength();
    const size_t dataLength = request.size() - size_t(header) - 1 - (isRtu() ? RTU_CRC_LENGTH : 0);
    const uint8_t* data = request.data() + header + 1;
    if (dataLength < 1 || data[0] != MEI_DEVICE_ID)
        return exceptionAnswer(request, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
    // Only stream access (codes 1 to 3) exists at basic conformity; every
    // stream holds the three basic objects.
    if (dataLength < 3 || data[1] < 0x01 || data[1] > 0x03)
        return exceptionAnswer(request, MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE);
    // An unknown first object restarts the stream at object 0.
    const uint8_t firstObject = data[2] < OBJECT_COUNT ? data[2] : 0;
    const std::array<std::string, OBJECT_COUNT> objects = m_mode == Mode::BootLoader
        ? m_bootLoader.identification()
        : std::array<std::string, OBJECT_COUNT>{ m_options.vendor, m_product, m_revision };
    std::vector<uint8_t> pdu{ request[header - 1], FUNCTION_DEVICE_ID, MEI_DEVICE_ID, data[1], BASIC_CONFORMITY,
                              0x00, 0x00, uint8_t(OBJECT_COUNT - firstObject) };
    for (uint8_t id = firstObject; id < OBJECT_COUNT; ++id) {
        const std::string& text = objects[id];
        pdu.push_back(id);
        pdu.push_back(uint8_t(text.size()));
        pdu.insert(pdu.end(), text.begin(), text.end());
    }
    return sendRaw(request, pdu);
}

std::vector<uint8_t> CDeviceSimulator::framedAnswer(const std::vector<uint8_t>& request)
{
    const int header = headerLength();
    if (request.size() < size_t(header + 1 + (isRtu() ? RTU_CRC_LENGTH : 0)))
        return {};
    if (isRtu() && !rtuChecksumValid(request)) {
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: request with bad CRC ignored\n");
        return {};
    }
    if (!isRtu() && word(&request[2]) != 0) {
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: request with protocol id %d ignored\n", word(&request[2]));
        return {};
    }
    if (request[header - 1] != m_options.unit) {
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: request for unit %d ignored\n", request[header - 1]);
        return {};
    }

    const int function = request[header];
    const uint8_t* pdu = request.data() + header + 1;
    const size_t pduLength = request.size() - size_t(header) - 1 - (isRtu() ? RTU_CRC_LENGTH : 0);
    if (m_options.verbose) {
        if (pduLength >= 4 && function != FUNCTION_DEVICE_ID)
            std::fprintf(stderr, "devsim: function 0x%02x address 0x%04x count %d\n", function, word(pdu),
                         word(pdu + 2));
        else
            std::fprintf(stderr, "devsim: function 0x%02x\n", function);
    }
    if (function == FUNCTION_DEVICE_ID)
        return deviceIdentification(request);
    if (const CSimulatorOptions::FaultRange* fault = injectedFault(function, pdu, pduLength)) {
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: fault: %s %d\n", fault->code ? "exception" : "no answer", fault->code);
        if (fault->code == 0)
            return {};
        return exceptionAnswer(request, uint8_t(fault->code));
    }
    if (function == FUNCTION_GO_TO)
        return goToCommand(request, pdu, pduLength);
    if (m_mode == Mode::BootLoader) {
        std::vector<uint8_t> reply = m_bootLoader.answer(uint8_t(function), pdu, pduLength);
        reply.insert(reply.begin(), request[header - 1]);
        return sendRaw(request, reply);
    }
    modbus_reply(m_context, request.data(), int(request.size()), m_mapping);
    return takeReply();
}

std::vector<uint8_t> CDeviceSimulator::goToCommand(const std::vector<uint8_t>& request, const uint8_t* data, size_t length)
{
    // Register, register count, byte count, the unlock value and the command word.
    const bool unlocked = length == GO_TO_LENGTH && word(data) == GO_TO_REGISTER
        && word(data + 2) == GO_TO_REGISTER_COUNT && data[4] == 2 * GO_TO_REGISTER_COUNT
        && (uint32_t(word(data + 5)) << 16 | uint32_t(word(data + 7))) == UNLOCK_VALUE;
    const int command = unlocked ? word(data + 9) : 0;
    if (command != COMMAND_BOOT_LOADER && command != COMMAND_APPLICATION)
        return exceptionAnswer(request, MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE);
    // Command 2 to the running application changes nothing.
    if (m_mode == Mode::Application && command == COMMAND_BOOT_LOADER)
        m_restartInto = Mode::BootLoader;
    else if (m_mode == Mode::BootLoader && command == COMMAND_BOOT_LOADER)
        m_bootLoader.startTransfer();
    else if (m_mode == Mode::BootLoader)
        startApplication();
    return sendRaw(request, { request[headerLength() - 1], FUNCTION_GO_TO, data[0], data[1], data[2], data[3] });
}

void CDeviceSimulator::startApplication()
{
    std::string newVersion, defect;
    if (!m_bootLoader.startApplication(newVersion, defect)) {
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: application not started, %s\n", defect.c_str());
        m_restartInto = Mode::BootLoader;
        return;
    }
    if (!newVersion.empty())
        m_revision = "V" + newVersion;
    m_restartInto = Mode::Application;
}

void CDeviceSimulator::beginRestart()
{
    m_mode = *m_restartInto;
    m_restartInto.reset();
    if (m_mode == Mode::BootLoader)
        m_bootLoader.reset();
    m_restartEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.restartDelayMs);
    if (m_options.verbose) {
        const std::string target = m_mode == Mode::BootLoader ? "boot loader" : "application " + m_revision;
        std::fprintf(stderr, "devsim: restarting into the %s\n", target.c_str());
    }
}

bool CDeviceSimulator::isRestarting()
{
    if (m_restartEnd && std::chrono::steady_clock::now() >= *m_restartEnd)
        m_restartEnd.reset();
    return m_restartEnd.has_value();
}

std::vector<uint8_t> CDeviceSimulator::answer(const std::vector<uint8_t>& request)
{
    if (isRestarting()) {
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: restarting, request ignored\n");
        return {};
    }
    // Process values are brought up to date when someone asks.
    if (m_described && m_mode == Mode::Application)
        m_described->updateProcessValues(m_mapping->tab_registers);
    std::vector<uint8_t> reply = withFaults(framedAnswer(request));
    // The answer to the command that asked for the restart goes out first.
    if (m_restartInto)
        beginRestart();
    return reply;
}

std::vector<uint8_t> CDeviceSimulator::withFaults(std::vector<uint8_t> reply)
{
    if (reply.empty())
        return reply;
    ++m_requestCount;
    if (m_options.dropEvery && m_requestCount % m_options.dropEvery == 0) {
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: fault: answer to request %ld dropped\n", m_requestCount);
        return {};
    }
    ++m_answerCount;
    if (m_options.corruptEvery && m_answerCount % m_options.corruptEvery == 0) {
        if (isRtu())
            reply.back() ^= 0xFF;
        else if (reply.size() >= 6) {
            const int length = word(&reply[4]) + 1;
            reply[4] = uint8_t(length >> 8);
            reply[5] = uint8_t(length);
        }
        if (m_options.verbose)
            std::fprintf(stderr, "devsim: fault: answer %ld corrupted\n", m_answerCount);
    }
    if (m_options.delayMs > 0)
        usleep(useconds_t(m_options.delayMs) * 1000);
    return reply;
}
