#include "protocol/CRC16.h"
#include "xml/CFunctionalFeature.h"
#include "xml/CXmlParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The description reader and the sealing tool on the installed sample files
// and on broken ones. The suite runs twice, once as the application does by
// default and once started with "--no-xml-check" (see main below).
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

    static QByteArray nested(int depth)
    {
        return QByteArray("<group name=\"g\">").repeated(depth) + QByteArray("</group>").repeated(depth);
    }

    // A sealed variant of the sample whose check bytes read as the start of an
    // unfinished UTF-8 character, which a decoder drops without a word.
    static QByteArray lookalikeSealedSample()
    {
        const QByteArray unsealed = readSample(QStringLiteral("TC200_V100.xml")).chopped(2);
        for (int n = 0;; ++n) {
            const QByteArray candidate = sealed(unsealed + QStringLiteral("<!-- %1 -->\n").arg(n).toUtf8());
            if ((uchar(candidate.at(candidate.size() - 2)) & 0xF0) == 0xE0 && (uchar(candidate.back()) & 0xC0) == 0x80)
                return candidate;
        }
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

    static QByteArray withFeatures(const QString& groups)
    {
        return sealed(minimalDescription(QStringLiteral("<group name=\"DVX_PROJECT_FEATURES\">%1</group>").arg(groups)));
    }

    static QByteArray withFeature(const QString& name, const QString& entry, const QString& text)
    {
        return withFeatures(QStringLiteral("<group name=\"%1\"><value name=\"%2\" Default=\"%3\"/></group>").arg(name, entry, text));
    }

    static QString identity(const CDeviceDescription& d)
    {
        return QStringList{ d.name, d.orderNumber, d.parameterVersion, d.pabVersion, d.softwareVersion,
                            QString::number(d.features.size()) }
            .join(QLatin1Char('|'));
    }

private slots:
    void cleanup() { QCoreApplication::setApplicationVersion(QString()); }

    // Expected: the identity read (name|order number|parameter version|PabOut
    // version|software version|features), or "!" and a part of the reason.
    void readers_data()
    {
        QTest::addColumn<QString>("application");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("withCheck");
        QTest::addColumn<QString>("withoutCheck");

        const QByteArray sample = readSample(QStringLiteral("TC200_V100.xml"));
        const QString tc200 = QStringLiteral("TC200|47110001|1.00|0.00|1.0.0|6");
        const QString mini = QStringLiteral("Mini device|123|0.00|0.00||0");
        QByteArray changedValue = sample;
        changedValue.replace("Default=\"215\"", "Default=\"216\"");
        QByteArray brokenElsewhere = sample;
        brokenElsewhere.replace("</group>\n  <group name=\"DVX_PROJECT_FEATURES\">", "\n  <group name=\"DVX_PROJECT_FEATURES\">");
        const QString hugeName = QStringLiteral("<group name=\"DVX_OBJECT\"><value DVX_OBJECT_NAME=\"%1\"/></group>")
                                     .arg(QString(4 * 1024 * 1024, QLatin1Char('x')));
        const QString versions = QStringLiteral(
            "<group name=\"DVX_OBJECT\"><value DVX_OBJECT_NAME=\"Parameter\"/><group name=\"DVX_LINE\">"
            "<group name=\"A\"><value name=\"Version\" Default=\"120\" Divider=\"100\"/></group></group></group>"
            "<group name=\"DVX_OBJECT\"><group name=\"DVX_LINE\"><group name=\"B\">" // the name follows the lines
            "<value name=\"Version\" Default=\"7\" Divider=\"10\"/></group></group><value DVX_OBJECT_NAME=\"PabOut_1\"/></group>");

        QTest::newRow("TC200 1.00") << "" << sample << tc200 << tc200;
        QTest::newRow("parameter and PabOut versions") << "" << sealed(minimalDescription(versions)) << "Mini device|123|1.20|0.70||0" << "Mini device|123|1.20|0.70||0";
        QTest::newRow("check bytes like a UTF-8 lead byte") << "" << lookalikeSealedSample() << tc200 << tc200;
        QTest::newRow("huge attribute") << "" << sealed(minimalDescription(hugeName)) << mini << mini;
        QTest::newRow("non-UTF-8 bytes read as U+FFFD") << "" << sealed("<DVX><group name=\"DVX_PROJECT\"><value DVX_PROJECT_NAME=\"\xff\" DVX_PROJECT_ORDER_NUMBER=\"1\"/></group></DVX>\n") << QString::fromUtf8("\xef\xbf\xbd|1|0.00|0.00||0") << QString::fromUtf8("\xef\xbf\xbd|1|0.00|0.00||0");
        QTest::newRow("one value changed") << "" << changedValue << "!check bytes do not match" << tc200;
        QTest::newRow("saved without check bytes") << "" << sample.chopped(2) << "!no check bytes" << tc200;
        QTest::newRow("one check byte lost") << "" << sealed(minimalDescription()).chopped(1) << "!check bytes" << mini;
        QTest::newRow("broken XML") << "" << brokenElsewhere << "!not well-formed at line" << "!not well-formed at line";
        QTest::newRow("empty file") << "" << QByteArray() << "!empty" << "!empty";
        QTest::newRow("not XML") << "" << QByteArray("this is no description\n\x01\x02") << "!line 1" << "!line 1";
        QTest::newRow("other root tag") << "" << sealed("<DEVICE><group name=\"DVX_PROJECT\"/></DEVICE>\n") << "!not a device description" << "!not a device description";
        QTest::newRow("identity without order number") << "" << sealed("<DVX><group name=\"DVX_PROJECT\"><value DVX_PROJECT_NAME=\"X\"/></group></DVX>\n") << "!names no device" << "!names no device";
        QTest::newRow("table version 0") << "" << sealed(minimalDescription(QString(), "0")) << "!version \"0\"" << "!version \"0\"";
        QTest::newRow("table version not a number") << "" << sealed(minimalDescription(QString(), "five")) << "!version \"five\"" << "!version \"five\"";
        QTest::newRow("1.7.0 refuses 400") << "1.7.0" << sealed(minimalDescription(QString(), "400")) << "!version \"400\"" << "!version \"400\"";
        QTest::newRow("1.7.0 takes 500") << "1.7.0" << sealed(minimalDescription(QString(), "500")) << mini << mini;
        QTest::newRow("1.5.3 takes 400") << "1.5.3" << sealed(minimalDescription(QString(), "400")) << mini << mini;
        QTest::newRow("1.0.9 refuses 200") << "1.0.9" << sealed(minimalDescription(QString(), "200")) << "!version \"200\"" << "!version \"200\"";
        QTest::newRow("features nested 25,000 deep") << "" << withFeatures(QString::fromLatin1(nested(25000))) << "!nested more than 64" << "!nested more than 64";
        QTest::newRow("nested 25,000 deep, unsealed") << "" << minimalDescription(QString::fromLatin1(nested(25000))) << "!nested more than 64" << "!nested more than 64";
    }

    void readers()
    {
        QFETCH(QString, application);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, withCheck);
        QFETCH(QString, withoutCheck);
        QCoreApplication::setApplicationVersion(application);
        const QString expected = CXmlParser::checkXmlCrc() ? withCheck : withoutCheck;
        const bool accepted = !expected.startsWith(QLatin1Char('!'));
        const QString path = writeFile(QStringLiteral("description.xml"), bytes);
        CXmlParser parser;
        QCOMPARE(parser.readFileDeviceId(path), accepted);
        QVERIFY(parser.content().isEmpty()); // listing reads no content
        if (accepted) {
            QCOMPARE(identity(parser.deviceDescription()), expected);
            QCOMPARE(parser.deviceDescription().fileName, path);
        } else {
            QVERIFY2(parser.errorString().contains(QDir::toNativeSeparators(path)) && parser.errorString().contains(expected.mid(1)),
                     qPrintable(parser.errorString()));
        }
        QCOMPARE(parser.readFileContent(path), accepted);
        QCOMPARE(parser.errorString().isEmpty(), accepted);
        if (!accepted)
            QVERIFY(parser.content().isEmpty());
    }

    // The content the models are built from is checked through them; here
    // what they cannot see: attribute indexes follow the file, the same in
    // every run.
    void fullParseKeepsAttributeOrder()
    {
        CXmlParser parser;
        QVERIFY(parser.readFileContent(sampleFile(QStringLiteral("TC200_V100.xml"))));
        QCOMPARE(parser.content().keys(), (QStringList{ "DeviceInfo", "PabOut", "Parameter", "Setup" }));
        const CDeviceDescription::FeatureValue column =
            parser.deviceDescription().features.value("Programme").value("Weekly program").at(4);
        QStringList attributes;
        for (int i = 0; i < column.size(); ++i)
            attributes << column.value(i).first + QLatin1Char('=') + column.value(i).second;
        QCOMPARE(attributes, (QStringList{ "name=Column1_On", "Text=On 1", "Datatype=short_time15_t", "Default=24", "Min=0", "Max=96", "Divider=1" }));
    }

    void laterObjectOfTheSameNameWins()
    {
        const QString twice = QStringLiteral("<group name=\"DVX_OBJECT\"><value DVX_OBJECT_NAME=\"Setup\"/><group name=\"DVX_LINE\">"
                                             "<group name=\"%1\"/></group></group>");
        CXmlParser parser;
        QVERIFY(parser.readFileContent(writeFile("twice.xml", sealed(minimalDescription(twice.arg("First") + twice.arg("Second"))))));
        QCOMPARE(parser.content().size(), 1);
        QCOMPARE(parser.content().value("Setup")->classes.first().name, QStringLiteral("Second"));
    }

    void features_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QVariant>("value");
        const QByteArray sample = readSample(QStringLiteral("TC200_V100.xml"));
        const QByteArray nestedGroups = withFeatures("<group name=\"RTC\"><value name=\"FC_RD\" Default=\"3\"/><group><value name=\"X\" Default=\"1\"/></group>"
                                                     "<group name=\"Named\"><value name=\"Y\" Default=\"2\"/></group></group>");
        QTest::newRow("clock") << sample << "RTC" << "Address_RD" << "Base" << 1 << true << QVariant(8192u);
        QTest::newRow("error log") << sample << "Fehlerspeicher" << "List" << "Base" << 2 << true << QVariant(QStringList{ "No error", "Sensor break", "Overtemperature", "Undervoltage" });
        QTest::newRow("firmware update") << sample << "Firmwareupdate" << "Enabled" << "Base" << 3 << true << QVariant(true);
        QTest::newRow("io mapping") << sample << "IOMapping" << "Type" << "Outputs" << 4 << true << QVariant(QStringLiteral("DOut"));
        QTest::newRow("programme") << sample << "Programme" << "Address_RW" << "Weekly program" << 5 << true << QVariant(12288u);
        QTest::newRow("data logger, switched off") << sample << "Datenlogger" << "Enabled" << "Base" << 6 << false << QVariant(false);
        QTest::newRow("missing key") << sample << "RTC" << "Address_RD" << "Nowhere" << 1 << true << QVariant();
        QTest::newRow("missing entry") << sample << "RTC" << "Anzahl_X" << "Base" << 1 << true << QVariant();
        QTest::newRow("suffix h is no number") << withFeature("Programme", "Address_RD", "1000h") << "Programme" << "Address_RD" << "Base" << 5 << true << QVariant(0u);
        QTest::newRow("names are case-sensitive") << withFeature("programme", "Anzahl", "8") << "programme" << "Anzahl" << "Base" << 0 << true << QVariant(8u);
        QTest::newRow("TRUE enables but is not true") << withFeature("RTC", "Enabled", "TRUE") << "RTC" << "Enabled" << "Base" << 1 << true << QVariant(false);
        QTest::newRow("empty list part kept") << withFeature("RTC", "List", "Off,,On") << "RTC" << "List" << "Base" << 1 << true << QVariant(QStringList{ "Off", "", "On" });
        QTest::newRow("empty group stays disabled") << withFeatures("<group name=\"RTC\"/>") << "RTC" << "FC_RD" << "Base" << 1 << false << QVariant();
        QTest::newRow("own values under Base") << nestedGroups << "RTC" << "FC_RD" << "Base" << 1 << true << QVariant(3u);
        QTest::newRow("unnamed group under Entry") << nestedGroups << "RTC" << "X" << "Entry" << 1 << true << QVariant(1u);
        QTest::newRow("named group under its name") << nestedGroups << "RTC" << "Y" << "Named" << 1 << true << QVariant(2u);
    }

    void features()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(QString, attribute);
        QFETCH(QString, key);
        QFETCH(int, type);
        QFETCH(bool, enabled);
        QFETCH(QVariant, value);
        CXmlParser parser;
        QVERIFY(parser.readFileDeviceId(writeFile(QStringLiteral("features.xml"), file)));
        CFunctionalFeature feature;
        feature.setName(name);
        feature.setup(parser.deviceDescription().features.value(name));
        QCOMPARE(int(feature.type()), type);
        QCOMPARE(feature.isEnabled(), enabled);
        QCOMPARE(feature.value(attribute, key), value);
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
        QCOMPARE(CXmlParser::readDeviceLanguages(writeFile("deep.xml", minimalDescription(nested(25000)))).first, QString());
    }

    void sealingTool_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output"); // the file written by seal, or a part of what check says

        const QByteArray xml = minimalDescription();
        QByteArray editedLookalike = lookalikeSealedSample();
        editedLookalike.replace("Default=\"215\"", "Default=\"216\"");
        const QByteArray earlier = "earlier file";

        QTest::newRow("check a sealed description") << "check" << sealed(xml) << 0 << QByteArray("Mini device");
        QTest::newRow("check sealed garbage") << "check" << sealed("garbage\n") << 1 << QByteArray("not well-formed");
        QTest::newRow("check a sealed non-description") << "check" << sealed("<DVX/>\n") << 1 << QByteArray("names no device");
        QTest::newRow("check an edited file") << "check" << sealed(xml).replace("123", "124") << 1 << QByteArray("do not match");
        QTest::newRow("seal plain XML") << "seal" << xml << 0 << sealed(xml);
        QTest::newRow("seal a sealed file again") << "seal" << sealed(xml) << 0 << sealed(xml);
        QTest::newRow("seal an edited sealed file") << "seal" << sealed(xml).replace("123", "124") << 0
                                                     << sealed(QByteArray(xml).replace("123", "124"));
        QTest::newRow("seal an edited file with lookalike check bytes")
            << "seal" << editedLookalike << 0 << sealed(editedLookalike.chopped(2));
        QTest::newRow("refuse to seal broken XML") << "seal" << QByteArray("<DVX><group></DVX>\n") << 1 << earlier;
        QTest::newRow("refuse to seal deep XML") << "seal" << minimalDescription(nested(25000)) << 1 << earlier;
    }

    void sealingTool()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        const QString in = writeFile(QStringLiteral("in.xml"), input);
        const QString out = writeFile(QStringLiteral("out.xml"), "earlier file");
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(QStringLiteral(PARAMICA_DVX_PATH),
                   command == QLatin1String("seal") ? QStringList{ command, in, "-o", out } : QStringList{ command, in });
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), exitCode);
        if (command == QLatin1String("check")) {
            QVERIFY(tool.readAll().contains(output));
            return;
        }
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), output);
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
