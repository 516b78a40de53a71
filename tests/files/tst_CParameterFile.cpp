#include "files/CParameterFile.h"
#include "items/CItem.h"
#include "models/CParamicaModel.h"
#include "models/CTreeModel.h"
#include "models/support/CSampleDescription.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <unistd.h>

// Parameter files of the sample device's parameter tree: records, XML file,
// temporary file and print.
class tst_CParameterFile : public QObject
{
    Q_OBJECT

    CSampleDescription m_sample;
    QTemporaryDir m_dir;
    const QDateTime m_service = QDateTime(QDate(2024, 5, 17), QTime(13, 45, 27));

    CTreeModel* build(const QString& object, QObject* parent)
    {
        auto* model = new CTreeModel(object, parent);
        const CElementMap* map = m_sample.object(object);
        model->setupListEntries(map->lists);
        model->setupBitfieldEntries(map->bitfields);
        model->setupFeatures(map->features);
        return model->setupModel(map->classes) ? nullptr : model;
    }

    // A tree with a value of its own kind in every item.
    CTreeModel* parameters(QObject* parent, const QString& object = QStringLiteral("Parameter"))
    {
        CTreeModel* model = build(object, parent);
        if (!model)
            return nullptr;
        int number = 3;
        for (CItem* item : model->findChildren<CItem*>()) {
            switch (item->type()) {
            case CItem::TYPE_DATETIME: item->setValue(m_service); break;
            case CItem::TYPE_TEXT16_T: item->setValue(QStringLiteral("Zone Süd & <1>")); break;
            case CItem::TYPE_TEXT8_T: item->setValue(QStringLiteral("ZS")); break;
            case CItem::TYPE_BUILD_DATE: item->setValue(QStringLiteral("May 17 2024")); break;
            case CItem::TYPE_REAL: item->setValue(2.75); break;
            case CItem::TYPE_INT16_T: item->setValue(-123); break;
            case CItem::TYPE_INT32_T: item->setValue(-250000); break;
            case CItem::TYPE_LIST16_T:
            case CItem::TYPE_LIST32_T: item->setValue(2); break;
            case CItem::TYPE_BIT16_T: item->setValue(6); break;
            case CItem::TYPE_ROOT:
            case CItem::TYPE_OBJECT:
            case CItem::TYPE_GROUP:
            case CItem::TYPE_BIT: break;
            default: item->setValue(number++ * 7); break;
            }
        }
        return model;
    }

    static QMap<QString, QString> description()
    {
        return {{QStringLiteral("le_device"), QStringLiteral("TC200")},
                {QStringLiteral("le_customer"), QStringLiteral("Müller & <Söhne>")},
                {QStringLiteral("le_customer_street"), QStringLiteral("Hauptstraße 1")},
                {QStringLiteral("le_installer"), QStringLiteral("Heat Ltd")},
                {QStringLiteral("le_date"), QStringLiteral("17.05.2024")},
                {QStringLiteral("le_note"), QStringLiteral("kept but never printed")}};
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
        const QTextTableCell cell = table->cellAt(row, column);
        QTextCursor cursor = cell.firstCursorPosition();
        cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
        return cursor.selectedText();
    }

