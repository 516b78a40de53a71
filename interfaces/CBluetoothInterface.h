#pragma once

#include "interfaces/CBaseInterface.h"

#include <QBluetoothDeviceInfo>
#include <QByteArray>
#include <QList>
#include <QLowEnergyCharacteristic>
#include <QLowEnergyController>
#include <QLowEnergyDescriptor>
#include <QLowEnergyService>
#include <QMap>

class QEventLoop;
class QTimer;

// The UART settings of the Bluetooth bridge module; each field holds the value
// of the matching QSerialPort enumeration, as in STRUCT_SERIAL_SETTINGS.
struct PARAMICA_EXPORT STRUCT_UART_CONFIG
{
    int baudRate = 115200;
    int parity = 2;      // 0 none, 2 even
    int flowControl = 0; // 0 none, 1 hardware

    bool operator==(const STRUCT_UART_CONFIG& other) const
    {
        return baudRate == other.baudRate && parity == other.parity && flowControl == other.flowControl;
    }
};

// Transport to a device behind a Bluetooth LE module that bridges to the
// device's UART: Modbus RTU travels in packets through a writable and a
// notifying characteristic, and the same link carries commands that read and
// write the module's own settings.
// The port name is "NAME,ADDRESS[,CLASS_OF_DEVICE]". Opening, closing and
// configuring wait in local event loops; each wait ends early when the link
// goes down, when the interface is closed and when it is destroyed.
class PARAMICA_EXPORT CBluetoothInterface : public CBaseInterface
{
    Q_OBJECT

public:
    static constexpr uchar RF_HEADER_DATA = 0x01;
    static constexpr uchar RF_HEADER_CMD = 0x02;
    static constexpr uchar CMD_HEADER_READ_REQUEST = 0x10;
    static constexpr uchar CMD_HEADER_WRITE_REQUEST = 0x11;
    static constexpr uchar CMD_HEADER_READ_RESPONSE = 0x50;
    static constexpr uchar CMD_HEADER_WRITE_RESPONSE = 0x51;
    static constexpr uchar CMD_HEADER_RESPONSE_OK = 0x00;
    static constexpr uchar CMD_HEADER_RESPONSE_FAILED = 0x01;
    static constexpr uchar CMD_HEADER_RESPONSE_DENIED = 0xFF;
    static constexpr uchar SETTINGS_INDEX_RF_DEVICE_NAME = 2;
    static constexpr uchar SETTINGS_INDEX_UART_CONFIG_INDEX = 11;
    static constexpr uchar SETTINGS_INDEX_RF_STATIC_PASS_KEY = 18;
    static constexpr uchar SETTINGS_INDEX_RF_ADVERTISING_FLAGS = 29;
    static constexpr int MAX_PAYLOAD_LENGTH = 243;
    static const QByteArray ENABLE_NOTIFICATION;
    static const QByteArray DISABLE_NOTIFICATION;
    // Module index to UART settings.
    static const QMap<uchar, STRUCT_UART_CONFIG> UART_CONFIG_TABLE;
    // No UART configuration of the table matches the wanted settings.
    static constexpr uchar NO_UART_CONFIG_INDEX = 0xFF;

    static constexpr int WAIT_TIMEOUT_MS = 30000;
    static constexpr int WAIT_START_DELAY_MS = 20;
    static constexpr int RECEIVE_SILENCE_MS = 240;
    static constexpr int WRITE_CONFIRM_TIMEOUT_MS = 500;

    explicit CBluetoothInterface(QObject* parent = nullptr);
    ~CBluetoothInterface() override;

    void setPortName(const QString& text) override;
    QString portName() const override;
    // The wanted index becomes the first table entry with these settings;
    // it stays as it was when none has them.
    void setUartConfig(const STRUCT_UART_CONFIG& config);
    uchar wantedUartConfigIndex() const { return m_wantedUartConfigIndex; }

