#include "items/CItem.h"

#include <QMetaMethod>
#include <QSignalSpy>
#include <QTest>

namespace {

typedef QHash<QString, QString> Attributes;

QVariantMap fieldsOf(const CItem& item)
{
    return {{"id", item.id()}, {"type", int(item.type())}, {"readOnly", item.isReadOnly()}, {"visible", item.isVisible()},
            {"caption", item.caption()}, {"unit", item.unit()}, {"min", item.minimum()}, {"max", item.maximum()},
            {"factor", item.decimalFactor()}, {"precision", item.precision()}, {"specialValueText", item.specialValueText()},
            {"specialOutput", item.specialOutput()}, {"infoNumber", item.infoNumber()}, {"value", item.value()},
            {"defaultValue", item.defaultValue()}};
}

// The tree a model builds from one object of a description.
struct STRUCT_TREE {
    CItem root;
    CItem* object = node(&root, CItem::TYPE_OBJECT, "Parameter", "Class");
    CItem* direct = node(object, CItem::TYPE_UINT16_T, "Parameter_Direct", "Direct");
    CItem* group = node(object, CItem::TYPE_GROUP, "Inputs", "Inputs");
    CItem* input = node(group, CItem::TYPE_UINT16_T, "Inputs_Input1", "Input 1");
    CItem* sub = node(group, CItem::TYPE_GROUP, "Sub", "Sub");
    CItem* deep = node(sub, CItem::TYPE_INT16_T, "Sub_Deep", "Deep");

    static CItem* node(CItem* parent, CItem::ENUM_DATA_TYPES type, const char* name, const char* caption)
    {
        CItem* item = new CItem(parent);
        item->setType(type);
        item->setObjectName(QString::fromLatin1(name));
        item->setCaption(QString::fromLatin1(caption));
        QObject::connect(item, &CItem::visibleChanged, parent, &CItem::childVisibilityChanged);
        return item;
    }
};

} // namespace

class tst_CItemAttributes : public QObject
{
    Q_OBJECT

private slots:
    void setup_data()
    {
        QTest::addColumn<int>("initialType");
        QTest::addColumn<Attributes>("attributes");
        QTest::addColumn<bool>("unknownType");
        QTest::addColumn<QVariantMap>("fields");
        QTest::addColumn<QVariantMap>("signalCounts");

        QTest::newRow("full line") << 0
            << Attributes{{"DataId", "12"}, {"Datatype", "uint16_t"}, {"ReadOnly", "false"}, {"Visibility", "true"}, {"Default", "5"}, {"Divider", "10"}, {"Min", "0"},
                          {"Max", "100"}, {"Text", "Temperature"}, {"TextIfOut", "Off"}, {"TextIfStandby", "Standby"}, {"Unit", "K"}, {"Infonummer", "P1.2"}, {"Parameter", "Temp"}}
            << false
            << QVariantMap{{"id", 12}, {"type", 5}, {"readOnly", false}, {"visible", true}, {"caption", "Temperature"}, {"unit", "K"}, {"min", 0.0}, {"max", 100.0}, {"factor", 10.0},
                           {"precision", 1.0}, {"specialValueText", "Off"}, {"specialOutput", "Standby"}, {"infoNumber", "P1.2"}, {"value", 5.0f}, {"defaultValue", 5.0f}}
            << QVariantMap{{"decimalFactorChanged", 1}, {"precisionChanged", 1}, {"unitChanged", 1}, {"newValue", 1}, {"visibleChanged", 0}, {"readOnlyChanged", 0}};
        QTest::newRow("empty line") << 0 << Attributes() << false
            << QVariantMap{{"id", -1}, {"type", 0}, {"readOnly", false}, {"visible", true}, {"factor", 1.0}, {"precision", 0.0}, {"value", 0}, {"defaultValue", 0}, {"specialOutput", ""}}
            << QVariantMap{{"unitChanged", 0}, {"newValue", 0}};
        QTest::newRow("ReadOnly False") << 0 << Attributes{{"ReadOnly", "False"}} << false << QVariantMap{{"readOnly", true}} << QVariantMap{{"readOnlyChanged", 1}};
        QTest::newRow("ReadOnly false") << 0 << Attributes{{"ReadOnly", "false"}} << false << QVariantMap{{"readOnly", false}} << QVariantMap{{"readOnlyChanged", 0}};
        QTest::newRow("Visibility false") << 0 << Attributes{{"Visibility", "false"}} << false << QVariantMap{{"visible", false}} << QVariantMap{{"visibleChanged", 1}};
        QTest::newRow("Divider 0") << 0 << Attributes{{"Divider", "0"}} << false << QVariantMap{{"factor", 1.0}, {"precision", 0.0}} << QVariantMap{{"decimalFactorChanged", 0}};
        QTest::newRow("Datatype in capitals, of another name") << 0 << Attributes{{"Datatype", "Liste"}} << false << QVariantMap{{"type", 12}} << QVariantMap();
        QTest::newRow("Datatype unknown keeps type") << 4 << Attributes{{"Datatype", "quad"}, {"DataId", "3"}} << true << QVariantMap{{"type", 4}, {"id", 3}} << QVariantMap();
        QTest::newRow("only Min") << 0 << Attributes{{"Min", "5"}} << false << QVariantMap{{"min", 0.0}, {"max", 0.0}} << QVariantMap();
        QTest::newRow("Min and Max") << 0 << Attributes{{"Min", "-10.5"}, {"Max", "20.25"}} << false << QVariantMap{{"min", -10.5}, {"max", 20.25}} << QVariantMap();
        QTest::newRow("Default of a list without texts") << 0 << Attributes{{"Datatype", "list16_t"}, {"Default", "2"}} << false << QVariantMap{{"value", 0}, {"defaultValue", 2.0f}} << QVariantMap{{"newValue", 1}};
    }

