#include "backend/CDataBackend.h"
#include "protocol/CFlasher.h"
#include "protocol/CModbusMaster.h"
#include "support/FirmwareImage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// A device on Modbus TCP (127.0.0.1) that answers as a VELTA application and
// its boot loader do: 0x57 command 1 enters the boot loader or starts a
// transfer, command 2 starts the application, 0x59 writes a block, 0x5000
// holds the flash configuration. It keeps what was asked and what was flashed.
class CScriptedDevice : public QObject
{
public:
    bool bootLoader = false;
    quint32 deviceNumber = 4711;
    QByteArray flashConfig; // address mode and block length, empty: none (exception)
    int blocksToAnswer = -1; // then silence; -1 answers all
    QByteArray requests;     // function codes in order
    QByteArray flashed;
    QByteArray lastBlockHeader; // block address, register count, byte count

    bool listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_client = m_server.nextPendingConnection();
            connect(m_client, &QTcpSocket::readyRead, this, [this] {
                m_buffer += m_client->readAll();
                serve();
            });
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString endpoint() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    static int word(const QByteArray& data, int at) { return (uchar(data[at]) << 8) | uchar(data[at + 1]); }

    void serve()
    {
        while (m_buffer.size() >= 8 && m_buffer.size() >= 6 + word(m_buffer, 4)) {
            const QByteArray frame = m_buffer.left(6 + word(m_buffer, 4));
            m_buffer.remove(0, frame.size());
            const QByteArray answer = answerTo(uchar(frame[7]), frame.mid(8));
            if (answer.isEmpty())
                continue;
            const int length = answer.size() + 1;
            m_client->write(frame.left(4) + char(length >> 8) + char(length & 0xFF) + frame[6] + answer);
        }
    }

    QByteArray answerTo(uchar function, const QByteArray& data)
    {
        requests.append(char(function));
        switch (function) {
        case 0x2B: {
            const QByteArray product = bootLoader ? "BL-0x" + QByteArray::number(deviceNumber, 16) : QByteArray::number(deviceNumber);
            QByteArray answer = QByteArray::fromHex("2b0e0101000003");
            int id = 0;
            for (const QByteArray& object : { QByteArray("VELTA"), product, QByteArray("V1.00") })
                answer += char(id++) + QByteArray(1, char(object.size())) + object;
            return answer;
        }
        case 0x57:
            if (word(data, 9) == 1 && bootLoader)
                flashed.clear();
            bootLoader = word(data, 9) == 1;
            return char(0x57) + data.left(4);
        case 0x03:
            if (bootLoader && word(data, 0) == 0x5000 && !flashConfig.isEmpty())
                return QByteArray::fromHex("0304") + flashConfig;
            return QByteArray::fromHex("8302");
        case 0x59: {
            if (blocksToAnswer == 0)
                return QByteArray();
            --blocksToAnswer;
            const bool numbered = !flashConfig.isEmpty() && word(flashConfig, 0) == 1;
            const int length = flashConfig.isEmpty() ? 224 : word(flashConfig, 2);
            const int offset = numbered ? word(data, 0) * length : word(data, 0) * 2;
            const int count = uchar(data[4]);
            if (flashed.size() < offset + count)
                flashed.resize(offset + count);
            flashed.replace(offset, count, data.mid(5, count));
            lastBlockHeader = data.left(5);
            return char(0x59) + data.left(4);
        }
        default:
            return QByteArray(1, char(function | 0x80)) + char(1);
        }
    }

    QTcpServer m_server;
    QTcpSocket* m_client = nullptr;
    QByteArray m_buffer;
};

// The flasher's static functions, and its state machine driven through the
// back end and the Modbus master against the scripted device.
class tst_CFlasher : public QObject
{
    Q_OBJECT

    CDataBackend* m_backend = nullptr;
    QTemporaryDir m_dir;

