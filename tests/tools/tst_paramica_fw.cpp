#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// paramica-fw packs and checks firmware images as the boot loader reads
// them: header layout, check value over everything from offset 4, device number.
class tst_paramica_fw : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

    // The body 01 02 03 packed for device 4711 (0x1267), version 1.05.
    static QByteArray packed() { return QByteArray::fromHex("d9c8 000000000000 67120000 0000 05 01 010203"); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        QFile body(m_folder.filePath("body.bin"));
        QVERIFY(body.open(QIODevice::WriteOnly) && body.write(QByteArray::fromHex("010203")) == 3);
    }

    // Each row runs the tool in the temporary folder, with image.bin holding
    // the row's image when it has one; the message is part of what it prints.
    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        const QByteArray image = packed();
        QTest::newRow("pack") << QStringList{ "pack", "--device", "4711", "--version", "1.05", "body.bin", "packed.bin" } << QByteArray() << 0 << "packed.bin: device 4711, version 1.05, 19 bytes";
        QTest::newRow("check") << QStringList{ "check", "image.bin" } << image << 0 << "image.bin: valid image for device 4711, version 1.05";
        QTest::newRow("check for its device") << QStringList{ "check", "image.bin", "--device", "0x1267" } << image << 0 << "valid image";
        QTest::newRow("check for another device") << QStringList{ "check", "image.bin", "--device", "4712" } << image << 1 << "image.bin is an image for device 4711, not 4712";
        QTest::newRow("body changed") << QStringList{ "check", "image.bin" } << QByteArray(image).replace(18, 1, "\x04") << 1 << "check value 0xd9c8 does not match its content";
        QTest::newRow("version changed") << QStringList{ "check", "image.bin" } << QByteArray(image).replace(15, 1, "\x02") << 1 << "check value 0xd9c8 does not match its content";
        QTest::newRow("cut inside the header") << QStringList{ "check", "image.bin" } << image.left(10) << 1 << "10 bytes are shorter than the 16-byte header";
        QTest::newRow("one-digit minor") << QStringList{ "pack", "--device", "4711", "--version", "1.5", "body.bin", "packed.bin" } << QByteArray() << 2 << "invalid version '1.5'";
        QTest::newRow("missing body") << QStringList{ "pack", "--device", "4711", "--version", "1.05", "none.bin", "packed.bin" } << QByteArray() << 4 << "cannot read none.bin";
        QTest::newRow("unknown option") << QStringList{ "check", "image.bin", "--force" } << image << 2 << "unknown option --force";
    }

    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, image);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFile imageFile(m_folder.filePath("image.bin"));
        QVERIFY(image.isEmpty() || (imageFile.open(QIODevice::WriteOnly) && imageFile.write(image) == image.size()));
        imageFile.close();
        QProcess tool;
        tool.setWorkingDirectory(m_folder.path());
        tool.start(QStringLiteral(PARAMICA_FW_PATH), arguments);
        QVERIFY(tool.waitForFinished(10000));
        const QString output = QString::fromLocal8Bit(tool.readAllStandardOutput() + tool.readAllStandardError());
        QCOMPARE(tool.exitCode(), exitCode);
        QVERIFY2(output.contains(message), qPrintable(output));
        if (arguments.first() == QLatin1String("pack") && exitCode == 0) {
            QFile result(m_folder.filePath("packed.bin"));
            QVERIFY(result.open(QIODevice::ReadOnly));
            QCOMPARE(result.readAll().toHex(' '), packed().toHex(' '));
        }
    }
};

QTEST_GUILESS_MAIN(tst_paramica_fw)
#include "tst_paramica_fw.moc"
