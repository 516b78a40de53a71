#include "protocol/CRC16.h"
#include "xml/CFunctionalFeature.h"
#include "xml/CXmlParser.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The description reader on the installed sample files and on broken ones.
// The suite runs twice, once as the application does by default and once
// started with "--no-xml-check" (see main below).
class tst_CXmlParser : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QString sampleFile(const QString& name)
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/xml/") + name;
    }

    static QByteArray sealed(QByteArray xml)
    {
        const quint16 crc = CRC16::calc_crc(xml);
        xml.append(char(crc >> 8));
        xml.append(char(crc & 0xFF));
        return xml;
    }

    static QByteArray minimalDescription(const QString& body = QString(), const QString& table = QStringLiteral("500"))
    {
        return QStringLiteral("<DVX><group name=\"DVX_PROJECT\"><value DVX_PROJECT_NAME=\"Mini device\" "
                              "DVX_PROJECT_ORDER_NUMBER=\"123\" DVX_PROJECT_TABLE_VERSION=\"%1\"/></group>%2</DVX>\n")
            .arg(table, body)
            .toUtf8();
    }

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }

    static QByteArray readSample(const QString& name)
    {
        QFile file(sampleFile(name));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    static CXmlParser::FeatureGroup featureData(const QString& feature)
    {
        CXmlParser parser;
        if (!parser.readFileDeviceId(sampleFile(QStringLiteral("TC200_V100.xml"))))
            return {};
        return parser.deviceDescription().features.value(feature);
    }

private slots:
    void cleanup() { QCoreApplication::setApplicationVersion(QString()); }

    void identityOfTheSamples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("orderNumber");
        QTest::addColumn<QString>("parameterVersion");
        QTest::addColumn<QString>("softwareVersion");
        QTest::addColumn<int>("features");
        QTest::newRow("TC200 1.00") << "TC200_V100.xml" << "TC200" << "47110001" << "1.00" << "1.0.0" << 6;
        QTest::newRow("TC200 1.01") << "TC200_V101.xml" << "TC200" << "47110001" << "1.01" << "1.1.0" << 6;
        QTest::newRow("TC300") << "TC300.xml" << "TC300" << "4712XXXX" << "2.00" << "2.0.0" << 1;
    }

    void identityOfTheSamples()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(QString, orderNumber);
        QFETCH(QString, parameterVersion);
        QFETCH(QString, softwareVersion);
        QFETCH(int, features);
        CXmlParser parser;
        QVERIFY(parser.readFileDeviceId(sampleFile(file)));
        const CDeviceDescription description = parser.deviceDescription();
        QCOMPARE(description.name, name);
        QCOMPARE(description.orderNumber, orderNumber);
        QCOMPARE(description.parameterVersion, parameterVersion);
        QCOMPARE(description.pabVersion, QStringLiteral("0.00"));
        QCOMPARE(description.softwareVersion, softwareVersion);
        QCOMPARE(description.features.size(), features);
        QCOMPARE(description.fileName, sampleFile(file));
        QVERIFY(parser.content().isEmpty());
    }

    void fullParseOfOneFile()
    {
        CXmlParser parser;
        QVERIFY(parser.readFileContent(sampleFile(QStringLiteral("TC200_V100.xml"))));
        const QMap<QString, CElementMap*> content = parser.content();
        QCOMPARE(content.keys(), (QStringList{ "DeviceInfo", "PabOut", "Parameter", "Setup" }));

        const CElementMap* parameter = content.value(QStringLiteral("Parameter"));
        QCOMPARE(parameter->features, (QList<QPair<QString, QString>>{
                                          { "FC_RD", "3" }, { "FC_WR", "16" }, { "Access", "static" } }));
        QCOMPARE(parameter->classes.size(), 1);
        const CElementClass& control = parameter->classes.first();
        QCOMPARE(control.name, QStringLiteral("Regelung"));
        QCOMPARE(control.text, QStringLiteral("Control"));
        QCOMPARE(control.features.size(), 3);
        QCOMPARE(control.features.at(2), qMakePair(QStringLiteral("Version"), QStringLiteral("100")));
        QCOMPARE(control.elements.size(), 2);
        QCOMPARE(control.elements.at(0).name, QStringLiteral("Sollwerte"));
        QCOMPARE(control.elements.at(0).lines.size(), 10);
        QCOMPARE(control.elements.at(1).lines.size(), 10);
        const QHash<QString, QString> setpoint = control.elements.at(0).lines.first();
        QCOMPARE(setpoint.value("Datatype"), QStringLiteral("int16_t"));
        QCOMPARE(setpoint.value("Unit"), QStringLiteral("°C"));
        QCOMPARE(setpoint.value("Min"), QStringLiteral("-500"));
        QVERIFY(setpoint.value("TextIfOut").isEmpty()); // missing attributes read as empty

        QCOMPARE(parameter->lists.size(), 2);
        QCOMPARE(parameter->lists.at(0).value("List"), QStringLiteral("Off,Heating,Cooling,Auto"));
        QCOMPARE(parameter->bitfields.size(), 1);
        QCOMPARE(parameter->bitfields.first().name, QStringLiteral("Optionen"));
        QCOMPARE(parameter->bitfields.first().lines.size(), 4);
        QCOMPARE(parameter->bitfields.first().lines.at(1).value("Visibility"), QStringLiteral("false"));

        const CElementMap* deviceInfo = content.value(QStringLiteral("DeviceInfo"));
        QCOMPARE(deviceInfo->classes.size(), 2);
        QCOMPARE(deviceInfo->classes.at(0).features.first(), qMakePair(QStringLiteral("Address_RD"), QStringLiteral("0x0400")));
    }

    void integrityCheck_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("acceptedWithCheck");
        QTest::addColumn<bool>("acceptedWithoutCheck");

        const QByteArray sample = readSample(QStringLiteral("TC200_V100.xml"));
        QByteArray changedValue = sample;
        changedValue.replace("Default=\"215\"", "Default=\"216\"");
        QByteArray brokenElsewhere = sample;
        brokenElsewhere.replace("</group>\n  <group name=\"DVX_PROJECT_FEATURES\">", "\n  <group name=\"DVX_PROJECT_FEATURES\">");

        const QByteArray unsealed = sample.left(sample.size() - 2);
        // Check bytes that read as the start of an unfinished UTF-8 character.
        QByteArray lookalike;
        for (int n = 0; n < 100000; ++n) {
            lookalike = sealed(unsealed + QStringLiteral("<!-- %1 -->\n").arg(n).toUtf8());
            const uchar first = uchar(lookalike.at(lookalike.size() - 2));
            const uchar second = uchar(lookalike.at(lookalike.size() - 1));
            if ((first & 0xF0) == 0xE0 && (second & 0xC0) == 0x80)
                break;
        }

        QTest::newRow("sealed sample") << sample << true << true;
        QTest::newRow("check bytes like a UTF-8 lead byte") << lookalike << true << true;
        QTest::newRow("one value changed") << changedValue << false << true;
        QTest::newRow("saved without check bytes") << unsealed << false << true;
        QTest::newRow("broken XML") << brokenElsewhere << false << false;
        QTest::newRow("empty file") << QByteArray() << false << false;
        QTest::newRow("not XML") << QByteArray("this is no description\n\x01\x02") << false << false;
        QTest::newRow("other root tag") << sealed("<DEVICE><group name=\"DVX_PROJECT\"/></DEVICE>\n") << false << false;
        QTest::newRow("identity without order number")
            << sealed("<DVX><group name=\"DVX_PROJECT\"><value DVX_PROJECT_NAME=\"X\"/></group></DVX>\n") << false << false;
        QTest::newRow("table version 0") << sealed(minimalDescription(QString(), "0")) << false << false;
        QTest::newRow("table version not a number") << sealed(minimalDescription(QString(), "five")) << false << false;
    }

    void integrityCheck()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, acceptedWithCheck);
        QFETCH(bool, acceptedWithoutCheck);
        const bool accepted = CXmlParser::checkXmlCrc() ? acceptedWithCheck : acceptedWithoutCheck;
        const QString path = writeFile(QStringLiteral("description.xml"), bytes);
        CXmlParser parser;
        QCOMPARE(parser.readFileDeviceId(path), accepted);
        QCOMPARE(parser.readFileContent(path), accepted);
        QCOMPARE(parser.content().isEmpty(), !accepted);
    }

    void tableVersionAgainstTheApplication_data()
    {
        QTest::addColumn<QString>("application");
        QTest::addColumn<int>("table");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("1.7.0 refuses 400") << "1.7.0" << 400 << false;
        QTest::newRow("1.7.0 takes 500") << "1.7.0" << 500 << true;
        QTest::newRow("1.5.3 takes 400") << "1.5.3" << 400 << true;
        QTest::newRow("1.0.9 refuses 200") << "1.0.9" << 200 << false;
        QTest::newRow("no version takes 1") << "" << 1 << true;
        QTest::newRow("0 never") << "" << 0 << false;
    }

    void tableVersionAgainstTheApplication()
    {
        QFETCH(QString, application);
        QFETCH(int, table);
        QFETCH(bool, accepted);
        QCoreApplication::setApplicationVersion(application);
        const QString path = writeFile(QStringLiteral("table.xml"), sealed(minimalDescription(QString(), QString::number(table))));
        CXmlParser parser;
        QCOMPARE(parser.readFileDeviceId(path), accepted);
    }

    void objectVersions()
    {
        const QString versioned = QStringLiteral(
            "<group name=\"DVX_OBJECT\"><value DVX_OBJECT_NAME=\"Parameter\"/><group name=\"DVX_LINE\">"
            "<group name=\"A\"><value name=\"Version\" Default=\"120\" Divider=\"100\"/></group></group></group>"
            "<group name=\"DVX_OBJECT\"><value DVX_OBJECT_NAME=\"PabOut_1\"/><group name=\"DVX_LINE\">"
            "<group name=\"B\"><value name=\"Version\" Default=\"7\" Divider=\"10\"/></group></group></group>");
        CXmlParser parser;
        QVERIFY(parser.readFileDeviceId(writeFile("v.xml", sealed(minimalDescription(versioned)))));
        QCOMPARE(parser.deviceDescription().parameterVersion, QStringLiteral("1.20"));
        QCOMPARE(parser.deviceDescription().pabVersion, QStringLiteral("0.70"));
        QVERIFY(parser.readFileDeviceId(writeFile("none.xml", sealed(minimalDescription()))));
        QCOMPARE(parser.deviceDescription().parameterVersion, QStringLiteral("0.00"));
    }

    void laterObjectOfTheSameNameWins()
    {
        const QString twice = QStringLiteral(
            "<group name=\"DVX_OBJECT\"><value DVX_OBJECT_NAME=\"Setup\"/><group name=\"DVX_LINE\">"
            "<group name=\"First\"/></group></group>"
            "<group name=\"DVX_OBJECT\"><value DVX_OBJECT_NAME=\"Setup\"/><group name=\"DVX_LINE\">"
            "<group name=\"Second\"/></group></group>");
        CXmlParser parser;
        QVERIFY(parser.readFileContent(writeFile("twice.xml", sealed(minimalDescription(twice)))));
        QCOMPARE(parser.content().size(), 1);
        QCOMPARE(parser.content().value("Setup")->classes.first().name, QStringLiteral("Second"));
    }

    void featureGroups()
    {
        QDomDocument document;
        QVERIFY(document.setContent(QStringLiteral(
            "<group name=\"F\"><value name=\"FC_RD\" Default=\"3\"/><group><value name=\"X\"/></group>"
            "<group name=\"Named\"><value name=\"Y\"/><value name=\"Z\"/></group></group>")));
        const CXmlParser::FeatureGroup group = CXmlParser::parseFeatures(document.documentElement());
        QCOMPARE(group.keys().size(), 3);
        QCOMPARE(group.value("Base").size(), 1);
        const QList<QPair<QString, QString>> attributes = group.value("Base").first().values();
        QVERIFY(attributes.contains(qMakePair(QStringLiteral("Default"), QStringLiteral("3"))));
        QCOMPARE(attributes.size(), 2);
        QCOMPARE(group.value("Entry").size(), 1);
        QCOMPARE(group.value("Named").size(), 2);
    }

    void sixFeaturesOfTheSample_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("clock") << "RTC" << 1 << true << "Address_RD" << "Base" << QVariant(8192u);
        QTest::newRow("error log") << "Fehlerspeicher" << 2 << true << "List" << "Base"
                                   << QVariant(QStringList{ "No error", "Sensor break", "Overtemperature", "Undervoltage" });
        QTest::newRow("error log clear") << "Fehlerspeicher" << 2 << true << "FC_WRS" << "Base" << QVariant(6u);
        QTest::newRow("firmware update") << "Firmwareupdate" << 3 << true << "Enabled" << "Base" << QVariant(true);
        QTest::newRow("io mapping") << "IOMapping" << 4 << true << "Type" << "Outputs" << QVariant(QStringLiteral("DOut"));
        QTest::newRow("programme") << "Programme" << 5 << true << "Address_RW" << "Weekly program" << QVariant(12288u);
        QTest::newRow("data logger, switched off") << "Datenlogger" << 6 << false << "Enabled" << "Base" << QVariant(false);
        QTest::newRow("missing key") << "RTC" << 1 << true << "Address_RD" << "Nowhere" << QVariant();
        QTest::newRow("missing entry") << "RTC" << 1 << true << "Anzahl_X" << "Base" << QVariant();
    }

    void sixFeaturesOfTheSample()
    {
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(bool, enabled);
        QFETCH(QString, attribute);
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        CFunctionalFeature feature;
        feature.setName(name);
        feature.setup(featureData(name));
        QCOMPARE(int(feature.type()), type);
        QCOMPARE(feature.isEnabled(), enabled);
        QCOMPARE(feature.value(attribute, key), value);
    }

    void featureNamesAndValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("hex address") << "Programme" << "Address_RD" << "0x1000" << 5 << true << QVariant(4096u);
        QTest::newRow("decimal address") << "Programme" << "Address_RD" << "4096" << 5 << true << QVariant(4096u);
        QTest::newRow("suffix h is no number") << "Programme" << "Address_RD" << "1000h" << 5 << true << QVariant(0u);
        QTest::newRow("count") << "RTC" << "Anzahl" << "8" << 1 << true << QVariant(8u);
        QTest::newRow("names are case-sensitive") << "programme" << "Anzahl" << "8" << 0 << true << QVariant(8u);
        QTest::newRow("TRUE enables but is not true") << "RTC" << "Enabled" << "TRUE" << 1 << true << QVariant(false);
        QTest::newRow("false disables") << "RTC" << "Enabled" << "false" << 1 << false << QVariant(false);
        QTest::newRow("empty list part kept") << "RTC" << "List" << "Off,,On" << 1 << true
                                              << QVariant(QStringList{ "Off", "", "On" });
    }

    void featureNamesAndValues()
    {
        QFETCH(QString, name);
        QFETCH(QString, entry);
        QFETCH(QString, text);
        QFETCH(int, type);
        QFETCH(bool, enabled);
        QFETCH(QVariant, value);
        CDeviceDescription::FeatureValue element;
        element.insert(0, qMakePair(QStringLiteral("name"), entry));
        element.insert(1, qMakePair(QStringLiteral("Default"), text));
        CFunctionalFeature feature;
        feature.setName(name);
        feature.setup({ { QStringLiteral("Base"), { element } } });
        QCOMPARE(int(feature.type()), type);
        QCOMPARE(feature.isEnabled(), enabled);
        QCOMPARE(feature.value(entry, QStringLiteral("Base")), value);
    }

    void emptyFeatureStaysDisabled()
    {
        CFunctionalFeature feature(QStringLiteral("RTC"));
        QCOMPARE(int(feature.type()), 0); // the constructor does not derive the type
        feature.setup({});
        QVERIFY(!feature.isEnabled());
    }

    void translationFiles()
    {
        CXmlParser parser;
        QVERIFY(parser.readFileDeviceId(sampleFile(QStringLiteral("TC200_V100.xml"))));
        const QString directory = QCoreApplication::applicationDirPath() + QStringLiteral("/xml/translations");
        const QStringList files = CXmlParser::languageFiles(parser.deviceDescription(), directory);
        QCOMPARE(files.size(), 1);
        const CXmlParser::Language language = CXmlParser::readDeviceLanguages(files.first());
        QCOMPARE(language.first, QStringLiteral("Deutsch"));
        QCOMPARE(language.second.value("Setpoint"), QStringLiteral("Sollwert"));
        QCOMPARE(language.second.value("Off,Heating,Cooling,Auto"), QStringLiteral("Aus,Heizen,Kühlen,Automatik"));

        // Order numbers are compared exactly, not masked and not case-folded.
        CDeviceDescription other = parser.deviceDescription();
        other.orderNumber = QStringLiteral("4711000l");
        QVERIFY(CXmlParser::languageFiles(other, directory).isEmpty());
        QCOMPARE(CXmlParser::readDeviceLanguages(m_dir.filePath("missing.xml")).first, QString());
    }

    void hostileFilesEndQuickly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray nested;
        for (int i = 0; i < 5000; ++i)
            nested += "<group name=\"g\">";
        for (int i = 0; i < 5000; ++i)
            nested += "</group>";
        QTest::newRow("deeply nested features")
            << sealed(minimalDescription(QStringLiteral("<group name=\"DVX_PROJECT_FEATURES\"><group name=\"RTC\">%1"
                                                        "</group></group>")
                                             .arg(QString::fromLatin1(nested))));
        QTest::newRow("huge attribute")
            << sealed(minimalDescription(QStringLiteral("<group name=\"DVX_OBJECT\"><value DVX_OBJECT_NAME=\"%1\"/></group>")
                                             .arg(QString(4 * 1024 * 1024, QLatin1Char('x')))));
        QTest::newRow("truncated check bytes") << sealed(minimalDescription()).chopped(1);
        QTest::newRow("non-UTF-8 bytes") << sealed("<DVX><group name=\"DVX_PROJECT\"><value DVX_PROJECT_NAME=\"\xff\xfe\" "
                                                   "DVX_PROJECT_ORDER_NUMBER=\"1\"/></group></DVX>\n");
    }

    void hostileFilesEndQuickly()
    {
        QFETCH(QByteArray, bytes);
        CXmlParser parser;
        const QString path = writeFile(QStringLiteral("hostile.xml"), bytes);
        parser.readFileContent(path); // must return, without crash
        if (parser.readFileDeviceId(path))
            QVERIFY(!parser.deviceDescription().name.isEmpty());
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // "--no-xml-check" is the library's switch, not QtTest's.
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeAll(QStringLiteral("--no-xml-check"));
    tst_CXmlParser test;
    return QTest::qExec(&test, arguments);
}

#include "tst_CXmlParser.moc"
