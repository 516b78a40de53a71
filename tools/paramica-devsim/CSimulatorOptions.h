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
    std::string vendor = "VELTA";
    std::string product = "TC200";
    std::string revision = "V1.00";
    std::vector<Preset> presets;

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
