#include "interfaces/CSerialInterface.h"

#include <QTimer>

CSerialInterface::CSerialInterface(QObject* parent)
    : CBaseInterface(INTERFACE_SERIAL, parent)
    , m_port(new QSerialPort(this))
    , m_readTimer(new QTimer(this))
{
    m_readTimer->setSingleShot(true);
    connect(m_port, &QSerialPort::readyRead, this, &CSerialInterface::startRead);
    connect(m_port, &QSerialPort::bytesWritten, this, &CBaseInterface::dataWritten);
    connect(m_readTimer, &QTimer::timeout, this, &CSerialInterface::readAll);
}

void CSerialInterface::setPortName(const QString& name)
{
    m_port->setPortName(name);
}

void CSerialInterface::setBaudRate(QSerialPort::BaudRate baudRate)
{
    m_port->setBaudRate(baudRate, QSerialPort::AllDirections);
}

void CSerialInterface::setFlowControl(QSerialPort::FlowControl flowControl)
{
    m_port->setFlowControl(flowControl);
}

void CSerialInterface::setParity(QSerialPort::Parity parity)
{
    m_port->setParity(parity);
}

void CSerialInterface::setDataBits(QSerialPort::DataBits dataBits)
{
    m_port->setDataBits(dataBits);
}

void CSerialInterface::setStopBits(QSerialPort::StopBits stopBits)
{
    m_port->setStopBits(stopBits);
}

bool CSerialInterface::openPort()
{
    const bool ok = m_port->open(QIODevice::ReadWrite);
    if (!ok)
        emit logMessage(tr("Serial port %1: %2").arg(m_port->portName(), m_port->errorString()));
    return ok;
}

bool CSerialInterface::closePort()
{
    m_readTimer->stop();
    m_port->close();
    return true;
}

int CSerialInterface::configurePort()
{
    return 0;
}

bool CSerialInterface::isPortOpen() const
{
    return m_port->isOpen();
}

QString CSerialInterface::portName() const
{
    return m_port->portName();
}

QString CSerialInterface::errorString() const
{
    return m_port->errorString();
}

void CSerialInterface::sendData(const char* buffer, int byteCount)
{
    if (m_port->isOpen())
        m_port->write(buffer, byteCount);
}

void CSerialInterface::startRead()
{
    m_readTimer->start(READ_SILENCE_MS);
}

void CSerialInterface::readAll()
{
    if (!m_port->isOpen())
        return;
    const QByteArray bytes = m_port->readAll();
    if (!bytes.isEmpty())
        emit dataRead(bytes.constData(), bytes.size());
}
