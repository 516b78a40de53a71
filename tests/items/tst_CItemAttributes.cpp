#include "items/CItem.h"

#include <QCoreApplication>
#include <QMetaType>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

namespace {

typedef QHash<QString, QString> Attributes;
typedef QHash<QString, QHash<QString, QString>> Languages;

QVariant fieldOf(const CItem& item, const QString& name)
{
    if (name == "id")
        return item.id();
    if (name == "type")
        return int(item.type());
    if (name == "readOnly")
        return item.isReadOnly();
    if (name == "visible")
        return item.isVisible();
    if (name == "caption")
        return item.caption();
    if (name == "unit")
        return item.unit();
    if (name == "min")
        return item.minimum();
    if (name == "max")
        return item.maximum();
    if (name == "factor")
        return item.decimalFactor();
    if (name == "precision")
        return item.precision();
    if (name == "specialValueText")
        return item.specialValueText();
    if (name == "specialOutput")
        return item.specialOutput();
    if (name == "infoNumber")
        return item.infoNumber();
    if (name == "value")
        return item.value();
    if (name == "defaultValue")
        return item.defaultValue();
    return QVariant();
}

// The tree a model builds from one object of a description.
struct STRUCT_TREE {
    CItem root;
    CItem* object;
    CItem* direct;
    CItem* group;
    CItem* input;
    CItem* sub;
    CItem* deep;

    STRUCT_TREE()
    {
        root.setObjectName(QStringLiteral("Root"));
        object = node(&root, CItem::TYPE_OBJECT, "Parameter", "Class");
        direct = node(object, CItem::TYPE_UINT16_T, "Parameter_Direct", "Direct");
        group = node(object, CItem::TYPE_GROUP, "Inputs", "Inputs");
        input = node(group, CItem::TYPE_UINT16_T, "Inputs_Input1", "Input 1");
        sub = node(group, CItem::TYPE_GROUP, "Sub", "Sub");
        deep = node(sub, CItem::TYPE_INT16_T, "Sub_Deep", "Deep");
    }

    static CItem* node(CItem* parent, CItem::ENUM_DATA_TYPES type, const char* name, const char* caption)
    {
        CItem* item = new CItem(parent);
        item->setType(type);
        item->setObjectName(QString::fromLatin1(name));
        item->setCaption(QString::fromLatin1(caption));
        QObject::connect(item, &CItem::visibleChanged, parent, &CItem::childVisibilityChanged);
        return item;
    }

    CItem* find(const QString& name) { return root.findChild<CItem*>(name); }
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

