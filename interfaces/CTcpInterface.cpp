#include "interfaces/CTcpInterface.h"

#include <QEventLoop>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

CTcpInterface::CTcpInterface(QObject* parent)
    : CBaseInterface(INTERFACE_TCP, parent)
    , m_socket(new QTcpSocket(this))
{
    connect(m_socket, &QTcpSocket::readyRead, this, &CTcpInterface::readAll);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &CBaseInterface::dataWritten);
    connect(m_socket, &QTcpSocket::stateChanged, this, &CTcpInterface::stateChanged);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &CTcpInterface::error);
}

void CTcpInterface::setPortName(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    m_host = parts.first();
    if (parts.size() == 2)
        m_port = parts.at(1).toInt(); // 0 when not a number
}

void CTcpInterface::setPort(int port)
{
    m_port = port;
}

bool CTcpInterface::openPort()
{
    QEventLoop loop;
    connect(m_socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    connect(m_socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    // A refused connection never reaches the connected or disconnected state.
    connect(m_socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    // A coarse timer may end up to 5 % early; the time-out is a promise.
    QTimer::singleShot(CONNECT_TIMEOUT_MS, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    m_socket->connectToHost(m_host, static_cast<quint16>(m_port), QIODevice::ReadWrite,
                            QAbstractSocket::AnyIPProtocol);
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        loop.exec();
    return isPortOpen();
}

bool CTcpInterface::closePort()
{
    m_socket->disconnectFromHost();
    return true;
}

int CTcpInterface::configurePort()
{
    return 0;
}

bool CTcpInterface::isPortOpen() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

QString CTcpInterface::portName() const
{
    return m_host;
}

void CTcpInterface::sendData(const char* buffer, int byteCount)
{
    if (isPortOpen())
        m_socket->write(buffer, byteCount);
}

void CTcpInterface::reconnect()
{
    closePort();
    openPort();
}

void CTcpInterface::readAll()
{
    const QByteArray bytes = m_socket->readAll();
    if (!bytes.isEmpty())
        emit dataRead(bytes.constData(), bytes.size());
}

void CTcpInterface::stateChanged(QAbstractSocket::SocketState state)
{
    if (state == QAbstractSocket::UnconnectedState
        && m_socket->error() != QAbstractSocket::UnknownSocketError)
        QTimer::singleShot(RECONNECT_DELAY_MS, this, &CTcpInterface::reconnect);
}

void CTcpInterface::error(QAbstractSocket::SocketError)
{
}
