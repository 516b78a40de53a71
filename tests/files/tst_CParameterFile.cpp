#include "files/CParameterFile.h"
#include "items/CItem.h"
#include "models/CParamicaModel.h"
#include "models/CTreeModel.h"
#include "models/support/CSampleDescription.h"

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

typedef QMap<QString, QString> Description;

// Parameter files of the sample device's parameter tree: records, XML file,
// temporary file and print.
class tst_CParameterFile : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;
    QTemporaryDir m_dir;
    const QDateTime m_service = QDateTime(QDate(2024, 5, 17), QTime(13, 45, 27));

    // A tree with a value of its own kind and range in every item, 32-bit
    // values beyond what a float carries among them.
    CTreeModel* parameters(QObject* parent, const QString& object = QStringLiteral("Parameter"))
    {
        CTreeModel* model = m_sample.build<CTreeModel>(object, parent);
        const QHash<int, QVariant> values = {{CItem::TYPE_DATETIME, m_service}, {CItem::TYPE_TEXT16_T, "Süd & <1>"}, {CItem::TYPE_TEXT8_T, "ZS"},
                                             {CItem::TYPE_BUILD_DATE, "May 17 2024"}, {CItem::TYPE_REAL, 2.75}, {CItem::TYPE_INT16_T, -123}, {CItem::TYPE_INT32_T, -999999},
                                             {CItem::TYPE_UINT32_T, 31535999u}, {CItem::TYPE_VERSION32_T, 16777217u}, {CItem::TYPE_LIST16_T, 2}, {CItem::TYPE_LIST32_T, 2u},
                                             {CItem::TYPE_BIT16_T, 6}, {CItem::TYPE_UINT16_T, 100}};
        for (CItem* item : model ? model->findChildren<CItem*>() : QList<CItem*>()) {
            if (values.contains(item->type()))
                item->setValue(values.value(item->type()));
        }
        return model;
    }

    static Description description()
    {
        return {{"le_device", "TC200"}, {"le_customer", "Müller & <Söhne>"}, {"le_customer_street", "Hauptstraße 1"}, {"le_installer", "Heat Ltd"},
                {"le_date", "17.05.2024"}, {"le_note", "kept but never printed"}};
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    static bool writeFile(const QString& name, const QByteArray& content)
    {
        QFile file(name);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    static QByteArray readFile(const QString& name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QString cellText(QTextTable* table, int row, int column)
    {
        return table->cellAt(row, column).firstCursorPosition().block().text();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_sample.isValid());
        QVERIFY(m_dir.isValid());
        QObject owner;
        QVERIFY(parameters(&owner) && parameters(&owner, QStringLiteral("DeviceInfo")));
    }

    // One record per item, depth first; every value of both sample trees
    // comes back from the file exactly: of the same type, as the same device
    // bytes, and one its item can hold.
    void saveAndLoad()
    {
        QVERIFY(CParameterFile::parameterData(nullptr).isEmpty());
        QObject owner;
        CTreeModel* model = parameters(&owner);
        const QList<CDataPoint> data = CParameterFile::parameterData(model) + CParameterFile::parameterData(parameters(&owner, QStringLiteral("DeviceInfo")));
        QCOMPARE(data.first().type, int(CItem::TYPE_ROOT));
        QStringList names;
        for (const CDataPoint& point : data.mid(0, model->findChildren<CItem*>().size())) {
            const CItem* item = model->findChild<CItem*>(point.name);
            QCOMPARE((QVariantList{point.caption, point.unit, point.id, point.type, point.value, point.valueText, point.visible}),
                     (QVariantList{item->caption(), item->unit(), item->id(), int(item->type()), item->value(), item->toValueString(), item->isVisible()}));
            if (const CItem* parent = qobject_cast<const CItem*>(item->parent()))
                QVERIFY(names.contains(parent->objectName()));
            names << point.name;
        }
        QCOMPARE(data.at(names.indexOf(QStringLiteral("Betrieb_Optionen")) + 1).type, int(CItem::TYPE_BIT));

        const QString name = path(QStringLiteral("roundtrip.xml"));
        QVERIFY(CParameterFile::saveFile(name, description(), data));
        Description loadedDescription;
        QList<CDataPoint> loaded;
        QVERIFY(CParameterFile::loadFile(name, &loadedDescription, &loaded));
        QCOMPARE(loadedDescription, description());
        // name, id, type, value and device bytes; object groups come back as groups
        const auto fields = [](const CDataPoint& point) {
            const bool group = point.type == CItem::TYPE_OBJECT || point.type == CItem::TYPE_GROUP;
            return QVariantList{point.name, group ? 0 : point.id, group ? int(CItem::TYPE_GROUP) : point.type, group ? QVariant() : point.value,
                                CItem::valueToByteArray(point.value, CItem::ENUM_DATA_TYPES(point.type))};
        };
        QList<QVariantList> expected;
        QSet<int> types;
        for (const CDataPoint& point : data) {
            if (point.type != CItem::TYPE_ROOT && point.type != CItem::TYPE_BIT)
                expected << fields(point);
            types << point.type;
        }
        QList<QVariantList> actual;
        for (const CDataPoint& point : loaded) {
            actual << fields(point);
            QVERIFY2(point.type == CItem::TYPE_GROUP || owner.findChild<CItem*>(point.name)->canHold(point.value), qPrintable(point.name));
        }
        QCOMPARE(actual, expected);
        QCOMPARE(types.size(), 25); // the 21 data types of the sample and the four structural ones

        // The temporary file carries the same, as long as its object lives.
        QScopedPointer<QTemporaryFile> file(CParameterFile::saveTemporary(QDir::tempPath() + QStringLiteral("/paramica_XXXXXX.xml"), description(), data));
        QVERIFY(file && !file->isOpen());
        QCOMPARE(readFile(file->fileName()), readFile(name));
        QList<CDataPoint> carried;
        QVERIFY(CParameterFile::loadTemporary(file.data(), &loadedDescription, &carried));
        QCOMPARE(carried.size(), loaded.size());
        const QString temporaryName = file->fileName();
        file.reset();
        QVERIFY(!QFile::exists(temporaryName));
        QVERIFY(!CParameterFile::loadTemporary(nullptr, &loadedDescription, &carried));
        QVERIFY(loadedDescription.isEmpty() && carried.isEmpty());
    }

    void fileLayout()
    {
        QObject owner;
        const QByteArray content = CParameterFile::createContent(description(), CParameterFile::parameterData(parameters(&owner)));
        QVERIFY(content.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PMX_PARA>\n    <value Parameter=\"PMX_ParameterfileVersion\" Default=\"1\"/>\n"
                                   "    <group name=\"description\">\n        <value Parameter=\"le_customer\" Default=\"Müller &amp; &lt;Söhne&gt;\"/>\n"));
        // Object group, then the groups nested in it, values innermost; the entries last.
        QVERIFY(content.contains("\n    <group name=\"entries\">\n        <group name=\"Regelung\">\n            <group name=\"Sollwerte\">\n"
                                 "                <value Parameter=\"Sollwerte_Sollwert\" DataId=\"0\" Datatype=\"int16_t\" Default=\"-123\"/>\n"));
        QVERIFY(content.contains("            </group>\n            <group name=\"Betrieb\">\n"));
        QVERIFY(content.contains("Default=\"2024-05-17T13:45:27\""));
        QVERIFY(content.endsWith("            </group>\n        </group>\n    </group>\n</PMX_PARA>\n"));
        QVERIFY(!content.contains("Optionen_Alarm") && !content.contains("\"Root\""));

        // A file without records loads as one.
        const QString name = path(QStringLiteral("empty.xml"));
        QVERIFY(CParameterFile::saveFile(name, {{"le_device", "TC200"}}, {}));
        Description loadedDescription = {{"stale", "x"}};
        QList<CDataPoint> loaded = {CDataPoint()};
        QVERIFY(CParameterFile::loadFile(name, &loadedDescription, &loaded) && loaded.isEmpty());
        QCOMPARE(loadedDescription, (Description{{"le_device", "TC200"}}));
    }

    // A file not written by us: another version, odd attributes, values
    // outside object groups, unknown elements.
    void foreignFile()
    {
        const QString name = path(QStringLiteral("foreign.xml"));
        QVERIFY(writeFile(name, R"(<?xml version="1.0" encoding="UTF-8"?><PMX_PARA><value Parameter="PMX_ParameterfileVersion" Default="2"/>
  <group name="description"><value Parameter="le_device" Default="first"/><value Parameter="le_device" Default="TC200"/><value Default="no key"/><other Parameter="x"/></group>
  <group name="entries"><value Parameter="Loose" DataId="7" Datatype="UINT16_T" Default="12"/>
    <group name="Regelung"><group name="Sollwerte"><value Parameter="Sollwerte_Sollwert" DataId="0" Datatype="int16_t" Default="21.5"/>
      <value Parameter="Sollwerte_Text" DataId="x" Datatype="text16_t" Default=" 1,5 &amp; more "/><value Parameter="NoId" Datatype="nonsense" Default="abc"/>
      <value Parameter="Clock" DataId="3" Datatype="datetime" Default="2024-05-17T13:45:27"/><unknown Parameter="skipped"/></group></group></group>
  <group name="other"><value Parameter="x" Default="y"/></group></PMX_PARA>)"));
        Description desc;
        QList<CDataPoint> data;
        QVERIFY(CParameterFile::loadFile(name, &desc, &data));
        QCOMPARE(desc, (Description{{"le_device", "TC200"}, {"", "no key"}}));
        const QList<QVariantList> expected = {{"Loose", 7, 5, 12}, {"Regelung", 0, 2, QVariant()}, {"Sollwerte", 0, 2, QVariant()}, {"Sollwerte_Sollwert", 0, 4, 21.5},
                                              {"Sollwerte_Text", 0, 3, " 1,5 & more "}, {"NoId", -1, 0, "abc"}, {"Clock", 3, 21, m_service}};
        QCOMPARE(data.size(), expected.size());
        for (int i = 0; i < data.size(); ++i)
            QCOMPARE((QVariantList{data.at(i).name, data.at(i).id, data.at(i).type, data.at(i).value}), expected.at(i));
        QCOMPARE(data.at(3).value.userType(), int(QMetaType::Double)); // unrounded, for the check to refuse
    }

    // A value survives its file exactly, also one no item can hold and what is
    // no value of its type (for the check to refuse); a float as the device
    // holds it. A text XML 1.0 cannot carry fails the save and keeps the
    // earlier file: written, it would not load again or would lose the character.
    void fileCarries_data()
    {
        QTest::addColumn<Description>("description");
        QTest::addColumn<QString>("record");
        QTest::addColumn<int>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("loaded");
        QTest::addColumn<QString>("error");

        QTest::newRow("uint32 maximum") << Description() << "Item" << int(CItem::TYPE_UINT32_T) << QVariant(4294967295u) << QVariant(4294967295u) << "";
        QTest::newRow("uint32 above 2^24") << Description() << "Item" << int(CItem::TYPE_UINT32_T) << QVariant(16777217u) << QVariant(16777217u) << "";
        QTest::newRow("int32 minimum") << Description() << "Item" << int(CItem::TYPE_INT32_T) << QVariant(-2147483647 - 1) << QVariant(-2147483647 - 1) << "";
        QTest::newRow("real as typed") << Description() << "Item" << int(CItem::TYPE_REAL) << QVariant(0.1) << QVariant(0.1f) << "";
        QTest::newRow("fraction for an integer") << Description() << "Item" << int(CItem::TYPE_INT16_T) << QVariant(21.5) << QVariant(21.5) << "";
        QTest::newRow("fraction above 2^24") << Description() << "Item" << int(CItem::TYPE_UINT32_T) << QVariant(16777217.5) << QVariant(16777217.5) << "";
        QTest::newRow("uint16 too big") << Description() << "Item" << int(CItem::TYPE_UINT16_T) << QVariant(70000) << QVariant(70000) << "";
        QTest::newRow("uint32 too big") << Description() << "Item" << int(CItem::TYPE_UINT32_T) << QVariant(qlonglong(4294967296)) << QVariant(qlonglong(4294967296)) << "";
        QTest::newRow("huge") << Description() << "Item" << int(CItem::TYPE_UINT16_T) << QVariant(1e300) << QVariant(1e300) << "";
        QTest::newRow("real beyond float") << Description() << "Item" << int(CItem::TYPE_REAL) << QVariant(1e39) << QVariant(1e39) << "";
        QTest::newRow("not a number") << Description() << "Item" << int(CItem::TYPE_UINT16_T) << QVariant("abc") << QVariant("abc") << "";
        QTest::newRow("no value") << Description() << "Item" << int(CItem::TYPE_UINT16_T) << QVariant() << QVariant() << "";
        QTest::newRow("unset clock") << Description() << "Item" << int(CItem::TYPE_DATETIME) << QVariant(QDateTime()) << QVariant(QDateTime()) << "";
        QTest::newRow("no date and time") << Description() << "Item" << int(CItem::TYPE_DATETIME) << QVariant("yesterday") << QVariant("yesterday") << "";
        QTest::newRow("number in a text") << Description() << "Item" << int(CItem::TYPE_TEXT16_T) << QVariant("12.50") << QVariant("12.50") << "";
        QTest::newRow("XML characters and line breaks") << Description{{"le_customer", "A & B\r\n<C>\t"}} << "Item" << int(CItem::TYPE_TEXT16_T) << QVariant("<&\"'>\t\r\n") << QVariant("<&\"'>\t\r\n") << "";
        QTest::newRow("beyond the 16-bit plane") << Description() << "Item" << int(CItem::TYPE_TEXT16_T) << QVariant(QString::fromUtf8("\xF0\x9F\x98\x80")) << QVariant(QString::fromUtf8("\xF0\x9F\x98\x80")) << "";
        QTest::newRow("control character in a description") << Description{{"le_customer", "Mül\x01ler"}} << "Item" << int(CItem::TYPE_UINT16_T) << QVariant(1) << QVariant() << "le_customer";
        QTest::newRow("control character in a key") << Description{{"le_\x1f", "x"}} << "Item" << int(CItem::TYPE_UINT16_T) << QVariant(1) << QVariant() << "le_\x1f";
        QTest::newRow("control character in a text") << Description() << "Zone" << int(CItem::TYPE_TEXT16_T) << QVariant("a\x02") << QVariant() << "Zone";
        QTest::newRow("lone surrogate in a name") << Description() << QString(QChar(0xD800)) << int(CItem::TYPE_UINT16_T) << QVariant(1) << QVariant() << QString(QChar(0xD800));
        QTest::newRow("U+FFFE in a text") << Description() << "Item" << int(CItem::TYPE_TEXT8_T) << QVariant(QString(QChar(0xFFFE))) << QVariant() << "Item";
    }

    void fileCarries()
    {
        QFETCH(Description, description);
        QFETCH(QString, record);
        QFETCH(int, type);
        QFETCH(QVariant, value);
        QFETCH(QVariant, loaded);
        QFETCH(QString, error);
        CDataPoint point;
        point.name = record;
        point.id = 7;
        point.type = type;
        point.value = value;
        const QString name = path(QStringLiteral("carried.xml"));
        QVERIFY(CParameterFile::saveFile(name, {{"le_device", "earlier"}}, {}));
        const QByteArray earlier = readFile(name);
        QString why;
        QCOMPARE(CParameterFile::saveFile(name, description, {point}, &why), error.isEmpty());
        if (!error.isEmpty()) {
            QCOMPARE(why, QStringLiteral("'%1' holds a character that a parameter file cannot store.").arg(error));
            QCOMPARE(readFile(name), earlier);
            QVERIFY(CParameterFile::createContent(description, {point}).isEmpty());
            QVERIFY(!CParameterFile::saveTemporary(QDir::tempPath() + QStringLiteral("/paramica_XXXXXX.xml"), description, {point}));
            return;
        }
        Description loadedDescription;
        QList<CDataPoint> records;
        QVERIFY(CParameterFile::loadFile(name, &loadedDescription, &records));
        QCOMPARE(loadedDescription, description);
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().value.userType(), loaded.userType());
        QCOMPARE(records.first().value, loaded);
        QCOMPARE(CItem::valueToByteArray(loaded, CItem::ENUM_DATA_TYPES(type)), CItem::valueToByteArray(value, CItem::ENUM_DATA_TYPES(type)));
    }

    // Files that are no parameter file load nothing; saving where no file
    // can be written fails and says why.
    void failures()
    {
        const QList<QByteArray> contents = {QByteArray(), "", "<PMX_PARA><group name=\"entries\"><value Parameter=\"a\"", // missing, empty, damaged
                                            "<PMX_PARAM><group name=\"description\"/></PMX_PARAM>", QByteArray("\x00\x01binary", 8), // another root, not XML
                                            "<PMX_PARA>" + QByteArray("<group>").repeated(100000) + QByteArray("</group>").repeated(100000) + "</PMX_PARA>"}; // nested to exhaust the stack
        for (int i = 0; i < contents.size(); ++i) {
            const QString name = path(QStringLiteral("refused_%1.xml").arg(i));
            QVERIFY(contents.at(i).isNull() || writeFile(name, contents.at(i)));
            Description desc = {{"stale", "x"}};
            QList<CDataPoint> data = {CDataPoint()};
            QVERIFY(!CParameterFile::loadFile(name, &desc, &data));
            QVERIFY(desc.isEmpty() && data.isEmpty());
        }
        // A regular file cannot hold files, whoever runs the test.
        const QString blocker = path(QStringLiteral("refused_1.xml"));
        QString error;
        QVERIFY(!CParameterFile::saveFile(blocker + QStringLiteral("/para.xml"), description(), {}, &error));
        QVERIFY2(error.startsWith(QStringLiteral("Could not write '%1/para.xml': ").arg(blocker)), qPrintable(error));
        QVERIFY(!CParameterFile::savePdf(blocker + QStringLiteral("/para.pdf"), description(), {}));
        QVERIFY(!CParameterFile::saveTemporary(blocker + QStringLiteral("/XXXXXX"), description(), {}));
        QCOMPARE(readFile(blocker), QByteArray());
    }

    void parameter()
    {
        QObject owner;
        CTreeModel* model = parameters(&owner);
        // pattern (not anchored), object it finds
        for (const auto& [pattern, object] : QList<QPair<QString, QString>>{{"ollwerte_Sollw", "Sollwerte_Sollwert"}, {"Optionen_Alarm", "Betrieb_Optionen_Alarm"}, {"^nothing$", ""}})
            QCOMPARE(CParameterFile::parameter(pattern, model), object.isEmpty() ? QString() : model->findChild<CItem*>(object)->toValueString());
        QCOMPARE(CParameterFile::parameter(QStringLiteral("Wartung"), nullptr), QString());
    }

    void document()
    {
        QObject owner;
        const QList<CDataPoint> data = CParameterFile::parameterData(parameters(&owner));
        QScopedPointer<QTextDocument> doc(CParameterFile::content(description(), data));
        const QStringList lines = doc->toPlainText().split(QChar::ParagraphSeparator).join('\n').split('\n');
        QCOMPARE(lines.first(), QStringLiteral("TC200 - Parameter"));
        QVERIFY(!doc->toPlainText().contains(QStringLiteral("never printed")));
        // Labels level with the floating values: one label per kind.
        QCOMPARE(lines.mid(lines.indexOf("Device:"), 5), (QStringList{"Device:", "Customer:", "", "Installer:", "Date:"}));
        QCOMPARE(lines.mid(lines.indexOf("TC200"), 5), (QStringList{"TC200", "Müller & <Söhne>", "Hauptstraße 1", "Heat Ltd", "17.05.2024"}));

        QTextTable* table = qobject_cast<QTextTable*>(doc->rootFrame()->childFrames().last()); // below the floating frame
        QVERIFY(table);
        int row = 1; // below the header row
        int number = 1;
        for (const CDataPoint& point : data) {
            if (!point.visible || point.type == CItem::TYPE_ROOT)
                continue;
            const bool caption = point.type == CItem::TYPE_OBJECT || point.type == CItem::TYPE_GROUP;
            const bool numbered = !caption && point.type != CItem::TYPE_BIT;
            QCOMPARE((QStringList{cellText(table, row, 0), cellText(table, row, 1), cellText(table, row, 2), cellText(table, row, 3)}),
                     (QStringList{numbered ? QString::number(number++) : QString(), point.caption, point.valueText, point.unit}));
            QCOMPARE(table->cellAt(row, 3).format().background().color() == CParamicaModel::TABLE_CAPTION_COLOR, caption);
            ++row;
        }
        QCOMPARE(table->rows(), row); // the invisible records and the root are left out
    }

    // What the printer gets is the document, non-ASCII text included. (Saved
    // PDFs are read back by the command-line suite.)
    void print()
    {
        QVERIFY(!CParameterFile::printPdf(nullptr, description(), {}));
        QObject owner;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path(QStringLiteral("printed.pdf")));
        QVERIFY(CParameterFile::printPdf(&printer, description(), CParameterFile::parameterData(parameters(&owner))));
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), printer.outputFileName(), QStringLiteral("-")});
        if (!pdftotext.waitForFinished(30000))
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        for (const QString& word : {"TC200 - Parameter", "Customer:", "Hauptstraße 1", "Setpoint", "-12,3", "Alarm"})
            QVERIFY2(text.contains(word), qPrintable(word));
    }
};

QTEST_MAIN(tst_CParameterFile)
#include "tst_CParameterFile.moc"
