#pragma once

#include "CBootLoader.h"
#include "CSimulatorOptions.h"

class CDescribedDevice;

#include <modbus/modbus.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The simulated device: a libmodbus register map and the answer to one
// request frame. libmodbus frames every answer; it writes into one end of a
// socket pair so that faults can be applied before the bytes go out. The
// device runs its application or its boot loader and switches between them
// by restarting, during which it answers nothing.
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
    enum class Mode { Application, BootLoader };

    std::vector<uint8_t> framedAnswer(const std::vector<uint8_t>& request);
    // Drops, corrupts or delays an answer as the fault options ask.
    std::vector<uint8_t> withFaults(std::vector<uint8_t> reply);
    std::vector<uint8_t> goToCommand(const std::vector<uint8_t>& request, const uint8_t* data, size_t length);
    // Restarts into the application when one may run, else back into the
    // boot loader.
    void startApplication();
    void beginRestart();
    // True until the restart's time is up.
    bool isRestarting();
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
    const uint32_t m_deviceNumber;
    const std::string m_product;
    std::string m_revision;
    CBootLoader m_bootLoader;
    Mode m_mode;
    // Set by a command; the restart begins once its answer is out.
    std::optional<Mode> m_restartInto;
    std::optional<std::chrono::steady_clock::time_point> m_restartEnd;
    modbus_t* m_context = nullptr;
    modbus_mapping_t* m_mapping = nullptr;
    int m_replyFd = -1;   // libmodbus writes here
    int m_collectFd = -1; // and the simulator reads the answer here
    long m_requestCount = 0;
    long m_answerCount = 0;
};