    void setup()
    {
        QFETCH(int, initialType);
        QFETCH(Attributes, attributes);
        QFETCH(bool, unknownType);
        QFETCH(QVariantMap, fields);
        QFETCH(QVariantMap, signalCounts);

        CItem item;
        item.setType(CItem::ENUM_DATA_TYPES(initialType));
        QHash<QString, QSharedPointer<QSignalSpy>> spies;
        for (int i = 0; i < item.metaObject()->methodCount(); ++i) {
            const QMetaMethod method = item.metaObject()->method(i);
            if (method.methodType() == QMetaMethod::Signal)
                spies.insert(QString::fromLatin1(method.name()), QSharedPointer<QSignalSpy>::create(&item, method));
        }
        QCOMPARE(item.setup(attributes), unknownType);
        const QVariantMap actual = fieldsOf(item);
        for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
            QVERIFY2(actual.value(it.key()) == it.value() && actual.value(it.key()).userType() == it.value().userType(), qPrintable(it.key()));
        }
        for (auto it = signalCounts.constBegin(); it != signalCounts.constEnd(); ++it)
            QVERIFY2(spies.value(it.key())->count() == it.value().toInt(), qPrintable(it.key()));
    }

    void translations()
    {
        CItem parent;
        CItem* item = new CItem(&parent);
        item->setCaption(QStringLiteral("Temperature"));
        item->setUnit(QStringLiteral("K"));
        item->setSpecialValueText(QStringLiteral("Off"));
        item->setSpecialOutput(QStringLiteral("Standby"));
        item->setTextList(QStringLiteral("low,,high"));
        parent.setupTranslations({{"de", {{"Temperature", "Temperatur"}, {"K", "Kelvin"}, {"Off", "Aus"}, {"low,,high", "niedrig,hoch"}, {"Standby", "Bereit"}}},
                                  {"fr", {{"Temperature", "Température"}}}});
        // language, then caption, unit, special value text and the list in it
        const QList<QPair<QString, QStringList>> cases = {{"", {"Temperature", "K", "Off", "low", "", "high"}}, {"de", {"Temperatur", "Kelvin", "Aus", "niedrig", "hoch"}},
                                                          {"fr", {"Température", "K", "Off", "low", "", "high"}}, {"it", {"Temperature", "K", "Off", "low", "", "high"}}};
        for (const auto& [language, texts] : cases) {
            parent.setLanguageId(language);
            QCOMPARE(QStringList({item->caption(), item->unit(), item->specialValueText()}) + item->texte(), texts);
            QCOMPARE(item->specialOutput(), QStringLiteral("Standby")); // never translated
            // The forms with an explicit language ignore the current one.
            parent.setLanguageId(QStringLiteral("de"));
            QCOMPARE(QStringList({item->caption(language), item->unit(language), item->specialValueText(language)}) + item->texte(language), texts);
        }
        // New translations replace the earlier ones.
        parent.setupTranslations({{"de", {{"Other", "Anderes"}}}});
        QCOMPARE(item->caption(QStringLiteral("de")), QStringLiteral("Temperature"));
    }

    // Captions of the ancestors below the class node, outermost first.
    void captionsInTheTree()
    {
        STRUCT_TREE tree;
        tree.root.setupTranslations({{"de", {{"Inputs", "Eingänge"}, {"Deep", "Tief"}}}});
        QCOMPARE(tree.direct->parentText() + "|" + tree.direct->extendedCaption(), QStringLiteral("|Direct"));
        QCOMPARE(tree.input->parentText() + "|" + tree.input->extendedCaption(), QStringLiteral("Inputs|Inputs - Input 1"));
        QCOMPARE(tree.deep->parentText() + "|" + tree.deep->extendedCaption(), QStringLiteral("Inputs - Sub|Inputs - Sub - Deep"));
        QCOMPARE(tree.group->parentText() + "|" + tree.group->extendedCaption(), QStringLiteral("|Inputs"));
        QCOMPARE(tree.deep->parentText("de") + "|" + tree.deep->extendedCaption("de"), QStringLiteral("Eingänge - Sub|Eingänge - Sub - Tief"));
        tree.root.setLanguageId(QStringLiteral("de"));
        QCOMPARE(tree.deep->parentText() + "|" + tree.deep->extendedCaption(), QStringLiteral("Eingänge - Sub|Eingänge - Sub - Tief"));

        QCOMPARE(tree.root.childrenCount(CItem::TYPE_GROUP), 2); // at every depth
        QVERIFY(tree.object->isExpandable() && !tree.sub->isExpandable()); // a group with items somewhere below
        // An object or group node's bytes are those of its items.
        QCOMPARE(tree.group->dataLength(), 4);
        QCOMPARE(tree.object->dataLength(), 6);
    }

    void visibilityFollowsChildren()
    {
        STRUCT_TREE tree;
        QSignalSpy groupVisible(tree.group, &CItem::visibleChanged);
        tree.input->setVisible(false);
        QVERIFY(tree.group->isVisible());
        QCOMPARE(tree.group->visibleChildren(), QList<QObject*>{tree.sub});
        QCOMPARE(tree.input->childNumber(), 0);
        QCOMPARE(tree.sub->childNumber(), 1);
        // A visible item below a hidden child keeps the group visible.
        tree.sub->setVisible(false);
        QVERIFY(tree.group->isVisible() && tree.group->visibleChildren().isEmpty());
        tree.sub->setVisible(true);

        // The last visible item below the group goes: the group follows.
        tree.deep->setVisible(false);
        QVERIFY(!tree.sub->isVisible() && !tree.group->isVisible() && tree.object->isVisible());
        QCOMPARE(groupVisible.count(), 1);
        QCOMPARE(tree.object->visibleChildren(), QList<QObject*>{tree.direct});

        tree.input->setVisible(true);
        QVERIFY(tree.group->isVisible() && !tree.sub->isVisible());
        tree.input->setVisible(true); // a signal that changes nothing is not repeated
        QCOMPARE(groupVisible.count(), 2);
    }

    void readOnlyCoversTheSubtree()
    {
        STRUCT_TREE tree;
        tree.object->setReadOnly(true);
        tree.group->setReadOnly(false);
        QVERIFY(tree.direct->isReadOnly() && !tree.deep->isReadOnly());

        QSignalSpy rootSpy(&tree.root, &CItem::readOnlyChanged);
        QSignalSpy objectSpy(tree.object, &CItem::readOnlyChanged);
        QSignalSpy deepSpy(tree.deep, &CItem::readOnlyChanged);
        tree.root.setReadOnly(true);
        tree.root.setReadOnly(true);
        for (CItem* item : tree.root.findChildren<CItem*>())
            QVERIFY2(item->isReadOnly(), qPrintable(item->objectName()));
        QCOMPARE((QList<int>{rootSpy.count(), objectSpy.count(), deepSpy.count()}), (QList<int>{1, 0, 1}));
    }

    void feature()
    {
        // name, text, value
        const QList<std::tuple<QString, QString, QVariant>> cases = {
            {"Address_RD", "0x1A", 26u}, {"Address_RD", "26", 26u}, {"Address_RD", "1A", 0u}, {"Address_WRS", "0x10", 16u}, {"FC_WR", "0x10", 0u},
            {"Address_XY", "0x10", 0u}, {"Function_RD", "0x03", "0x03"}, {"Enabled", "true", true}, {"Enabled", "True", false}};
        for (const auto& [name, text, value] : cases) {
            CItem item;
            item.setFeatures({{"Other", "1"}, {name, text}, {name, "0x7"}}); // the first of a name counts
            QVERIFY(item.hasFeature(name));
            QCOMPARE(item.feature(name).userType(), value.userType());
            QCOMPARE(item.feature(name), value);
            QVERIFY(!item.hasFeature(name.toLower()) && !item.feature(name.toLower()).isValid()); // case-sensitive
        }
    }
};

QTEST_GUILESS_MAIN(tst_CItemAttributes)
#include "tst_CItemAttributes.moc"
