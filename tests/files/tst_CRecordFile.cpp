#include "files/CRecordFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// A recorder whose clock the test sets, so that rotation needs no waiting.
class CClockedRecordFile : public CRecordFile
{
public:
    using CRecordFile::CRecordFile;
    QDateTime now = QDateTime(QDate(2024, 5, 17), QTime(13, 45, 27));

protected:
    QDateTime currentDateTime() const override { return now; }
};

class tst_CRecordFile : public QObject
{
    Q_OBJECT

    static QStringList lines(const QString& fileName)
    {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {QStringLiteral("<unreadable>")};
        QStringList result = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        if (result.last().isEmpty())
            result.removeLast();
        return result;
    }

    static QList<QPair<QString, QString>> headers()
    {
        return {{QStringLiteral("time"), QStringLiteral("Time")},
                {QStringLiteral("temp"), QStringLiteral("Actual value [°C]")},
                {QStringLiteral("relay"), QStringLiteral("Relay")}};
    }

    static QStringList header(const QString& device, const QString& version, const QString& date)
    {
        return {QStringLiteral("#;paramica-test;Version 2.3.4;english;"), QStringLiteral("#;Date:;%1;").arg(date),
                QStringLiteral("#;Device:;%1;").arg(device), QStringLiteral("#;Process data version:;%1;").arg(version),
                QString(), QStringLiteral("Time;Actual value [°C];Relay;")};
    }

