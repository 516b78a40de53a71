#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the simulator serves and which faults it injects, from its command line.
struct CSimulatorOptions
{
    // Requests touching registers first..last get an exception answer with
    // this code, or no answer at all for code 0.
    struct FaultRange {
        int code = 0;
        int first = 0;
        int last = 0;
    };
    struct Preset {
        int address = 0;
        int value = 0;
    };

    std::string host = "127.0.0.1";
    int port = 1502;
    std::string serialPath;
    int baudRate = 115200;
    char parity = 'E';
    int unit = 1;

    std::string descriptionPath;
    uint32_t orderNumber = 47110001;
    int paraVersionHundredths = 100;
    // Given on the command line, they win over the description's identity.
    bool orderNumberGiven = false;
    bool paraVersionGiven = false;
    // The device number names the device to its boot loader and to firmware
    // images; without the option it is the order number's first four digits.
    uint32_t deviceNumber = 0;
    bool deviceNumberGiven = false;
    uint8_t firmwareMajor = 1;
    uint8_t firmwareMinor = 0;
    // Identification objects of the application; product and revision are
    // derived from device number and firmware version unless given.
    std::string vendor = "VELTA";
    std::string product;
    std::string revision;
    bool productGiven = false;
    bool revisionGiven = false;
    std::vector<Preset> presets;

    bool bootLoader = false;
    int restartDelayMs = 300;
    int flashAddressMode = 1;
    int flashBlockLength = 128;
    int flashSize = 131072;
    std::string flashOutPath;

    int dropEvery = 0;
    int corruptEvery = 0;
    int delayMs = 0;
    int closeAfter = 0;
    std::vector<FaultRange> faultRanges;
    bool verbose = false;

    // Fills the options; on failure returns false with the reason in error.
    bool parse(int argc, char* argv[], std::string& error);
    static const char* usage();
};
