#include "CConnectDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSerialPortInfo>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
// The order of the transport choice and of the pages.
const QList<ENUM_INTERFACE_TYPE> TYPES = { INTERFACE_TCP, INTERFACE_SERIAL, INTERFACE_BLUETOOTH, INTERFACE_NFC };
// QSerialPort::Parity values offered, in the order of the choice.
const QList<int> PARITIES = { 0, 2, 3 };
const int DEFAULT_TCP_PORT = 502;
const int MAX_UNIT = 247;
}

CConnectDialog::CConnectDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Connect"));
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("interfaceType"));
    m_type->addItems({ tr("Modbus TCP"), tr("Serial port (Modbus RTU)"), tr("Bluetooth LE module"),
                       tr("NFC (first PC/SC reader)") });

    m_pages = new QStackedWidget(this);
    auto* tcp = new QWidget(m_pages);
    auto* tcpForm = new QFormLayout(tcp);
    m_host = new QLineEdit(QStringLiteral("127.0.0.1"), tcp);
    m_host->setObjectName(QStringLiteral("host"));
    m_tcpPort = new QSpinBox(tcp);
    m_tcpPort->setObjectName(QStringLiteral("tcpPort"));
    m_tcpPort->setRange(1, 65535);
    m_tcpPort->setValue(DEFAULT_TCP_PORT);
    tcpForm->addRow(tr("Host:"), m_host);
    tcpForm->addRow(tr("Port:"), m_tcpPort);
    m_pages->addWidget(tcp);

    auto* serial = new QWidget(m_pages);
    auto* serialForm = new QFormLayout(serial);
    m_serialPort = new QComboBox(serial);
    m_serialPort->setObjectName(QStringLiteral("serialPort"));
    m_serialPort->setEditable(true);
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        m_serialPort->addItem(info.systemLocation());
    m_baud = new QComboBox(serial);
    m_baud->setObjectName(QStringLiteral("baudRate"));
    m_baud->setEditable(true);
    m_baud->addItems({ QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                       QStringLiteral("57600"), QStringLiteral("115200") });
    m_baud->setCurrentText(QStringLiteral("115200"));
    m_parity = new QComboBox(serial);
    m_parity->setObjectName(QStringLiteral("parity"));
    m_parity->addItems({ tr("None"), tr("Even"), tr("Odd") });
    m_parity->setCurrentIndex(PARITIES.indexOf(STRUCT_SERIAL_SETTINGS().parity));
    serialForm->addRow(tr("Device:"), m_serialPort);
    serialForm->addRow(tr("Baud rate:"), m_baud);
    serialForm->addRow(tr("Parity:"), m_parity);
    m_pages->addWidget(serial);

    auto* bluetooth = new QWidget(m_pages);
    auto* bluetoothForm = new QFormLayout(bluetooth);
    m_bluetooth = new QLineEdit(bluetooth);
    m_bluetooth->setObjectName(QStringLiteral("bluetoothModule"));
    m_bluetooth->setPlaceholderText(tr("NAME,AA:BB:CC:DD:EE:FF"));
    bluetoothForm->addRow(tr("Module:"), m_bluetooth);
    m_pages->addWidget(bluetooth);

    auto* nfc = new QLabel(tr("The device is read through the first PC/SC reader found;\n"
                              "hold it to the reader after connecting."),
                           m_pages);
    m_pages->addWidget(nfc);

    m_unit = new QSpinBox(this);
    m_unit->setObjectName(QStringLiteral("unit"));
    m_unit->setRange(1, MAX_UNIT);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setStyleSheet(QStringLiteral("color: #b00020"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CConnectDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CConnectDialog::reject);
    connect(m_type, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        m_pages->setCurrentIndex(index);
        // A tag has no unit address.
        m_unit->setEnabled(TYPES.value(index) != INTERFACE_NFC);
        m_problem->clear();
    });

    auto* common = new QFormLayout;
    common->addRow(tr("Connection:"), m_type);
    auto* unitForm = new QFormLayout;
    unitForm->addRow(tr("Unit (device address):"), m_unit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(common);
    layout->addWidget(m_pages);
    layout->addLayout(unitForm);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
}

CConnectDialog::Settings CConnectDialog::settings() const
{
    Settings settings;
    settings.type = TYPES.value(m_type->currentIndex(), INTERFACE_TCP);
    settings.unit = uchar(m_unit->value());
    settings.serial.baudRate = m_baud->currentText().toInt();
    settings.serial.parity = PARITIES.value(m_parity->currentIndex());
    switch (settings.type) {
    case INTERFACE_TCP:
        settings.port = QStringLiteral("%1:%2").arg(m_host->text().trimmed()).arg(m_tcpPort->value());
        break;
    case INTERFACE_SERIAL:
        settings.port = m_serialPort->currentText().trimmed();
        break;
    case INTERFACE_BLUETOOTH:
        settings.port = m_bluetooth->text().trimmed();
        break;
    default:
        settings.port.clear();
    }
    return settings;
}

void CConnectDialog::setSettings(const Settings& settings)
{
    m_type->setCurrentIndex(std::max(0, int(TYPES.indexOf(settings.type))));
    m_unit->setValue(settings.unit);
    m_baud->setCurrentText(QString::number(settings.serial.baudRate));
    m_parity->setCurrentIndex(std::max(0, int(PARITIES.indexOf(settings.serial.parity))));
    switch (settings.type) {
    case INTERFACE_TCP:
        m_host->setText(settings.port.section(QLatin1Char(':'), 0, -2));
        m_tcpPort->setValue(settings.port.section(QLatin1Char(':'), -1).toInt());
        break;
    case INTERFACE_SERIAL:
        m_serialPort->setCurrentText(settings.port);
        break;
    case INTERFACE_BLUETOOTH:
        m_bluetooth->setText(settings.port);
        break;
    default:
        break;
    }
}

QString CConnectDialog::problem() const
{
    const Settings chosen = settings();
    switch (chosen.type) {
    case INTERFACE_TCP:
        return m_host->text().trimmed().isEmpty() ? tr("Enter the host of the device.") : QString();
    case INTERFACE_SERIAL:
        if (chosen.port.isEmpty())
            return tr("Choose the serial port.");
        return chosen.serial.baudRate > 0 ? QString() : tr("'%1' is no baud rate.").arg(m_baud->currentText());
    case INTERFACE_BLUETOOTH:
        // The module is named by its advertised name and its address.
        return chosen.port.count(QLatin1Char(',')) == 1 && !chosen.port.endsWith(QLatin1Char(','))
            ? QString()
            : tr("Enter the module as NAME,ADDRESS.");
    default:
        return QString();
    }
}

ENUM_PROTOCOL_TYPE CConnectDialog::protocolFor(ENUM_INTERFACE_TYPE type)
{
    switch (type) {
    case INTERFACE_TCP:
        return PROTOCOL_MODBUS_TCP;
    case INTERFACE_NFC:
        return PROTOCOL_NFC;
    default:
        return PROTOCOL_MODBUS_RTU;
    }
}

void CConnectDialog::accept()
{
    const QString why = problem();
    m_problem->setText(why);
    if (why.isEmpty())
        QDialog::accept();
}
