#pragma once

#include "interfaces/CBaseInterface.h"
#include "protocol/CRequest.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QStackedWidget;

// Asks how the device is reached: the transport and what it needs. It only
// collects and checks the settings; the main window opens the connection
// once the dialog is accepted, so a test can fill it in and call accept().
class CConnectDialog : public QDialog
{
    Q_OBJECT

public:
    struct Settings
    {
        ENUM_INTERFACE_TYPE type = INTERFACE_TCP;
        // host:port, serial device, "NAME,ADDRESS" of a Bluetooth module; empty for NFC.
        QString port = QStringLiteral("127.0.0.1:502");
        STRUCT_SERIAL_SETTINGS serial;
        uchar unit = 1;
    };

    explicit CConnectDialog(QWidget* parent = nullptr);

    Settings settings() const;
    void setSettings(const Settings& settings);
    // Why the settings cannot be used; empty when they can.
    QString problem() const;
    // Bluetooth modules bridge to the device's serial port: Modbus RTU.
    static ENUM_PROTOCOL_TYPE protocolFor(ENUM_INTERFACE_TYPE type);

public slots:
    void accept() override;

private:
    QComboBox* m_type = nullptr;
    QStackedWidget* m_pages = nullptr;
    QLineEdit* m_host = nullptr;
    QSpinBox* m_tcpPort = nullptr;
    QComboBox* m_serialPort = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_parity = nullptr;
    QLineEdit* m_bluetooth = nullptr;
    QSpinBox* m_unit = nullptr;
    QLabel* m_problem = nullptr;
};