        QTest::newRow("full line")
            << 0
            << Attributes{{"DataId", "12"},     {"Datatype", "uint16_t"}, {"ReadOnly", "false"},
                          {"Visibility", "true"}, {"Default", "5"},        {"Divider", "10"},
                          {"Min", "0"},          {"Max", "100"},          {"Text", "Temperature"},
                          {"TextIfOut", "Off"},  {"TextIfStandby", "Standby"}, {"Unit", QString::fromUtf8("°C")},
                          {"Infonummer", "P1.2"}, {"Parameter", "Temp"}}
            << false
            << QVariantMap{{"id", 12},           {"type", 5},
                           {"readOnly", false},  {"visible", true},
                           {"caption", "Temperature"}, {"unit", QString::fromUtf8("°C")},
                           {"min", 0.0},         {"max", 100.0},
                           {"factor", 10.0},     {"precision", 1.0},
                           {"specialValueText", "Off"}, {"specialOutput", "Standby"},
                           {"infoNumber", "P1.2"}, {"value", 5.0f},
                           {"defaultValue", 5.0f}}
            << QVariantMap{{"decimalFactorChanged", 1}, {"precisionChanged", 1}, {"unitChanged", 1},
                           {"newValue", 1},             {"visibleChanged", 0},   {"readOnlyChanged", 0}};
        QTest::newRow("empty line")
            << 0 << Attributes() << false
            << QVariantMap{{"id", -1},      {"type", 0},      {"readOnly", false}, {"visible", true},
                           {"factor", 1.0}, {"precision", 0.0}, {"value", 0},      {"defaultValue", 0},
                           {"caption", ""}, {"specialOutput", ""}}
            << QVariantMap{{"unitChanged", 0}, {"newValue", 0}};
        QTest::newRow("ReadOnly False") << 0 << Attributes{{"ReadOnly", "False"}} << false
                                        << QVariantMap{{"readOnly", true}} << QVariantMap{{"readOnlyChanged", 1}};
        QTest::newRow("ReadOnly false") << 0 << Attributes{{"ReadOnly", "false"}} << false
                                        << QVariantMap{{"readOnly", false}} << QVariantMap{{"readOnlyChanged", 0}};
        QTest::newRow("Visibility false") << 0 << Attributes{{"Visibility", "false"}} << false
                                          << QVariantMap{{"visible", false}} << QVariantMap{{"visibleChanged", 1}};
        QTest::newRow("Visibility FALSE") << 0 << Attributes{{"Visibility", "FALSE"}} << false
                                          << QVariantMap{{"visible", true}} << QVariantMap{{"visibleChanged", 0}};
        QTest::newRow("Divider 0") << 0 << Attributes{{"Divider", "0"}} << false
                                   << QVariantMap{{"factor", 1.0}, {"precision", 0.0}}
                                   << QVariantMap{{"decimalFactorChanged", 0}, {"precisionChanged", 0}};
        QTest::newRow("Divider 100") << 0 << Attributes{{"Divider", "100"}} << false
                                     << QVariantMap{{"factor", 100.0}, {"precision", 2.0}}
                                     << QVariantMap{{"decimalFactorChanged", 1}, {"precisionChanged", 1}};
        QTest::newRow("Divider 0.1 as float") << 0 << Attributes{{"Divider", "0.1"}} << false
                                              << QVariantMap{{"factor", double(0.1f)}, {"precision", 0.0}}
                                              << QVariantMap{{"decimalFactorChanged", 1}, {"precisionChanged", 0}};
        QTest::newRow("Divider not a number") << 0 << Attributes{{"Divider", "abc"}} << false
                                              << QVariantMap{{"factor", 1.0}, {"precision", 2.0}}
                                              << QVariantMap{{"decimalFactorChanged", 0}, {"precisionChanged", 1}};
        QTest::newRow("Datatype in capitals") << 0 << Attributes{{"Datatype", "UINT16_T"}} << false
                                              << QVariantMap{{"type", 5}} << QVariantMap();
        QTest::newRow("Datatype alias") << 0 << Attributes{{"Datatype", "Liste"}} << false
                                        << QVariantMap{{"type", 12}} << QVariantMap();
        QTest::newRow("Datatype unknown") << 0 << Attributes{{"Datatype", "quad"}} << true
                                          << QVariantMap{{"type", 0}} << QVariantMap();
        QTest::newRow("Datatype unknown keeps type") << 4 << Attributes{{"Datatype", "quad"}, {"DataId", "3"}} << true
                                                     << QVariantMap{{"type", 4}, {"id", 3}} << QVariantMap();
        QTest::newRow("only Min") << 0 << Attributes{{"Min", "5"}} << false
                                  << QVariantMap{{"min", 0.0}, {"max", 0.0}} << QVariantMap();
        QTest::newRow("Min and Max") << 0 << Attributes{{"Min", "-10.5"}, {"Max", "20.25"}} << false
                                     << QVariantMap{{"min", -10.5}, {"max", 20.25}} << QVariantMap();
        QTest::newRow("Min and Max as floats") << 0 << Attributes{{"Min", "0.1"}, {"Max", "0.3"}} << false
                                               << QVariantMap{{"min", double(0.1f)}, {"max", double(0.3f)}}
                                               << QVariantMap();
        QTest::newRow("DataId not a number") << 0 << Attributes{{"DataId", "x"}} << false << QVariantMap{{"id", 0}}
                                             << QVariantMap();
        QTest::newRow("Default not a number") << 0 << Attributes{{"Datatype", "int16_t"}, {"Default", "abc"}} << false
                                              << QVariantMap{{"value", 0}, {"defaultValue", 0.0f}}
                                              << QVariantMap{{"newValue", 1}};
        QTest::newRow("Default of a list without texts")
            << 0 << Attributes{{"Datatype", "list16_t"}, {"Default", "2"}} << false
            << QVariantMap{{"value", 0}, {"defaultValue", 2.0f}} << QVariantMap{{"newValue", 1}};
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
        for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
            const QVariant actual = fieldOf(item, it.key());
            QVERIFY2(actual == it.value(), qPrintable(QStringLiteral("%1: %2 != %3")
                                                          .arg(it.key(), actual.toString(), it.value().toString())));
            if (it.key() == "value" || it.key() == "defaultValue")
                QCOMPARE(actual.userType(), it.value().userType());
        }
        for (auto it = signalCounts.constBegin(); it != signalCounts.constEnd(); ++it)
            QVERIFY2(spies.contains(it.key()) && spies.value(it.key())->count() == it.value().toInt(),
                     qPrintable(it.key()));
    }

    // The builder sets up a list line first and gives it its texts afterwards.
    void listDefaultAppliesOnceTextsArrive()
    {
        CItem item;
        item.setup({{"Datatype", "list16_t"}, {"Default", "2"}});
        QSignalSpy changed(&item, &CItem::valueChanged);
        item.setTextList(QStringLiteral("a,b,c"));
        QCOMPARE(item.value(), QVariant(2.0f));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().first(), QVariant(QStringLiteral("c")));
    }

    void translations_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("specialValueText");
        QTest::addColumn<QStringList>("texts");

        QTest::newRow("untranslated") << "" << "Temperature" << "K" << "Off" << QStringList{"low", "", "high"};
        QTest::newRow("de") << "de" << "Temperatur" << "Kelvin" << "Aus" << QStringList{"niedrig", "hoch"};
        QTest::newRow("fr caption only") << "fr" << QString::fromUtf8("Température") << "K" << "Off"
                                         << QStringList{"low", "", "high"};
        QTest::newRow("language without dictionary") << "it" << "Temperature" << "K" << "Off"
                                                     << QStringList{"low", "", "high"};
    }

    void translations()
    {
        QFETCH(QString, language);
        QFETCH(QString, caption);
        QFETCH(QString, unit);
        QFETCH(QString, specialValueText);
        QFETCH(QStringList, texts);

        CItem parent;
        CItem* item = new CItem(&parent);
        item->setCaption(QStringLiteral("Temperature"));
        item->setUnit(QStringLiteral("K"));
        item->setSpecialValueText(QStringLiteral("Off"));
        item->setSpecialOutput(QStringLiteral("Standby"));
        item->setTextList(QStringLiteral("low,,high"));
        const Languages languages{
            {"de",
             {{"Temperature", "Temperatur"}, {"K", "Kelvin"}, {"Off", "Aus"}, {"low,,high", "niedrig,hoch"},
              {"Standby", "Bereit"}}},
            {"fr", {{"Temperature", QString::fromUtf8("Température")}}}};
        parent.setupTranslations(languages);
        parent.setLanguageId(language);

        QCOMPARE(item->caption(), caption);
        QCOMPARE(item->unit(), unit);
        QCOMPARE(item->specialValueText(), specialValueText);
        QCOMPARE(item->texte(), texts);
        // The standby text is not translated.
        QCOMPARE(item->specialOutput(), QStringLiteral("Standby"));

        // The forms with an explicit language ignore the current one.
        parent.setLanguageId(QStringLiteral("de"));
        QCOMPARE(item->caption(language), caption);
        QCOMPARE(item->unit(language), unit);
        QCOMPARE(item->specialValueText(language), specialValueText);
        QCOMPARE(item->texte(language), texts);
    }

    void translationsAreReplaced()
    {
        CItem item;
        item.setCaption(QStringLiteral("Pressure"));
        item.setupTranslations({{"de", {{"Pressure", "Druck"}}}});
        item.setupTranslations({{"de", {{"Other", "Anderes"}}}, {"fr", {{"Pressure", "Pression"}}}});
        QCOMPARE(item.caption(QStringLiteral("de")), QStringLiteral("Pressure"));
        QCOMPARE(item.caption(QStringLiteral("fr")), QStringLiteral("Pression"));
        QCOMPARE(item.texte(), QStringList{QString()});
    }

    void captionsInTheTree_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("parentText");
        QTest::addColumn<QString>("extendedCaption");

        QTest::newRow("below the class node") << "Parameter_Direct" << "" << "" << "Direct";
        QTest::newRow("below a group") << "Inputs_Input1" << "" << "Inputs" << "Inputs - Input 1";
        QTest::newRow("two groups, outermost first") << "Sub_Deep" << "" << "Inputs - Sub" << "Inputs - Sub - Deep";
        QTest::newRow("group itself") << "Inputs" << "" << "" << "Inputs";
        QTest::newRow("translated") << "Sub_Deep" << "de" << QString::fromUtf8("Eingänge - Sub")
                                    << QString::fromUtf8("Eingänge - Sub - Tief");
    }

    void captionsInTheTree()
    {
        QFETCH(QString, item);
        QFETCH(QString, language);
        QFETCH(QString, parentText);
        QFETCH(QString, extendedCaption);

        STRUCT_TREE tree;
        tree.root.setupTranslations({{"de", {{"Inputs", QString::fromUtf8("Eingänge")}, {"Deep", "Tief"}}}});
        tree.root.setLanguageId(language);
        CItem* found = tree.find(item);
        QVERIFY(found);
        QCOMPARE(found->parentText(), parentText);
        QCOMPARE(found->extendedCaption(), extendedCaption);
        QCOMPARE(found->parentText(language), parentText);
        QCOMPARE(found->extendedCaption(language), extendedCaption);
    }

    void visibilityFollowsChildren()
    {
        STRUCT_TREE tree;
        QSignalSpy groupVisible(tree.group, &CItem::visibleChanged);
        QSignalSpy subVisible(tree.sub, &CItem::visibleChanged);

        tree.input->setVisible(false);
        QVERIFY(tree.group->isVisible());
        QCOMPARE(tree.group->visibleChildren(), QList<QObject*>{tree.sub});
        QCOMPARE(tree.input->childNumber(), 0);
        QCOMPARE(tree.sub->childNumber(), 1);

        // The last visible item below the group goes: the group follows.
        tree.deep->setVisible(false);
        QCOMPARE(subVisible.count(), 1);
        QVERIFY(!tree.sub->isVisible());
        QVERIFY(!tree.group->isVisible());
        QCOMPARE(groupVisible.count(), 1);
        QCOMPARE(groupVisible.first().first(), QVariant(false));
        QVERIFY(tree.object->isVisible());
        QVERIFY(!tree.group->hasVisibleChildren());
        QCOMPARE(tree.object->visibleChildren(), QList<QObject*>{tree.direct});

        tree.input->setVisible(true);
        QVERIFY(tree.group->isVisible());
        QCOMPARE(groupVisible.count(), 2);
        QVERIFY(!tree.sub->isVisible());
        QCOMPARE(tree.group->visibleChildren(), QList<QObject*>{tree.input});

        // A signal that changes nothing is not repeated.
        tree.input->setVisible(true);
        QCOMPARE(groupVisible.count(), 2);
    }

    void hiddenChildKeepsVisibleParent()
    {
        CItem group;
        group.setType(CItem::TYPE_GROUP);
        CItem* hidden = new CItem(&group);
        CItem* grandChild = new CItem(hidden);
        Q_UNUSED(grandChild)
        hidden->setVisible(false);
        group.childVisibilityChanged(false);
        // A visible item anywhere below counts, not only direct children.
        QVERIFY(group.isVisible());
        QVERIFY(group.hasVisibleChildren());
        QVERIFY(group.visibleChildren().isEmpty());
    }

    void treeQueries()
    {
        STRUCT_TREE tree;
        QCOMPARE(tree.root.childrenCount(CItem::TYPE_GROUP), 2);
        QCOMPARE(tree.root.childrenCount(CItem::TYPE_UINT16_T), 2);
        QCOMPARE(tree.group->childrenCount(CItem::TYPE_OBJECT), 0);
        QVERIFY(tree.root.isExpandable());
        QVERIFY(tree.object->isExpandable());
        QVERIFY(!tree.sub->isExpandable());

        CItem field;
        field.setObjectName(QStringLiteral("Parameter_Status"));
        field.setType(CItem::TYPE_BIT16_T);
        field.setBitfieldEntries(statusBits());
        QCOMPARE(field.childrenCount(CItem::TYPE_BIT), 2);
        QVERIFY(!field.isExpandable());

        // An object or group node's bytes are those of its items.
        QCOMPARE(tree.group->dataLength(), 4);
        QCOMPARE(tree.object->dataLength(), 6);
    }

    void readOnlyCoversTheSubtree()
    {
        STRUCT_TREE tree;
        tree.object->setReadOnly(true);
        tree.group->setReadOnly(false);
        QVERIFY(tree.direct->isReadOnly());
        QVERIFY(!tree.deep->isReadOnly());

        QSignalSpy rootSpy(&tree.root, &CItem::readOnlyChanged);
        QSignalSpy objectSpy(tree.object, &CItem::readOnlyChanged);
        QSignalSpy deepSpy(tree.deep, &CItem::readOnlyChanged);
        tree.root.setReadOnly(true);
        for (CItem* item : tree.root.findChildren<CItem*>())
            QVERIFY2(item->isReadOnly(), qPrintable(item->objectName()));
        QCOMPARE(rootSpy.count(), 1);
        QCOMPARE(objectSpy.count(), 0);
        QCOMPARE(deepSpy.count(), 1);

        tree.root.setReadOnly(true);
        QCOMPARE(rootSpy.count(), 1);
    }

    void feature_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value");

        QTest::newRow("Address_RD hex") << "Address_RD" << "0x1A" << QVariant(26u);
        QTest::newRow("Address_RD decimal") << "Address_RD" << "26" << QVariant(26u);
        QTest::newRow("Address_RD hex without prefix") << "Address_RD" << "1A" << QVariant(0u);
        QTest::newRow("Address_RD leading zero is decimal") << "Address_RD" << "010" << QVariant(10u);
        QTest::newRow("Address_WR") << "Address_WR" << "0x0400" << QVariant(1024u);
        QTest::newRow("Address_RW") << "Address_RW" << "0xffff" << QVariant(65535u);
        QTest::newRow("Address_WRS") << "Address_WRS" << "0x10" << QVariant(16u);
        QTest::newRow("FC_RD decimal") << "FC_RD" << "3" << QVariant(3u);
        QTest::newRow("FC_WR hex is no number") << "FC_WR" << "0x10" << QVariant(0u);
        QTest::newRow("other address-like name") << "Address_XY" << "0x10" << QVariant(0u);
        QTest::newRow("Access") << "Access" << "rw" << QVariant(QStringLiteral("rw"));
        QTest::newRow("Function_RD") << "Function_RD" << "0x03" << QVariant(QStringLiteral("0x03"));
        QTest::newRow("Function_WR") << "Function_WR" << "16" << QVariant(QStringLiteral("16"));
        QTest::newRow("Function_RW") << "Function_RW" << "" << QVariant(QStringLiteral(""));
        QTest::newRow("Enabled") << "Enabled" << "true" << QVariant(true);
        QTest::newRow("Enabled capital") << "Enabled" << "True" << QVariant(false);
    }

    void feature()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QVariant, value);

        CItem item;
        item.setFeatures({{"Other", "1"}, {name, text}, {name, "0x7"}});
        QVERIFY(item.hasFeature(name));
        const QVariant actual = item.feature(name);
        QCOMPARE(actual.userType(), value.userType());
        QCOMPARE(actual, value);
    }

    void missingFeature()
    {
        CItem item;
        item.setFeatures({{"FC_RD", "3"}});
        QVERIFY(!item.hasFeature(QStringLiteral("fc_rd")));
        QVERIFY(!item.feature(QStringLiteral("fc_rd")).isValid());
        item.setFeatures({});
        QVERIFY(!item.hasFeature(QStringLiteral("FC_RD")));
    }

    void yAxis_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("announced");
        QTest::newRow("left") << 0 << 0 << 0;
        QTest::newRow("right") << 1 << 1 << 1;
        QTest::newRow("2 is left") << 2 << 0 << 0;
        QTest::newRow("negative is left") << -1 << 0 << 0;
    }

    void yAxis()
    {
        QFETCH(int, index);
        QFETCH(int, stored);
        QFETCH(int, announced);
        CItem item;
        QSignalSpy spy(&item, &CItem::yAxisChanged);
        item.setYAxis(index);
        QCOMPARE(item.yAxis(), stored);
        QCOMPARE(spy.count(), announced);
    }

    void bitChildren_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<QStringList>("texts");

        QTest::newRow("first bit") << "Parameter_Status_Ready" << "Ready" << 0 << 1 << true
                                   << QStringList{"no", "yes"};
        QTest::newRow("hidden group") << "Parameter_Status_Mode" << "Mode" << 2 << 2 << false
                                      << QStringList{"a", "b", "c", "d"};
    }

    void bitChildren()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(int, position);
        QFETCH(int, length);
        QFETCH(bool, visible);
        QFETCH(QStringList, texts);

        CItem field;
        field.setObjectName(QStringLiteral("Parameter_Status"));
        field.setup({{"Datatype", "bit16_t"}});
        field.setBitfieldEntries(statusBits());

        CItem* bit = field.findChild<CItem*>(name, Qt::FindDirectChildrenOnly);
        QVERIFY(bit);
        QCOMPARE(bit->type(), CItem::TYPE_BIT);
        QCOMPARE(bit->caption(), caption);
        QCOMPARE(bit->bitPosition(), position);
        QCOMPARE(bit->bitLength(), length);
        QCOMPARE(bit->isVisible(), visible);
        QCOMPARE(bit->texte(), texts);
        QCOMPARE(bit->dataLength(), 0);
        QVERIFY(bit->data().isEmpty());
        QCOMPARE(field.dataLength(), 2);
        // A hidden bit group does not hide its bitfield.
        QVERIFY(field.isVisible());
    }

    void bitChildrenTalkToTheirBitfield()
    {
        CItem field;
        field.setObjectName(QStringLiteral("Parameter_Status"));
        field.setType(CItem::TYPE_BIT16_T);
        field.setBitfieldEntries(statusBits());
        field.setupTranslations({{"de", {{"Ready", "Bereit"}, {"no,yes", "nein,ja"}}}});
        field.setLanguageId(QStringLiteral("de"));

        CItem* ready = field.findChild<CItem*>(QStringLiteral("Parameter_Status_Ready"));
        CItem* mode = field.findChild<CItem*>(QStringLiteral("Parameter_Status_Mode"));
        QCOMPARE(ready->caption(), QStringLiteral("Bereit"));

        field.setData(QByteArray::fromHex("000d"));
        QCOMPARE(ready->toValueString(), QStringLiteral("ja"));
        QCOMPARE(mode->toValueString(), QStringLiteral("d"));

        QSignalSpy childChanged(&field, &CItem::childChanged);
        mode->setValue(1u);
        QCOMPARE(field.data(), QByteArray::fromHex("0005"));
        QCOMPARE(childChanged.last().first(), QVariant(5u));

        QSignalSpy fieldVisible(&field, &CItem::visibleChanged);
        ready->setVisible(false);
        QVERIFY(!field.isVisible());
        QCOMPARE(fieldVisible.count(), 1);
    }

private:
    static BitfieldDescription statusBits()
    {
        CBitDescription ready;
        ready.name = QStringLiteral("Ready");
        ready.bitCount = 1;
        ready.text = QStringLiteral("Ready");
        ready.list = QStringLiteral("no,yes");
        CBitDescription mode;
        mode.name = QStringLiteral("Mode");
        mode.bitCount = 2;
        mode.visible = false;
        mode.text = QStringLiteral("Mode");
        mode.list = QStringLiteral("a,b,c,d");
        return {{2, mode}, {0, ready}};
    }
};

QTEST_GUILESS_MAIN(tst_CItemAttributes)
#include "tst_CItemAttributes.moc"
