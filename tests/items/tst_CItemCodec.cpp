#include "items/CItem.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

namespace {

typedef CItem::ENUM_DATA_TYPES Type;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Enough texts for every list index the tables below use.
const QString LIST_TEXTS = QStringLiteral("zero,one,two,three");

QDateTime friday()
{
    return QDateTime(QDate(2024, 3, 15), QTime(14, 30, 45), Qt::LocalTime);
}

class COnOffTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (qstrcmp(context, "CItem") != 0)
            return QString();
        if (qstrcmp(sourceText, "On") == 0)
            return QStringLiteral("Ein");
        if (qstrcmp(sourceText, "Off") == 0)
            return QStringLiteral("Aus");
        return QString();
    }
    bool isEmpty() const override { return false; }
};

// Bit groups: bit 0, bit 2, bits 4..6, bit 15 and bit 31.
BitfieldDescription bitGroups()
{
    BitfieldDescription groups;
    const struct {
        int position;
        int count;
        const char* name;
    } entries[] = {{0, 1, "Ready"}, {2, 1, "Run"}, {4, 3, "Mode"}, {15, 1, "Fault"}, {31, 1, "Alarm"}};
    for (const auto& entry : entries) {
        CBitDescription d;
        d.name = QString::fromLatin1(entry.name);
        d.bitCount = entry.count;
        groups.insert(entry.position, d);
    }
    return groups;
}

} // namespace

