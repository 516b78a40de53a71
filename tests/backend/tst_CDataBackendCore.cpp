#include "backend/CDataBackend.h"
#include "protocol/CModbusMaster.h"
#include "support/CStalledTcpListener.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

// The back end as the front end sees it: one object that wires a transport to
// a protocol master. A QTcpServer on loopback plays the device.
class tst_CDataBackendCore : public QObject
{
    Q_OBJECT

    CDataBackend* m_backend = nullptr;
    QTcpServer* m_server = nullptr;

    QTcpSocket* connectOverTcp()
    {
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        if (!m_backend->openInterface(INTERFACE_TCP, QStringLiteral("127.0.0.1:%1").arg(m_server->serverPort()), 1)
            || !QTest::qWaitFor([this] { return m_server->hasPendingConnections(); }, 2000))
            return nullptr;
        return m_server->nextPendingConnection();
    }

private slots:
    void initTestCase() { m_backend = CDataBackend::instance(); }

    void init()
    {
        m_server = new QTcpServer;
        QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
    }

    void cleanup()
    {
        m_backend->closeInterface();
        delete m_server;
        // Released transports and masters are gone before the next test looks.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Without a transport, and first without a master, nothing opens and nothing is queued.
    void withoutInterface()
    {
        QVERIFY(!m_backend->isConnected());
        QVERIFY(m_backend->portName().isEmpty());
        QCOMPARE(m_backend->currentInterfaceType(), INTERFACE_NONE);
        QVERIFY(!m_backend->openInterface(1));
        QVERIFY(m_backend->closeInterface());
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        QVERIFY(!m_backend->openInterface(1));
        m_backend->buildRequest(CRequest(REQUEST_READ_GENERIC, 3, 0, 2));
        m_backend->buildRequests({ CRequest(REQUEST_READ_GENERIC, 3, 0, 2) });
        QCOMPARE(m_backend->protocolMaster()->queuedCount(), 0);
    }

    // Requests reach the device through master and transport and answers come
    // back; neither a reset nor opening the same type again touches the connection.
    void connectedTcpInterface()
    {
        QSignalSpy logs(m_backend, &CDataBackend::log);
        QTcpSocket* device = connectOverTcp();
        QVERIFY(device && m_backend->isConnected());
        QCOMPARE(m_backend->portName(), QStringLiteral("127.0.0.1"));
        QCOMPARE(m_backend->currentInterfaceType(), INTERFACE_TCP);
        QVERIFY(!logs.isEmpty() && logs.last().first().toString().endsWith(QStringLiteral(", Interface 127.0.0.1 connected.")));

        QSignalSpy answers(m_backend->protocolMaster(), &CProtocolMaster::dataResponse);
        QSignalSpy received(m_backend, &CDataBackend::dataRead);
        QSignalSpy written(m_backend, &CDataBackend::dataWritten);
        m_backend->buildRequest(CRequest(REQUEST_READ_GENERIC, 3, 0x0010, 2));
        QTRY_VERIFY_WITH_TIMEOUT(device->bytesAvailable() >= 12, 2000);
        const QByteArray telegram = device->readAll();
        QCOMPARE(telegram.mid(2), QByteArray::fromHex("0000000601030010 0001"));
        device->write(telegram.left(2) + QByteArray::fromHex("00000005010302abcd"));
        QVERIFY(answers.wait(2000));
        QCOMPARE(answers.first().first().toByteArray(), QByteArray::fromHex("0010abcd"));
        QCOMPARE(received.count(), 1);
        QVERIFY(!written.isEmpty());
        QSignalSpy reset(m_backend, &CDataBackend::interfaceReseted);
        m_backend->resetInterface();
        QCOMPARE(reset.count(), 1);
        QVERIFY(m_backend->isConnected());
        QVERIFY(m_backend->openInterface(INTERFACE_TCP, QStringLiteral("127.0.0.1:1"), 1));
        QTest::qWait(50);
        QVERIFY(!m_server->hasPendingConnections());
        QCOMPARE(device->state(), QAbstractSocket::ConnectedState);
    }

    void changingTheProtocolClosesTheInterface()
    {
        QVERIFY(connectOverTcp());
        CProtocolMaster* tcpMaster = m_backend->protocolMaster();
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        QCOMPARE(m_backend->protocolMaster(), tcpMaster); // same protocol: nothing happens
        QVERIFY(m_backend->isConnected());
        QSignalSpy logs(m_backend, &CDataBackend::log);
        m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
        QVERIFY(!m_backend->isConnected());
        QCOMPARE(m_backend->currentInterfaceType(), INTERFACE_NONE);
        QCOMPARE(m_backend->protocolMaster()->type(), PROTOCOL_MODBUS_RTU);
        QVERIFY(logs.last().first().toString().endsWith(QStringLiteral("Interface 127.0.0.1 disconnected.")));
    }

    void failedOpenIsLoggedAndDeletesTheTransport()
    {
        const quint16 closedPort = m_server->serverPort();
        m_server->close();
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        QSignalSpy logs(m_backend, &CDataBackend::log);
        QVERIFY(!m_backend->openInterface(INTERFACE_TCP, QStringLiteral("127.0.0.1:%1").arg(closedPort), 1));
        QCOMPARE(m_backend->currentInterfaceType(), INTERFACE_NONE);
        QVERIFY(logs.last().first().toString().endsWith(QStringLiteral("Could not connect interface 127.0.0.1.")));
        QVERIFY(!m_backend->openInterface(INTERFACE_SERIAL, QStringLiteral("/dev/paramica-no-such-port"), 1));
        QCOMPARE(m_backend->currentInterfaceType(), INTERFACE_NONE);
    }

    void changesWhileConnecting_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("interface closed") << 0;
        QTest::newRow("protocol changed") << 1;
        QTest::newRow("another interface opened") << 2;
    }