    static QString run(const QString& tool, const QStringList& arguments)
    {
        QProcess process;
        process.start(tool, arguments);
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            return QString();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_sample.isValid());
        QVERIFY(m_dir.isValid());
    }

    void records()
    {
        QVERIFY(CParameterFile::parameterData(nullptr).isEmpty());
        QObject owner;
        CTreeModel* model = parameters(&owner);
        QVERIFY(model);
        const QList<CDataPoint> data = CParameterFile::parameterData(model);
        QCOMPARE(data.size(), model->findChildren<CItem*>().size());
        QCOMPARE(data.first().type, int(CItem::TYPE_ROOT));

        // Depth first: every item follows its parent, and its parent's
        // subtree is not interrupted by another branch.
        QStringList names;
        for (const CDataPoint& point : data)
            names << point.name;
        for (const CDataPoint& point : data) {
            const CItem* item = model->findChild<CItem*>(point.name);
            QVERIFY2(item, qPrintable(point.name));
            QCOMPARE(point.caption, item->caption());
            QCOMPARE(point.unit, item->unit());
            QCOMPARE(point.id, item->id());
            QCOMPARE(point.type, int(item->type()));
            QCOMPARE(point.value, item->value());
            QCOMPARE(point.valueText, item->toValueString());
            QCOMPARE(point.visible, item->isVisible());
            if (const CItem* parent = qobject_cast<const CItem*>(item->parent()))
                QVERIFY(names.indexOf(parent->objectName()) < names.indexOf(point.name));
        }
        const int options = names.indexOf(QStringLiteral("Betrieb_Optionen"));
        QCOMPARE(data.at(options + 1).type, int(CItem::TYPE_BIT));
        QCOMPARE(data.at(names.indexOf(QStringLiteral("Betrieb_Wartung"))).value.toDateTime(), m_service);
    }

    void saveAndLoad()
    {
        QObject owner;
        // The two trees hold every data type of the sample device between them.
        const QList<CDataPoint> data = CParameterFile::parameterData(parameters(&owner))
            + CParameterFile::parameterData(parameters(&owner, QStringLiteral("DeviceInfo")));
        const QString name = path(QStringLiteral("roundtrip.xml"));
        QVERIFY(CParameterFile::saveFile(name, description(), data));

        QMap<QString, QString> loadedDescription;
        QList<CDataPoint> loaded;
        QVERIFY(CParameterFile::loadFile(name, &loadedDescription, &loaded));
        QCOMPARE(loadedDescription, description());

        QList<CDataPoint> expected;
        for (const CDataPoint& point : data) {
            if (point.type != CItem::TYPE_ROOT && point.type != CItem::TYPE_BIT)
                expected << point;
        }
        QCOMPARE(loaded.size(), expected.size());
        QSet<int> types;
        for (int i = 0; i < expected.size(); ++i) {
            const CDataPoint& want = expected.at(i);
            const CDataPoint& got = loaded.at(i);
            const QByteArray where = want.name.toUtf8();
            QCOMPARE(got.name, want.name);
            QVERIFY2(got.caption.isEmpty() && got.unit.isEmpty() && got.valueText.isEmpty() && !got.visible, where);
            types << want.type;
            if (want.type == CItem::TYPE_OBJECT || want.type == CItem::TYPE_GROUP) {
                QCOMPARE(got.type, int(CItem::TYPE_GROUP));
                QCOMPARE(got.id, 0);
                QVERIFY2(!got.value.isValid(), where);
                continue;
            }
            QCOMPARE(got.id, want.id);
            QCOMPARE(got.type, want.type);
            switch (want.type) {
            case CItem::TYPE_DATETIME:
                QCOMPARE(got.value.toDateTime(), want.value.toDateTime());
                break;
            case CItem::TYPE_TEXT16_T:
            case CItem::TYPE_TEXT8_T:
            case CItem::TYPE_BUILD_DATE:
                QCOMPARE(got.value.userType(), int(QMetaType::QString));
                QCOMPARE(got.value.toString(), want.value.toString());
                break;
            default:
                QCOMPARE(got.value.userType(), int(QMetaType::Float));
                QCOMPARE(got.value.toFloat(), want.value.toFloat());
            }
        }
        // Every data type went through the file (the sample has no 8- and 32-bit bitfields).
        for (int type = CItem::TYPE_TEXT16_T; type <= CItem::TYPE_BUILD_DATE; ++type) {
            if (type != CItem::TYPE_BIT && type != CItem::TYPE_BIT8_T && type != CItem::TYPE_BIT32_T)
                QVERIFY2(types.contains(type), qPrintable(CItem::dataTypeToText(type)));
        }
    }

    void fileLayout()
    {
        QObject owner;
        const QList<CDataPoint> data = CParameterFile::parameterData(parameters(&owner));
        const QByteArray content = CParameterFile::createContent(description(), data);
        QVERIFY(content.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PMX_PARA>\n"));
        QVERIFY(content.contains("\n    <value Parameter=\"PMX_ParameterfileVersion\" Default=\"1\"/>\n"));
        QVERIFY(content.contains("\n                <value Parameter=\"Sollwerte_Sollwert\" DataId=\"0\" "
                                 "Datatype=\"int16_t\" Default=\"-123\"/>\n"));
        QVERIFY(content.contains("Default=\"2024-05-17T13:45:27\""));
        QVERIFY(!content.contains("Optionen_Alarm"));
        QVERIFY(!content.contains("\"Root\""));

        QDomDocument document;
        QVERIFY(document.setContent(content));
        const QDomElement root = document.documentElement();
        QDomElement child = root.firstChildElement();
        QCOMPARE(child.tagName(), QStringLiteral("value"));
        child = child.nextSiblingElement();
        QCOMPARE(child.attribute("name"), QStringLiteral("description"));
        QCOMPARE(child.firstChildElement().attribute("Parameter"), QStringLiteral("le_customer")); // key order
        child = child.nextSiblingElement();
        QCOMPARE(child.attribute("name"), QStringLiteral("entries"));
        // Object group, then the groups nested in it, values innermost.
        const QDomElement object = child.firstChildElement();
        QCOMPARE(object.attribute("name"), QStringLiteral("Regelung"));
        QCOMPARE(object.elementsByTagName("group").size(), 2);
        QCOMPARE(object.firstChildElement().attribute("name"), QStringLiteral("Sollwerte"));
        QCOMPARE(object.firstChildElement().nextSiblingElement().attribute("name"), QStringLiteral("Betrieb"));
        QVERIFY(child.nextSiblingElement().isNull());
    }

    void emptyRecords()
    {
        const QString name = path(QStringLiteral("empty.xml"));
        const QMap<QString, QString> only = {{QStringLiteral("le_device"), QStringLiteral("TC200")}};
        QVERIFY(CParameterFile::saveFile(name, only, {}));
        QDomDocument document;
        QVERIFY(document.setContent(readFile(name)));
        QCOMPARE(document.documentElement().childNodes().size(), 3);

        QMap<QString, QString> loadedDescription = {{QStringLiteral("stale"), QStringLiteral("x")}};
        QList<CDataPoint> loaded = {CDataPoint()};
        QVERIFY(CParameterFile::loadFile(name, &loadedDescription, &loaded));
        QVERIFY(loaded.isEmpty());
        QCOMPARE(loadedDescription, only);
    }

    // A file not written by us: another version, odd attributes, values
    // outside object groups, unknown elements.
    void foreignFile()
    {
        const QString name = path(QStringLiteral("foreign.xml"));
        QVERIFY(writeFile(name, R"(<?xml version="1.0" encoding="UTF-8"?>
<PMX_PARA>
  <value Parameter="PMX_ParameterfileVersion" Default="2"/>
  <group name="description">
    <value Parameter="le_device" Default="first"/>
    <value Parameter="le_device" Default="TC200"/>
    <value Default="no key"/>
    <other Parameter="ignored" Default="x"/>
  </group>
  <group name="entries">
    <value Parameter="Loose" DataId="7" Datatype="UINT16_T" Default="12"/>
    <group name="Regelung">
      <group name="Sollwerte">
        <value Parameter="Sollwerte_Sollwert" DataId="0" Datatype="int16_t" Default="21.5"/>
        <value Parameter="Sollwerte_Text" DataId="x" Datatype="text16_t" Default=" 1,5 &amp; more "/>
        <value Parameter="NoId" Datatype="nonsense" Default="abc"/>
        <value Parameter="Clock" DataId="3" Datatype="datetime" Default="2024-05-17T13:45:27"/>
        <unknown Parameter="skipped"/>
      </group>
    </group>
  </group>
  <group name="other"><value Parameter="x" Default="y"/></group>
</PMX_PARA>
)"));
        QMap<QString, QString> desc;
        QList<CDataPoint> data;
        QVERIFY(CParameterFile::loadFile(name, &desc, &data));
        const QMap<QString, QString> expectedDescription = {{QStringLiteral("le_device"), QStringLiteral("TC200")},
                                                            {QString(), QStringLiteral("no key")}};
        QCOMPARE(desc, expectedDescription);

        QCOMPARE(data.size(), 7);
        const QStringList names = {"Loose", "Regelung", "Sollwerte", "Sollwerte_Sollwert", "Sollwerte_Text", "NoId", "Clock"};
        const QList<int> ids = {7, 0, 0, 0, 0, -1, 3};
        const QList<int> types = {CItem::TYPE_UINT16_T, CItem::TYPE_GROUP, CItem::TYPE_GROUP, CItem::TYPE_INT16_T,
                                  CItem::TYPE_TEXT16_T, 0, CItem::TYPE_DATETIME};
        for (int i = 0; i < data.size(); ++i) {
            QCOMPARE(data.at(i).name, names.at(i));
            QCOMPARE(data.at(i).id, ids.at(i));
            QCOMPARE(data.at(i).type, types.at(i));
        }
        QCOMPARE(data.at(0).value, QVariant(12.0f));
        QVERIFY(!data.at(1).value.isValid());
        QCOMPARE(data.at(3).value, QVariant(21.5f)); // not rounded to the integer type
        QCOMPARE(data.at(4).value, QVariant(QStringLiteral(" 1,5 & more ")));
        QCOMPARE(data.at(5).value, QVariant(0.0f));
        QCOMPARE(data.at(6).value.toDateTime(), m_service);
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("empty file") << QByteArray("");
        QTest::newRow("damaged XML") << QByteArray("<PMX_PARA><group name=\"entries\"><value Parameter=\"a\"");
        QTest::newRow("another root") << QByteArray("<PMX_PARAM><group name=\"description\"/></PMX_PARAM>");
        QTest::newRow("not XML") << QByteArray("\x00\x01binary", 8);
    }

    void refused()
    {
        QFETCH(QByteArray, content);
        const QString name = path(QStringLiteral("refused_%1.xml").arg(QTest::currentDataTag()));
        if (!content.isNull())
            QVERIFY(writeFile(name, content));
        QMap<QString, QString> desc = {{QStringLiteral("stale"), QStringLiteral("x")}};
        QList<CDataPoint> data = {CDataPoint()};
        QVERIFY(!CParameterFile::loadFile(name, &desc, &data));
        QVERIFY(desc.isEmpty());
        QVERIFY(data.isEmpty());
    }

    void failedSaveUnderFile()
    {
        // A regular file cannot hold files, whoever runs the test.
        const QString blocker = path(QStringLiteral("blocker"));
        QVERIFY(writeFile(blocker, "x"));
        QVERIFY(!CParameterFile::saveFile(blocker + QStringLiteral("/para.xml"), description(), {}));
        QVERIFY(!CParameterFile::savePdf(blocker + QStringLiteral("/para.pdf"), description(), {}));
        QCOMPARE(readFile(blocker), QByteArray("x"));
    }

    void failedSaveKeepsEarlierFile()
    {
        if (::geteuid() == 0)
            QSKIP("permissions do not stop the superuser from writing");
        const QString dir = path(QStringLiteral("readonly"));
        QVERIFY(QDir().mkpath(dir));
        const QString name = dir + QStringLiteral("/para.xml");
        QObject owner;
        QVERIFY(CParameterFile::saveFile(name, description(), CParameterFile::parameterData(parameters(&owner))));
        const QByteArray earlier = readFile(name);
        QVERIFY(QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const bool saved = CParameterFile::saveFile(name, {{QStringLiteral("le_device"), QStringLiteral("other")}}, {});
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(readFile(name), earlier);
    }

    void temporary()
    {
        QObject owner;
        const QList<CDataPoint> data = CParameterFile::parameterData(parameters(&owner));
        QScopedPointer<QTemporaryFile> file(
            CParameterFile::saveTemporary(QDir::tempPath() + QStringLiteral("/paramica_XXXXXX.xml"), description(), data));
        QVERIFY(file);
        QVERIFY(!file->isOpen());
        const QString name = file->fileName();
        QVERIFY(QFile::exists(name));
        QCOMPARE(readFile(name), CParameterFile::createContent(description(), data));

        QMap<QString, QString> desc;
        QList<CDataPoint> loaded;
        QVERIFY(CParameterFile::loadTemporary(file.data(), &desc, &loaded));
        QCOMPARE(desc, description());
        QMap<QString, QString> fromFile;
        QList<CDataPoint> expected;
        QVERIFY(CParameterFile::loadFile(name, &fromFile, &expected));
        QCOMPARE(loaded.size(), expected.size());
        file.reset();
        QVERIFY(!QFile::exists(name)); // lives as long as its object

        desc = {{QStringLiteral("stale"), QStringLiteral("x")}};
        QVERIFY(!CParameterFile::loadTemporary(nullptr, &desc, &loaded));
        QVERIFY(desc.isEmpty() && loaded.isEmpty());
        QVERIFY(!CParameterFile::saveTemporary(path(QStringLiteral("no/such/dir/XXXXXX")), description(), data));
    }

    void parameter_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("object");
        QTest::newRow("part of a name") << "ollwerte_Sollw" << "Sollwerte_Sollwert";
        QTest::newRow("anchored") << "^Sollwerte_Betriebsart$" << "Sollwerte_Betriebsart";
        QTest::newRow("bit") << "Optionen_Alarm" << "Betrieb_Optionen_Alarm";
        QTest::newRow("date-time") << "Wartung" << "Betrieb_Wartung";
        QTest::newRow("nothing") << "^does not exist$" << "";
    }

    void parameter()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, object);
        QObject owner;
        CTreeModel* model = parameters(&owner);
        const QString expected = object.isEmpty() ? QString() : model->findChild<CItem*>(object)->toValueString();
        QCOMPARE(CParameterFile::parameter(pattern, model), expected);
        if (!object.isEmpty())
            QVERIFY(!expected.isEmpty());
        QCOMPARE(CParameterFile::parameter(pattern, nullptr), QString());
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
        const int device = lines.indexOf(QStringLiteral("Device:"));
        QVERIFY(device > 0);
        QCOMPARE(lines.mid(device, 5), (QStringList{"Device:", "Customer:", "", "Installer:", "Date:"}));
        const int values = lines.indexOf(QStringLiteral("TC200"));
        QCOMPARE(lines.mid(values, 5),
                 (QStringList{"TC200", "Müller & <Söhne>", "Hauptstraße 1", "Heat Ltd", "17.05.2024"}));

        QTextTable* table = nullptr;
        for (QTextFrame* frame : doc->rootFrame()->childFrames()) {
            if (auto* found = qobject_cast<QTextTable*>(frame))
                table = found;
        }
        QVERIFY(table);
        QCOMPARE(table->columns(), 4);
        QCOMPARE(cellText(table, 0, 0) + cellText(table, 0, 1) + cellText(table, 0, 2) + cellText(table, 0, 3),
                 QStringLiteral("NumberCaptionValueUnit"));
        int row = 1;
        int number = 1;
        bool sawBit = false;
        for (const CDataPoint& point : data) {
            if (!point.visible || point.type == CItem::TYPE_ROOT)
                continue;
            const bool caption = point.type == CItem::TYPE_OBJECT || point.type == CItem::TYPE_GROUP;
            const QByteArray where = point.name.toUtf8();
            if (caption || point.type == CItem::TYPE_BIT)
                QVERIFY2(cellText(table, row, 0).isEmpty(), where);
            else
                QCOMPARE(cellText(table, row, 0), QString::number(number++));
            sawBit = sawBit || point.type == CItem::TYPE_BIT;
            QCOMPARE(cellText(table, row, 1), point.caption);
            QCOMPARE(cellText(table, row, 2), point.valueText);
            QCOMPARE(cellText(table, row, 3), point.unit);
            QCOMPARE(table->cellAt(row, 3).format().background().color() == CParamicaModel::TABLE_CAPTION_COLOR,
                     caption);
            ++row;
        }
        QVERIFY(sawBit);
        QCOMPARE(table->rows(), row);
        QVERIFY(row < data.size()); // the invisible records and the root are left out
    }

    void pdf()
    {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        if (pdftotext.isEmpty() || pdfinfo.isEmpty())
            QSKIP("poppler-utils are not installed");
        QObject owner;
        CTreeModel* model = parameters(&owner);
        const QList<CDataPoint> data = CParameterFile::parameterData(model);
        const QString name = path(QStringLiteral("para.pdf"));
        QVERIFY(CParameterFile::savePdf(name, description(), data));

        const QString info = run(pdfinfo, {name});
        const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        QVERIFY2(pages.hasMatch(), qPrintable(info));
        QVERIFY(pages.captured(1).toInt() >= 1);
        QVERIFY2(info.contains(QStringLiteral("595 x 842")), qPrintable(info)); // A4 in points

        const QString text = run(pdftotext, {QStringLiteral("-layout"), name, QStringLiteral("-")});
        for (const QString& word : {"TC200 - Parameter", "Number", "Caption", "Value", "Unit", "Customer:",
                                    "Setpoint", "Last service", "Alarm", "Hauptstraße 1"})
            QVERIFY2(text.contains(word), qPrintable(word));
        QVERIFY(text.contains(model->findChild<CItem*>("Sollwerte_Sollwert")->toValueString()));
        QVERIFY(text.contains(model->findChild<CItem*>("Sollwerte_Betriebsart")->toValueString()));
        QVERIFY(!text.contains(QStringLiteral("Reserve"))); // invisible
    }

    void print()
    {
        QVERIFY(!CParameterFile::printPdf(nullptr, description(), {}));
        const QString name = path(QStringLiteral("printed.pdf"));
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(name);
        QVERIFY(CParameterFile::printPdf(&printer, description(), {}));
        QCOMPARE(printer.resolution(), 300);
        QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A4);
        QVERIFY(readFile(name).startsWith("%PDF"));
    }
};

QTEST_MAIN(tst_CParameterFile)
#include "tst_CParameterFile.moc"
