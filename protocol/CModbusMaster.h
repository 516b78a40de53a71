#pragma once

#include "protocol/CProtocolMaster.h"
#include "protocol/Modbus.h"

class CFlasher;
class CModbusMode;

// Protocol master for Modbus RTU (serial) and Modbus TCP: builds the telegram
// of each request, checks and decodes answers, retries reads and reports
// failures in the device's terms. Owns the firmware flasher.
class PARAMICA_EXPORT CModbusMaster : public CProtocolMaster
{
    Q_OBJECT

public:
    static const int CYCLE_INTERVAL_MS = 20;
    static const int RESET_WAIT_MS = 1750;
    static const int RESET_SIGNAL_DELAY_MS = 20;
    // A request is sent this often before it counts as unanswered.
    static const int MAX_TRIES = 3;

    explicit CModbusMaster(QObject* parent = nullptr);
    CModbusMaster(ENUM_PROTOCOL_TYPE type, QObject* parent = nullptr);
    ~CModbusMaster() override;

    void setDeviceAddress(uchar address) override;
    uchar deviceAddress() const;
    CFlasher* flasher() const { return m_flasher; }

    int startUpdate(const QString& fileName, bool withChecks);
    void stopUpdate();

    static QString exceptionName(int code);

signals:
    void updateAck(Modbus::UNION_MODBUS_RD_WR data);
    void firmwareUpdateStarted();
    void firmwareUpdateFinished(int result);
    void firmwareUpdateProgress(int percent);
    void resetInterfaceInitiated();
    void resetInterfaceFinished();

public slots:
    void buildRequest(const CRequest& request) override;
    void resolveResponse(const char* buffer, int byteCount) override;

private slots:
    void timeout() override;
    void buildUpdateRequest(uchar functionCode, uint byteCount, Modbus::UNION_MODBUS_RD_WR userData);
    // Waits for the back end to reset the transport; false when the master
    // was deleted meanwhile.
    bool resetInterface();

private:
    // The requests that read a block of registers (address and count).
    static bool isRegisterRead(ENUM_REQUEST_TYPE type);
    // Why a request cannot be sent as asked (data that does not match its
    // length, more than one telegram carries), or empty.
    static QString refusalReason(const CRequest& request);
    QByteArray buildTelegram(const CRequest& request);
    void handleAnswer(const Modbus::UNION_MODBUS_RD_WR& data, int byteCount);
    void handleErrorAnswer(const Modbus::UNION_MODBUS_RD_WR& data, int kind);
    static QString registerText(const CRequest& request);
    static QStringList scanEntries(const Modbus::UNION_MODBUS_RD_WR& data, int byteCount);

    CModbusMode* m_mode = nullptr;
    CFlasher* m_flasher = nullptr;
    int m_scanExceptionCount = 0;
};
