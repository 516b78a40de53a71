#pragma once

#include "paramica_export.h"
#include "protocol/Modbus.h"

#include <QObject>
#include <QString>
#include <QStringList>

// Firmware transfer through the device's boot loader. The Modbus master owns
// one and carries its telegrams. The block transfer itself is not part of this
// build yet: a run reports failure at once instead of pretending to flash.
class PARAMICA_EXPORT CFlasher : public QObject
{
    Q_OBJECT

public:
    static const int MAX_RETRY_COUNT = 3;
    static const int FLASHER_TIMOUT = 10;
    static const int DEFAULT_FLASH_LENGTH = 224;
    static const QString FIRMWARE_PATH;

    struct STRUCT_FLASH_CONFIG {
        quint16 addressMode = 0;
        quint16 length = DEFAULT_FLASH_LENGTH;
    };

    explicit CFlasher(QObject* parent = nullptr);
    CFlasher(const QString& fileName, QObject* parent = nullptr);

    void setFileName(const QString& fileName) { m_fileName = fileName; }
    void enableChecks(bool state) { m_withChecks = state; }
    bool isRunning() const { return false; }
    static bool isAvailable() { return false; }

    // Ends at once with failure (updateDone(0), exit code -1).
    int exec();
    void exit(int code);

    static bool isBootLoader(const QString& productCode);
    static bool isHexValue(const QString& text);
    static QString adjustDeviceName(const QString& productCode);
    static bool compareStrings(QString pattern, QString text);
    static int calculateNextAddress(const STRUCT_FLASH_CONFIG& config, int offset);
    // Object values of a Read Device Identification answer, in order.
    static QStringList handleDidResponse(const Modbus::UNION_MODBUS_RD_WR& data, int byteCount = 520);

signals:
    void buildTelegram(unsigned char functionCode, unsigned int length, Modbus::UNION_MODBUS_RD_WR userData);
    void updateStarted();
    void updateProgress(int percent);
    void updateDone(int result);

public slots:
    void handleResponse(Modbus::UNION_MODBUS_RD_WR userData);

private:
    QString m_fileName;
    bool m_withChecks = true;
};
