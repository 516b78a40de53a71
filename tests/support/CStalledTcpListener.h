#pragma once

// A TCP listener on 127.0.0.1 that never accepts on its own. Its queue holds a
// single connection: once that place is taken (fill()), the kernel answers no
// further connection attempt, so a client's connect waits for as long as it
// is willing to. Connections it accepts can be broken off with a reset.

#include <QHostAddress>
#include <QList>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class CStalledTcpListener
{
public:
    CStalledTcpListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_fd, 0) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
    }
    ~CStalledTcpListener()
    {
        m_filler.abort();
        resetAccepted();
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool isValid() const { return m_port != 0; }
    QString endpoint() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    // Takes the queue's only place; later connection attempts wait.
    bool fill()
    {
        m_filler.connectToHost(QHostAddress::LocalHost, m_port);
        return m_filler.waitForConnected(2000);
    }

    // Accepts the connection waiting in the queue, which frees its place.
    bool accept()
    {
        const int connection = ::accept(m_fd, nullptr, nullptr);
        if (connection < 0)
            return false;
        m_accepted.append(connection);
        return true;
    }

    // Breaks the accepted connections off: the peers see a connection reset.
    void resetAccepted()
    {
        for (const int connection : qAsConst(m_accepted)) {
            const linger abort{ 1, 0 };
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            ::close(connection);
        }
        m_accepted.clear();
    }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    QTcpSocket m_filler;
    QList<int> m_accepted;
};