    QString imageFile(const QByteArray& image, const QString& name = QStringLiteral("image.bin"))
    {
        const QString path = m_dir.filePath(name);
        return writeFile(path, image) ? path : QString();
    }
    bool connectTo(CScriptedDevice& device)
    {
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        return device.listen() && m_backend->openInterface(INTERFACE_TCP, device.endpoint(), 1);
    }
    CFlasher* flasher() const { return qobject_cast<CModbusMaster*>(m_backend->protocolMaster())->flasher(); }

private slots:
    void initTestCase()
    {
        m_backend = CDataBackend::instance();
        qRegisterMetaType<CFlasher::ENUM_STATES>();
    }
    void cleanup() { m_backend->closeInterface(); }

    void patterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("deviceNumber");
        QTest::addColumn<bool>("matches");
        QTest::newRow("[xX] stands for any digit") << "12[xX]4" << "1234" << true;
        QTest::newRow("[xX] another digit") << "12[xX]4" << "1294" << true;
        QTest::newRow("unanchored") << "123" << "41234" << true;
        QTest::newRow("a bare X is literal") << "12X4" << "1234" << false;
        QTest::newRow("a name is no number") << "TC200" << "4711" << false;
    }

    void patterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, deviceNumber);
        QFETCH(bool, matches);
        QCOMPARE(CFlasher::compareStrings(pattern, deviceNumber), matches);
    }

    void deviceNames_data()
    {
        QTest::addColumn<QString>("productCode");
        QTest::addColumn<bool>("bootLoader");
        QTest::addColumn<QString>("name");
        QTest::newRow("boot loader, hexadecimal") << "BL-0x1267" << true << "4711";
        QTest::newRow("boot loader, small") << "BL-0x1A" << true << "26";
        QTest::newRow("application, decimal") << "4711" << false << "4711";
        QTest::newRow("unreadable number") << "BL-0xZZ" << true << "0";
        QTest::newRow("prefixes are case-sensitive") << "bl-0X1A" << false << "bl-0X1A";
    }

    void deviceNames()
    {
        QFETCH(QString, productCode);
        QFETCH(bool, bootLoader);
        QFETCH(QString, name);
        QCOMPARE(CFlasher::isBootLoader(productCode), bootLoader);
        QCOMPARE(CFlasher::adjustDeviceName(productCode), name);
    }

    void blockAddresses_data()
    {
        QTest::addColumn<int>("addressMode");
        QTest::addColumn<int>("length");
        QTest::addColumn<QList<int>>("addresses"); // of the offsets 0, 224, 448
        QTest::newRow("word addresses") << 0 << 224 << QList<int>{ 0, 112, 224 };
        QTest::newRow("any mode but 1 counts words") << 7 << 224 << QList<int>{ 0, 112, 224 };
        QTest::newRow("block numbers") << 1 << 224 << QList<int>{ 0, 1, 2 };
        QTest::newRow("block numbers of length 0 divide nothing") << 1 << 0 << QList<int>{ 0, 0, 0 };
    }

    void blockAddresses()
    {
        QFETCH(int, addressMode);
        QFETCH(int, length);
        QFETCH(QList<int>, addresses);
        const CFlasher::STRUCT_FLASH_CONFIG config{ quint16(addressMode), quint16(length) };
        for (int i = 0; i < addresses.size(); ++i)
            QCOMPARE(CFlasher::calculateNextAddress(config, 224 * i), addresses.at(i));
    }

    void imageChoice_data()
    {
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<QString>("latestVersion");
        QTest::addColumn<QString>("latestFile");
        QTest::addColumn<QStringList>("valid"); // sorted names
        QTest::newRow("1.10 above 1.05, the first of equals, 0.00 never") << QStringList{ "4711" } << "1.10" << "b.bin" << QStringList{ "a.bin", "b.bin", "c.bin", "d.bin" };
        QTest::newRow("second pattern") << QStringList{ "9999", "47[xX]2" } << "2.00" << "e.bin" << QStringList{ "e.bin" };
        QTest::newRow("only 0.00") << QStringList{ "4713" } << "" << "" << QStringList{ "f.bin" };
        QTest::newRow("none") << QStringList{ "9999", "" } << "" << "" << QStringList();
    }

    // Damaged, truncated and directories are never candidates.
    void imageChoice()
    {
        QFETCH(QStringList, patterns);
        QFETCH(QString, latestVersion);
        QFETCH(QString, latestFile);
        QFETCH(QStringList, valid);
        QTemporaryDir dir;
        const QByteArray body = firmwareBody(40);
        QByteArray damaged = CFirmwareImage::pack(4711, 9, 0, body).bytes();
        damaged[30] = char(damaged[30] ^ 1);
        const QList<QPair<QString, QByteArray>> files{
            { "a.bin", CFirmwareImage::pack(4711, 1, 5, body).bytes() }, { "b.bin", CFirmwareImage::pack(4711, 1, 10, body).bytes() },
            { "c.bin", CFirmwareImage::pack(4711, 1, 10, body).bytes() }, { "d.bin", CFirmwareImage::pack(4711, 0, 0, body).bytes() },
            { "e.bin", CFirmwareImage::pack(4712, 2, 0, body).bytes() },  { "f.bin", CFirmwareImage::pack(4713, 0, 0, body).bytes() },
            { "g.bin", damaged },                          { "h.bin", CFirmwareImage::pack(4711, 9, 0, body).bytes().left(15) },
            { "i.img", CFirmwareImage::pack(4711, 9, 0, body).bytes() }
        };
        for (const auto& file : files)
            QVERIFY(writeFile(dir.filePath(file.first), file.second));
        QVERIFY(QDir(dir.path()).mkdir("j.bin"));

        const QPair<QString, QString> latest = CFlasher::getLatestFirmwareFile(patterns, dir.path());
        QCOMPARE(latest.first, latestVersion);
        QCOMPARE(latest.second, latestFile.isEmpty() ? QString() : dir.filePath(latestFile));
        const QHash<QString, QString> found = CFlasher::getFirmwareFiles(patterns, dir.path());
        QStringList names;
        for (const QString& path : found.keys())
            names.append(QFileInfo(path).fileName());
        names.sort();
        QCOMPARE(names, valid);
        if (found.contains(dir.filePath("a.bin")))
            QCOMPARE(found.value(dir.filePath("a.bin")), QStringLiteral("1.05"));
    }

    void fullUpdate_data()
    {
        QTest::addColumn<bool>("bootLoader");
        QTest::addColumn<QByteArray>("flashConfig");
        QTest::addColumn<int>("imageSize");
        QTest::addColumn<QByteArray>("requests");
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<QByteArray>("lastBlockHeader");
        QTest::newRow("application running, no configuration: words, 224 bytes") << false << QByteArray() << 448 << QByteArray::fromHex("2b572b5703" "5959" "572b") << QList<int>{ 49, 99, 100 } << QByteArray::fromHex("00700070e0");
        QTest::newRow("boot loader at start, odd image in numbered blocks of 100") << true << QByteArray::fromHex("00010064") << 251 << QByteArray::fromHex("2b5703" "595959" "572b") << QList<int>{ 39, 78, 99, 100 } << QByteArray::fromHex("0002001933");
    }

    // Identification, restart, configuration, every block and the check of
    // the application; the device holds the image byte for byte.
    void fullUpdate()
    {
        QFETCH(bool, bootLoader);
        QFETCH(QByteArray, flashConfig);
        QFETCH(int, imageSize);
        QFETCH(QByteArray, requests);
        QFETCH(QList<int>, progress);
        QFETCH(QByteArray, lastBlockHeader);
        CScriptedDevice device;
        device.bootLoader = bootLoader;
        device.flashConfig = flashConfig;
        QVERIFY(connectTo(device));
        const QByteArray image = CFirmwareImage::pack(4711, 1, 10, firmwareBody(imageSize - 16)).bytes();
        QSignalSpy started(m_backend, &CDataBackend::firmwareUpdateStarted);
        QSignalSpy steps(m_backend, &CDataBackend::firmwareUpdateProgress);
        QSignalSpy finished(m_backend, &CDataBackend::firmwareUpdateFinished);
        m_backend->updateFirmware(imageFile(image), true);
        QCOMPARE(QList<QVariantList>(finished), QList<QVariantList>{ { 1 } });
        QCOMPARE(started.count(), 1);
        QList<int> percents;
        for (const QVariantList& step : qAsConst(steps))
            percents.append(step.first().toInt());
        QCOMPARE(percents, progress);
        QCOMPARE(device.requests.toHex(), requests.toHex());
        QCOMPARE(device.lastBlockHeader.toHex(), lastBlockHeader.toHex());
        QCOMPARE(device.flashed, image);
        QVERIFY(!device.bootLoader);
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<bool>("bootLoader");
        QTest::addColumn<QByteArray>("flashConfig");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("requests");
        const QByteArray image = CFirmwareImage::pack(4711, 1, 0, firmwareBody(500)).bytes();
        QByteArray damaged = image;
        damaged[300] = char(damaged[300] ^ 0x10);
        const QByteArray config = QByteArray::fromHex("000000e0");
        QTest::newRow("truncated image") << image.left(15) << false << config << "its 15 bytes are shorter than the 16-byte header" << QByteArray::fromHex("2b");
        QTest::newRow("damaged image") << damaged << false << config << "does not match its content" << QByteArray::fromHex("2b");
        QTest::newRow("image of another device") << CFirmwareImage::pack(4712, 1, 0, firmwareBody(500)).bytes() << false << config << "is for device 4712, the connected device is 4711" << QByteArray::fromHex("2b");
        QTest::newRow("block length 0") << image << true << QByteArray::fromHex("00000000") << "flash blocks of 0 bytes" << QByteArray::fromHex("2b5703");
        QTest::newRow("block longer than a telegram") << image << true << QByteArray::fromHex("000000f7") << "flash blocks of 247 bytes" << QByteArray::fromHex("2b5703");
        QTest::newRow("image beyond 16-bit word addresses") << CFirmwareImage::pack(4711, 1, 0, firmwareBody(140000)).bytes() << true << config << "needs block addresses beyond 0xFFFF" << QByteArray::fromHex("2b5703");
    }

    // Nothing is written: a bad image never gets the device into its boot
    // loader, a configuration that cannot carry the image gets no block.
    void refusals()
    {
        QFETCH(QByteArray, image);
        QFETCH(bool, bootLoader);
        QFETCH(QByteArray, flashConfig);
        QFETCH(QString, reason);
        QFETCH(QByteArray, requests);
        CScriptedDevice device;
        device.bootLoader = bootLoader;
        device.flashConfig = flashConfig;
        QVERIFY(connectTo(device));
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        QSignalSpy finished(m_backend, &CDataBackend::firmwareUpdateFinished);
        m_backend->updateFirmware(imageFile(image), true);
        QCOMPARE(QList<QVariantList>(finished), QList<QVariantList>{ { 0 } });
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.first().first().toString(), QStringLiteral("Firmware Update"));
        QVERIFY2(warnings.first().last().toString().contains(reason), qPrintable(warnings.first().last().toString()));
        QCOMPARE(device.requests.toHex(), requests.toHex());
        QVERIFY(device.flashed.isEmpty());
    }

    // A block that goes unanswered ends the update after its time-out.
    void noAnswerMidTransfer()
    {
        CScriptedDevice device;
        device.bootLoader = true;
        device.flashConfig = QByteArray::fromHex("000000e0");
        device.blocksToAnswer = 1;
        QVERIFY(connectTo(device));
        QSignalSpy errors(m_backend, &CDataBackend::errorMessage);
        QSignalSpy warnings(m_backend, &CDataBackend::warningMessage);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(m_backend->startUpdateFirmware(imageFile(CFirmwareImage::pack(4711, 1, 0, firmwareBody(600)).bytes()), true, true), 1);
        QVERIFY2(clock.elapsed() < CFlasher::FLASHER_TIMOUT * 1000 + 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(QList<QVariantList>(errors), (QList<QVariantList>{ { "Firmware Update", "Firmware update aborted!" } }));
        QCOMPARE(warnings.last().last().toString(), QStringLiteral("The device did not confirm the block at offset 224!"));
    }

    void abortFromOutside_data()
    {
        QTest::addColumn<bool>("throughMaster");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("flasher aborted: result 2, no message") << false << 2 << QStringList();
        QTest::newRow("abort through the master: result 0") << true << 0 << QStringList{ "Firmware update aborted!" };
    }

    void abortFromOutside()
    {
        QFETCH(bool, throughMaster);
        QFETCH(int, result);
        QFETCH(QStringList, errors);
        CScriptedDevice device;
        device.bootLoader = true;
        device.flashConfig = QByteArray::fromHex("000000e0");
        QVERIFY(connectTo(device));
        QSignalSpy finished(m_backend, &CDataBackend::firmwareUpdateFinished);
        QSignalSpy errorSpy(m_backend, &CDataBackend::errorMessage);
        // As a front end would: from the event loop, once the transfer runs.
        connect(m_backend, &CDataBackend::firmwareUpdateProgress, this, [this, throughMaster] {
            QTimer::singleShot(0, this, [this, throughMaster] {
                if (throughMaster)
                    m_backend->abortUpdateFirmware();
                else
                    QMetaObject::invokeMethod(flasher(), "setState", Q_ARG(CFlasher::ENUM_STATES, CFlasher::STATE_ABORTED));
            });
        });
        const int code = m_backend->startUpdateFirmware(imageFile(CFirmwareImage::pack(4711, 1, 0, firmwareBody(2000)).bytes()), true, true);
        disconnect(m_backend, &CDataBackend::firmwareUpdateProgress, this, nullptr);
        QCOMPARE(code, 1);
        QCOMPARE(QList<QVariantList>(finished), QList<QVariantList>{ { result } });
        QStringList texts;
        for (const QVariantList& error : qAsConst(errorSpy))
            texts.append(error.last().toString());
        QCOMPARE(texts, errors);
        QVERIFY(!flasher()->isRunning());
        QVERIFY(device.flashed.size() < 2000);
    }

    void masterReleasedDuringUpdate_data()
    {
        QTest::addColumn<bool>("protocolChanged"); // else the interface is closed
        QTest::newRow("protocol changed") << true;
        QTest::newRow("interface closed") << false;
    }

    // The update ends as failed; nothing touches the released master.
    void masterReleasedDuringUpdate()
    {
        QFETCH(bool, protocolChanged);
        CScriptedDevice device;
        device.bootLoader = true;
        device.flashConfig = QByteArray::fromHex("000000e0");
        QVERIFY(connectTo(device));
        QPointer<CProtocolMaster> master = m_backend->protocolMaster();
        QSignalSpy finished(m_backend, &CDataBackend::firmwareUpdateFinished);
        connect(m_backend, &CDataBackend::firmwareUpdateProgress, this, [this, protocolChanged] {
            QTimer::singleShot(0, this, [this, protocolChanged] {
                if (protocolChanged)
                    m_backend->setComProtocol(PROTOCOL_MODBUS_RTU);
                else
                    m_backend->closeInterface();
            });
        });
        m_backend->updateFirmware(imageFile(CFirmwareImage::pack(4711, 1, 0, firmwareBody(2000)).bytes()), true);
        disconnect(m_backend, &CDataBackend::firmwareUpdateProgress, this, nullptr);
        QCOMPARE(QList<QVariantList>(finished), QList<QVariantList>{ { 0 } });
        QVERIFY(!m_backend->isConnected());
        if (protocolChanged)
            QTRY_VERIFY(!master);
        else
            QVERIFY(!qobject_cast<CModbusMaster*>(master.data())->flasher()->isRunning());
        m_backend->setComProtocol(PROTOCOL_MODBUS_TCP);
    }
};

QTEST_GUILESS_MAIN(tst_CFlasher)
#include "tst_CFlasher.moc"
