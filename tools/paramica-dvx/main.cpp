// paramica-dvx: seals device-description files with their trailing CRC and
// checks them, so that a description written or edited by hand can be used.

#include "items/CGlobals.h"
#include "protocol/CRC16.h"
#include "xml/CXmlElementReader.h"
#include "xml/CXmlParser.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {
const int EXIT_REFUSED = 1;
const int EXIT_USAGE = 2;
const int CHECK_BYTES = 2;

void printError(const QString& text)
{
    std::fprintf(stderr, "paramica-dvx: %s\n", qPrintable(text));
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

bool isXml(const QByteArray& bytes, QString* error = nullptr)
{
    CXmlElementReader reader(bytes, CXmlParser::MAX_ELEMENT_DEPTH);
    reader.readToEnd();
    if (reader.hasError() && error)
        *error = reader.errorString();
    return !reader.hasError();
}

// The file is checked as the back end reads it, so that what check approves
// is what the application lists and activates.
int check(const QString& path)
{
    CXmlParser parser;
    if (!parser.readFileContent(path)) {
        printError(parser.errorString());
        return EXIT_REFUSED;
    }
    const CDeviceDescription description = parser.deviceDescription();
    std::printf("OK: %s\n", qPrintable(CGlobals::createDeviceIdString(description.name, description.orderNumber,
                                                                      description.parameterVersion)));
    return 0;
}

int seal(const QString& path, const QString& output)
{
    QByteArray bytes;
    if (!readFile(path, &bytes))
        return EXIT_USAGE;
    // Old check bytes, matching or not (the file was edited since it was
    // sealed), are what keeps an XML file from being well-formed: they are
    // replaced, never stacked.
    QString error;
    if (!isXml(bytes, &error)) {
        if (bytes.size() < CHECK_BYTES || !isXml(bytes.chopped(CHECK_BYTES))) {
            printError(QStringLiteral("%1: %2").arg(path, error));
            return EXIT_REFUSED;
        }
        bytes.chop(CHECK_BYTES);
    }
    // Check bytes that happen to be blanks leave the file well-formed: the
    // text ends in exactly one line feed, whatever stood there.
    while (!bytes.isEmpty() && QByteArray(" \t\r\n").contains(bytes.back()))
        bytes.chop(1);
    bytes.append('\n');
    const quint16 crc = CRC16::calc_crc(bytes);
    bytes.append(char(crc >> 8));
    bytes.append(char(crc & 0xFF));

    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        printError(QStringLiteral("cannot write %1: %2").arg(output, file.errorString()));
        return EXIT_USAGE;
    }
    return 0;
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString usage = QStringLiteral("usage: paramica-dvx seal FILE [-o OUT] | check FILE");
    if (arguments.size() == 2 && arguments.at(0) == QLatin1String("check"))
        return check(arguments.at(1));
    if (arguments.size() == 2 && arguments.at(0) == QLatin1String("seal"))
        return seal(arguments.at(1), arguments.at(1));
    if (arguments.size() == 4 && arguments.at(0) == QLatin1String("seal") && arguments.at(2) == QLatin1String("-o"))
        return seal(arguments.at(1), arguments.at(3));
    printError(usage);
    return EXIT_USAGE;
}