    bool openPort() override;
    bool closePort() override;
    // 0 the module already had the wanted UART configuration (or did not
    // answer), 1 writing it failed, 2 written: the module must be reconnected.
    int configurePort() override;
    bool isPortOpen() const override { return m_open; }

    static QByteArray createDataPacket();
    static QByteArray createCmdPacket();

signals:
    void connected();
    void disconnected();
    void configured();
    // A service error while open: the owner closes the interface.
    void error();
    void rfDeviceNameWritten(bool ok);
    void uartConfigIndexWritten(bool ok);
    void rfStaticPassKeyWritten(bool ok);
    void rfAdvertisingFlagsWritten(bool ok);
    // Empty when the module did not read the text.
    void rfDeviceNameReceived(QString name);
    // -1 when the module did not read the value.
    void uartConfigIndexReceived(int index);
    void rfStaticPassKeyReceived(QString key);
    void rfAdvertisingFlagsReceived(int flags);

public slots:
    void readRfDeviceName();
    void readUartConfigIndex();
    void readRfStaticPassKey();
    void readRfAdvertisingFlags();
    void writeRfDeviceName(const QString& name);
    void writeUartConfigIndex(uchar index);
    void writeRfStaticPassKey(const QString& key);
    void writeRfAdvertisingFlags(uchar flags);
    void sendData(const char* buffer, int byteCount) override;

private slots:
    void connectDevice(const QBluetoothDeviceInfo& info);
    void connectDevice();
    void disconnectDevice();
    void checkUartConfigIndex(int index);
    void resetRfInteface(bool ok);
    void deviceConnected();
    void deviceDisconnected();
    void controllerError(QLowEnergyController::Error controllerError);
    void serviceScanDone();
    void serviceStateChanged(QLowEnergyService* service, QLowEnergyService::ServiceState state);
    void serviceError(QLowEnergyService* service, QLowEnergyService::ServiceError serviceError);
    void characteristicChanged(const QLowEnergyCharacteristic& characteristic, const QByteArray& value);
    void descriptorWritten(const QLowEnergyDescriptor& descriptor, const QByteArray& value);
    void writeCmdData(const QByteArray& packet);
    void dataReadFinished();
    void cmdReadFinished(const QByteArray& answer);
    void cmdWriteFinished(const QByteArray& answer);

private:
    // Runs the loop until whatever the caller connected to its quit() fires,
    // timeoutMs pass or the interface is closed; `start` runs
    // WAIT_START_DELAY_MS in. False when the interface was destroyed meanwhile.
    bool wait(QEventLoop& loop, int timeoutMs, void (CBluetoothInterface::*start)() = nullptr);
    // Ends every wait in progress.
    void endWaits();
    // After each packet written with response: false when the link or the
    // interface is gone or the service failed meanwhile.
    bool waitForWrite();
    void searchService(QLowEnergyService* service);
    // A discovered service was searched or dropped; with none left and none
    // usable the connection attempt fails at once.
    void settleService(QLowEnergyService* service);
    void forgetService();
    void readSetting(uchar index);
    void writeSetting(uchar index, const QByteArray& value);

    QString m_deviceName;
    QString m_deviceAddress;
    quint32 m_classOfDevice = 0;
    bool m_open = false;
    QLowEnergyController* m_controller = nullptr;
    QLowEnergyService* m_service = nullptr;
    QList<QLowEnergyService*> m_unsearchedServices;
    QLowEnergyCharacteristic m_writeCharacteristic;
    QLowEnergyCharacteristic m_notifyCharacteristic;
    QLowEnergyDescriptor m_notificationDescriptor;
    QLowEnergyService::WriteMode m_writeMode = QLowEnergyService::WriteWithResponse;
    QTimer* m_receiveTimer;
    QByteArray m_receiveBuffer;
    int m_configResult = 0;
    uchar m_pendingSettingsIndex = 0;
    uchar m_wantedUartConfigIndex = NO_UART_CONFIG_INDEX;
    int m_serviceError = 0;
    QList<QEventLoop*> m_waits;
};
