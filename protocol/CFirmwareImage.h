#pragma once

#include "paramica_export.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// A firmware image as a device's boot loader receives it: a 16-byte header in
// front of the body. The header holds the check value (CRC-16 of everything
// from offset 4 on, high byte first), the device number (offset 8,
// little-endian) and the version (minor at 14, major at 15); the other bytes
// are not read. The flasher, the image tool and the simulated boot loader all
// read and write images through this class.
class PARAMICA_EXPORT CFirmwareImage
{
    Q_DECLARE_TR_FUNCTIONS(CFirmwareImage)

public:
    static const int HEADER_SIZE = 16;

    CFirmwareImage() = default;
    explicit CFirmwareImage(const QByteArray& bytes)
        : m_bytes(bytes)
    {
    }

    // The image in the file; an empty image with the reason when the file
    // cannot be read or the image is not intact.
    static CFirmwareImage read(const QString& fileName, QString* reason);
    // The body behind a header for this device and version.
    static CFirmwareImage pack(quint32 deviceNumber, quint8 major, quint8 minor, const QByteArray& body);
    // "MAJOR.MINOR" with a two-digit minor, as versions are shown ("1.05").
    static bool parseVersion(const QString& text, quint8* major, quint8* minor);
    static QString versionText(quint8 major, quint8 minor);

    const QByteArray& bytes() const { return m_bytes; }
    bool isEmpty() const { return m_bytes.isEmpty(); }
    // Why the image is not intact (too short, check value wrong); empty when it is.
    QString defect() const;
    // Read from the header; 0 for an image shorter than the header.
    quint32 deviceNumber() const;
    quint8 majorVersion() const;
    quint8 minorVersion() const;
    QString versionText() const { return versionText(majorVersion(), minorVersion()); }

private:
    static quint16 checkValueOf(const QByteArray& bytes);

    QByteArray m_bytes;
};
