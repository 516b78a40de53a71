#include "CSimulatorOptions.h"

#include "protocol/CFirmwareImage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
// Three objects of id, length and text must fit in one answer PDU behind its
// eight header bytes (253 bytes at most).
const size_t MAX_IDENTIFICATION_TEXT = 253 - 8 - 3 * 2;
// The longest product code and revision the simulator derives itself:
// "4294967295" and "V255.255".
const size_t MAX_DERIVED_PRODUCT = 10;
const size_t MAX_DERIVED_REVISION = 8;

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
           "  --device-number N        device number (default the first four digits of the order\n"
           "                           number, the description's or the option's: 4711 for 47110001)\n"
           "  --firmware-version X.YY  version of the firmware running at start (default 1.00)\n"
           "  --vendor TEXT            device identification object 0 (default VELTA)\n"
           "  --product TEXT           device identification object 1 (default the device number)\n"
           "  --revision TEXT          device identification object 2 (default \"V\" and the firmware\n"
           "                           version, V1.00); an update replaces it with the new version\n"
           "  --register ADDR=VALUE    preset a holding register (repeatable); input registers\n"
           "                           mirror the holding registers\n"
           "Boot loader:\n"
           "  --boot-loader            start in the boot loader with no application in flash, as\n"
           "                           after an interrupted update\n"
           "  --restart-delay-ms MS    a restart takes this long, answering nothing (default 300)\n"
           "  --flash-address-mode N   register 0x5000: 1 addresses blocks by number, any other\n"
           "                           value by 16-bit word (default 1)\n"
           "  --flash-block-length N   register 0x5001: block length in bytes; longer blocks get\n"
           "                           exception 3 (default 128)\n"
           "  --flash-size N           bytes of flash; blocks beyond it get exception 2 (default 131072)\n"
           "  --flash-out FILE         write the image received in a transfer there when the\n"
           "                           application is started\n"
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
           "Firmware update: function 0x57 (register 0x5000, 3 registers, 6 bytes, unlock value\n"
           "0x04C1A93E, command word) with command 1 restarts the application into the boot loader.\n"
           "There command 1 starts a transfer (the flash is erased), function 0x59 writes a block\n"
           "to block address x 2, or x block length in address mode 1, and command 2 starts the\n"
           "application: an intact image for this device number runs as the new firmware and the\n"
           "registers keep their values; any other image leaves the device in its boot loader.\n"
           "Without a transfer command 2 starts the firmware that was there, if there is one.\n"
           "The boot loader identifies as VELTA, BL-0x<device number in hex>, V0.91, answers reads\n"
           "of 0x5000-0x5001 and of 0x0200-0x0202 (1 while a transfer is open, bytes received as\n"
           "a 32-bit value, low word first) and refuses everything else. Faults act in both; the\n"
           "ranges of --exception and --silent take a block's address for a register.\n\n"
           "Prints \"listening on HOST:PORT\" or \"serving PATH\" once it serves; ends on SIGINT or SIGTERM.\n";
}

bool CSimulatorOptions::parse(int argc, char* argv[], std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--verbose" || option == "--boot-loader") {
            bool& flag = option == "--verbose" ? verbose : bootLoader;
            flag = true;
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
        } else if (option == "--device-number") {
            if (!toNumber(value, 0, 0xFFFFFFFFLL, number)) {
                error = "invalid device number '" + value + "' (0 to 4294967295)";
                return false;
            }
            deviceNumber = uint32_t(number);
            deviceNumberGiven = true;
        } else if (option == "--firmware-version") {
            if (!CFirmwareImage::parseVersion(QString::fromStdString(value), &firmwareMajor, &firmwareMinor)) {
                error = "invalid firmware version '" + value + "' (MAJOR.MINOR, major 0 to 255, minor two digits)";
                return false;
            }
        } else if (option == "--vendor" || option == "--product" || option == "--revision") {
            std::string& text = option == "--vendor" ? vendor : option == "--product" ? product : revision;
            if (!toLatin1(value, text)) {
                error = "text '" + value + "' for " + option + " is not Latin-1";
                return false;
            }
            productGiven = productGiven || option == "--product";
            revisionGiven = revisionGiven || option == "--revision";
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
        } else if (option == "--restart-delay-ms") {
            if (!numeric(0, 60000, restartDelayMs))
                return false;
        } else if (option == "--flash-address-mode") {
            if (!numeric(0, 0xFFFF, flashAddressMode))
                return false;
        } else if (option == "--flash-block-length") {
            if (!numeric(0, 0xFFFF, flashBlockLength))
                return false;
        } else if (option == "--flash-size") {
            if (!numeric(16, 16 * 1024 * 1024, flashSize))
                return false;
        } else if (option == "--flash-out") {
            flashOutPath = value;
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
    const size_t productLength = productGiven ? product.size() : MAX_DERIVED_PRODUCT;
    // An update replaces even a given revision with a derived one.
    const size_t revisionLength = std::max(revision.size(), MAX_DERIVED_REVISION);
    if (vendor.size() + productLength + revisionLength > MAX_IDENTIFICATION_TEXT) {
        error = "vendor, product and revision together exceed " + std::to_string(MAX_IDENTIFICATION_TEXT)
            + " characters";
        return false;
    }
    return true;
}
