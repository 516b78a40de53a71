#pragma once

#include "CSimulatorOptions.h"

#include <modbus/modbus.h>

#include <cstdint>
#include <vector>

// The simulated device: a libmodbus register map and the answer to one
// request frame. libmodbus frames every answer; it writes into one end of a
// socket pair so that faults can be applied before the bytes go out.
class CDeviceSimulator
{
public:
    explicit CDeviceSimulator(const CSimulatorOptions& options);
    ~CDeviceSimulator();
    CDeviceSimulator(const CDeviceSimulator&) = delete;
    CDeviceSimulator& operator=(const CDeviceSimulator&) = delete;

    bool isValid() const { return m_context && m_mapping; }
    bool isRtu() const { return !m_options.serialPath.empty(); }

    // Expected length of the frame that starts with these bytes, 0 while
    // unknown (TCP: from the header; RTU: the caller waits for line silence).
    static int tcpFrameLength(const std::vector<uint8_t>& bytes);

    // The bytes to send back for one request frame; empty for no answer.
    std::vector<uint8_t> answer(const std::vector<uint8_t>& request);

private:
    std::vector<uint8_t> framedAnswer(const std::vector<uint8_t>& request);
    std::vector<uint8_t> deviceIdentification(const std::vector<uint8_t>& request, int header);
    std::vector<uint8_t> sendRaw(const std::vector<uint8_t>& pdu);
    bool rtuChecksumValid(const std::vector<uint8_t>& request);
    int exceptionFor(int function, const uint8_t* pdu) const;
    std::vector<uint8_t> takeReply();
    void setIdentificationBlock(int address);

    const CSimulatorOptions& m_options;
    modbus_t* m_context = nullptr;
    modbus_mapping_t* m_mapping = nullptr;
    int m_replyFd = -1;   // libmodbus writes here
    int m_collectFd = -1; // and the simulator reads the answer here
    long m_requestCount = 0;
};
