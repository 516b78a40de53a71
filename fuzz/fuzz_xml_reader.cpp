// libFuzzer target: any bytes as a device-description file, through the same
// steps as the reader: check bytes, DOM parse, identity and full content.
// Set FUZZ_NO_XML_CHECK=1 to fuzz the reader as started with "--no-xml-check".

#include "xml/CXmlParser.h"

#include <QCoreApplication>
#include <QDomDocument>

#include <cstdlib>

namespace {
QCoreApplication* application = nullptr;
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
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QByteArray xml = CXmlParser::parseXmlData(bytes, 2);
    QDomDocument document;
    if (xml.isEmpty() || !document.setContent(xml, false))
        return 0;
    CXmlParser::parseFileDeviceId(&document, QStringLiteral("fuzz.xml"));
    const QMap<QString, CElementMap*> content = CXmlParser::parseFileContent(&document, QStringLiteral("fuzz.xml"));
    qDeleteAll(content);
    CXmlParser::parseFileTranslations(&document, QStringLiteral("fuzz.xml"));
    return 0;
}
