// paramica-dvx: seals device-description files with their trailing CRC and
// checks them, so that a description written or edited by hand can be used.

#include "protocol/CRC16.h"
#include "xml/CXmlParser.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {
const int EXIT_MISMATCH = 1;
const int EXIT_USAGE = 2;

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

QString hex(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

int check(const QString& path)
{
    QByteArray bytes;
    if (!readFile(path, &bytes))
        return EXIT_USAGE;
    if (bytes.size() < 2) {
        std::printf("CRC mismatch: file too short\n");
        return EXIT_MISMATCH;
    }
    if (CXmlParser::checkXmlData(bytes)) {
        std::printf("OK\n");
        return 0;
    }
    const quint16 stored = quint16((uchar(bytes[bytes.size() - 2]) << 8) | uchar(bytes[bytes.size() - 1]));
    const quint16 computed = CRC16::calc_crc(bytes.constData(), uint(bytes.size() - 2));
    std::printf("CRC mismatch: stored %s, computed %s\n", qPrintable(hex(stored)), qPrintable(hex(computed)));
    return EXIT_MISMATCH;
}

int seal(const QString& path, const QString& output)
{
    QByteArray bytes;
    if (!readFile(path, &bytes))
        return EXIT_USAGE;
    // Sealing a sealed file replaces its check bytes.
    if (CXmlParser::checkXmlData(bytes))
        bytes.chop(2);
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
