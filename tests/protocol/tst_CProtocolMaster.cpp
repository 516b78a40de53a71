#include "protocol/CProtocolMaster.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// A master that frames a request as [type, retry count, read address high, low]
// and takes any block as the answer.
class CTestMaster : public CProtocolMaster
{
    Q_OBJECT

public:
    CTestMaster() : CProtocolMaster(PROTOCOL_MODBUS_RTU) { m_cycleTimer->start(5); }

    void buildRequest(const CRequest& request) override
    {
        QByteArray telegram;
        if (request.readLength > 0 || request.writeLength > 0)
            telegram = QByteArray(1, char(request.type)) + char(request.retryCount) + char(request.readAddress >> 8)
                + char(request.readAddress & 0xFF);
        enqueue(request, telegram);
    }

    void resolveResponse(const char*, int) override
    {
        m_responseTimer->stop();
        m_answered = true;
        m_state = STATE_IDLE;
    }

    // The response timer runs out and the master asks for a retry, as on a
    // request's first time-out: whether one follows is the base's decision.
    void expireResponseTimer()
    {
        m_responseTimer->stop();
        m_currentRequest.retryCount++;
        m_state = STATE_RETRY;
    }

    int responseInterval() const { return m_responseTimer->interval(); }
    bool responseTimerActive() const { return m_responseTimer->isActive(); }
    void setReady(bool ready) { m_ready = ready; }
};

class tst_CProtocolMaster : public QObject
{
    Q_OBJECT

    static CRequest read(ENUM_REQUEST_TYPE type, quint16 address) { return CRequest(type, 3, address, 2); }

private slots:
    // One telegram at a time, in order, and none while sending is not allowed;
    // a request built into no telegram is never queued. Clearing a type spares
    // the request on the line; a reset empties the queue and stops the time-out.
    void queue()
    {
        CTestMaster master;
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.buildRequests({ read(REQUEST_READ_PAB, 1), CRequest(REQUEST_READ_PARA, 3), read(REQUEST_READ_PARA, 2),
                               read(REQUEST_READ_PAB, 3), read(REQUEST_READ_GENERIC, 4) });
        QCOMPARE(master.queuedCount(), 4);
        master.setReady(false); // paused: nothing is current
        QVERIFY(!writes.wait(50));
        QCOMPARE(int(master.currentRequest().type), -1);
        master.setReady(true);
        QVERIFY(writes.wait(1000));
        QCOMPARE(master.state(), int(CProtocolMaster::STATE_WAITING));
        QVERIFY(!master.isAnswered());
        QVERIFY(!writes.wait(50)); // ticks go on, but nothing leaves while the first is unanswered
        master.clearRequests(REQUEST_READ_PAB);
        QCOMPARE(master.currentRequest().type, REQUEST_READ_PAB);
        QCOMPARE(master.queuedCount(), 2);
        master.resolveResponse("x", 1);
        QVERIFY(writes.wait(1000));
        QCOMPARE(master.currentRequest().readAddress, quint16(2));
        QVERIFY(master.responseTimerActive());
        master.reset();
        QVERIFY(!master.responseTimerActive());
        QVERIFY(master.isAnswered());
        QCOMPARE(master.state(), int(CProtocolMaster::STATE_IDLE));
        QCOMPARE(master.queuedCount(), 0);
        QCOMPARE(int(master.currentRequest().type), -1);
        QVERIFY(!writes.wait(50));
    }

    void retryPolicy_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<bool>("retried");
        QTest::newRow("scan") << int(REQUEST_SCAN) << 3000 << true;
        QTest::newRow("read para") << int(REQUEST_READ_PARA) << 3000 << true;
        QTest::newRow("cyclic pab") << int(REQUEST_READ_PAB) << 1000 << false;
        QTest::newRow("commissioning") << int(REQUEST_READ_WRITE_COMMISSIONING) << 1000 << false;
        QTest::newRow("read write generic") << int(REQUEST_READ_WRITE_GENERIC) << 3000 << false;
        QTest::newRow("write para") << int(REQUEST_WRITE_PARA) << 3000 << false;
        QTest::newRow("boot loader") << int(REQUEST_GOTO_BOOTLOADER) << 2000 << false;
        QTest::newRow("application") << int(REQUEST_GOTO_APPLICATION) << 2000 << false;
        QTest::newRow("firmware") << int(REQUEST_FIRMWARE_UPDATE) << 2000 << false;
    }

    // The response time-out belongs to the type. Reads other than the cyclic
    // one go behind the others, rebuilt with their retry count; the rest are dropped.
    void retryPolicy()
    {
        QFETCH(int, type);
        QFETCH(int, timeout);
        QFETCH(bool, retried);
        CTestMaster master;
        QList<QByteArray> sent;
        connect(&master, &CProtocolMaster::write, this, [&sent](const char* buffer, int n) { sent.append(QByteArray(buffer, n)); });
        master.buildRequests({ CRequest(ENUM_REQUEST_TYPE(type), 3, 1, 2, 0, 2), read(REQUEST_READ_PARA, 2) });
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 1000);
        QCOMPARE(master.responseInterval(), timeout);
        QVERIFY(master.responseTimerActive());
        master.expireResponseTimer();
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 2, 1000);
        QCOMPARE(sent.at(1), QByteArray::fromHex("03000002"));
        master.resolveResponse("x", 1);
        QCOMPARE(QTest::qWaitFor([&sent] { return sent.size() > 2; }, retried ? 1000 : 100), retried);
        if (retried)
            QCOMPARE(sent.at(2), QByteArray(1, char(type)) + QByteArray::fromHex("010001"));
        QCOMPARE(master.queuedCount(), 0);
    }

    void logsRequestTextThenTelegram()
    {
        CTestMaster master;
        QSignalSpy logs(&master, &CMessageSender::logMessage);
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.buildRequest(read(REQUEST_READ_PARA, 0xab));
        QVERIFY(writes.wait(1000));
        QCOMPARE(QList<QVariantList>(logs), (QList<QVariantList>{ { "Read Parameter..." }, { "Tx: 0x03 0x00 0x00 0xab " } }));
        // The cyclic process-data read has no text of its own: only the telegram is logged.
        logs.clear();
        master.resolveResponse("x", 1);
        master.buildRequest(read(REQUEST_READ_PAB, 1));
        QVERIFY(writes.wait(1000));
        QCOMPARE(QList<QVariantList>(logs), (QList<QVariantList>{ { "Tx: 0x04 0x00 0x00 0x01 " } }));
        QCOMPARE(CProtocolMaster::telegramToString(QByteArray::fromHex("00ff10"), CProtocolMaster::LOG_RX), QStringLiteral("Rx: 0x00 0xff 0x10 "));
        QCOMPARE(CProtocolMaster::telegramToString(QByteArray(), CProtocolMaster::LOG_TX), QStringLiteral("Tx: "));
        QCOMPARE(CProtocolMaster::telegramToString(QByteArray::fromHex("01"), CProtocolMaster::ENUM_LOG_TYPES(7)), QString());
    }
};

QTEST_GUILESS_MAIN(tst_CProtocolMaster)
#include "tst_CProtocolMaster.moc"
