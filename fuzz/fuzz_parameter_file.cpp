// libFuzzer target: any bytes as a parameter file. Whatever loads is saved
// and loaded again, and must come back unchanged: a value never changes on
// its way through a file. A file the writer refuses (a text XML cannot
// carry) is fine; writing it half is not.

#include "files/CDataPoint.h"
#include "files/CParameterFile.h"
#include "items/CItem.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {
QTemporaryDir* directory = nullptr;

// Through a file, as the front end loads one.
bool load(const QByteArray& bytes, QMap<QString, QString>* description, QList<CDataPoint>* records)
{
    const QString path = directory->filePath(QStringLiteral("fuzz.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::abort();
    file.close();
    return CParameterFile::loadFile(path, description, records);
}

// Entries whose data type names no type are no device values; the writer
// leaves them out.
QList<CDataPoint> deviceValues(const QList<CDataPoint>& records)
{
    QList<CDataPoint> kept;
    for (const CDataPoint& record : records) {
        if (record.type != CItem::TYPE_ROOT)
            kept.append(record);
    }
    return kept;
}

// The same entry: name, id, type and the value as the file writes it (a
// number written as ".0" comes back as "0", the same value; NaN is no value
// equal to itself, its text is).
bool sameRecord(const CDataPoint& a, const CDataPoint& b)
{
    const auto type = CItem::ENUM_DATA_TYPES(a.type);
    return a.name == b.name && a.id == b.id && a.type == b.type
        && CItem::valueToFileText(a.value, type) == CItem::valueToFileText(b.value, type);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv);
    directory = new QTemporaryDir;
    return directory->isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QMap<QString, QString> description;
    QList<CDataPoint> records;
    if (!load(QByteArray(reinterpret_cast<const char*>(data), int(size)), &description, &records))
        return 0;
    const QByteArray saved = CParameterFile::createContent(description, records);
    if (saved.isEmpty())
        return 0;
    QMap<QString, QString> descriptionAgain;
    QList<CDataPoint> recordsAgain;
    if (!load(saved, &descriptionAgain, &recordsAgain) || descriptionAgain != description)
        std::abort();
    const QList<CDataPoint> before = deviceValues(records);
    const QList<CDataPoint> after = deviceValues(recordsAgain);
    if (before.size() != after.size())
        std::abort();
    for (int i = 0; i < before.size(); ++i) {
        if (!sameRecord(before.at(i), after.at(i)))
            std::abort();
    }
    return 0;
}
