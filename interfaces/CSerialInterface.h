#pragma once

#include "interfaces/CBaseInterface.h"

#include <QSerialPort>

class QTimer;

// Serial port transport for Modbus RTU. A frame is delivered once the line has
// been quiet for READ_SILENCE_MS.
class PARAMICA_EXPORT CSerialInterface : public CBaseInterface
{
    Q_OBJECT

public:
    static const int READ_SILENCE_MS = 50;

    explicit CSerialInterface(QObject* parent = nullptr);

    void setPortName(const QString& name) override;
    void setBaudRate(QSerialPort::BaudRate baudRate);
    void setFlowControl(QSerialPort::FlowControl flowControl);
    void setParity(QSerialPort::Parity parity);
    void setDataBits(QSerialPort::DataBits dataBits);
    void setStopBits(QSerialPort::StopBits stopBits);

    bool openPort() override;
    bool closePort() override;
    int configurePort() override;
    bool isPortOpen() const override;
    QString portName() const override;
    // The port's own description of the last failure, for messages.
    QString errorString() const override;

public slots:
    void sendData(const char* buffer, int byteCount) override;

private slots:
    void startRead();
    void readAll();

private:
    QSerialPort* m_port;
    QTimer* m_readTimer;
};
