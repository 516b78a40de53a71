#include "interfaces/CTcpInterface.h"

#include <QEventLoop>
#include <QPointer>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

CTcpInterface::CTcpInterface(QObject* parent)
    : CBaseInterface(INTERFACE_TCP, parent)
    , m_socket(new QTcpSocket(this))
{
    // Received data is handed on from the event loop, not from inside the
    // socket's own signal: whoever takes it may close and release this
    // transport, which the socket would not survive.
    connect(m_socket, &QTcpSocket::readyRead, this, &CTcpInterface::readAll, Qt::QueuedConnection);
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
    // A port beyond 16 bits would wrap around to another one.
    if (m_port < 1 || m_port > MAX_PORT) {
        emit logMessage(tr("%1 is no TCP port (1 to %2).").arg(m_port).arg(MAX_PORT));
        return false;
    }
    m_closeRequested = false;
    QPointer<CTcpInterface> alive(this);
    QEventLoop loop;
    QEventLoop* outerWait = m_connectWait;
    m_connectWait = &loop;
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
    // The wait runs the event loop: the transport may have been released.
    if (!alive)
        return false;
    m_connectWait = outerWait;
    return isPortOpen();
}

bool CTcpInterface::closePort()
{
    m_closeRequested = true;
    if (m_connectWait)
        m_connectWait->quit();
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

QString CTcpInterface::errorString() const
{
    // A connection that merely timed out leaves no error behind.
    return m_socket->error() == QAbstractSocket::UnknownSocketError ? QString() : m_socket->errorString();
}

void CTcpInterface::sendData(const char* buffer, int byteCount)
{
    if (isPortOpen())
        m_socket->write(buffer, byteCount);
}

void CTcpInterface::reconnect()
{
    // A transport that was closed meanwhile stays closed.
    if (m_closeRequested)
        return;
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
    // The socket keeps its last error: a close asked for is no failure.
    if (state == QAbstractSocket::UnconnectedState && !m_closeRequested
        && m_socket->error() != QAbstractSocket::UnknownSocketError)
        QTimer::singleShot(RECONNECT_DELAY_MS, this, &CTcpInterface::reconnect);
}

void CTcpInterface::error(QAbstractSocket::SocketError)
{
}
