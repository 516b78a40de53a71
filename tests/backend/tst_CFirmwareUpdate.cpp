#include "backend/CDataBackend.h"
#include "items/CItem.h"
#include "models/CTreeModel.h"
#include "protocol/CProtocolMaster.h"
#include "support/CSimulatorProcess.h"
#include "support/FirmwareImage.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Firmware update and boot-loader identification through the back end,
// against the simulator's boot loader.
class tst_CFirmwareUpdate : public QObject
{
    Q_OBJECT

    CDataBackend* m_backend = nullptr;
    CSimulatorProcess m_simulator;
    QTemporaryDir m_dir;
    const QByteArray m_image = CFirmwareImage::pack(4711, 1, 10, firmwareBody(1000)).bytes();

    QString imageFile(const QByteArray& image)
    {
        const QString path = m_dir.filePath(QStringLiteral("image.bin"));
        return writeFile(path, image) ? path : QString();
    }

    // Scanned, checked and its parameters read, as a front end finds it.
    bool activateDevice()
    {
        QSignalSpy checked(m_backend, &CDataBackend::deviceChecked);
        m_backend->scanDevice();
        return checked.wait(5000) && checked.first().first().toBool()
            && QTest::qWaitFor([this] { return m_backend->model("Parameter")->isValid(); }, 5000);
    }

    // The setpoint register as the device holds it.
    QByteArray setpointOnDevice()
    {
        QSignalSpy data(m_backend->protocolMaster(), &CProtocolMaster::dataResponse);
        m_backend->buildRequest(CRequest(REQUEST_READ_GENERIC, 3, 0x1000, 2));
        return data.wait(5000) ? data.first().first().toByteArray().mid(2) : QByteArray();
    }

private slots:
    void initTestCase() { m_backend = CDataBackend::instance(); }

    void cleanup()
    {
        m_backend->deactivateDevice();
        m_backend->closeInterface();
        m_simulator.stop();
    }

    void updateKeepsParameters_data()
    {
        QTest::addColumn<bool>("rtu");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("refusal"); // empty: the parameters are written back
        QTest::newRow("tcp") << false << QStringList() << "";
        QTest::newRow("rtu") << true << QStringList() << "";
        // Registers the description's ranges refuse: 0 for a brightness of 10 to 100.
        QTest::newRow("stored value the item cannot hold") << false << QStringList{ "--order-number", "47110001" } << "Sollwerte_Helligkeit: 0 is below the minimum 10.";
    }

    // A setpoint changed before the update and lost in it is written back,
    // or, when one stored value cannot be, none is and the file stays; the
    // device holds the image byte for byte.
    void updateKeepsParameters()
    {
        QFETCH(bool, rtu);
        QFETCH(QStringList, options);
        QFETCH(QString, refusal);
        const QString flashed = m_dir.filePath(QStringLiteral("flashed.bin"));
        QVERIFY(m_simulator.serve(m_backend, options + QStringList{ "--flash-out", flashed }, rtu));
        QVERIFY(activateDevice());
        CTreeModel* parameter = m_backend->model("Parameter");
        CItem* setpoint = parameter->findChildren<CItem*>(QRegularExpression("_Sollwert$")).value(0);
        QVERIFY(setpoint);
        setpoint->setValue(300);
        QSignalSpy acks(m_backend, &CDataBackend::deviceAckResponse);
        parameter->writeData();
        QVERIFY(acks.wait(5000));

        // As a firmware that starts from its defaults would, once it is back.
        connect(m_backend, &CDataBackend::deviceActivated, this, [this] {
            disconnect(m_backend, &CDataBackend::deviceActivated, this, nullptr);
            m_backend->buildRequest(CRequest(REQUEST_WRITE_GENERIC, 16, 0, 0, 0x1000, 2, QByteArray::fromHex("006f")));
        });
        QSignalSpy infos(m_backend, &CDataBackend::infoMessage);
        QSignalSpy errors(m_backend, &CDataBackend::errorMessage);
        QCOMPARE(m_backend->startUpdateFirmware(imageFile(m_image), false, true), refusal.isEmpty() ? 0 : 1);
        QCOMPARE(infos.first(), (QVariantList{ "Firmware Update", "Firmware update successfull." }));
        QFile image(flashed);
        QVERIFY(image.open(QIODevice::ReadOnly));
        QCOMPARE(image.readAll(), m_image);
        if (refusal.isEmpty()) {
            QCOMPARE(QList<QVariantList>(errors), QList<QVariantList>());
            QVERIFY(m_backend->isDeviceActive());
            QCOMPARE(setpointOnDevice().toHex(), QByteArray("012c"));
            return;
        }
        QCOMPARE(errors.count(), 2);
        QVERIFY(errors.first().last().toString().contains(refusal));
        const QString kept = errors.last().last().toString().section(QLatin1Char('\''), 1, 1);
        QVERIFY2(QFile::remove(kept), qPrintable(errors.last().last().toString()));
        QVERIFY(!m_backend->isDeviceActive());
        QCOMPARE(setpointOnDevice().toHex(), QByteArray("006f"));
    }

