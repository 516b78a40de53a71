#include "interfaces/CSerialInterface.h"
#include "support/CSocatPtyPair.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class tst_CSerialInterface : public QObject
{
    Q_OBJECT

private:
    CSocatPtyPair* m_pty = nullptr;
    CSerialInterface* m_interface = nullptr;
    QSerialPort* m_device = nullptr;

private slots:
    void init()
    {
        m_pty = new CSocatPtyPair;
        QVERIFY2(m_pty->isValid(), "socat did not provide a pseudo-terminal pair");
        m_interface = new CSerialInterface;
        m_interface->setPortName(m_pty->libraryEnd());
        m_interface->setBaudRate(QSerialPort::Baud115200);
        QVERIFY(m_interface->openPort());
        m_device = new QSerialPort(m_pty->deviceEnd());
        QVERIFY(m_device->open(QIODevice::ReadWrite));
    }

    void cleanup()
    {
        delete m_device;
        delete m_interface;
        delete m_pty;
    }

    void burstsAreDeliveredAsOneFrameAfterSilence()
    {
        QList<QByteArray> frames;
        connect(m_interface, &CBaseInterface::dataRead, this,
                [&frames](const char* buffer, int n) { frames.append(QByteArray(buffer, n)); });
        const QList<QByteArray> bursts{QByteArray::fromHex("0103"), QByteArray::fromHex("1400010002"),
                                       QByteArray::fromHex("0003c5cd")};
        for (int i = 0; i < bursts.size(); ++i) {
            QTimer::singleShot(i * 20, m_device, [this, burst = bursts.at(i)] {
                m_device->write(burst);
                m_device->flush();
            });
        }
        QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 1, 2000);
        QCOMPARE(frames.first(), bursts.at(0) + bursts.at(1) + bursts.at(2));
        // No second, partial delivery follows.
        QTest::qWait(2 * CSerialInterface::READ_SILENCE_MS);
        QCOMPARE(frames.size(), 1);
    }

    void framesSeparatedBySilenceStaySeparate()
    {
        QSignalSpy reads(m_interface, &CBaseInterface::dataRead);
        m_device->write(QByteArray::fromHex("01"));
        m_device->flush();
        QVERIFY(reads.wait(2000));
        m_device->write(QByteArray::fromHex("02"));
        m_device->flush();
        QVERIFY(reads.wait(2000));
        QCOMPARE(reads.count(), 2);
    }

    void sentBytesReachTheDevice()
    {
        QSignalSpy written(m_interface, &CBaseInterface::dataWritten);
        const QByteArray telegram = QByteArray::fromHex("01030000000ac5cd");
        m_interface->sendData(telegram.constData(), telegram.size());
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += m_device->readAll()).size() >= telegram.size(), 2000);
        QCOMPARE(received, telegram);
        QTRY_VERIFY_WITH_TIMEOUT(written.count() >= 1, 2000);
    }

    void closedPortSendsNothing()
    {
        QVERIFY(m_interface->closePort());
        QVERIFY(!m_interface->isPortOpen());
        QSignalSpy written(m_interface, &CBaseInterface::dataWritten);
        m_interface->sendData("\x01\x02", 2);
        QTest::qWait(50);
        QCOMPARE(written.count(), 0);
        QCOMPARE(m_device->bytesAvailable(), qint64(0));
    }

    void missingPortFailsWithAMessage()
    {
        CSerialInterface missing;
        missing.setPortName(QStringLiteral("/dev/paramica-no-such-port"));
        QSignalSpy logs(&missing, &CMessageSender::logMessage);
        QVERIFY(!missing.openPort());
        QVERIFY(!missing.isPortOpen());
        QCOMPARE(logs.count(), 1);
        QVERIFY(logs.first().first().toString().contains(QStringLiteral("paramica-no-such-port")));
    }
};

QTEST_GUILESS_MAIN(tst_CSerialInterface)
#include "tst_CSerialInterface.moc"
