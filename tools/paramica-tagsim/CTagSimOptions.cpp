#include "CTagSimOptions.h"

#include <QStringList>

namespace {
const int UID_LENGTH = 8;
const int MAX_BLOCK = 255;
const int MAX_MS = 3600000;

// Decimal or 0x-hex, the whole text, within the bounds.
bool toNumber(const QString& text, int minimum, int maximum, int& value)
{
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok, 0);
    if (!ok || text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-')) || number < minimum
        || number > maximum)
        return false;
    value = int(number);
    return true;
}
}

const char* CTagSimOptions::usage()
{
    return "Usage: paramica-tagsim [options]\n"
           "An ISO 15693 NFC tag for testing, presented as the card of a vsmartcard virtual\n"
           "reader (pcscd with vsmartcard-vpcd). Numbers are decimal or 0x-hex.\n\n"
           "Reader:\n"
           "  --port N                 the virtual reader's card port (default 35963, the first\n"
           "                           reader \"Virtual PCD 00 00\"; 35964 is the second)\n"
           "  --host ADDR              where pcscd listens for cards (default 127.0.0.1)\n"
           "Tag:\n"
           "  --description FILE       lay out tag memory for this device description (sealed or\n"
           "                           not); without it the NFC sample description beside the\n"
           "                           program (xml/TC200N.xml)\n"
           "  --uid HEX                the tag's UID, 8 bytes (default e004015012345678)\n"
           "Faults:\n"
           "  --corrupt-crc ADDR       break the stored CRC of the range at byte address ADDR;\n"
           "                           1024 breaks the device-information record (repeatable)\n"
           "  --fail-block BLOCK:SW    answer commands touching block BLOCK with the status word\n"
           "                           SW, four hex digits such as 6A82 (repeatable)\n"
           "  --delay-ms MS            wait before answering each tag command\n"
           "  --remove-at-block BLOCK[:N]\n"
           "                           the Nth tag command touching block BLOCK (the first\n"
           "                           without N) finds the tag gone: it is not answered and\n"
           "                           the tag leaves the field\n"
           "  --remove-after-ms MS     the tag leaves the field MS ms after it was presented\n"
           "  --return-after-ms MS     a tag that left comes back after MS ms (without it, it\n"
           "                           stays away until SIGUSR1)\n"
           "  --verbose                log commands and faults on stderr\n"
           "  --help                   show this text\n\n"
           "Tag memory: 1024 bytes in 256 blocks of 4. The first 128 bytes hold a capability\n"
           "container and an NDEF message TLV with one NFC Forum external record of the maker's\n"
           "domain, type \"devinfo\": the description's section at 0x0400 or above (its values as\n"
           "little-endian words, then their CRC-16 high byte first). Every other section lies at\n"
           "its byte address: its values as little-endian words, their CRC-16 high byte first,\n"
           "padded with 0xFF to a block boundary. Items carry their \"Default\" values.\n"
           "Commands: FF CA 00 00 00 (UID) and the pass-through FF FC 00 00 Lc with read single\n"
           "block (20 BLOCK 00), read multiple blocks (23 FIRST COUNT-1 00) and write single\n"
           "block (21 BLOCK D0 D1 D2 D3); the ATR names an ISO 15693 tag.\n\n"
           "Prints \"presenting tag on HOST:PORT\" each time the tag enters the field and\n"
           "\"tag removed\" each time it leaves. SIGUSR1 takes the tag away or brings it back;\n"
           "ends on SIGINT or SIGTERM.\n";
}

bool CTagSimOptions::parse(const QStringList& arguments, QString& error)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString option = arguments.at(i);
        if (option == QLatin1String("--verbose")) {
            verbose = true;
            continue;
        }
        if (!option.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unexpected argument '%1'").arg(option);
            return false;
        }
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("missing value for %1").arg(option);
            return false;
        }
        const QString value = arguments.at(++i);
        const auto numeric = [&](int minimum, int maximum, int& target) {
            if (toNumber(value, minimum, maximum, target))
                return true;
            error = QStringLiteral("invalid value '%1' for %2 (%3 to %4)").arg(value, option).arg(minimum).arg(maximum);
            return false;
        };
        int number = 0;
        if (option == QLatin1String("--port")) {
            if (!numeric(1, 65535, port))
                return false;
        } else if (option == QLatin1String("--host")) {
            host = value;
        } else if (option == QLatin1String("--description")) {
            descriptionPath = value;
        } else if (option == QLatin1String("--uid")) {
            uid = QByteArray::fromHex(value.toLatin1());
            if (uid.size() != UID_LENGTH || uid.toHex() != value.toLower().toLatin1()) {
                error = QStringLiteral("invalid UID '%1' (%2 bytes in hex)").arg(value).arg(UID_LENGTH);
                return false;
            }
        } else if (option == QLatin1String("--corrupt-crc")) {
            if (!numeric(0, 1024, number))
                return false;
            corruptCrcAddresses.append(number);
        } else if (option == QLatin1String("--fail-block")) {
            const QStringList parts = value.split(QLatin1Char(':'));
            BlockFault fault;
            if (parts.size() == 2)
                fault.status = QByteArray::fromHex(parts.at(1).toLatin1());
            if (parts.size() != 2 || !toNumber(parts.at(0), 0, MAX_BLOCK, fault.block) || fault.status.size() != 2
                || fault.status.toHex() != parts.at(1).toLower().toLatin1()) {
                error = QStringLiteral("invalid block fault '%1' (BLOCK:SW, block 0 to %2, SW four hex digits)")
                            .arg(value)
                            .arg(MAX_BLOCK);
                return false;
            }
            blockFaults.append(fault);
        } else if (option == QLatin1String("--delay-ms")) {
            if (!numeric(0, MAX_MS, delayMs))
                return false;
        } else if (option == QLatin1String("--remove-at-block")) {
            const QStringList parts = value.split(QLatin1Char(':'));
            if (parts.size() > 2 || !toNumber(parts.at(0), 0, MAX_BLOCK, removeAtBlock)
                || (parts.size() == 2 && !toNumber(parts.at(1), 1, 1000000, removeAtTouch))) {
                error = QStringLiteral("invalid removal '%1' (BLOCK or BLOCK:N, block 0 to %2)").arg(value).arg(MAX_BLOCK);
                return false;
            }
        } else if (option == QLatin1String("--remove-after-ms")) {
            if (!numeric(1, MAX_MS, removeAfterMs))
                return false;
        } else if (option == QLatin1String("--return-after-ms")) {
            if (!numeric(1, MAX_MS, returnAfterMs))
                return false;
        } else {
            error = QStringLiteral("unknown option %1").arg(option);
            return false;
        }
    }
    return true;
}
