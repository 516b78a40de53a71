#pragma once

#include "interfaces/CBaseInterface.h"

#include <QAbstractSocket>

class QEventLoop;
class QTcpSocket;

// TCP client transport for Modbus TCP. A connection the peer drops with an
// error is retried RECONNECT_DELAY_MS later, for as long as the object lives.
class PARAMICA_EXPORT CTcpInterface : public CBaseInterface
{
    Q_OBJECT

public:
    static const int CONNECT_TIMEOUT_MS = 3000;
    static const int RECONNECT_DELAY_MS = 100;
    static const int MAX_PORT = 65535;

    explicit CTcpInterface(QObject* parent = nullptr);

    // "host" or "host:port"; any other form changes only the host.
    void setPortName(const QString& text) override;
    void setPort(int port);
    int port() const { return m_port; }
    QString host() const { return m_host; }

    bool openPort() override;
    bool closePort() override;
    int configurePort() override;
    bool isPortOpen() const override;
    QString portName() const override;
    QString errorString() const override;

public slots:
    void sendData(const char* buffer, int byteCount) override;

private slots:
    void reconnect();
    void readAll();
    void stateChanged(QAbstractSocket::SocketState state);
    void error(QAbstractSocket::SocketError socketError);

private:
    QTcpSocket* m_socket;
    // The local event loop of a connection attempt in progress; closePort ends it.
    QEventLoop* m_connectWait = nullptr;
    bool m_closeRequested = false;
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = 502;
};