class tst_CItemCodec : public QObject
{
    Q_OBJECT

private slots:
    void typeNames_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("text") << 3 << QStringList{"text", "text16_t"};
        QTest::newRow("int16") << 4 << QStringList{"int16_t", "signed short", "short"};
        QTest::newRow("uint16") << 5 << QStringList{"uint16_t", "unsigned short"};
        QTest::newRow("int8") << 6 << QStringList{"int8_t", "signed char", "char"};
        QTest::newRow("uint8") << 7 << QStringList{"uint8_t", "unsigned char"};
        QTest::newRow("int32") << 8 << QStringList{"int32_t", "signed int", "int"};
        QTest::newRow("uint32") << 9 << QStringList{"uint32_t", "unsigned int"};
        QTest::newRow("bool") << 10 << QStringList{"bool"};
        QTest::newRow("real") << 11 << QStringList{"float", "double"};
        QTest::newRow("list16") << 12 << QStringList{"list16_t", "list", "liste"};
        QTest::newRow("list32") << 13 << QStringList{"list32_t"};
        QTest::newRow("password") << 14 << QStringList{"password", "passwort"};
        QTest::newRow("version16") << 15 << QStringList{"version16_t", "version"};
        QTest::newRow("version32") << 16 << QStringList{"version32_t"};
        QTest::newRow("bit8") << 17 << QStringList{"bit8_t"};
        QTest::newRow("bit16") << 18 << QStringList{"bit16_t"};
        QTest::newRow("bit32") << 19 << QStringList{"bit32_t"};
        QTest::newRow("datetime") << 21 << QStringList{"datetime"};
        QTest::newRow("char_time15") << 22 << QStringList{"char_time15_t", "char_time15"};
        QTest::newRow("short_time15") << 23 << QStringList{"short_time15_t", "short_time15"};
        QTest::newRow("long_time15") << 24 << QStringList{"long_time15_t", "long_time15"};
        QTest::newRow("text8") << 25 << QStringList{"text8_t"};
        QTest::newRow("builddate") << 26 << QStringList{"builddate"};
    }

    void typeNames()
    {
        QFETCH(int, type);
        QFETCH(QStringList, names);
        QCOMPARE(CItem::ITEM_DATA_TYPES.value(type), names);
        for (const QString& name : names)
            QCOMPARE(int(CItem::dataTypeFromText(name)), type);
        QCOMPARE(CItem::dataTypeToText(type), names.first());
    }

    void typeNamesWithoutType()
    {
        QCOMPARE(CItem::ITEM_DATA_TYPES.size(), 23);
        for (const char* name : {"Uint8_t", "UINT16_T", "", "bit", "root", "uint16"})
            QCOMPARE(int(CItem::dataTypeFromText(QString::fromLatin1(name))), 0);
        for (int type : {0, 1, 2, 20, 27, -1})
            QVERIFY(CItem::dataTypeToText(type).isNull());
    }

    void widths()
    {
        const int expected[27] = {0, 0, 0, 10, 2, 2, 1, 1, 4, 4, 2, 4, 2, 4, 2, 2, 4, 1, 2, 4, 0, 8, 1, 2, 4, 10, 12};
        for (int type = 0; type <= 26; ++type) {
            CItem item;
            item.setType(Type(type));
            QCOMPARE(item.dataLength(), expected[type]);
        }
        QCOMPARE(CItem::typeLength(27), 0);
    }

    // Device bytes through the item and back: valueFromByteArray, setData,
    // the stored value and data() for every type.
    void deviceBytes_data()
    {
        QTest::addColumn<Type>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("encoded");

        QTest::newRow("text16 swapped pairs") << CItem::TYPE_TEXT16_T << hex("42414443000000000000")
                                              << QVariant(QStringLiteral("ABCD")) << hex("42414443000000000000");
        QTest::newRow("text16 odd length") << CItem::TYPE_TEXT16_T << hex("42410043000000000000")
                                           << QVariant(QStringLiteral("ABC")) << hex("42410043000000000000");
        QTest::newRow("text16 latin1") << CItem::TYPE_TEXT16_T << hex("e4fc0000000000000000")
                                       << QVariant(QString::fromUtf8("üä")) << hex("e4fc0000000000000000");
        QTest::newRow("int16 negative") << CItem::TYPE_INT16_T << hex("fffe") << QVariant(-2) << hex("fffe");
        QTest::newRow("uint16") << CItem::TYPE_UINT16_T << hex("fffe") << QVariant(65534) << hex("fffe");
        QTest::newRow("int8 negative") << CItem::TYPE_INT8_T << hex("fe") << QVariant(-2) << hex("fe");
        QTest::newRow("uint8") << CItem::TYPE_UINT8_T << hex("fe") << QVariant(254) << hex("fe");
        QTest::newRow("int32 low word first") << CItem::TYPE_INT32_T << hex("fffeffff") << QVariant(-2)
                                              << hex("fffeffff");
        QTest::newRow("uint32 low word first") << CItem::TYPE_UINT32_T << hex("56781234") << QVariant(0x12345678u)
                                               << hex("56781234");
        QTest::newRow("uint32 top bit") << CItem::TYPE_UINT32_T << hex("00008000") << QVariant(0x80000000u)
                                        << hex("00008000");
        QTest::newRow("bool") << CItem::TYPE_BOOL << hex("0001") << QVariant(1) << hex("0001");
        QTest::newRow("real one") << CItem::TYPE_REAL << hex("00003f80") << QVariant(1.0f) << hex("00003f80");
        QTest::newRow("real negative") << CItem::TYPE_REAL << hex("0000c020") << QVariant(-2.5f) << hex("0000c020");
        QTest::newRow("real low word used") << CItem::TYPE_REAL << hex("00013f80") << QVariant(1.00000012f)
                                            << hex("00013f80");
        QTest::newRow("list16") << CItem::TYPE_LIST16_T << hex("0002") << QVariant(2) << hex("0002");
        QTest::newRow("list32") << CItem::TYPE_LIST32_T << hex("00030000") << QVariant(3u) << hex("00030000");
        QTest::newRow("password") << CItem::TYPE_PASSWORD << hex("04d2") << QVariant(1234) << hex("04d2");
        QTest::newRow("version16") << CItem::TYPE_VERSION16_T << hex("007b") << QVariant(123) << hex("007b");
        QTest::newRow("version32") << CItem::TYPE_VERSION32_T << hex("00020001") << QVariant(0x10002u)
                                   << hex("00020001");
        QTest::newRow("bit8") << CItem::TYPE_BIT8_T << hex("81") << QVariant(0x81) << hex("81");
        QTest::newRow("bit16") << CItem::TYPE_BIT16_T << hex("8001") << QVariant(0x8001) << hex("8001");
        QTest::newRow("bit32") << CItem::TYPE_BIT32_T << hex("00018000") << QVariant(0x80000001u) << hex("00018000");
        QTest::newRow("datetime") << CItem::TYPE_DATETIME << hex("2d050e1e030f07e8") << QVariant(friday())
                                  << hex("2d050e1e030f07e8");
        QTest::newRow("datetime weekday recomputed") << CItem::TYPE_DATETIME << hex("2d010e1e030f07e8")
                                                     << QVariant(friday()) << hex("2d050e1e030f07e8");
        QTest::newRow("datetime zero bytes") << CItem::TYPE_DATETIME << hex("0000000000000000")
                                             << QVariant(QDateTime()) << hex("0000000000000000");
        QTest::newRow("datetime month 13") << CItem::TYPE_DATETIME << hex("2d050e1e0d0f07e8")
                                           << QVariant(QDateTime()) << hex("0000000000000000");
        QTest::newRow("char_time15") << CItem::TYPE_CHAR_TIME15_T << hex("22") << QVariant(34) << hex("22");
        QTest::newRow("short_time15") << CItem::TYPE_SHORT_TIME15_T << hex("0060") << QVariant(96) << hex("0060");
        QTest::newRow("long_time15") << CItem::TYPE_LONG_TIME15_T << hex("00600000") << QVariant(96u)
                                     << hex("00600000");
        QTest::newRow("text8 unswapped") << CItem::TYPE_TEXT8_T << hex("41424300000000000000")
                                         << QVariant(QStringLiteral("ABC")) << hex("41424300000000000000");
        QTest::newRow("text8 full length") << CItem::TYPE_TEXT8_T << hex("30313233343536373839")
                                           << QVariant(QStringLiteral("0123456789")) << hex("30313233343536373839");
        QTest::newRow("builddate") << CItem::TYPE_BUILD_DATE << hex("614a206e3232322032300034")
                                   << QVariant(QStringLiteral("Jan 22 2024")) << hex("614a206e3232322032300034");

        // A quantity that does not fit into the remaining bytes reads as zero.
        QTest::newRow("uint16 one byte") << CItem::TYPE_UINT16_T << hex("12") << QVariant(0) << hex("0000");
        QTest::newRow("uint32 three bytes") << CItem::TYPE_UINT32_T << hex("123456") << QVariant(0x1234u)
                                            << hex("12340000");
        QTest::newRow("text16 three bytes") << CItem::TYPE_TEXT16_T << hex("424143") << QVariant(QStringLiteral("AB"))
                                            << hex("42410000000000000000");
        QTest::newRow("longer slice uses its head") << CItem::TYPE_UINT16_T << hex("1234ffff") << QVariant(0x1234)
                                                    << hex("1234");
    }

    void deviceBytes()
    {
        QFETCH(Type, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QVariant, value);
        QFETCH(QByteArray, encoded);

        const QVariant decoded = CItem::valueFromByteArray(bytes, type);
        QCOMPARE(decoded.userType(), value.userType());
        QCOMPARE(decoded, value);

        CItem item;
        item.setType(type);
        item.setTextList(LIST_TEXTS);
        item.setData(bytes);
        QCOMPARE(item.value(), value);
        QCOMPARE(item.data(), encoded);
        QCOMPARE(item.data().size(), item.dataLength());
    }

    void structuralTypesCarryNoBytes()
    {
        for (int type : {0, 1, 2, 20, 27}) {
            QVERIFY(!CItem::valueFromByteArray(hex("12345678"), Type(type)).isValid());
            QVERIFY(CItem::valueToByteArray(42, Type(type)).isEmpty());
            CItem item;
            item.setType(Type(type));
            QSignalSpy changed(&item, &CItem::valueChanged);
            item.setData(hex("12345678"));
            QCOMPARE(changed.count(), 0);
            QCOMPARE(item.value(), QVariant(0));
            QVERIFY(item.data().isEmpty());
        }
    }

    // Values as the front end or a parameter file gives them.
    void encoding_data()
    {
        QTest::addColumn<Type>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("int32 negative") << CItem::TYPE_INT32_T << QVariant(-2) << hex("fffeffff");
        QTest::newRow("uint16 from float rounds") << CItem::TYPE_UINT16_T << QVariant(2.6f) << hex("0003");
        QTest::newRow("uint16 wraps") << CItem::TYPE_UINT16_T << QVariant(0x12345) << hex("2345");
        QTest::newRow("uint8 negative") << CItem::TYPE_UINT8_T << QVariant(-1) << hex("ff");
        QTest::newRow("uint16 from text") << CItem::TYPE_UINT16_T << QVariant(QStringLiteral("258")) << hex("0102");
        QTest::newRow("unconvertible is 0") << CItem::TYPE_UINT16_T << QVariant(QStringLiteral("abc")) << hex("0000");
        QTest::newRow("uint32 from float") << CItem::TYPE_UINT32_T << QVariant(70000.0f) << hex("11700001");
        QTest::newRow("real from int") << CItem::TYPE_REAL << QVariant(-2) << hex("0000c000");
        QTest::newRow("text16 cut to ten") << CItem::TYPE_TEXT16_T << QVariant(QStringLiteral("ABCDEFGHIJKL"))
                                           << hex("42414443464548474a49");
        QTest::newRow("builddate keeps twelve") << CItem::TYPE_BUILD_DATE << QVariant(QStringLiteral("ABCDEFGHIJKL"))
                                                << hex("42414443464548474a494c4b");
        QTest::newRow("text16 outside latin1") << CItem::TYPE_TEXT16_T << QVariant(QString::fromUtf8("A€"))
                                               << hex("3f410000000000000000");
        QTest::newRow("text8 cut to ten") << CItem::TYPE_TEXT8_T << QVariant(QStringLiteral("ABCDEFGHIJKL"))
                                          << hex("4142434445464748494a");
        QTest::newRow("datetime sunday") << CItem::TYPE_DATETIME
                                         << QVariant(QDateTime(QDate(2023, 12, 31), QTime(23, 59, 1)))
                                         << hex("0107173b0c1f07e7");
        QTest::newRow("datetime invalid") << CItem::TYPE_DATETIME << QVariant(QDateTime()) << hex("0000000000000000");
    }

    void encoding()
    {
        QFETCH(Type, type);
        QFETCH(QVariant, value);
        QFETCH(QByteArray, bytes);
        QCOMPARE(CItem::valueToByteArray(value, type).toHex(), bytes.toHex());

        CItem item;
        item.setType(type);
        item.setValue(value);
        QCOMPARE(item.data().toHex(), bytes.toHex());
    }

    void singleRegisterWord_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("low byte first") << QVariant(0x1234) << hex("3412");
        QTest::newRow("negative") << QVariant(-2) << hex("feff");
        QTest::newRow("float default") << QVariant(4711.0f) << hex("6712");
        QTest::newRow("unconvertible") << QVariant(QStringLiteral("x")) << hex("0000");
    }

    void singleRegisterWord()
    {
        QFETCH(QVariant, value);
        QFETCH(QByteArray, bytes);
        QCOMPARE(CItem::valueToLowByteFirstWord(value).toHex(), bytes.toHex());
    }

    void display_data()
    {
        QTest::addColumn<Type>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<double>("factor");
        QTest::addColumn<double>("precision");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("editText");
        QTest::addColumn<QString>("unscaledEditText");

        QTest::newRow("int16 scaled") << CItem::TYPE_INT16_T << QVariant(1234) << 10.0 << 1.0 << "123,4" << "123,4"
                                      << "1234,0";
        QTest::newRow("int16 negative") << CItem::TYPE_INT16_T << QVariant(-5) << 10.0 << 1.0 << "-0,5" << "-0,5"
                                        << "-5,0";
        QTest::newRow("uint32 big") << CItem::TYPE_UINT32_T << QVariant(4000000000u) << 1000.0 << 3.0
                                    << "4000000,000" << "4000000,000" << "4000000000,000";
        QTest::newRow("precision truncated") << CItem::TYPE_UINT16_T << QVariant(1234) << 100.0 << 2.9 << "12,34"
                                             << "12,34" << "1234,00";
        QTest::newRow("float default value") << CItem::TYPE_INT32_T << QVariant(250.0f) << 10.0 << 1.0 << "25,0"
                                             << "25,0" << "250,0";
        QTest::newRow("real ignores factor") << CItem::TYPE_REAL << QVariant(2.5f) << 10.0 << 2.0 << "2,50" << "2,50"
                                             << "2,50";
        QTest::newRow("version keeps point") << CItem::TYPE_VERSION16_T << QVariant(123) << 100.0 << 2.0 << "1.23"
                                             << "1.23" << "123.00";
        QTest::newRow("bool on") << CItem::TYPE_BOOL << QVariant(1) << 1.0 << 0.0 << "On" << "On" << "On";
        QTest::newRow("bool off") << CItem::TYPE_BOOL << QVariant(0) << 1.0 << 0.0 << "Off" << "Off" << "Off";
        QTest::newRow("bool unconvertible") << CItem::TYPE_BOOL << QVariant(QDateTime()) << 1.0 << 0.0 << "Off"
                                            << "Off" << "Off";
        QTest::newRow("list entry") << CItem::TYPE_LIST16_T << QVariant(2) << 10.0 << 1.0 << "two" << "two" << "two";
        QTest::newRow("list out of range") << CItem::TYPE_LIST32_T << QVariant(4u) << 1.0 << 0.0 << "?" << "?"
                                           << "?";
        QTest::newRow("bit entry") << CItem::TYPE_BIT << QVariant(1u) << 1.0 << 2.0 << "one" << "01" << "01";
        QTest::newRow("password padded") << CItem::TYPE_PASSWORD << QVariant(42) << 10.0 << 4.0 << "0042" << "0042"
                                         << "0042";
        QTest::newRow("time15 08:30") << CItem::TYPE_SHORT_TIME15_T << QVariant(34) << 1.0 << 0.0 << "08:30"
                                      << "08:30" << "08:30";
        QTest::newRow("time15 24:00") << CItem::TYPE_CHAR_TIME15_T << QVariant(96) << 1.0 << 0.0 << "24:00"
                                      << "24:00" << "24:00";
        QTest::newRow("time15 scaled truncates") << CItem::TYPE_LONG_TIME15_T << QVariant(69u) << 2.0 << 0.0
                                                 << "08:30" << "08:30" << "08:30";
        QTest::newRow("datetime") << CItem::TYPE_DATETIME << QVariant(friday()) << 1.0 << 0.0
                                  << "15.03.2024 14:30:45" << "15.03.2024 14:30:45" << "15.03.2024 14:30:45";
        QTest::newRow("datetime invalid") << CItem::TYPE_DATETIME << QVariant(QDateTime()) << 1.0 << 0.0 << "?"
                                          << "?" << "?";
        QTest::newRow("text") << CItem::TYPE_TEXT16_T << QVariant(QStringLiteral("1.5 A")) << 10.0 << 1.0 << "1.5 A"
                              << "1.5 A" << "1.5 A";
        QTest::newRow("object") << CItem::TYPE_OBJECT << QVariant(5) << 1.0 << 0.0 << "" << "" << "";
        QTest::newRow("root") << CItem::TYPE_ROOT << QVariant(5) << 1.0 << 0.0 << "?" << "?" << "?";
        QTest::newRow("outside the enumeration") << Type(27) << QVariant(5) << 1.0 << 0.0 << "?" << "?" << "?";
    }

    void display()
    {
        QFETCH(Type, type);
        QFETCH(QVariant, value);
        QFETCH(double, factor);
        QFETCH(double, precision);
        QFETCH(QString, text);
        QFETCH(QString, editText);
        QFETCH(QString, unscaledEditText);

        CItem item;
        item.setType(type);
        item.setTextList(LIST_TEXTS);
        item.setDecimalFactor(factor);
        item.setPrecision(precision);
        QCOMPARE(item.valueToString(value), text);
        QCOMPARE(item.valueFormatedToString(value, true), editText);
        QCOMPARE(item.valueFormatedToString(value, false), unscaledEditText);
    }

    void userInput_data()
    {
        QTest::addColumn<Type>("type");
        QTest::addColumn<double>("factor");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value"); // invalid: refused

        QTest::newRow("scaled with comma") << CItem::TYPE_INT16_T << 10.0 << -500.0 << 1500.0 << "21,5" << QVariant(215);
        QTest::newRow("scaled with point") << CItem::TYPE_INT16_T << 10.0 << -500.0 << 1500.0 << " -3.5 "
                                           << QVariant(-35);
        QTest::newRow("above the maximum") << CItem::TYPE_INT16_T << 10.0 << -500.0 << 1500.0 << "150,1" << QVariant();
        QTest::newRow("no range given") << CItem::TYPE_UINT32_T << 1.0 << 0.0 << 0.0 << "4000000000"
                                        << QVariant(4000000000ll);
        QTest::newRow("not a number") << CItem::TYPE_UINT16_T << 1.0 << 0.0 << 0.0 << "12a" << QVariant();
        QTest::newRow("real unscaled") << CItem::TYPE_REAL << 1000.0 << 0.0 << 100.0 << "2,25" << QVariant(2.25);
        QTest::newRow("version") << CItem::TYPE_VERSION16_T << 100.0 << 0.0 << 0.0 << "1.23" << QVariant(123);
        QTest::newRow("bool text") << CItem::TYPE_BOOL << 1.0 << 0.0 << 0.0 << "On" << QVariant(1);
        QTest::newRow("bool digit") << CItem::TYPE_BOOL << 1.0 << 0.0 << 0.0 << "0" << QVariant(0);
        QTest::newRow("bool other") << CItem::TYPE_BOOL << 1.0 << 0.0 << 0.0 << "yes" << QVariant();
        QTest::newRow("list text") << CItem::TYPE_LIST16_T << 1.0 << 0.0 << 0.0 << "two" << QVariant(2);
        QTest::newRow("list index") << CItem::TYPE_LIST32_T << 1.0 << 0.0 << 0.0 << "1" << QVariant(1);
        QTest::newRow("list unknown") << CItem::TYPE_LIST16_T << 1.0 << 0.0 << 0.0 << "seven" << QVariant();
        QTest::newRow("time of day") << CItem::TYPE_SHORT_TIME15_T << 1.0 << 0.0 << 96.0 << "08:30" << QVariant(34);
        QTest::newRow("time off the grid") << CItem::TYPE_SHORT_TIME15_T << 1.0 << 0.0 << 96.0 << "08:20"
                                           << QVariant();
        QTest::newRow("time after midnight") << CItem::TYPE_CHAR_TIME15_T << 1.0 << 0.0 << 96.0 << "24:15"
                                             << QVariant();
        QTest::newRow("datetime") << CItem::TYPE_DATETIME << 1.0 << 0.0 << 0.0 << "15.03.2024 14:30:45"
                                  << QVariant(friday());
        QTest::newRow("datetime garbage") << CItem::TYPE_DATETIME << 1.0 << 0.0 << 0.0 << "yesterday" << QVariant();
        QTest::newRow("text") << CItem::TYPE_TEXT16_T << 1.0 << 0.0 << 0.0 << "Zone 2" << QVariant("Zone 2");
        QTest::newRow("build date is not typed") << CItem::TYPE_BUILD_DATE << 1.0 << 0.0 << 0.0 << "x" << QVariant();
    }

    void userInput()
    {
        QFETCH(Type, type);
        QFETCH(double, factor);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(QString, text);
        QFETCH(QVariant, value);

        CItem item;
        item.setType(type);
        item.setTextList(LIST_TEXTS);
        item.setDecimalFactor(factor);
        item.setRange(minimum, maximum);
        item.setPrecision(2);
        const QVariant parsed = item.valueFromString(text);
        QCOMPARE(parsed.isValid(), value.isValid());
        if (value.isValid()) {
            QCOMPARE(parsed.toString(), value.toString());
            // What is shown can be typed back.
            QCOMPARE(item.valueFromString(item.valueToString(parsed)).toString(), value.toString());
        }
    }

    void boolTextsAreTranslated()
    {
        COnOffTranslator translator;
        QCoreApplication::installTranslator(&translator);
        CItem item;
        item.setType(CItem::TYPE_BOOL);
        QCOMPARE(item.valueToString(true), QStringLiteral("Ein"));
        QCOMPARE(item.valueToString(false), QStringLiteral("Aus"));
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(item.valueToString(true), QStringLiteral("On"));
    }

    void rawValue_data()
    {
        QTest::addColumn<Type>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QVariant>("raw");

        QTest::newRow("int16 scaled") << CItem::TYPE_INT16_T << QVariant(-1234) << 10.0 << QVariant(-123.4);
        QTest::newRow("version scaled") << CItem::TYPE_VERSION16_T << QVariant(123) << 100.0 << QVariant(1.23);
        QTest::newRow("time15 scaled") << CItem::TYPE_SHORT_TIME15_T << QVariant(34) << 2.0 << QVariant(17.0);
        QTest::newRow("real unscaled") << CItem::TYPE_REAL << QVariant(2.5f) << 10.0 << QVariant(2.5);
        QTest::newRow("list unscaled") << CItem::TYPE_LIST16_T << QVariant(2) << 10.0 << QVariant(2.0);
        QTest::newRow("bit unscaled") << CItem::TYPE_BIT << QVariant(3u) << 10.0 << QVariant(3.0);
        QTest::newRow("bool") << CItem::TYPE_BOOL << QVariant(2) << 10.0 << QVariant(true);
        QTest::newRow("text") << CItem::TYPE_TEXT16_T << QVariant(QStringLiteral("5")) << 1.0 << QVariant();
        QTest::newRow("datetime") << CItem::TYPE_DATETIME << QVariant(friday()) << 1.0 << QVariant();
    }

    void rawValue()
    {
        QFETCH(Type, type);
        QFETCH(QVariant, value);
        QFETCH(double, factor);
        QFETCH(QVariant, raw);
        const QVariant actual = CItem::rawValue(value, type, factor);
        QCOMPARE(actual.userType(), raw.userType());
        if (raw.userType() == QMetaType::Double)
            QCOMPARE(actual.toDouble(), raw.toDouble());
        else
            QCOMPARE(actual, raw);
    }

    void bitValue_data()
    {
        QTest::addColumn<Type>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("length");
        QTest::addColumn<QVariant>("bits");

        QTest::newRow("two bits") << CItem::TYPE_BIT << QVariant(0xF0) << 4 << 2 << QVariant(3u);
        QTest::newRow("length 0") << CItem::TYPE_BIT << QVariant(0xFF) << 0 << 0 << QVariant(0u);
        QTest::newRow("top bit") << CItem::TYPE_BIT << QVariant(0x80000000u) << 31 << 1 << QVariant(1u);
        QTest::newRow("whole word") << CItem::TYPE_BIT << QVariant(-1) << 0 << 32 << QVariant(0xFFFFFFFFu);
        QTest::newRow("beyond 32 bits") << CItem::TYPE_BIT << QVariant(-1) << 40 << 4 << QVariant(0u);
        QTest::newRow("not a bit item") << CItem::TYPE_BIT16_T << QVariant(0xF0) << 4 << 2 << QVariant();
    }

    void bitValue()
    {
        QFETCH(Type, type);
        QFETCH(QVariant, value);
        QFETCH(int, position);
        QFETCH(int, length);
        QFETCH(QVariant, bits);
        const QVariant actual = CItem::bitValue(value, type, position, length);
        QCOMPARE(actual.userType(), bits.userType());
        QCOMPARE(actual, bits);
    }

    void precisionFromDivider_data()
    {
        QTest::addColumn<QString>("divider");
        QTest::addColumn<int>("precision");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("1") << "1" << 0;
        QTest::newRow("10") << "10" << 1;
        QTest::newRow("1000") << "1000" << 3;
        QTest::newRow("-100") << "-100" << 2;
        QTest::newRow("100.0") << "100.0" << 2;
        QTest::newRow("10,5") << "10,5" << 1;
        QTest::newRow("0,01") << "0,01" << 0;
        QTest::newRow("-") << "-" << 0;
    }

    void precisionFromDivider()
    {
        QFETCH(QString, divider);
        QFETCH(int, precision);
        QCOMPARE(CItem::precisionFromDivider(divider), precision);
    }

    // Decoding hands the value to setValue, so a list item refuses indexes
    // outside its (translated) texts and announces the text of the entry.
    void listAssignment_data()
    {
        QTest::addColumn<QString>("texts");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariantList>("announced");

        QTest::newRow("third of three") << "a,b,c" << "" << QVariant(2) << QVariant(2) << QVariantList{"c"};
        QTest::newRow("index past the end") << "a,b,c" << "" << QVariant(3) << QVariant(0) << QVariantList();
        QTest::newRow("negative index") << "a,b,c" << "" << QVariant(-1) << QVariant(0) << QVariantList();
        QTest::newRow("same value") << "a,b,c" << "" << QVariant(0) << QVariant(0) << QVariantList();
        QTest::newRow("empty part is an entry") << "a,,c" << "" << QVariant(1) << QVariant(1) << QVariantList{""};
        QTest::newRow("empty list takes index 0 only") << "" << "" << QVariant(1) << QVariant(0) << QVariantList();
        QTest::newRow("float index") << "a,b,c" << "" << QVariant(1.0f) << QVariant(1.0f) << QVariantList{"b"};
        QTest::newRow("translated list is shorter") << "a,b,c" << "de" << QVariant(2) << QVariant(0)
                                                    << QVariantList();
        QTest::newRow("translated entry announced") << "a,b,c" << "de" << QVariant(1) << QVariant(1)
                                                    << QVariantList{"y"};
    }

    void listAssignment()
    {
        QFETCH(QString, texts);
        QFETCH(QString, language);
        QFETCH(QVariant, value);
        QFETCH(QVariant, stored);
        QFETCH(QVariantList, announced);

        CItem item;
        item.setType(CItem::TYPE_LIST16_T);
        item.setTextList(texts);
        item.setupTranslations({{QStringLiteral("de"), {{QStringLiteral("a,b,c"), QStringLiteral("x,y")}}}});
        item.setLanguageId(language);

        QSignalSpy newValue(&item, &CItem::newValue);
        QSignalSpy changed(&item, &CItem::valueChanged);
        item.setValue(value);
        QCOMPARE(newValue.count(), 1);
        QCOMPARE(newValue.first().first(), value);
        QCOMPARE(item.value(), stored);
        QVariantList actual;
        for (const QList<QVariant>& arguments : changed)
            actual.append(arguments.first());
        QCOMPARE(actual, announced);
        for (const QVariant& text : actual)
            QCOMPARE(text.userType(), int(QMetaType::QString));
    }

    void plainAssignment()
    {
        CItem item;
        item.setType(CItem::TYPE_UINT16_T);
        QSignalSpy newValue(&item, &CItem::newValue);
        QSignalSpy changed(&item, &CItem::valueChanged);
        item.setData(hex("0007"));
        item.setData(hex("0007"));
        item.setValue(7.0f);
        QCOMPARE(newValue.count(), 3);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().first(), QVariant(7));

        // Structural nodes store a value without announcing it as new.
        CItem group;
        group.setType(CItem::TYPE_GROUP);
        QSignalSpy groupNew(&group, &CItem::newValue);
        QSignalSpy groupChanged(&group, &CItem::valueChanged);
        group.setValue(3);
        QCOMPARE(groupNew.count(), 0);
        QCOMPARE(groupChanged.count(), 1);
    }

    void bitfieldSpreadsOverBits_data()
    {
        QTest::addColumn<Type>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariantList>("bits");

        QTest::newRow("5 sets bits 0 and 2") << CItem::TYPE_BIT16_T << hex("0005")
                                             << QVariantList{1u, 1u, 0u, 0u, 0u};
        QTest::newRow("three-bit group") << CItem::TYPE_BIT16_T << hex("0050") << QVariantList{0u, 0u, 5u, 0u, 0u};
        QTest::newRow("bit8") << CItem::TYPE_BIT8_T << hex("74") << QVariantList{0u, 1u, 7u, 0u, 0u};
        QTest::newRow("bit16 top bit") << CItem::TYPE_BIT16_T << hex("8001") << QVariantList{1u, 0u, 0u, 1u, 0u};
        QTest::newRow("bit32 low word first") << CItem::TYPE_BIT32_T << hex("80048000")
                                              << QVariantList{0u, 1u, 0u, 1u, 1u};
    }

    void bitfieldSpreadsOverBits()
    {
        QFETCH(Type, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QVariantList, bits);

        CItem field;
        field.setObjectName(QStringLiteral("Status"));
        field.setType(type);
        field.setBitfieldEntries(bitGroups());
        field.setData(bytes);

        QVariantList actual;
        for (CItem* bit : field.findChildren<CItem*>())
            actual.append(bit->value());
        QCOMPARE(actual, bits);
        QCOMPARE(field.data(), bytes);
        QCOMPARE(field.dataLength(), bytes.size());
    }

    void bitComposesBitfield_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("bit");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<uint>("composed");
        QTest::addColumn<bool>("fieldChanges");

        QTest::newRow("bit 4 into 1") << 1 << "Mode" << QVariant(1u) << 17u << true;
        QTest::newRow("group cleared") << 0x71 << "Mode" << QVariant(0u) << 1u << true;
        QTest::newRow("excess bits dropped") << 0 << "Mode" << QVariant(0xFFu) << 0x70u << true;
        QTest::newRow("field already holds the bits") << 0x11 << "Mode" << QVariant(9u) << 0x11u << false;
        QTest::newRow("bit 31") << 0 << "Alarm" << QVariant(1u) << 0x80000000u << true;
    }

    void bitComposesBitfield()
    {
        QFETCH(int, start);
        QFETCH(QString, bit);
        QFETCH(QVariant, value);
        QFETCH(uint, composed);
        QFETCH(bool, fieldChanges);

        CItem field;
        field.setObjectName(QStringLiteral("Status"));
        field.setType(CItem::TYPE_BIT32_T);
        field.setBitfieldEntries(bitGroups());
        field.setValue(uint(start));

        QSignalSpy changed(&field, &CItem::valueChanged);
        QSignalSpy childChanged(&field, &CItem::childChanged);
        field.findChild<CItem*>(QStringLiteral("Status_") + bit)->setValue(value);

        QCOMPARE(field.value().toUInt(), composed);
        QCOMPARE(changed.isEmpty(), !fieldChanges);
        QVERIFY(!childChanged.isEmpty());
        QCOMPARE(childChanged.last().first(), QVariant(composed));
        QCOMPARE(childChanged.last().first().userType(), int(QMetaType::UInt));
    }

    void fileText_data()
    {
        QTest::addColumn<Type>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("readBack");

        QTest::newRow("datetime") << CItem::TYPE_DATETIME << QVariant(friday()) << "2024-03-15T14:30:45"
                                  << QVariant(friday());
        QTest::newRow("text") << CItem::TYPE_TEXT16_T << QVariant(QStringLiteral("12.50")) << "12.50"
                              << QVariant(QStringLiteral("12.50"));
        QTest::newRow("uint16") << CItem::TYPE_UINT16_T << QVariant(1234) << "1234" << QVariant(1234.0f);
        QTest::newRow("real") << CItem::TYPE_REAL << QVariant(-2.5f) << "-2.5" << QVariant(-2.5f);
        QTest::newRow("list as index") << CItem::TYPE_LIST16_T << QVariant(2) << "2" << QVariant(2.0f);
        QTest::newRow("invalid value") << CItem::TYPE_UINT16_T << QVariant() << "" << QVariant(0.0f);
    }

    void fileText()
    {
        QFETCH(Type, type);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QFETCH(QVariant, readBack);
        QCOMPARE(CItem::valueToFileText(value, type), text);
        const QVariant read = CItem::valueFromFileText(text, type);
        QCOMPARE(read.userType(), readBack.userType());
        QCOMPARE(read, readBack);
    }
};

QTEST_GUILESS_MAIN(tst_CItemCodec)
#include "tst_CItemCodec.moc"
