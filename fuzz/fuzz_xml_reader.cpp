// libFuzzer target: any bytes as a device-description file, read as the back
// end reads one: its identity when the installed files are listed, its whole
// content when the device is activated; the same bytes sealed, so that the
// checking reader gets past the check bytes; and the bytes as a translation
// file. Beyond crashes it traps when the two reads disagree (a file listed
// but refused at activation, or listed under another identity) or when a
// refusal gives no reason.
// Set FUZZ_NO_XML_CHECK=1 to fuzz the reader as started with "--no-xml-check".

#include "protocol/CRC16.h"
#include "xml/CXmlParser.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {
QCoreApplication* application = nullptr;
QTemporaryDir* directory = nullptr;

bool sameIdentity(const CDeviceDescription& a, const CDeviceDescription& b)
{
    return a.name == b.name && a.orderNumber == b.orderNumber && a.softwareVersion == b.softwareVersion
        && a.parameterVersion == b.parameterVersion && a.pabVersion == b.pabVersion && a.features == b.features
        && a.fileName == b.fileName;
}

void readAsDescription(const QByteArray& bytes)
{
    const QString path = directory->filePath(QStringLiteral("fuzz.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::abort();
    file.close();

    CXmlParser listing;
    CXmlParser activation;
    const bool listed = listing.readFileDeviceId(path);
    const bool activated = activation.readFileContent(path);
    if (listed != activated || listed != listing.errorString().isEmpty()
        || listing.errorString() != activation.errorString())
        __builtin_trap();
    if (listed
        && (listing.deviceDescription().name.isEmpty() || listing.deviceDescription().orderNumber.isEmpty()
            || !sameIdentity(listing.deviceDescription(), activation.deviceDescription())))
        __builtin_trap();
}
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static int argc = 1;
    static char name[] = "fuzz_xml_reader";
    static char noCheck[] = "--no-xml-check";
    static char* argv[] = { name, noCheck, nullptr };
    if (std::getenv("FUZZ_NO_XML_CHECK"))
        argc = 2;
    application = new QCoreApplication(argc, argv);
    directory = new QTemporaryDir;
    return directory->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    readAsDescription(bytes);
    const quint16 crc = CRC16::calc_crc(bytes);
    readAsDescription(bytes + char(crc >> 8) + char(crc & 0xFF));
    CXmlParser::parseFileTranslations(bytes, QStringLiteral("fuzz.xml"));
    return 0;
}
