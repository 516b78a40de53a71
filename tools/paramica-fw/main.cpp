// paramica-fw: packs firmware image files for the devices' boot loader and
// checks them, so that an image is known good before it is transferred.

#include "protocol/CFirmwareImage.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {
const int EXIT_INVALID = 1;
const int EXIT_USAGE = 2;
const int EXIT_FILE = 4;

const char USAGE[] =
    "Usage: paramica-fw pack --device N --version MAJOR.MINOR BODY OUT\n"
    "       paramica-fw check FILE [--device N]\n"
    "Firmware image files for the boot loader: a 16-byte header (check value,\n"
    "device number, version) in front of the firmware body.\n\n"
    "  pack    puts BODY behind a header for device N (decimal or 0x-hex) and\n"
    "          version MAJOR.MINOR (two-digit minor, e.g. 1.05) and writes OUT,\n"
    "          which is replaced whole or not at all\n"
    "  check   tells whether FILE is a valid image, for device N when given,\n"
    "          and prints its device number and version\n"
    "  --help  show this text\n\n"
    "Exit codes: 0 done or valid, 1 not a valid image, 2 usage error, 4 file error.\n";

struct Arguments {
    QString command;
    QStringList files;
    QString device;
    QString version;
};

void printError(const QString& text)
{
    std::fprintf(stderr, "paramica-fw: %s\n", qPrintable(text));
}

int usageError(const QString& text)
{
    printError(text);
    std::fputs("Try 'paramica-fw --help'.\n", stderr);
    return EXIT_USAGE;
}

bool parseDeviceNumber(const QString& text, quint32* deviceNumber)
{
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    bool ok = false;
    *deviceNumber = (hex ? text.mid(2) : text).toUInt(&ok, hex ? 16 : 10);
    return ok && !text.startsWith(QLatin1Char('+')) && !text.startsWith(QLatin1Char('-'));
}

bool readFile(const QString& path, QByteArray* bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    *bytes = file.readAll();
    return true;
}

int pack(const Arguments& arguments)
{
    quint32 deviceNumber = 0;
    quint8 major = 0, minor = 0;
    if (arguments.files.size() != 2 || arguments.device.isNull() || arguments.version.isNull())
        return usageError(QStringLiteral("pack needs --device N, --version MAJOR.MINOR, BODY and OUT"));
    if (!parseDeviceNumber(arguments.device, &deviceNumber))
        return usageError(QStringLiteral("invalid device number '%1' (0 to 4294967295)").arg(arguments.device));
    if (!CFirmwareImage::parseVersion(arguments.version, &major, &minor))
        return usageError(QStringLiteral("invalid version '%1' (MAJOR.MINOR, major 0 to 255, minor two digits)")
                              .arg(arguments.version));
    QByteArray body;
    if (!readFile(arguments.files.at(0), &body))
        return EXIT_FILE;
    const CFirmwareImage image = CFirmwareImage::pack(deviceNumber, major, minor, body);
    const QString& output = arguments.files.at(1);
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(image.bytes()) != image.bytes().size() || !file.commit()) {
        printError(QStringLiteral("cannot write %1: %2").arg(output, file.errorString()));
        return EXIT_FILE;
    }
    std::printf("%s: device %u, version %s, %d bytes\n", qPrintable(output), deviceNumber,
                qPrintable(image.versionText()), image.bytes().size());
    return 0;
}

int check(const Arguments& arguments)
{
    quint32 expectedDevice = 0;
    if (arguments.files.size() != 1 || !arguments.version.isNull())
        return usageError(QStringLiteral("check needs FILE and takes no option but --device"));
    if (!arguments.device.isNull() && !parseDeviceNumber(arguments.device, &expectedDevice))
        return usageError(QStringLiteral("invalid device number '%1' (0 to 4294967295)").arg(arguments.device));
    const QString& path = arguments.files.at(0);
    QByteArray bytes;
    if (!readFile(path, &bytes))
        return EXIT_FILE;
    const CFirmwareImage image(bytes);
    const QString defect = image.defect();
    if (!defect.isEmpty()) {
        printError(QStringLiteral("%1 is not a valid image: %2").arg(path, defect));
        return EXIT_INVALID;
    }
    if (!arguments.device.isNull() && image.deviceNumber() != expectedDevice) {
        printError(QStringLiteral("%1 is an image for device %2, not %3")
                       .arg(path)
                       .arg(image.deviceNumber())
                       .arg(expectedDevice));
        return EXIT_INVALID;
    }
    std::printf("%s: valid image for device %u, version %s\n", qPrintable(path), image.deviceNumber(),
                qPrintable(image.versionText()));
    return 0;
}
}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList list = QCoreApplication::arguments().mid(1);
    if (list.contains(QLatin1String("--help")) || list.contains(QLatin1String("-h"))) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    Arguments arguments;
    for (int i = 0; i < list.size(); ++i) {
        const QString& argument = list.at(i);
        const bool takesValue = argument == QLatin1String("--device") || argument == QLatin1String("--version");
        if (takesValue && i + 1 >= list.size())
            return usageError(QStringLiteral("missing value for %1").arg(argument));
        if (takesValue)
            (argument == QLatin1String("--device") ? arguments.device : arguments.version) = list.at(++i);
        else if (argument.startsWith(QLatin1String("--")))
            return usageError(QStringLiteral("unknown option %1").arg(argument));
        else if (arguments.command.isNull())
            arguments.command = argument;
        else
            arguments.files << argument;
    }
    if (arguments.command == QLatin1String("pack"))
        return pack(arguments);
    if (arguments.command == QLatin1String("check"))
        return check(arguments);
    return usageError(arguments.command.isNull() ? QStringLiteral("no command given (pack or check)")
                                                 : QStringLiteral("unknown command '%1'").arg(arguments.command));
}
