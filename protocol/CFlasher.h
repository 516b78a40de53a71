#pragma once

#include "backend/CMessageSender.h"
#include "paramica_export.h"
#include "protocol/Modbus.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>

class QEventLoop;
class QTimer;

// Firmware transfer through the device's boot loader: identifies the device,
// switches a running application into its boot loader, reads the flash
// configuration, writes the image block by block and checks that the
// application comes back. It owns no transport: the Modbus master sends its
// telegrams and hands it the answers. Why a run fails is said through
// warningMessage and logMessage, caption "Firmware Update".
class PARAMICA_EXPORT CFlasher : public CMessageSender
{
    Q_OBJECT

public:
    static const int MAX_RETRY_COUNT = 3;
    static const int FLASHER_TIMOUT = 10;
    static const int DEFAULT_FLASH_LENGTH = 224;
    static const QString FIRMWARE_PATH;
    // Caption of every message about firmware updates.
    // A 0x59 request carries block address, register count and byte count
    // before the block in the 252 data bytes of one Modbus PDU.
    static const int MAX_BLOCK_LENGTH = 246;

    struct STRUCT_FLASH_CONFIG {
        quint16 addressMode = 0;
        quint16 length = DEFAULT_FLASH_LENGTH;
    };

    enum ENUM_STATES {
        STATE_IDLE = 0,
        STATE_ABORTED = 1,
        STATE_START = 2,
        STATE_READ_DID = 3,
        STATE_GOTO_BOOTLOADER = 4,
        STATE_WAIT_RESTART = 5,
        STATE_CHECK_BOOTLOADER = 6,
        STATE_START_FLASH = 7,
        STATE_READ_FLASH_CONFIG = 8,
        STATE_NEXT_BLOCK = 9,
        STATE_WRITE_BLOCK = 10,
        STATE_START_APPLICATION = 11,
        STATE_CHECK_APPLICATION = 12,
        STATE_DONE = 13,
        STATE_ERROR = 14
    };
    Q_ENUM(ENUM_STATES)

    explicit CFlasher(QObject* parent = nullptr);
    CFlasher(const QString& fileName, QObject* parent = nullptr);
    ~CFlasher() override;

    void setFileName(const QString& fileName) { m_fileName = fileName; }
    void enableChecks(bool state) { m_withChecks = state; }
    void setDefaultFlashConfig();
    STRUCT_FLASH_CONFIG flashConfig() const { return m_flashConfig; }
    ENUM_STATES state() const { return m_state; }
    bool isRunning() const { return m_loop != nullptr; }

    // Runs one update in a nested event loop: 0 after success or an abort
    // from outside, -1 after a failure, or the code given to exit().
    int exec();
    void exit(int code);
    // Takes the image when it is whole and meant for the device identified;
    // then switches to the boot loader or starts the transfer.
    bool startFlash(const QString& fileName, bool applicationRunning);
    // False when the answer carried the configuration, true when it was left as it was.
    bool handleReadFlashConfigResponse(const Modbus::UNION_MODBUS_RD_WR& data);

    static bool isBootLoader(const QString& productCode);
    static bool isHexValue(const QString& text);
    static QString adjustDeviceName(const QString& productCode);
    static bool compareStrings(QString pattern, QString text);
    static int calculateNextAddress(const STRUCT_FLASH_CONFIG& config, int offset);
    // Object values of a Read Device Identification answer, in order.
    static QStringList handleDidResponse(const Modbus::UNION_MODBUS_RD_WR& data, int byteCount = 520);
    // The unlocked command word to the boot loader (0x57 layout): 1 enter the
    // boot loader or start a transfer, 2 start the application.
    static void setBootLoaderCommand(Modbus::UNION_MODBUS_RD_WR& data, quint16 startRegister, quint16 command);

    static bool isFirmwareFileValid(const QStringList& patterns, const QString& fileName, QString* version);
    static QHash<QString, QString> getFirmwareFiles(const QStringList& patterns, const QString& directory);
    // Version text and path of the newest valid image; two empty strings when there is none.
    static QPair<QString, QString> getLatestFirmwareFile(const QStringList& patterns, const QString& directory);

signals:
    void buildTelegram(unsigned char functionCode, unsigned int length, Modbus::UNION_MODBUS_RD_WR userData);
    void updateStarted();
    void updateProgress(int percent);
    void updateDone(int result);

public slots:
    void handleResponse(Modbus::UNION_MODBUS_RD_WR userData);
    void timeout();

private slots:
    void setState(CFlasher::ENUM_STATES state);

private:
    void sendIdentificationRequest();
    void sendBootLoaderCommand(quint16 command);
    void sendReadRequest(quint16 startRegister, quint16 count);
    void sendBlock();
    // Counts a missing or wrong identification; after the last try the run fails.
    void retryIdentification(ENUM_STATES next);
    // False (and the run failed) when the configuration cannot carry the image.
    bool acceptFlashConfig();
    void checkApplication(const QStringList& identification);
    void fail(const QString& reason);
    void finish(int result, int code);
    void endRun(int code);

    QTimer* m_timer = nullptr;
    // The loop of the running exec(); it lives on exec()'s stack, so that the
    // flasher may be released while a run waits in it.
    QEventLoop* m_loop = nullptr;
    QString m_deviceName;
    bool m_applicationRunning = false;
    QString m_fileName;
    bool m_withChecks = true;
    ENUM_STATES m_state = STATE_IDLE;
    int m_offset = 0;
    QByteArray m_image;
    int m_retryCount = 0;
    STRUCT_FLASH_CONFIG m_flashConfig;
    bool m_blockAnswered = false;
    bool m_runEnded = false;
    int m_runResult = 0;
};
