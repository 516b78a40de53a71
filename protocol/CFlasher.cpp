#include "protocol/CFlasher.h"

#include <QRegularExpression>

const QString CFlasher::FIRMWARE_PATH = QStringLiteral("/firmware");

CFlasher::CFlasher(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<Modbus::UNION_MODBUS_RD_WR>();
}

CFlasher::CFlasher(const QString& fileName, QObject* parent)
    : CFlasher(parent)
{
    m_fileName = fileName;
}

int CFlasher::exec()
{
    emit updateDone(0);
    return -1;
}

void CFlasher::exit(int)
{
}

void CFlasher::handleResponse(Modbus::UNION_MODBUS_RD_WR)
{
}

bool CFlasher::isBootLoader(const QString& productCode)
{
    return productCode.startsWith(QLatin1String("BL-"));
}

bool CFlasher::isHexValue(const QString& text)
{
    return text.startsWith(QLatin1String("0x"));
}

QString CFlasher::adjustDeviceName(const QString& productCode)
{
    QString name = productCode;
    if (isBootLoader(name))
        name.remove(0, 3);
    if (!isHexValue(name))
        return name;
    bool ok = false;
    const qulonglong number = name.mid(2).toULongLong(&ok, 16);
    return ok ? QString::number(number) : QStringLiteral("0");
}

bool CFlasher::compareStrings(QString pattern, QString text)
{
    pattern.replace(QLatin1String("[xX]"), QLatin1String("."));
    return QRegularExpression(pattern).match(text).hasMatch();
}

int CFlasher::calculateNextAddress(const STRUCT_FLASH_CONFIG& config, int offset)
{
    if (config.addressMode == 1)
        return config.length ? offset / config.length : 0;
    return offset / 2;
}

QStringList CFlasher::handleDidResponse(const Modbus::UNION_MODBUS_RD_WR& data, int byteCount)
{
    QStringList values;
    const int limit = qMin(byteCount, int(sizeof(data.raw)));
    if (limit < 6)
        return values;
    const int objects = data.raw[5];
    int position = 6;
    for (int i = 0; i < objects && position + 2 <= limit; ++i) {
        const int length = data.raw[position + 1];
        position += 2;
        if (position + length > limit)
            break;
        values.append(QString::fromLatin1(reinterpret_cast<const char*>(data.raw + position), length));
        position += length;
    }
    return values;
}
