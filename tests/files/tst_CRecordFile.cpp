#include "files/CRecordFile.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// A recorder whose clock the test sets, so that rotation needs no waiting.
class CClockedRecordFile : public CRecordFile
{
public:
    explicit CClockedRecordFile(const QString& filePath = QString())
    {
        setLanguage(QStringLiteral("english"));
        setHeaderNames({{"time", "Time"}, {"temp", "Actual value [°C]"}, {"relay", "Relay"}});
        setDevice(QStringLiteral("TC200"), QStringLiteral("1.00"));
        if (!filePath.isEmpty())
            setFilePath(filePath);
    }
    QDateTime now = QDateTime(QDate(2024, 5, 17), QTime(13, 45, 27));

protected:
    QDateTime currentDateTime() const override { return now; }
};

class tst_CRecordFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // The lines of a file, each ended by a line break.
    static QStringList lines(const QString& fileName)
    {
        QFile file(fileName);
        const QString text = file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(file.readAll()) : QString();
        return text.endsWith('\n') ? text.chopped(1).split('\n') : QStringList{"<unended or unreadable>"};
    }

    static QStringList header(const QString& device, const QString& version, const QDateTime& start)
    {
        return {"#;paramica-test;Version 2.3.4;english;", QStringLiteral("#;Date:;%1;").arg(start.toString("dd.MM.yyyy hh:mm:ss")),
                QStringLiteral("#;Device:;%1;").arg(device), QStringLiteral("#;Process data version:;%1;").arg(version), "", "Time;Actual value [°C];Relay;"};
    }

    static QHash<QString, QString> sample(const QString& time, const QString& temp, const QString& relay)
    {
        return {{"time", time}, {"temp", temp}, {"relay", relay}};
    }

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
        QSignalSpy log(&recorder, &CRecordFile::logMessage);
        QVERIFY(recorder.stop()); // nothing to stop yet
        const QString name = m_dir.filePath(QStringLiteral("rows.csv"));
        QVERIFY(recorder.start(m_dir.filePath(QStringLiteral("replaced.csv"))));
        QVERIFY(recorder.start(name)); // closes the running file first
        QCOMPARE(recorder.fileName(), name);
        recorder.appendData(sample("13:45:27", "21,5", "On"));
        recorder.appendData({{"temp", "22,0"}, {"other", "x"}}); // missing keys give empty fields
        recorder.appendData({});                                 // nothing to write
        QVERIFY(recorder.stop());
        QVERIFY(recorder.fileName().isEmpty());
        recorder.appendData(sample("late", "1", "1"));

        QCOMPARE(lines(name), header("TC200", "1.00", recorder.now) + QStringList({"13:45:27;21,5;On;", ";22,0;;"}));
        QCOMPARE(lines(m_dir.filePath(QStringLiteral("replaced.csv"))), header("TC200", "1.00", recorder.now));
        const QString native = QDir::toNativeSeparators(name);
        QCOMPARE(log.at(2).at(0).toString() + "|" + log.at(3).at(0).toString(), QStringLiteral("File created: %1|File closed: %1").arg(native));
        QCOMPARE(log.count(), 4);

        // Read back as the chart takes a recording: decimal commas, On as 1.
        QString error;
        const QHash<QString, QVector<QVariant>> block = CRecordFile::readRecord(name, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(block.value("Actual value [°C]"), (QVector<QVariant>{21.5, 22.0}));
        QCOMPARE(block.value("Relay"), (QVector<QVariant>{1.0, QString()}));
        QVERIFY(CRecordFile::readRecord(m_dir.filePath(QStringLiteral("replaced.csv")), &error).isEmpty());
        QCOMPARE(error, QStringLiteral("The file holds no samples."));
    }

    // Each interval choice rotates exactly when its hours have passed; the
    // other choices never rotate. Generated names carry the device without
    // the characters file systems refuse.
    void rotationAndGeneratedNames()
    {
        // interval index, its hours, device, its part of the file name
        const QList<std::tuple<int, int, QString, QString>> choices = {
            {0, 0, "TC200", "TC200"}, {1, 2, "TC:200/A", "TC_200_A"}, {2, 4, "a*b/c\\d!e|f:g?h<i>j", "a_b_c_d_e_f_g_h_i_j"}, {3, 8, "", "unnamed"},
            {4, 12, "TC200", "TC200"}, {5, 24, "TC200", "TC200"}, {6, 28, "TC200", "TC200"}, {7, 0, "TC200", "TC200"}, {-1, 0, "TC200", "TC200"}};
        for (const auto& [index, hours, device, part] : choices) {
            QTemporaryDir dir;
            CClockedRecordFile recorder(dir.path());
            recorder.setDevice(device, QStringLiteral("2.01"));
            recorder.setFileInterval(index);
            const QDateTime start = recorder.now;
            QVERIFY(recorder.start(QString()));
            const QString first = recorder.fileName();
            QCOMPARE(first, dir.filePath(part + QStringLiteral("_20240517134527.csv")));
            const qint64 interval = hours ? qint64(hours) * 3600 : 1000 * 3600;
            recorder.now = start.addSecs(interval - 1);
            recorder.appendData(sample("before", "1", "0"));
            QCOMPARE(recorder.fileName(), first);
            recorder.now = start.addSecs(interval);
            recorder.appendData(sample("due", "2", "0"));
            const QString second = recorder.fileName();
            recorder.appendData(sample("after", "3", "1"));
            recorder.stop();

            // Without an interval all three samples stay in the first file.
            QCOMPARE(second, hours ? dir.filePath(QStringLiteral("%1_%2.csv").arg(part, recorder.now.toString("yyyyMMddhhmmss"))) : first);
            QCOMPARE(lines(first), header(part, "2.01", start) + QStringList({"before;1;0;", "due;2;0;"}) + (hours ? QStringList() : QStringList{"after;3;1;"}));
            if (hours)
                QCOMPARE(lines(second), header(part, "2.01", recorder.now) + QStringList({"after;3;1;"}));
        }
    }

    void creationFailure()
    {
        CClockedRecordFile recorder;
        QSignalSpy errors(&recorder, &CRecordFile::errorMessage);
        QSignalSpy log(&recorder, &CRecordFile::logMessage);
        // A regular file cannot be a directory, whoever runs the test.
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString name = blocker.fileName() + QStringLiteral("/record.csv");

        QVERIFY(!recorder.start(name));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0), (QVariantList{"Data recording", QStringLiteral("Could not create file '%1'!").arg(QDir::toNativeSeparators(name))}));
        QVERIFY(recorder.fileName().isEmpty());
        recorder.appendData(sample("t", "1", "0"));
        QVERIFY(recorder.stop());
        QCOMPARE(log.count(), 0);
        // A later start into a good place records again.
        QVERIFY(recorder.start(m_dir.filePath(QStringLiteral("recovered.csv"))));
    }
};

QTEST_GUILESS_MAIN(tst_CRecordFile)
#include "tst_CRecordFile.moc"
