#pragma once

#include "CSimulatorOptions.h"

class CDescribedDevice;

#include <modbus/modbus.h>

#include <cstdint>
#include <vector>

// The simulated device: a libmodbus register map and the answer to one
// request frame. libmodbus frames every answer; it writes into one end of a
// socket pair so that faults can be applied before the bytes go out.
class CDeviceSimulator
{
public:
    // The described device, when there is one, fills the register map and
    // keeps its process values moving; it must outlive the simulator.
    CDeviceSimulator(const CSimulatorOptions& options, CDescribedDevice* described);
    ~CDeviceSimulator();
    CDeviceSimulator(const CDeviceSimulator&) = delete;
    CDeviceSimulator& operator=(const CDeviceSimulator&) = delete;

    bool isValid() const { return m_context && m_mapping && m_collectFd >= 0; }
    bool isRtu() const { return !m_options.serialPath.empty(); }

    // Length of the TCP frame that starts with these bytes (from the MBAP
    // header), 0 while the header is incomplete, -1 for a length no Modbus
    // frame can have.
    static int tcpFrameLength(const std::vector<uint8_t>& bytes);
    // Length of the RTU request that starts with these bytes, worked out from
    // its function code; 0 while too few bytes have come to tell, -1 when the
    // function code does not tell (the caller waits for line silence).
    static int rtuFrameLength(const std::vector<uint8_t>& bytes);

    // The bytes to send back for one request frame, faults applied; empty for
    // no answer.
    std::vector<uint8_t> answer(const std::vector<uint8_t>& request);

private:
    std::vector<uint8_t> framedAnswer(const std::vector<uint8_t>& request);
    std::vector<uint8_t> deviceIdentification(const std::vector<uint8_t>& request);
    std::vector<uint8_t> exceptionAnswer(const std::vector<uint8_t>& request, uint8_t code);
    std::vector<uint8_t> sendRaw(const std::vector<uint8_t>& request, const std::vector<uint8_t>& pdu);
    bool rtuChecksumValid(const std::vector<uint8_t>& request);
    // The fault range a request touches, if any.
    const CSimulatorOptions::FaultRange* injectedFault(int function, const uint8_t* pdu, size_t pduLength) const;
    std::vector<uint8_t> takeReply();
    void setIdentificationBlock(int address);
    int headerLength() const { return isRtu() ? 1 : 7; }

    const CSimulatorOptions& m_options;
    CDescribedDevice* m_described = nullptr;
    modbus_t* m_context = nullptr;
    modbus_mapping_t* m_mapping = nullptr;
    int m_replyFd = -1;   // libmodbus writes here
    int m_collectFd = -1; // and the simulator reads the answer here
    long m_requestCount = 0;
    long m_answerCount = 0;
};
