#include "protocol/CProtocolMaster.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// A master that frames a request as [type, retry count, read address high, low]
// and follows the read retry policy: up to three sends, then give up.
class CTestMaster : public CProtocolMaster
{
    Q_OBJECT

public:
    explicit CTestMaster(QObject* parent = nullptr)
        : CProtocolMaster(PROTOCOL_MODBUS_RTU, parent)
    {
        m_cycleTimer->start(5);
    }

    void buildRequest(const CRequest& request) override
    {
        QByteArray telegram;
        if (request.readLength > 0 || request.writeLength > 0) {
            telegram.append(char(request.type));
            telegram.append(char(request.retryCount));
            telegram.append(char(request.readAddress >> 8));
            telegram.append(char(request.readAddress & 0xFF));
        }
        enqueue(request, telegram);
    }

    void resolveResponse(const char*, int) override
    {
        m_responseTimer->stop();
        m_answered = true;
        m_state = STATE_IDLE;
        emit ack();
    }

    void expireResponseTimer()
    {
        m_responseTimer->stop();
        timeout();
    }

    int responseInterval() const { return m_responseTimer->interval(); }
    bool responseTimerActive() const { return m_responseTimer->isActive(); }
    void setReady(bool ready) { m_ready = ready; }

protected:
    void timeout() override
    {
        if (m_state != STATE_WAITING)
            return;
        m_currentRequest.retryCount++;
        m_state = m_currentRequest.retryCount <= 2 ? STATE_RETRY : STATE_IDLE;
    }
};

class tst_CProtocolMaster : public QObject
{
    Q_OBJECT

private:
    static CRequest read(ENUM_REQUEST_TYPE type, quint16 address)
    {
        return CRequest(type, 3, address, 2);
    }

private slots:
    void sendsOneTelegramAtATime()
    {
        CTestMaster master;
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.buildRequests({read(REQUEST_READ_PARA, 1), read(REQUEST_READ_PARA, 2)});
        QVERIFY(writes.wait(1000));
        QCOMPARE(master.state(), int(CProtocolMaster::STATE_WAITING));
        QVERIFY(!master.isAnswered());
        // Ticks go on while the first request is unanswered; nothing else leaves.
        QTest::qWait(50);
        QCOMPARE(writes.count(), 1);
        master.resolveResponse("x", 1);
        QTRY_COMPARE_WITH_TIMEOUT(writes.count(), 2, 1000);
        QCOMPARE(master.currentRequest().readAddress, quint16(2));
    }