    static QHash<QString, QString> sample(const QString& time, const QString& temp, const QString& relay)
    {
        return {{QStringLiteral("time"), time}, {QStringLiteral("temp"), temp}, {QStringLiteral("relay"), relay}};
    }

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCoreApplication::setApplicationName(QStringLiteral("paramica-test"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.3.4"));
    }

    void headerAndRows()
    {
        CClockedRecordFile recorder;
        recorder.setLanguage(QStringLiteral("english"));
        recorder.setHeaderNames(headers());
        recorder.setDevice(QStringLiteral("TC200"), QStringLiteral("1.00"));
        QSignalSpy log(&recorder, &CRecordFile::logMessage);
        const QString name = m_dir.filePath(QStringLiteral("rows.csv"));

        QVERIFY(recorder.start(name));
        QCOMPARE(recorder.fileName(), name);
        recorder.appendData(sample(QStringLiteral("13:45:27"), QStringLiteral("21,5"), QStringLiteral("On")));
        recorder.appendData({{QStringLiteral("temp"), QStringLiteral("22,0")}, {QStringLiteral("other"), QStringLiteral("x")}});
        recorder.appendData({}); // nothing to write
        QVERIFY(recorder.stop());
        QVERIFY(recorder.fileName().isEmpty());
        recorder.appendData(sample(QStringLiteral("late"), QStringLiteral("1"), QStringLiteral("1")));
        QVERIFY(recorder.stop()); // nothing open any more

        QCOMPARE(lines(name), header(QStringLiteral("TC200"), QStringLiteral("1.00"), QStringLiteral("17.05.2024 13:45:27"))
                                  + (QStringList{QStringLiteral("13:45:27;21,5;On;"), QStringLiteral(";22,0;;")}));
        QCOMPARE(log.count(), 2);
        QCOMPARE(log.at(0).at(0).toString(), QStringLiteral("File created: %1").arg(QDir::toNativeSeparators(name)));
        QCOMPARE(log.at(1).at(0).toString(), QStringLiteral("File closed: %1").arg(QDir::toNativeSeparators(name)));
    }

    void stopWithoutRecording()
    {
        CRecordFile recorder;
        QSignalSpy log(&recorder, &CRecordFile::logMessage);
        QVERIFY(recorder.stop());
        QVERIFY(recorder.fileName().isEmpty());
        recorder.appendData(sample(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")));
        QCOMPARE(log.count(), 0);
    }

    void generatedName_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "TC200" << "TC200";
        QTest::newRow("colon and slash") << "TC:200/A" << "TC_200_A";
        QTest::newRow("every forbidden character") << "a*b/c\\d!e|f:g?h<i>j" << "a_b_c_d_e_f_g_h_i_j";
        QTest::newRow("empty") << "" << "unnamed";
    }

    void generatedName()
    {
        QFETCH(QString, device);
        QFETCH(QString, expected);
        CClockedRecordFile recorder;
        recorder.setLanguage(QStringLiteral("english"));
        recorder.setFilePath(m_dir.path());
        recorder.setHeaderNames(headers());
        recorder.setDevice(device, QStringLiteral("2.01"));

        QVERIFY(recorder.start(QString()));
        const QString name = recorder.fileName();
        QCOMPARE(name, m_dir.filePath(expected + QStringLiteral("_20240517134527.csv")));
        QVERIFY(QRegularExpression(QStringLiteral("/[^/]+_\\d{14}\\.csv$")).match(name).hasMatch());
        recorder.stop();
        QCOMPARE(lines(name), header(expected, QStringLiteral("2.01"), QStringLiteral("17.05.2024 13:45:27")));
    }

    // Each interval choice rotates exactly when its hours have passed; the
    // other choices never rotate.
    void rotation_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("hours");
        QTest::newRow("0 never") << 0 << 0;
        QTest::newRow("1") << 1 << 2;
        QTest::newRow("2") << 2 << 4;
        QTest::newRow("3") << 3 << 8;
        QTest::newRow("4") << 4 << 12;
        QTest::newRow("5") << 5 << 24;
        QTest::newRow("6") << 6 << 28;
        QTest::newRow("7 never") << 7 << 0;
        QTest::newRow("-1 never") << -1 << 0;
    }

    void rotation()
    {
        QFETCH(int, index);
        QFETCH(int, hours);
        QTemporaryDir dir;
        CClockedRecordFile recorder;
        recorder.setLanguage(QStringLiteral("english"));
        recorder.setFilePath(dir.path());
        recorder.setHeaderNames(headers());
        recorder.setDevice(QStringLiteral("TC200"), QStringLiteral("1.00"));
        recorder.setFileInterval(index);
        const QDateTime start = recorder.now;
        QVERIFY(recorder.start(QString()));
        const QString first = recorder.fileName();

        const qint64 interval = hours ? qint64(hours) * 3600 : 1000 * 3600;
        recorder.now = start.addSecs(interval - 1);
        recorder.appendData(sample(QStringLiteral("before"), QStringLiteral("1"), QStringLiteral("0")));
        QCOMPARE(recorder.fileName(), first);
        recorder.now = start.addSecs(interval);
        recorder.appendData(sample(QStringLiteral("due"), QStringLiteral("2"), QStringLiteral("0")));
        const QString second = recorder.fileName();
        recorder.appendData(sample(QStringLiteral("after"), QStringLiteral("3"), QStringLiteral("1")));
        recorder.stop();

        const QStringList firstHeader = header(QStringLiteral("TC200"), QStringLiteral("1.00"), QStringLiteral("17.05.2024 13:45:27"));
        if (!hours) {
            QCOMPARE(second, first);
            QCOMPARE(lines(first), firstHeader + (QStringList{"before;1;0;", "due;2;0;", "after;3;1;"}));
            return;
        }
        QCOMPARE(second, dir.filePath(QStringLiteral("TC200_%1.csv").arg(recorder.now.toString("yyyyMMddhhmmss"))));
        QCOMPARE(lines(first), firstHeader + (QStringList{"before;1;0;", "due;2;0;"}));
        QCOMPARE(lines(second), header(QStringLiteral("TC200"), QStringLiteral("1.00"),
                                       recorder.now.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")))
                                    + QStringList{"after;3;1;"});
    }

    void startReplacesRunningFile()
    {
        CClockedRecordFile recorder;
        recorder.setHeaderNames(headers());
        const QString first = m_dir.filePath(QStringLiteral("first.csv"));
        const QString second = m_dir.filePath(QStringLiteral("second.csv"));
        QVERIFY(recorder.start(first));
        QSignalSpy log(&recorder, &CRecordFile::logMessage);
        QVERIFY(recorder.start(second));
        QCOMPARE(log.count(), 2);
        QVERIFY(log.at(0).at(0).toString().startsWith(QStringLiteral("File closed: ")));
        recorder.appendData(sample(QStringLiteral("t"), QStringLiteral("1"), QStringLiteral("0")));
        recorder.stop();
        QCOMPARE(lines(first).size(), 6);
        QCOMPARE(lines(second).last(), QStringLiteral("t;1;0;"));
    }

    void creationFailure()
    {
        CClockedRecordFile recorder;
        recorder.setHeaderNames(headers());
        QSignalSpy errors(&recorder, &CRecordFile::errorMessage);
        QSignalSpy log(&recorder, &CRecordFile::logMessage);
        // A regular file cannot be a directory, whoever runs the test.
        const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
        QFile block(blocker);
        QVERIFY(block.open(QIODevice::WriteOnly));
        block.close();
        const QString name = blocker + QStringLiteral("/record.csv");

        QVERIFY(!recorder.start(name));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("Data recording"));
        QCOMPARE(errors.at(0).at(1).toString(), QStringLiteral("Could not create file '%1'!").arg(QDir::toNativeSeparators(name)));
        QVERIFY(recorder.fileName().isEmpty());
        recorder.appendData(sample(QStringLiteral("t"), QStringLiteral("1"), QStringLiteral("0")));
        QVERIFY(recorder.stop());
        QCOMPARE(log.count(), 0);

        // A later start into a good place records again.
        QVERIFY(recorder.start(m_dir.filePath(QStringLiteral("recovered.csv"))));
    }
};

QTEST_GUILESS_MAIN(tst_CRecordFile)
#include "tst_CRecordFile.moc"
