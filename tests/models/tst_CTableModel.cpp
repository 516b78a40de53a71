#include "items/CItem.h"
#include "models/CTableModel.h"
#include "support/CSampleDescription.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QFont>
#include <QSignalSpy>
#include <QTest>

// Flat tables of a description section, built from the sample description.
class tst_CTableModel : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;

    CTableModel* build(const QString& object, QObject* parent)
    {
        auto* model = new CTableModel(object, parent);
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
        const CElementMap* map = m_sample.object(object);
        model->setupListEntries(map->lists);
        model->setupBitfieldEntries(map->bitfields);
        return model->setupModel(map->classes) ? nullptr : model;
    }

    static QByteArray block(quint16 address, const QByteArray& registers)
    {
        return QByteArray(1, char(address >> 8)) + QByteArray(1, char(address & 0xFF)) + registers;
    }

private slots:
    void initTestCase() { QVERIFY(m_sample.isValid()); }

    void captionRowsFollowTheirRows()
    {
        QObject owner;
        CTableModel* parameter = build(QStringLiteral("Parameter"), &owner);
        QVERIFY(parameter);
        QCOMPARE(parameter->columnCount(), 2);
        QCOMPARE(parameter->rowCount(), 10 + 1 + 10 + 1 + 1);
        QCOMPARE(parameter->itemAt(0)->objectName(), QStringLiteral("Sollwerte_Sollwert"));
        QCOMPARE(parameter->itemAt(10)->type(), CItem::TYPE_GROUP);
        QCOMPARE(parameter->itemAt(10)->objectName(), QStringLiteral("Sollwerte"));
        QCOMPARE(parameter->itemAt(11)->objectName(), QStringLiteral("Betrieb_Sprache"));
        QCOMPARE(parameter->itemAt(21)->objectName(), QStringLiteral("Betrieb"));
        QCOMPARE(parameter->itemAt(22)->type(), CItem::TYPE_OBJECT);
        QCOMPARE(parameter->itemAt(22)->objectName(), QStringLiteral("Regelung"));
        QVERIFY(!parameter->itemAt(-1));
        QVERIFY(!parameter->itemAt(parameter->rowCount()));

        // Bits are children of their bitfield, not rows.
        const CItem* options = parameter->itemAt(12);
        QCOMPARE(options->objectName(), QStringLiteral("Betrieb_Optionen"));
        QVERIFY(options->findChild<CItem*>(QStringLiteral("Betrieb_Optionen_Alarm")));
    }

    void captionLookupSkipsDataRows()
    {
        QObject owner;
        CTableModel* parameter = build(QStringLiteral("Parameter"), &owner);
        QCOMPARE(parameter->itemByCaption(QStringLiteral("Control")), parameter->itemAt(22));
        QCOMPARE(parameter->itemByCaption(QStringLiteral("Operation")), parameter->itemAt(21));
        QVERIFY(!parameter->itemByCaption(QStringLiteral("Setpoint")));
        QVERIFY(!parameter->itemByCaption(QStringLiteral("control")));
    }

    void roles()
    {
        QObject owner;
        CTableModel* parameter = build(QStringLiteral("Parameter"), &owner);
        QCOMPARE(parameter->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Caption"));
        QCOMPARE(parameter->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
        QVERIFY(!parameter->headerData(0, Qt::Vertical).isValid());

        const QModelIndex setpoint = parameter->index(0, 1);
        parameter->itemAt(0)->setValue(215);
        QCOMPARE(parameter->data(parameter->index(0, 0)).toString(), QStringLiteral("Setpoint"));
        QCOMPARE(parameter->data(setpoint).toString(), QStringLiteral("21,5 °C"));
        QCOMPARE(parameter->data(setpoint, Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        QVERIFY(!parameter->data(setpoint, Qt::BackgroundRole).isValid());

        const QModelIndex object = parameter->index(22, 0);
        QCOMPARE(parameter->data(object, Qt::FontRole).value<QFont>().weight(), 75);
        QCOMPARE(parameter->data(object, Qt::BackgroundRole).value<QColor>(), CParamicaModel::TABLE_CAPTION_COLOR);
        QCOMPARE(parameter->data(parameter->index(22, 1), Qt::BackgroundRole).value<QColor>(),
                 CParamicaModel::TABLE_CAPTION_COLOR);
        QVERIFY(!parameter->data(setpoint, Qt::ToolTipRole).isValid());
    }

    void specialValueTextAtTheMinimum()
    {
        QObject owner;
        CTableModel* parameter = build(QStringLiteral("Parameter"), &owner);
        CItem* hysteresis = parameter->itemAt(1);
        hysteresis->setSpecialValueText(QStringLiteral("off"));
        hysteresis->setValue(0);
        QCOMPARE(parameter->data(parameter->index(1, 1)).toString(), QStringLiteral("off"));
        hysteresis->setValue(20);
        QCOMPARE(parameter->data(parameter->index(1, 1)).toString(), QStringLiteral("2,0 K"));
    }

    void valueChangesRepaintTheValueCell()
    {
        QObject owner;
        CTableModel* parameter = build(QStringLiteral("Parameter"), &owner);
        QSignalSpy changed(parameter, &QAbstractItemModel::dataChanged);
        parameter->itemAt(3)->setValue(0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex(), parameter->index(3, 1));
        QCOMPARE(changed.first().at(1).toModelIndex(), parameter->index(3, 1));
    }

    void answersAreDistributed()
    {
        QObject owner;
        CTableModel* process = build(QStringLiteral("PabOut"), &owner);
        QVERIFY(process);
        QSignalSpy finished(process, &CTableModel::dataFinished);
        QSignalSpy changed(process, &QAbstractItemModel::dataChanged);

        process->newMultipleData(block(0x1300, QByteArray::fromHex("00d7")));
        QCOMPARE(finished.count(), 0);
        QCOMPARE(changed.count(), 0);

        const QByteArray registers = QByteArray::fromHex("00d7" "002a" "0001" "3f800000");
        process->newMultipleData(block(0x1200, registers));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toByteArray(), registers);
        QCOMPARE(process->data(process->index(0, 1)).toString(), QStringLiteral("21,5 °C"));
        QCOMPARE(process->itemAt(1)->value().toInt(), 42);
    }

    void readOnlyAndTranslation()
    {
        QObject owner;
        CTableModel* parameter = build(QStringLiteral("Parameter"), &owner);
        parameter->setReadOnly(true);
        QVERIFY(parameter->isReadOnly());
        for (int row = 0; row < parameter->rowCount(); ++row)
            QVERIFY(parameter->itemAt(row)->isReadOnly());

        parameter->setupTranslationTexts({ { QStringLiteral("Deutsch"),
                                             { { QStringLiteral("Setpoint"), QStringLiteral("Sollwert") } } } });
        parameter->updateModelTranslation(QStringLiteral("Deutsch"));
        QCOMPARE(parameter->data(parameter->index(0, 0)).toString(), QStringLiteral("Sollwert"));
    }
};

QTEST_MAIN(tst_CTableModel)
#include "tst_CTableModel.moc"
