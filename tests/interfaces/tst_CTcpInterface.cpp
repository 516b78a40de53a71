#include "interfaces/CTcpInterface.h"
#include "support/CStalledTcpListener.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class tst_CTcpInterface : public QObject
{
    Q_OBJECT

    // Opens the interface on a fresh listening server; the server's side of the connection, or null.
    static QTcpSocket* connectTo(QTcpServer& server, CTcpInterface& tcp)
    {
        if (!server.listen(QHostAddress::LocalHost, 0))
            return nullptr;
        tcp.setPortName(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        if (!tcp.openPort() || !tcp.isPortOpen() || !QTest::qWaitFor([&server] { return server.hasPendingConnections(); }, 2000))
            return nullptr;
        return server.nextPendingConnection();
    }

private slots:
    void portName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("host only keeps 502") << "192.0.2.7" << "192.0.2.7" << 502;
        QTest::newRow("host and port") << "localhost:1502" << "localhost" << 1502;
        QTest::newRow("two colons change only the host") << "a:1:2" << "a" << 502;
        QTest::newRow("non-numeric port") << "a:xyz" << "a" << 0;
        QTest::newRow("empty port part") << "a:" << "a" << 0;
    }

    void portName()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        CTcpInterface tcp;
        tcp.setPortName(text);
        QCOMPARE(tcp.host(), host);
        QCOMPARE(tcp.port(), port);
        QCOMPARE(tcp.portName(), host);
    }

    void refusedOpens_data()
    {
        QTest::addColumn<int>("peer"); // 0: a closed port, 1: a listening one plus 65536, 2: a listener that never answers
        QTest::addColumn<int>("atLeastMs");
        QTest::newRow("closed port") << 0 << 0;
        // Beyond 16 bits the number would wrap around to the listening port.
        QTest::newRow("port beyond 16 bits") << 1 << 0;
        // The bound is the connect time-out; the open must not return before it.
        QTest::newRow("unanswered connect") << 2 << CTcpInterface::CONNECT_TIMEOUT_MS - 100;
    }

    void refusedOpens()
    {
        QFETCH(int, peer);
        QFETCH(int, atLeastMs);
        QTcpServer server;
        CStalledTcpListener stalled;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0) && stalled.isValid() && stalled.fill());
        if (peer == 0)
            server.close();
        CTcpInterface tcp;
        tcp.setPortName(peer == 2 ? stalled.endpoint() : QStringLiteral("127.0.0.1:%1").arg(server.serverPort() + (peer == 1 ? 65536 : 0)));
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(!tcp.openPort());
        QVERIFY(!tcp.isPortOpen());
        QVERIFY2(elapsed.elapsed() >= atLeastMs, qPrintable(QStringLiteral("gave up after %1 ms").arg(elapsed.elapsed())));
    }

    void reconnectsAfterThePeerDropsTheConnection()
    {
        QTcpServer server;
        CTcpInterface tcp;
        QTcpSocket* first = connectTo(server, tcp);
        QVERIFY(first);
        first->abort();
        // The interface connects again by itself.
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(tcp.isPortOpen(), 5000);
    }

    // Closed on request, the interface stays closed and sends nothing.
    void requestedCloseDoesNotReconnect()
    {
        QTcpServer server;
        CTcpInterface tcp;
        QTcpSocket* peer = connectTo(server, tcp);
        QVERIFY(peer && tcp.closePort());
        QTRY_VERIFY_WITH_TIMEOUT(!tcp.isPortOpen(), 2000);
        QSignalSpy written(&tcp, &CBaseInterface::dataWritten);
        tcp.sendData("\x01", 1);
        QVERIFY(!QTest::qWaitFor([&] { return server.hasPendingConnections() || peer->bytesAvailable() > 0; }, 3 * CTcpInterface::RECONNECT_DELAY_MS));
        QVERIFY(!tcp.isPortOpen());
        QCOMPARE(written.count(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_CTcpInterface)
#include "tst_CTcpInterface.moc"
