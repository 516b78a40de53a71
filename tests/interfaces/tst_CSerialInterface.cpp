#include "interfaces/CSerialInterface.h"
#include "support/CSocatPtyPair.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class tst_CSerialInterface : public QObject
{
    Q_OBJECT

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

    // Bursts 20 ms apart make one frame, delivered once the line is quiet; a later byte makes the next.
    void framesEndWithSilence()
    {
        QList<QByteArray> frames;
        connect(m_interface, &CBaseInterface::dataRead, this, [&frames](const char* buffer, int n) { frames.append(QByteArray(buffer, n)); });
        const QList<QByteArray> bursts{ QByteArray::fromHex("0103"), QByteArray::fromHex("1400010002"), QByteArray::fromHex("0003c5cd") };
        for (int i = 0; i < bursts.size(); ++i)
            QTimer::singleShot(i * 20, m_device, [this, burst = bursts.at(i)] { m_device->write(burst); m_device->flush(); });
        QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 1, 2000);
        m_device->write(QByteArray::fromHex("02"));
        m_device->flush();
        QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 2, 2000);
        QCOMPARE(frames, (QList<QByteArray>{ bursts.at(0) + bursts.at(1) + bursts.at(2), QByteArray::fromHex("02") }));
    }

    // Sent bytes reach the device; once the port is closed, nothing does.
    void sending()
    {
        QSignalSpy written(m_interface, &CBaseInterface::dataWritten);
        const QByteArray telegram = QByteArray::fromHex("01030000000ac5cd");
        m_interface->sendData(telegram.constData(), telegram.size());
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += m_device->readAll()).size() >= telegram.size(), 2000);
        QCOMPARE(received, telegram);
        QTRY_VERIFY_WITH_TIMEOUT(written.count() >= 1, 2000);
        QVERIFY(m_interface->closePort());
        QVERIFY(!m_interface->isPortOpen());
        written.clear();
        m_interface->sendData("\x01\x02", 2);
        QVERIFY(!written.wait(100));
        QCOMPARE(m_device->bytesAvailable(), qint64(0));
    }
};

QTEST_GUILESS_MAIN(tst_CSerialInterface)
#include "tst_CSerialInterface.moc"