    // The front end may act while a connection is still pending: that open
    // ends without a connection and the back end stays usable.
    void changesWhileConnecting()
    {
        QFETCH(int, change);
        CStalledTcpListener listener;
        QVERIFY(listener.isValid() && listener.fill());
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        const QString device = QStringLiteral("127.0.0.1:%1").arg(m_server->serverPort());
        QTimer::singleShot(100, m_backend, [this, change, device] {
            if (change == 1) {
                m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
                return;
            }
            m_backend->closeInterface();
            if (change == 2)
                m_backend->openInterface(INTERFACE_TCP, device, 1);
        });
        QVERIFY(!m_backend->openInterface(INTERFACE_TCP, listener.endpoint(), 1));
        QCOMPARE(m_backend->isConnected(), change == 2);
    }

    void closingWhileReconnecting()
    {
        CStalledTcpListener listener;
        QVERIFY(listener.isValid());
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        QVERIFY(m_backend->openInterface(INTERFACE_TCP, listener.endpoint(), 1));
        QPointer<QTcpSocket> socket = m_backend->findChild<QTcpSocket*>();
        QVERIFY(socket);
        connect(socket, &QAbstractSocket::stateChanged, m_backend, [this](QAbstractSocket::SocketState state) {
            if (state == QAbstractSocket::ConnectingState)
                QTimer::singleShot(50, m_backend, [this] { m_backend->closeInterface(); });
        });
        // The device breaks the connection off; the reconnection waits on the
        // full queue until the interface is closed, and is then given up.
        QVERIFY(listener.accept() && listener.fill());
        listener.resetAccepted();
        QTRY_VERIFY_WITH_TIMEOUT(!socket, 5000);
        QVERIFY(!m_backend->isConnected());
    }

    // A go-to answer makes the master wait for a transport reset; the
    // protocol changes meanwhile. The old master acknowledges nothing.
    void masterReplacedWhileItWaitsForAReset()
    {
        QTcpSocket* device = connectOverTcp();
        QVERIFY(device);
        QPointer<CModbusMaster> modbus = qobject_cast<CModbusMaster*>(m_backend->protocolMaster());
        connect(modbus, &CModbusMaster::resetInterfaceInitiated, m_backend, [this] { m_backend->setComProtocol(PROTOCOL_MODBUS_RTU); });
        QSignalSpy acks(m_backend, &CDataBackend::deviceAckResponse);
        m_backend->writeGotoBl(1);
        QTRY_VERIFY_WITH_TIMEOUT(device->bytesAvailable() >= 19, 2000);
        device->write(device->readAll().left(2) + QByteArray::fromHex("000000060157 50000003"));
        QTRY_VERIFY_WITH_TIMEOUT(!modbus, 3000);
        QCOMPARE(acks.count(), 0);
        QCOMPARE(m_backend->protocolMaster()->type(), PROTOCOL_MODBUS_RTU);
    }
};

QTEST_GUILESS_MAIN(tst_CDataBackendCore)
#include "tst_CDataBackendCore.moc"
