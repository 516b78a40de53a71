#include "backend/CDataBackend.h"
#include "items/CItem.h"
#include "models/CProgramTableModel.h"
#include "support/CSimulatorProcess.h"
#include "xml/CXmlParser.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

// The sample TC200's weekly program: seven days, two switch-on and two
// switch-off times of day per day.
class tst_CProgramTableModel : public QObject
{
    Q_OBJECT

    static QList<CDeviceDescription::FeatureValue> programLines()
    {
        CXmlParser parser;
        parser.readFileDeviceId(QCoreApplication::applicationDirPath() + QStringLiteral("/xml/TC200_V100.xml"));
        return parser.deviceDescription().features.value("Programme").value("Weekly program");
    }

    static CProgramTableModel* build(QObject* parent)
    {
        auto* model = new CProgramTableModel(parent);
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
        model->setup(QStringLiteral("Weekly program"), programLines());
        return model;
    }

private slots:
    void table()
    {
        QObject owner;
        CProgramTableModel* program = build(&owner);
        QCOMPARE(program->objectName(), QStringLiteral("Weekly program"));
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
        QCOMPARE(CProgramTableModel::columnRefFromString(QStringLiteral("Column12_Off")), QStringLiteral("Off"));
        QVERIFY(CProgramTableModel::columnRefFromString(QStringLiteral("Column3")).isEmpty());
    }

    void requestsCarryTheWholeProgram()
    {
        QObject owner;
        CProgramTableModel* program = build(&owner);
        const CRequest read = program->readData();
        QCOMPARE(int(read.type), int(REQUEST_READ_PROGRAM));
        QCOMPARE(int(read.functionCode), 3);
        QCOMPARE(int(read.readAddress), 12288);
        QCOMPARE(int(read.readLength), 56);

        const CRequest write = program->writeData();
        QCOMPARE(int(write.type), int(REQUEST_WRITE_PROGRAM));
        QCOMPARE(int(write.functionCode), 16);
        QCOMPARE(int(write.writeAddress), 12288);
        QCOMPARE(int(write.writeLength), 56);
        // All switch-on times first (day by day, left to right), then the switch-off times.
        QCOMPARE(write.data.left(4), QByteArray::fromHex("00180040"));
        QCOMPARE(write.data.mid(28, 4), QByteArray::fromHex("00300058"));
    }

    void answerFillsCellsInDeviceOrder()
    {
        QObject owner;
        CProgramTableModel* program = build(&owner);
        QByteArray answer;
        for (int i = 0; i < 28; ++i)
            answer.append(char(0)).append(char(i));
        answer.chop(1); // the last cell no longer fits
        program->decodeData(answer);
        QCOMPARE(program->itemAt(program->index(0, 0))->value().toInt(), 0);
        QCOMPARE(program->itemAt(program->index(0, 2))->value().toInt(), 1);
        QCOMPARE(program->itemAt(program->index(1, 0))->value().toInt(), 2);
        QCOMPARE(program->itemAt(program->index(0, 1))->value().toInt(), 14);
        QCOMPARE(program->itemAt(program->index(6, 3))->value().toInt(), 88); // kept its default

        program->decodeData(QByteArray::fromHex("ffff"));
        QCOMPARE(program->data(program->index(0, 0)).toString(), QStringLiteral("--:--"));
    }

    void editing_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("quarters");
        QTest::newRow("quarter past six") << "06:15" << true << 25;
        QTest::newRow("midnight at the end") << "24:00" << true << 96;
        QTest::newRow("not on a quarter") << "06:10" << false << 24;
        QTest::newRow("past the end of the day") << "24:15" << false << 24;
        QTest::newRow("no time") << "soon" << false << 24;
    }

    void editing()
    {
        QFETCH(QString, input);
        QFETCH(bool, accepted);
        QFETCH(int, quarters);
        QObject owner;
        CProgramTableModel* program = build(&owner);
        QSignalSpy refused(program, &CProgramTableModel::inputRefused);
        QCOMPARE(program->setData(program->index(0, 0), input), accepted);
        QCOMPARE(program->itemAt(program->index(0, 0))->value().toInt(), quarters);
        QCOMPARE(refused.count(), accepted ? 0 : 1);
        if (!accepted)
            QVERIFY(refused.first().first().toString().contains(QStringLiteral("Monday")));
    }

    void writtenAndReadBackThroughTheSimulator()
    {
        CSimulatorProcess simulator;
        QVERIFY(simulator.startTcp());
        CDataBackend* backend = CDataBackend::instance();
        backend->setComProtocol(PROTOCOL_MODBUS_TCP);
        QVERIFY(backend->openInterface(INTERFACE_TCP, simulator.endpoint(), 1));
        QObject owner;
        CProgramTableModel* program = build(&owner);
        QVERIFY(program->setData(program->index(2, 1), QStringLiteral("13:45")));
        QSignalSpy acks(backend, &CDataBackend::deviceAckResponse);
        backend->buildRequest(program->writeData());
        QVERIFY(acks.wait(5000));

        CProgramTableModel* copy = build(&owner);
        connect(backend, &CDataBackend::programDataResponse, copy, [copy](const QByteArray& data) {
            copy->decodeData(data.mid(2)); // after the start address
        });
        QSignalSpy answers(backend, &CDataBackend::programDataResponse);
        backend->buildRequest(copy->readData());
        QVERIFY(answers.wait(5000));
        QCOMPARE(copy->data(copy->index(2, 1)).toString(), QStringLiteral("13:45 "));
        QCOMPARE(copy->buildRequestData(), program->buildRequestData());
        backend->closeInterface();
    }
};

QTEST_MAIN(tst_CProgramTableModel)
#include "tst_CProgramTableModel.moc"
