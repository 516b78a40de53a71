#include "items/CItem.h"
#include "models/CTableModel.h"
#include "support/CSampleDescription.h"

#include <QColor>
#include <QFont>
#include <QTest>

// Flat tables of a description section, built from the sample description.
class tst_CTableModel : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;


private slots:
    void initTestCase() { QVERIFY(m_sample.isValid()); }

    void captionRowsFollowTheirRows()
    {
        QObject owner;
        auto* parameter = m_sample.build<CTableModel>(QStringLiteral("Parameter"), &owner);
        QVERIFY(parameter);
        QCOMPARE(parameter->columnCount(), 2);
        QCOMPARE(parameter->rowCount(), 10 + 1 + 10 + 1 + 1);
        QCOMPARE(parameter->itemAt(0)->objectName(), QStringLiteral("Sollwerte_Sollwert"));
        QCOMPARE(parameter->itemAt(10)->objectName(), QStringLiteral("Sollwerte"));
        QCOMPARE(parameter->itemAt(21)->type(), CItem::TYPE_GROUP);
        QCOMPARE(parameter->itemAt(22)->type(), CItem::TYPE_OBJECT);
        QVERIFY(!parameter->itemAt(-1));
        QVERIFY(!parameter->itemAt(parameter->rowCount()));
        // Bits are children of their bitfield, not rows.
        QVERIFY(parameter->itemAt(12)->findChild<CItem*>(QStringLiteral("Betrieb_Optionen_Alarm")));

        // Captions are looked up among the object and group rows only.
        QCOMPARE(parameter->itemByCaption(QStringLiteral("Control")), parameter->itemAt(22));
        QCOMPARE(parameter->itemByCaption(QStringLiteral("Operation")), parameter->itemAt(21));
        QVERIFY(!parameter->itemByCaption(QStringLiteral("Setpoint")));
        QVERIFY(!parameter->itemByCaption(QStringLiteral("control")));
    }

    void roles()
    {
        QObject owner;
        auto* parameter = m_sample.build<CTableModel>(QStringLiteral("Parameter"), &owner);
        QCOMPARE(parameter->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Caption"));
        QCOMPARE(parameter->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
        QVERIFY(!parameter->headerData(0, Qt::Vertical).isValid());

        const QModelIndex setpoint = parameter->index(0, 1);
        QCOMPARE(parameter->data(parameter->index(0, 0)).toString(), QStringLiteral("Setpoint"));
        QCOMPARE(parameter->data(setpoint).toString(), QStringLiteral("21,5 °C"));
        QCOMPARE(parameter->data(setpoint, Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        QVERIFY(!parameter->data(setpoint, Qt::BackgroundRole).isValid());
        QVERIFY(!parameter->data(setpoint, Qt::ToolTipRole).isValid());
        const QModelIndex object = parameter->index(22, 0);
        QCOMPARE(parameter->data(object, Qt::FontRole).value<QFont>().weight(), 75);
        QCOMPARE(parameter->data(object, Qt::BackgroundRole).value<QColor>(), CParamicaModel::TABLE_CAPTION_COLOR);
        QCOMPARE(parameter->data(object.sibling(22, 1), Qt::BackgroundRole).value<QColor>(),
                 CParamicaModel::TABLE_CAPTION_COLOR);

        // The special value text stands for values at or below the minimum.
        CItem* hysteresis = parameter->itemAt(1);
        hysteresis->setSpecialValueText(QStringLiteral("off"));
        hysteresis->setValue(0);
        QCOMPARE(parameter->data(parameter->index(1, 1)).toString(), QStringLiteral("off"));
        hysteresis->setValue(20);
        QCOMPARE(parameter->data(parameter->index(1, 1)).toString(), QStringLiteral("2,0 K"));

        // The language and the read-only state reach every row.
        parameter->setupTranslationTexts({ { "Deutsch", { { "Setpoint", "Sollwert" }, { "Control", "Regelung" } } } });
        parameter->updateModelTranslation(QStringLiteral("Deutsch"));
        QCOMPARE(parameter->data(parameter->index(0, 0)).toString(), QStringLiteral("Sollwert"));
        QCOMPARE(parameter->data(object).toString(), QStringLiteral("Regelung"));
        parameter->setReadOnly(true);
        QVERIFY(parameter->isReadOnly() && parameter->itemAt(0)->isReadOnly() && parameter->itemAt(22)->isReadOnly());
    }
};

QTEST_MAIN(tst_CTableModel)
#include "tst_CTableModel.moc"