    void responseTimeoutPerType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("timeout");
        QTest::newRow("scan") << int(REQUEST_SCAN) << 3000;
        QTest::newRow("read para") << int(REQUEST_READ_PARA) << 3000;
        QTest::newRow("cyclic pab") << int(REQUEST_READ_PAB) << 1000;
        QTest::newRow("commissioning") << int(REQUEST_READ_WRITE_COMMISSIONING) << 1000;
        QTest::newRow("write para") << int(REQUEST_WRITE_PARA) << 3000;
        QTest::newRow("boot loader") << int(REQUEST_GOTO_BOOTLOADER) << 2000;
        QTest::newRow("application") << int(REQUEST_GOTO_APPLICATION) << 2000;
        QTest::newRow("firmware") << int(REQUEST_FIRMWARE_UPDATE) << 2000;
    }

    void responseTimeoutPerType()
    {
        QFETCH(int, type);
        QFETCH(int, timeout);
        CTestMaster master;
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.buildRequest(read(ENUM_REQUEST_TYPE(type), 0));
        QVERIFY(writes.wait(1000));
        QCOMPARE(master.responseInterval(), timeout);
        QVERIFY(master.responseTimerActive());
    }

    void readIsRequeuedBehindOthersWithItsRetryCount()
    {
        CTestMaster master;
        QList<QByteArray> sent;
        connect(&master, &CProtocolMaster::write, this,
                [&sent](const char* buffer, int n) { sent.append(QByteArray(buffer, n)); });
        master.buildRequests({read(REQUEST_READ_PARA, 1), read(REQUEST_READ_PARA, 2)});
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 1000);
        master.expireResponseTimer();
        QCOMPARE(master.state(), int(CProtocolMaster::STATE_RETRY));
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 2, 1000);
        master.resolveResponse("x", 1);
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 3, 1000);
        QCOMPARE(sent.at(0), QByteArray::fromHex("03000001"));
        QCOMPARE(sent.at(1), QByteArray::fromHex("03000002"));
        QCOMPARE(sent.at(2), QByteArray::fromHex("03010001")); // rebuilt, retry count 1
    }

    void readIsSentAtMostThreeTimes()
    {
        CTestMaster master;
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.buildRequest(read(REQUEST_READ_PARA, 1));
        for (int send = 1; send <= 3; ++send) {
            QTRY_COMPARE_WITH_TIMEOUT(writes.count(), send, 1000);
            master.expireResponseTimer();
        }
        QCOMPARE(master.state(), int(CProtocolMaster::STATE_IDLE));
        QTest::qWait(50);
        QCOMPARE(writes.count(), 3);
        QCOMPARE(master.queuedCount(), 0);
    }

    void notRetriedTypesAreDropped_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("cyclic pab") << int(REQUEST_READ_PAB);
        QTest::newRow("write para") << int(REQUEST_WRITE_PARA);
        QTest::newRow("read write generic") << int(REQUEST_READ_WRITE_GENERIC);
    }

    void notRetriedTypesAreDropped()
    {
        QFETCH(int, type);
        CTestMaster master;
        QSignalSpy writes(&master, &CProtocolMaster::write);
        CRequest request = read(ENUM_REQUEST_TYPE(type), 1);
        request.writeLength = 2;
        master.buildRequest(request);
        QVERIFY(writes.wait(1000));
        master.expireResponseTimer(); // asks for a retry, which the state machine refuses
        QTRY_COMPARE_WITH_TIMEOUT(master.state(), int(CProtocolMaster::STATE_IDLE), 1000);
        QTest::qWait(50);
        QCOMPARE(writes.count(), 1);
        QCOMPARE(master.queuedCount(), 0);
    }

    void logsRequestTextThenTelegram()
    {
        CTestMaster master;
        QSignalSpy logs(&master, &CMessageSender::logMessage);
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.buildRequest(read(REQUEST_READ_PARA, 0x12));
        QVERIFY(writes.wait(1000));
        QCOMPARE(logs.count(), 2);
        QCOMPARE(logs.at(0).at(0).toString(), QStringLiteral("Read Parameter..."));
        QCOMPARE(logs.at(1).at(0).toString(), QStringLiteral("Tx: 0x03 0x00 0x00 0x12 "));

        // The cyclic process-data read has no text of its own: only the telegram is logged.
        logs.clear();
        master.resolveResponse("x", 1);
        master.buildRequest(read(REQUEST_READ_PAB, 1));
        QVERIFY(writes.wait(1000));
        QCOMPARE(logs.count(), 1);
        QVERIFY(logs.at(0).at(0).toString().startsWith(QStringLiteral("Tx: ")));
    }

    void pausedWhileNotReady()
    {
        CTestMaster master;
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.setReady(false);
        master.buildRequest(read(REQUEST_READ_PARA, 1));
        QTest::qWait(50);
        QCOMPARE(writes.count(), 0);
        QCOMPARE(int(master.currentRequest().type), -1);
        master.setReady(true);
        QVERIFY(writes.wait(1000));
    }

    void resetEmptiesQueueAndStopsTimeout()
    {
        CTestMaster master;
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.buildRequests({read(REQUEST_READ_PARA, 1), read(REQUEST_READ_PARA, 2)});
        QVERIFY(writes.wait(1000));
        master.reset();
        QVERIFY(!master.responseTimerActive());
        QVERIFY(master.isAnswered());
        QCOMPARE(master.state(), int(CProtocolMaster::STATE_IDLE));
        QCOMPARE(master.queuedCount(), 0);
        QCOMPARE(int(master.currentRequest().type), -1);
        QTest::qWait(50);
        QCOMPARE(writes.count(), 1);
    }

    void clearRequestsKeepsCurrentAndOthers()
    {
        CTestMaster master;
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.buildRequests({read(REQUEST_READ_PAB, 1), read(REQUEST_READ_PARA, 2),
                              read(REQUEST_READ_PAB, 3), read(REQUEST_READ_GENERIC, 4)});
        QVERIFY(writes.wait(1000));
        master.clearRequests(REQUEST_READ_PAB);
        QCOMPARE(master.currentRequest().type, REQUEST_READ_PAB);
        QCOMPARE(master.queuedCount(), 2);
        master.resolveResponse("x", 1);
        QVERIFY(writes.wait(1000));
        QCOMPARE(master.currentRequest().readAddress, quint16(2));
    }

    void emptyTelegramIsNeverQueued()
    {
        CTestMaster master;
        QSignalSpy writes(&master, &CProtocolMaster::write);
        master.buildRequest(CRequest(REQUEST_READ_PARA, 3)); // no length: no telegram
        QCOMPARE(master.queuedCount(), 0);
        QTest::qWait(30);
        QCOMPARE(writes.count(), 0);
        QCOMPARE(master.state(), int(CProtocolMaster::STATE_IDLE));
    }

    void telegramToString_data()
    {
        QTest::addColumn<QByteArray>("telegram");
        QTest::addColumn<int>("logType");
        QTest::addColumn<QString>("text");
        QTest::newRow("tx lower-case hex") << QByteArray::fromHex("01ab") << int(CProtocolMaster::LOG_TX)
                                           << QStringLiteral("Tx: 0x01 0xab ");
        QTest::newRow("rx") << QByteArray::fromHex("00ff10") << int(CProtocolMaster::LOG_RX)
                            << QStringLiteral("Rx: 0x00 0xff 0x10 ");
        QTest::newRow("empty") << QByteArray() << int(CProtocolMaster::LOG_TX) << QStringLiteral("Tx: ");
        QTest::newRow("other log type") << QByteArray::fromHex("01") << 7 << QString();
    }

    void telegramToString()
    {
        QFETCH(QByteArray, telegram);
        QFETCH(int, logType);
        QFETCH(QString, text);
        QCOMPARE(CProtocolMaster::telegramToString(telegram, CProtocolMaster::ENUM_LOG_TYPES(logType)), text);
    }

    void requestTexts_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("logText");
        QTest::addColumn<QString>("shortText");
        QTest::newRow("scan") << 0 << "Scan for Device..." << "Scan";
        QTest::newRow("pab") << 4 << "" << "Read Process Data";
        QTest::newRow("generic") << 5 << "" << "Read Generic";
        QTest::newRow("commissioning") << 11 << "Read Write Inbetriebnahmedaten..." << "Read Write Inbetriebnahmedaten";
        QTest::newRow("firmware") << 22 << "" << "Firmware update";
        QTest::newRow("outside") << 23 << "" << "";
    }

    void requestTexts()
    {
        QFETCH(int, type);
        QFETCH(QString, logText);
        QFETCH(QString, shortText);
        QCOMPARE(CProtocolMaster::requestToString(ENUM_REQUEST_TYPE(type)), logText);
        QCOMPARE(CProtocolMaster::requestTypeText(ENUM_REQUEST_TYPE(type)), shortText);
    }
};

QTEST_GUILESS_MAIN(tst_CProtocolMaster)
#include "tst_CProtocolMaster.moc"
