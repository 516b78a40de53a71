#pragma once

#include "backend/CMessageSender.h"
#include "paramica_export.h"

#include <QString>

enum ENUM_INTERFACE_TYPE {
    INTERFACE_NONE = -1,
    INTERFACE_SERIAL = 0,
    INTERFACE_BLUETOOTH = 1,
    INTERFACE_TCP = 2,
    INTERFACE_NFC = 3
};

// Each field holds the value of the matching QSerialPort enumeration.
struct PARAMICA_EXPORT STRUCT_SERIAL_SETTINGS
{
    int baudRate = 115200;
    int parity = 2;       // 0 none, 2 even, 3 odd, 4 space, 5 mark
    int flowControl = 0;  // 0 none, 1 hardware, 2 software
    int dataBits = 8;
    int stopBits = 1;     // 1 one, 3 one and a half, 2 two
};

// A byte channel to a device. It knows nothing about telegrams.
class PARAMICA_EXPORT CBaseInterface : public CMessageSender
{
    Q_OBJECT

public:
    explicit CBaseInterface(QObject* parent = nullptr);
    CBaseInterface(ENUM_INTERFACE_TYPE type, QObject* parent);

    ENUM_INTERFACE_TYPE type() const { return m_type; }

    virtual void setPortName(const QString& name) = 0;
    virtual bool openPort() = 0;
    virtual bool closePort() = 0;
    // 0 nothing to configure; the Bluetooth bridge also returns 1 (failed)
    // and 2 (configured, reconnect needed).
    virtual int configurePort() = 0;
    virtual bool isPortOpen() const = 0;
    virtual QString portName() const = 0;
    // Why the port could not be opened, in the system's words ("Connection
    // refused", "Permission denied"); empty when it said nothing.
    virtual QString errorString() const { return QString(); }

public slots:
    virtual void sendData(const char* buffer, int byteCount) = 0;

signals:
    // The buffer is valid only during the emission.
    void dataRead(const char* buffer, int byteCount);
    void dataWritten();

private:
    ENUM_INTERFACE_TYPE m_type = INTERFACE_NONE;
};