    // Nothing to keep: the update starts at once and ends with the device found again.
    void deviceInBootLoader()
    {
        QVERIFY(m_simulator.serve(m_backend, { "--boot-loader" }));
        QSignalSpy log(m_backend, &CDataBackend::log);
        QCOMPARE(m_backend->startUpdateFirmware(imageFile(m_image), true, true), 0);
        QVERIFY(m_backend->isDeviceActive());
        QStringList lines;
        for (const QVariantList& line : qAsConst(log))
            lines.append(line.first().toString().section(QStringLiteral(", "), 1));
        const int start = lines.indexOf("Start Firmware Update...");
        QVERIFY(start >= 0);
        QVERIFY(!lines.mid(0, start).contains("Read Parameter..."));
    }

    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("error");
        QByteArray damaged = m_image;
        damaged[500] = char(damaged[500] ^ 1);
        QTest::newRow("another device") << CFirmwareImage::pack(4712, 1, 10, firmwareBody(1000)).bytes() << "is not meant for the connected device TC200 (device number 4711)!";
        QTest::newRow("damaged") << damaged << "does not match its content";
        QTest::newRow("truncated") << m_image.left(12) << "its 12 bytes are shorter than the 16-byte header";
    }

    // Not even the parameters are read; the device stays as it was.
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(QByteArray, image);
        QFETCH(QString, error);
        QVERIFY(m_simulator.serve(m_backend, {}));
        QVERIFY(activateDevice());
        int sent = 0;
        QObject counter;
        connect(m_backend->protocolMaster(), &CProtocolMaster::write, &counter, [&sent] { ++sent; });
        QSignalSpy errors(m_backend, &CDataBackend::errorMessage);
        QCOMPARE(m_backend->startUpdateFirmware(imageFile(image), false, true), 1);
        QCOMPARE(errors.count(), 1);
        QVERIFY2(errors.first().last().toString().contains(error), qPrintable(errors.first().last().toString()));
        QTest::qWait(100);
        QCOMPARE(sent, 0);
        QVERIFY(m_backend->isDeviceActive());
    }

    // The boot loader's identity, and the application running again afterwards.
    void bootLoaderIdentification()
    {
        QVERIFY(m_simulator.serve(m_backend, {}));
        QSignalSpy read(m_backend, &CDataBackend::deviceIdRead);
        QCOMPARE(m_backend->startReadDidProcess(), 0);
        QCOMPARE(QList<QVariantList>(read), (QList<QVariantList>{ { "BL-0x1267", "0.0" } }));
        m_backend->readDid();
        QVERIFY(read.wait(5000));
        QCOMPARE(read.last(), (QVariantList{ "4711", "1.00" }));
    }
};

QTEST_GUILESS_MAIN(tst_CFirmwareUpdate)
#include "tst_CFirmwareUpdate.moc"
