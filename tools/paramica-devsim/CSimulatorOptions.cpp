#include "CSimulatorOptions.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
bool toNumber(const std::string& text, long long minimum, long long maximum, long long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long long number = std::strtoll(text.c_str(), &end, 0);
    if (*end != '\0' || number < minimum || number > maximum)
        return false;
    value = number;
    return true;
}
}

const char* CSimulatorOptions::usage()
{
    return "Usage: paramica-devsim [options]\n"
           "A Modbus device for testing, built on libmodbus.\n\n"
           "Transport:\n"
           "  --port N                 serve Modbus TCP on HOST:N (default 1502, 0 = any free port)\n"
           "  --host ADDR              address to listen on (default 127.0.0.1)\n"
           "  --serial PATH            serve Modbus RTU on a serial device instead\n"
           "  --baud N                 serial baud rate (default 115200)\n"
           "  --parity none|even|odd   serial parity (default even)\n"
           "  --unit N                 unit id / slave address (default 1)\n"
           "Device:\n"
           "  --order-number N         order number in the identification block (default 47110001)\n"
           "  --para-version X.YY      parameter version (default 1.00)\n"
           "  --vendor TEXT, --product TEXT, --revision TEXT   device identification objects\n"
           "  --register ADDR=VALUE    preset a holding register (repeatable)\n"
           "Faults:\n"
           "  --drop-every N           do not answer every Nth request\n"
           "  --corrupt-every N        corrupt every Nth answer (RTU: CRC, TCP: length field)\n"
           "  --delay-ms MS            wait before each answer\n"
           "  --exception CODE:FIRST-LAST   answer requests touching these registers with CODE\n"
           "  --close-after N          TCP: close the connection after N answers\n"
           "  --verbose                log requests and faults on stderr\n"
           "Prints \"listening on HOST:PORT\" or \"serving PATH\" once it serves.\n";
}

bool CSimulatorOptions::parse(int argc, char* argv[], std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--verbose") {
            verbose = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = "missing value for " + option;
            return false;
        }
        const std::string value = argv[++i];
        long long number = 0;
        auto numeric = [&](long long minimum, long long maximum) {
            if (toNumber(value, minimum, maximum, number))
                return true;
            error = "invalid value '" + value + "' for " + option;
            return false;
        };

        if (option == "--port") {
            if (!numeric(0, 65535))
                return false;
            port = int(number);
        } else if (option == "--host") {
            host = value;
        } else if (option == "--serial") {
            serialPath = value;
        } else if (option == "--baud") {
            if (!numeric(50, 4000000))
                return false;
            baudRate = int(number);
        } else if (option == "--parity") {
            if (value == "none")
                parity = 'N';
            else if (value == "even")
                parity = 'E';
            else if (value == "odd")
                parity = 'O';
            else {
                error = "invalid parity '" + value + "' (none, even or odd)";
                return false;
            }
        } else if (option == "--unit") {
            if (!numeric(1, 247))
                return false;
            unit = int(number);
        } else if (option == "--order-number") {
            if (!numeric(0, 0xFFFFFFFFLL))
                return false;
            orderNumber = uint32_t(number);
        } else if (option == "--para-version") {
            char* end = nullptr;
            const double version = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || version < 0 || version > 655.35) {
                error = "invalid parameter version '" + value + "'";
                return false;
            }
            paraVersionHundredths = int(std::lround(version * 100));
        } else if (option == "--vendor") {
            vendor = value;
        } else if (option == "--product") {
            product = value;
        } else if (option == "--revision") {
            revision = value;
        } else if (option == "--register") {
            const size_t equals = value.find('=');
            long long address = 0;
            long long registerValue = 0;
            if (equals == std::string::npos || !toNumber(value.substr(0, equals), 0, 0xFFFF, address)
                || !toNumber(value.substr(equals + 1), 0, 0xFFFF, registerValue)) {
                error = "invalid register preset '" + value + "' (ADDR=VALUE)";
                return false;
            }
            presets.push_back({ int(address), int(registerValue) });
        } else if (option == "--drop-every") {
            if (!numeric(1, 1000000))
                return false;
            dropEvery = int(number);
        } else if (option == "--corrupt-every") {
            if (!numeric(1, 1000000))
                return false;
            corruptEvery = int(number);
        } else if (option == "--delay-ms") {
            if (!numeric(0, 60000))
                return false;
            delayMs = int(number);
        } else if (option == "--close-after") {
            if (!numeric(1, 1000000))
                return false;
            closeAfter = int(number);
        } else if (option == "--exception") {
            const size_t colon = value.find(':');
            const size_t dash = value.find('-', colon == std::string::npos ? 0 : colon);
            long long code = 0, first = 0, last = 0;
            if (colon == std::string::npos || dash == std::string::npos
                || !toNumber(value.substr(0, colon), 1, 255, code)
                || !toNumber(value.substr(colon + 1, dash - colon - 1), 0, 0xFFFF, first)
                || !toNumber(value.substr(dash + 1), first, 0xFFFF, last)) {
                error = "invalid exception range '" + value + "' (CODE:FIRST-LAST)";
                return false;
            }
            exceptions.push_back({ int(code), int(first), int(last) });
        } else {
            error = "unknown option " + option;
            return false;
        }
    }
    return true;
}
