#include "protocol/CFirmwareImage.h"

#include "protocol/CRC16.h"

#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

namespace {
const int CHECKED_FROM = 4;
const int DEVICE_NUMBER_OFFSET = 8;
const int MINOR_OFFSET = 14;
const int MAJOR_OFFSET = 15;
}

quint16 CFirmwareImage::checkValueOf(const QByteArray& bytes)
{
    return CRC16::calc_crc(bytes.constData() + CHECKED_FROM, uint(bytes.size() - CHECKED_FROM));
}

CFirmwareImage CFirmwareImage::pack(quint32 deviceNumber, quint8 major, quint8 minor, const QByteArray& body)
{
    QByteArray bytes(HEADER_SIZE, '\0');
    qToLittleEndian(deviceNumber, bytes.data() + DEVICE_NUMBER_OFFSET);
    bytes[MINOR_OFFSET] = char(minor);
    bytes[MAJOR_OFFSET] = char(major);
    bytes += body;
    const quint16 check = checkValueOf(bytes);
    bytes[0] = char(check >> 8);
    bytes[1] = char(check & 0xFF);
    return CFirmwareImage(bytes);
}

bool CFirmwareImage::parseVersion(const QString& text, quint8* major, quint8* minor)
{
    // Versions compare as decimal numbers, so the minor always has two digits.
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,3})\\.([0-9]{2})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || match.captured(1).toUInt() > 255)
        return false;
    *major = quint8(match.captured(1).toUInt());
    *minor = quint8(match.captured(2).toUInt());
    return true;
}

QString CFirmwareImage::versionText(quint8 major, quint8 minor)
{
    return QStringLiteral("%1.%2").arg(major).arg(minor, 2, 10, QLatin1Char('0'));
}

CFirmwareImage CFirmwareImage::read(const QString& fileName, QString* reason)
{
    QFile file(fileName);
    QString why;
    CFirmwareImage image;
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        why = tr("Could not open firmware file '%1'!").arg(fileName);
    else
        image = CFirmwareImage(file.readAll());
    if (why.isEmpty() && !image.defect().isEmpty())
        why = tr("Firmware file '%1' is not a valid image: %2").arg(fileName, image.defect());
    if (reason)
        *reason = why;
    return why.isEmpty() ? image : CFirmwareImage();
}

QString CFirmwareImage::defect() const
{
    if (m_bytes.size() < HEADER_SIZE)
        return tr("its %1 bytes are shorter than the %2-byte header").arg(m_bytes.size()).arg(HEADER_SIZE);
    const quint16 stored = quint16((quint8(m_bytes.at(0)) << 8) | quint8(m_bytes.at(1)));
    const quint16 computed = checkValueOf(m_bytes);
    if (stored != computed)
        return tr("its check value 0x%1 does not match its content (0x%2)")
            .arg(stored, 4, 16, QLatin1Char('0'))
            .arg(computed, 4, 16, QLatin1Char('0'));
    return QString();
}

quint32 CFirmwareImage::deviceNumber() const
{
    return m_bytes.size() < HEADER_SIZE ? 0 : qFromLittleEndian<quint32>(m_bytes.constData() + DEVICE_NUMBER_OFFSET);
}

quint8 CFirmwareImage::majorVersion() const
{
    return m_bytes.size() < HEADER_SIZE ? 0 : quint8(m_bytes.at(MAJOR_OFFSET));
}

quint8 CFirmwareImage::minorVersion() const
{
    return m_bytes.size() < HEADER_SIZE ? 0 : quint8(m_bytes.at(MINOR_OFFSET));
}
