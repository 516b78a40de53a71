#include "CSimulatorOptions.h"

#include <cmath>
#include <cstdlib>

namespace {
// Three objects of id, length and text must fit in one answer PDU behind its
// eight header bytes (253 bytes at most).
const size_t MAX_IDENTIFICATION_TEXT = 253 - 8 - 3 * 2;

// Decimal or 0x-hex, the whole text, within the bounds.
bool toNumber(const std::string& text, long long minimum, long long maximum, long long& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    const long long number = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
    if (*end != '\0' || number < minimum || number > maximum)
        return false;
    value = number;
    return true;
}

// "FIRST-LAST", two register addresses in order.
bool toRange(const std::string& text, CSimulatorOptions::FaultRange& range)
{
    const size_t dash = text.find('-');
    long long first = 0, last = 0;
    if (dash == std::string::npos || !toNumber(text.substr(0, dash), 0, 0xFFFF, first)
        || !toNumber(text.substr(dash + 1), first, 0xFFFF, last))
        return false;
    range.first = int(first);
    range.last = int(last);
    return true;
}

// The identification objects go out as Latin-1; the command line is UTF-8.
bool toLatin1(const std::string& utf8, std::string& latin1)
{
    latin1.clear();
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            latin1 += char(byte);
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size()
                   && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            latin1 += char(((byte & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}
}

const char* CSimulatorOptions::usage()
{
    return "Usage: paramica-devsim [options]\n"
           "A Modbus device for testing, built on libmodbus.\n"
           "Numbers are decimal or 0x-hex.\n\n"
           "Transport:\n"
           "  --port N                 serve Modbus TCP on HOST:N (default 1502, 0 = any free port)\n"
           "  --host ADDR              address to listen on (default 127.0.0.1)\n"
           "  --serial PATH            serve Modbus RTU on a serial device instead\n"
           "  --baud N                 serial baud rate (default 115200)\n"
           "  --parity none|even|odd   serial parity (default even); 8 data bits, 1 stop bit\n"
           "  --unit N                 unit id / slave address (default 1); others are not answered\n"
           "Device:\n"
           "  --description FILE       serve the registers of a device description (sealed or not):\n"
           "                           its identity, its sections with their default values and\n"
           "                           moving process values; without any device option the\n"
           "                           first sample description beside the program is served\n"
           "  --order-number N         order number in the identification block (default 47110001)\n"
           "  --para-version X.YY      parameter version (default 1.00)\n"
           "  --vendor TEXT            device identification object 0 (default VELTA)\n"
           "  --product TEXT           device identification object 1 (default TC200)\n"
           "  --revision TEXT          device identification object 2 (default V1.00)\n"
           "  --register ADDR=VALUE    preset a holding register (repeatable); input registers\n"
           "                           mirror the holding registers\n"
           "Faults:\n"
           "  --drop-every N           carry out every Nth request but send no answer (1 = never answer)\n"
           "  --corrupt-every N        corrupt every Nth answer (RTU: CRC, TCP: length field)\n"
           "  --delay-ms MS            wait before each answer\n"
           "  --exception CODE:FIRST-LAST\n"
           "                           answer requests touching registers FIRST..LAST with\n"
           "                           exception CODE (repeatable)\n"
           "  --silent FIRST-LAST      answer no request touching registers FIRST..LAST (repeatable)\n"
           "  --close-after N          TCP: close the connection after N answers\n"
           "  --verbose                log requests and faults on stderr\n"
           "  --help                   show this text\n\n"
           "Prints \"listening on HOST:PORT\" or \"serving PATH\" once it serves; ends on SIGINT or SIGTERM.\n";
}

bool CSimulatorOptions::parse(int argc, char* argv[], std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--verbose") {
            verbose = true;
            continue;
        }
        if (option.compare(0, 2, "--") != 0) {
            error = "unexpected argument '" + option + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = "missing value for " + option;
            return false;
        }
        const std::string value = argv[++i];
        long long number = 0;
        auto numeric = [&](long long minimum, long long maximum, int& target) {
            if (!toNumber(value, minimum, maximum, number)) {
                error = "invalid value '" + value + "' for " + option + " (" + std::to_string(minimum) + " to "
                    + std::to_string(maximum) + ")";
                return false;
            }
            target = int(number);
            return true;
        };

        if (option == "--port") {
            if (!numeric(0, 65535, port))
                return false;
        } else if (option == "--host") {
            host = value;
        } else if (option == "--serial") {
            serialPath = value;
        } else if (option == "--baud") {
            if (!numeric(50, 4000000, baudRate))
                return false;
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
            if (!numeric(1, 247, unit))
                return false;
        } else if (option == "--description") {
            descriptionPath = value;
        } else if (option == "--order-number") {
            if (!toNumber(value, 0, 0xFFFFFFFFLL, number)) {
                error = "invalid order number '" + value + "'";
                return false;
            }
            orderNumber = uint32_t(number);
            orderNumberGiven = true;
        } else if (option == "--para-version") {
            char* end = nullptr;
            const double version = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(version >= 0 && version <= 655.35)) {
                error = "invalid parameter version '" + value + "' (0.00 to 655.35)";
                return false;
            }
            paraVersionHundredths = int(std::lround(version * 100));
            paraVersionGiven = true;
        } else if (option == "--vendor" || option == "--product" || option == "--revision") {
            std::string& text = option == "--vendor" ? vendor : option == "--product" ? product : revision;
            if (!toLatin1(value, text)) {
                error = "text '" + value + "' for " + option + " is not Latin-1";
                return false;
            }
        } else if (option == "--register") {
            const size_t equals = value.find('=');
            long long address = 0;
            long long registerValue = 0;
            if (equals == std::string::npos || !toNumber(value.substr(0, equals), 0, 0xFFFF, address)
                || !toNumber(value.substr(equals + 1), 0, 0xFFFF, registerValue)) {
                error = "invalid register preset '" + value + "' (ADDR=VALUE, both 0 to 0xFFFF)";
                return false;
            }
            presets.push_back({ int(address), int(registerValue) });
        } else if (option == "--drop-every") {
            if (!numeric(1, 1000000, dropEvery))
                return false;
        } else if (option == "--corrupt-every") {
            if (!numeric(1, 1000000, corruptEvery))
                return false;
        } else if (option == "--delay-ms") {
            if (!numeric(0, 60000, delayMs))
                return false;
        } else if (option == "--close-after") {
            if (!numeric(1, 1000000, closeAfter))
                return false;
        } else if (option == "--exception") {
            const size_t colon = value.find(':');
            long long code = 0;
            FaultRange range;
            if (colon == std::string::npos || !toNumber(value.substr(0, colon), 1, 255, code)
                || !toRange(value.substr(colon + 1), range)) {
                error = "invalid exception range '" + value + "' (CODE:FIRST-LAST, code 1 to 255, FIRST <= LAST)";
                return false;
            }
            range.code = int(code);
            faultRanges.push_back(range);
        } else if (option == "--silent") {
            FaultRange range;
            if (!toRange(value, range)) {
                error = "invalid register range '" + value + "' (FIRST-LAST, FIRST <= LAST)";
                return false;
            }
            faultRanges.push_back(range);
        } else {
            error = "unknown option " + option;
            return false;
        }
    }
    if (vendor.size() + product.size() + revision.size() > MAX_IDENTIFICATION_TEXT) {
        error = "vendor, product and revision together exceed " + std::to_string(MAX_IDENTIFICATION_TEXT)
            + " characters";
        return false;
    }
    return true;
}
