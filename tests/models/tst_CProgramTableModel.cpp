#include "items/CItem.h"
#include "models/CProgramTableModel.h"
#include "support/CSampleDescription.h"

#include <QSignalSpy>
#include <QTest>

// The sample TC200's weekly program: seven days, two switch-on and two
// switch-off times of day per day.
class tst_CProgramTableModel : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;

private slots:
    void initTestCase() { QVERIFY(m_sample.isValid()); }

    void table()
    {
        QObject owner;
        CProgramTableModel* program = m_sample.buildProgram(QStringLiteral("Weekly program"), &owner);
        QCOMPARE(program->rowCount(), 7);
        QCOMPARE(program->columnCount(), 4);
        QCOMPARE(program->headerData(0, Qt::Vertical).toString(), QStringLiteral("Monday"));
        QCOMPARE(program->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Off 2"));
        QCOMPARE(program->headerData(9, Qt::Horizontal).toString(), QStringLiteral("?"));
        QCOMPARE(program->data(program->index(0, 0)).toString(), QStringLiteral("06:00 "));
        QCOMPARE(program->data(program->index(6, 3)).toString(), QStringLiteral("22:00 "));
        QCOMPARE(program->data(program->index(0, 0), Qt::ToolTipRole).toString(),
                 QStringLiteral("Settings range min: 00:00\nSettings range max: 24:00"));
        QVERIFY(program->flags(program->index(0, 0)) & Qt::ItemIsEditable);
        program->decodeData(QByteArray::fromHex("ffff")); // below the minimum
        QCOMPARE(program->data(program->index(0, 0)).toString(), QStringLiteral("--:--"));
        QCOMPARE(CProgramTableModel::columnRefFromString(QStringLiteral("Column12_Off")), QStringLiteral("Off"));
        QVERIFY(CProgramTableModel::columnRefFromString(QStringLiteral("Column3")).isEmpty());
    }

    void requestsCarryTheWholeProgram()
    {
        QObject owner;
        CProgramTableModel* program = m_sample.buildProgram(QStringLiteral("Weekly program"), &owner);
        const CRequest read = program->readData();
        QCOMPARE(QList<int>({ read.type, read.functionCode, read.readAddress, read.readLength, read.data.size() }),
                 QList<int>({ REQUEST_READ_PROGRAM, 3, 12288, 56, 0 }));
        const CRequest write = program->writeData();
        QCOMPARE(QList<int>({ write.type, write.functionCode, write.writeAddress, write.writeLength, write.data.size() }),
                 QList<int>({ REQUEST_WRITE_PROGRAM, 16, 12288, 56, 56 }));
        // All switch-on times first (day by day, left to right), then the switch-off times.
        QCOMPARE(write.data.left(4), QByteArray::fromHex("00180040"));
        QCOMPARE(write.data.mid(28, 4), QByteArray::fromHex("00300058"));
    }

    // The item judges the text; the model takes the value or says why not.
    void editing()
    {
        QObject owner;
        CProgramTableModel* program = m_sample.buildProgram(QStringLiteral("Weekly program"), &owner);
        QSignalSpy refused(program, &CProgramTableModel::inputRefused);
        QSignalSpy changed(program, &QAbstractItemModel::dataChanged);
        const QModelIndex monday = program->index(0, 0);
        QVERIFY(program->setData(monday, QStringLiteral("06:15")));
        QVERIFY(!changed.isEmpty());
        QVERIFY(!program->setData(monday, QStringLiteral("06:10"))); // not on a quarter hour
        QCOMPARE(program->itemAt(monday)->value().toInt(), 25);
        QCOMPARE(refused.count(), 1);
        QVERIFY(refused.first().first().toString().contains(QStringLiteral("Monday")));
    }
};

QTEST_MAIN(tst_CProgramTableModel)
#include "tst_CProgramTableModel.moc"
