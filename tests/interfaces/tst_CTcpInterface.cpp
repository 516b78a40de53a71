#include "interfaces/CTcpInterface.h"
#include "support/CStalledTcpListener.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class tst_CTcpInterface : public QObject
{
    Q_OBJECT

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

    void exchangesBytesWithAPeer()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        CTcpInterface tcp;
        tcp.setPortName(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        QVERIFY(tcp.openPort());
        QVERIFY(tcp.isPortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 2000);
        QTcpSocket* peer = server.nextPendingConnection();

        QSignalSpy written(&tcp, &CBaseInterface::dataWritten);
        tcp.sendData("\x00\x01\x00\x00", 4);
        QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(4), 2000);
        QCOMPARE(peer->readAll(), QByteArray("\x00\x01\x00\x00", 4));
        QVERIFY(written.count() >= 1);

        QByteArray received;
        connect(&tcp, &CBaseInterface::dataRead, this,
                [&received](const char* buffer, int n) { received.append(buffer, n); });
        peer->write(QByteArray::fromHex("000100000005010302002a"));
        QTRY_COMPARE_WITH_TIMEOUT(received, QByteArray::fromHex("000100000005010302002a"), 2000);
    }

    void refusedOpens_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<int>("portOffset");
        QTest::newRow("closed port") << false << 0;
        // Beyond 16 bits the number would wrap around to the listening port.
        QTest::newRow("port beyond 16 bits") << true << 65536;
    }

    void refusedOpens()
    {
        QFETCH(bool, listening);
        QFETCH(int, portOffset);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        if (!listening)
            server.close();
        CTcpInterface tcp;
        tcp.setPortName(QStringLiteral("127.0.0.1:%1").arg(server.serverPort() + portOffset));
        QVERIFY(!tcp.openPort());
        QVERIFY(!tcp.isPortOpen());
    }

    void unansweredConnectGivesUpAfterTimeout()
    {
        CStalledTcpListener stalled;
        QVERIFY(stalled.isValid() && stalled.fill());
        CTcpInterface tcp;
        tcp.setPortName(stalled.endpoint());
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(!tcp.openPort());
        // The bound is the connect time-out; the open must not return before it.
        QVERIFY2(elapsed.elapsed() >= CTcpInterface::CONNECT_TIMEOUT_MS - 100,
                 qPrintable(QStringLiteral("gave up after %1 ms").arg(elapsed.elapsed())));
    }

    void reconnectsAfterThePeerDropsTheConnection()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        CTcpInterface tcp;
        tcp.setPortName(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        QVERIFY(tcp.openPort());
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 2000);
        QTcpSocket* first = server.nextPendingConnection();
        first->abort();
        // The interface connects again by itself.
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(tcp.isPortOpen(), 5000);
    }

    void requestedCloseDoesNotReconnect()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        CTcpInterface tcp;
        tcp.setPortName(QStringLiteral("127.0.0.1:%1").arg(server.serverPort()));
        QVERIFY(tcp.openPort());
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 2000);
        delete server.nextPendingConnection();
        QVERIFY(tcp.closePort());
        QTRY_VERIFY_WITH_TIMEOUT(!tcp.isPortOpen(), 2000);
        QTest::qWait(3 * CTcpInterface::RECONNECT_DELAY_MS);
        QVERIFY(!server.hasPendingConnections());
        QVERIFY(!tcp.isPortOpen());
    }

    void sendWhileClosedIsDropped()
    {
        CTcpInterface tcp;
        QSignalSpy written(&tcp, &CBaseInterface::dataWritten);
        tcp.sendData("\x01", 1);
        QCOMPARE(written.count(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_CTcpInterface)
#include "tst_CTcpInterface.moc"
