#pragma once

#include "CSimulatorOptions.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CFirmwareImage;

// The device's boot loader: it reports its flash configuration, takes an
// image block by block into its flash and checks it before the application
// starts. It deals in PDUs (function code and data); the simulator frames
// them, applies faults and carries out restarts.
class CBootLoader
{
public:
    CBootLoader(const CSimulatorOptions& options, uint32_t deviceNumber);

    // Vendor, product code and revision, as the identification reports them.
    std::array<std::string, 3> identification() const;
    // A restart ends the boot loader's session.
    void reset();
    // Command 1: erases the flash, application included, and opens a transfer.
    void startTransfer();
    // The answer to a register read or a block write, an exception for
    // anything else.
    std::vector<uint8_t> answer(uint8_t function, const uint8_t* data, size_t length);
    // Command 2: true when an application may run after the restart. After a
    // transfer that is the image received, up to the highest byte written
    // (and written to the flash-out file), when it is intact and meant for
    // this device; its version goes to newVersion. Without a transfer the
    // application in flash runs as it was, unless an earlier transfer left
    // none. defect tells why nothing may run.
    bool startApplication(std::string& newVersion, std::string& defect);

private:
    std::vector<uint8_t> readRegisters(const uint8_t* data, size_t length) const;
    std::vector<uint8_t> writeBlock(const uint8_t* data, size_t length);
    void writeFlashOut(const CFirmwareImage& image) const;

    const CSimulatorOptions& m_options;
    const uint32_t m_deviceNumber;
    std::vector<uint8_t> m_flash;
    size_t m_received = 0; // one past the highest byte written
    bool m_transferOpen = false;
    bool m_applicationIntact;
};
