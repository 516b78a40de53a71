#include "items/CFixedTranslator.h"
#include "items/CItem.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

typedef CItem::ENUM_DATA_TYPES Type;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Enough texts for every list index the tables below use.
const QString LIST_TEXTS = QStringLiteral("zero,one,two,three");
const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

QDateTime friday(int milliseconds = 0)
{
    return QDateTime(QDate(2024, 3, 15), QTime(14, 30, 45, milliseconds), Qt::LocalTime);
}

// An item as a description line makes it: type, list texts, divider, range.
class CDescribedItem : public CItem
{
public:
    CDescribedItem(Type type, double factor = 1.0, double minimum = 0.0, double maximum = 0.0)
    {
        setType(type);
        setTextList(LIST_TEXTS);
        setDecimalFactor(factor);
        setPrecision(CItem::precisionFromDivider(QString::number(factor)));
        setRange(minimum, maximum);
    }
};

// One row of the tables of typed text and of device values.
struct STRUCT_CASE {
    Type type;
    double factor;
    double minimum;
    double maximum;
    QVariant input;  // typed text or device value
    QVariant value;  // device value of accepted typed text
    QString error;   // empty: accepted
};

// A bitfield with the bit groups Ready (bit 0, texts no/yes), Run (bit 2), a
// hidden Mode (bits 4..6), Fault (bit 15) and Alarm (bit 31).
void setupBitfield(CItem* field, Type type)
{
    field->setObjectName(QStringLiteral("Status"));
    field->setType(type);
    BitfieldDescription groups;
    const QList<std::tuple<int, int, QString, QString>> entries = {{0, 1, "Ready", "no,yes"}, {2, 1, "Run", ""}, {4, 3, "Mode", "a,b,c,d,e,f,g,h"}, {15, 1, "Fault", ""}, {31, 1, "Alarm", ""}};
    for (const auto& [first, count, name, list] : entries) {
        CBitDescription bit;
        bit.name = bit.text = name;
        bit.bitCount = count;
        bit.list = list;
        bit.visible = name != QLatin1String("Mode");
        groups.insert(first, bit);
    }
    field->setBitfieldEntries(groups);
}

} // namespace

Q_DECLARE_METATYPE(STRUCT_CASE)

class tst_CItemCodec : public QObject
{
    Q_OBJECT

private slots:
    // Device bytes through the item and back: valueFromByteArray, setData,
    // the stored value and data() for every type; then values as the front
    // end or a parameter file gives them (no bytes to decode), where what is
    // no integer or float encodes without undefined behaviour.
    void deviceBytes_data()
    {
        QTest::addColumn<Type>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("encoded");

        QTest::newRow("text16 swapped pairs") << CItem::TYPE_TEXT16_T << hex("42414443000000000000") << QVariant("ABCD") << hex("42414443000000000000");
        QTest::newRow("text16 latin1") << CItem::TYPE_TEXT16_T << hex("e4fc0000000000000000") << QVariant(QString::fromUtf8("üä")) << hex("e4fc0000000000000000");
        QTest::newRow("int16 sign-extended") << CItem::TYPE_INT16_T << hex("fffe") << QVariant(-2) << hex("fffe");
        QTest::newRow("uint16") << CItem::TYPE_UINT16_T << hex("fffe") << QVariant(65534) << hex("fffe");
        QTest::newRow("int8 sign-extended") << CItem::TYPE_INT8_T << hex("fe") << QVariant(-2) << hex("fe");
        QTest::newRow("uint8") << CItem::TYPE_UINT8_T << hex("fe") << QVariant(254) << hex("fe");
        QTest::newRow("int32 low word first") << CItem::TYPE_INT32_T << hex("fffeffff") << QVariant(-2) << hex("fffeffff");
        QTest::newRow("uint32 low word first") << CItem::TYPE_UINT32_T << hex("56781234") << QVariant(0x12345678u) << hex("56781234");
        QTest::newRow("real negative") << CItem::TYPE_REAL << hex("0000c020") << QVariant(-2.5f) << hex("0000c020");
        QTest::newRow("datetime") << CItem::TYPE_DATETIME << hex("2d050e1e030f07e8") << QVariant(friday()) << hex("2d050e1e030f07e8");
        QTest::newRow("datetime weekday recomputed") << CItem::TYPE_DATETIME << hex("2d010e1e030f07e8") << QVariant(friday()) << hex("2d050e1e030f07e8");
        QTest::newRow("datetime zero bytes") << CItem::TYPE_DATETIME << hex("0000000000000000") << QVariant(QDateTime()) << hex("0000000000000000");
        QTest::newRow("text8 unswapped") << CItem::TYPE_TEXT8_T << hex("41424300000000000000") << QVariant("ABC") << hex("41424300000000000000");
        QTest::newRow("builddate") << CItem::TYPE_BUILD_DATE << hex("614a206e3232322032300034") << QVariant("Jan 22 2024") << hex("614a206e3232322032300034");
        // Structural types and types outside the enumeration carry no bytes.
        QTest::newRow("group") << CItem::TYPE_GROUP << hex("12345678") << QVariant() << QByteArray();
        QTest::newRow("type 27") << Type(27) << hex("12345678") << QVariant() << QByteArray();
        // A quantity that does not fit into the remaining bytes reads as zero.
        QTest::newRow("uint16 one byte") << CItem::TYPE_UINT16_T << hex("12") << QVariant(0) << hex("0000");
        QTest::newRow("uint32 three bytes") << CItem::TYPE_UINT32_T << hex("123456") << QVariant(0x1234u) << hex("12340000");
        QTest::newRow("longer slice uses its head") << CItem::TYPE_UINT16_T << hex("1234ffff") << QVariant(0x1234) << hex("1234");
        QTest::newRow("uint16 from float rounds") << CItem::TYPE_UINT16_T << QByteArray() << QVariant(2.6f) << hex("0003");
        QTest::newRow("uint8 negative") << CItem::TYPE_UINT8_T << QByteArray() << QVariant(-1) << hex("ff");
        QTest::newRow("unconvertible is 0") << CItem::TYPE_UINT16_T << QByteArray() << QVariant("abc") << hex("0000");
        QTest::newRow("uint32 above 2^24") << CItem::TYPE_UINT32_T << QByteArray() << QVariant(4294967295u) << hex("ffffffff");
        QTest::newRow("uint16 NaN") << CItem::TYPE_UINT16_T << QByteArray() << QVariant(NaN) << hex("0000");
        QTest::newRow("int32 infinity") << CItem::TYPE_INT32_T << QByteArray() << QVariant(-INF) << hex("00000000");
        QTest::newRow("uint32 1e300") << CItem::TYPE_UINT32_T << QByteArray() << QVariant(1e300) << hex("00000000");
        QTest::newRow("uint8 float max") << CItem::TYPE_UINT8_T << QByteArray() << QVariant(std::numeric_limits<float>::max()) << hex("00");
        QTest::newRow("uint16 text 1e300") << CItem::TYPE_UINT16_T << QByteArray() << QVariant("1e300") << hex("0000");
        QTest::newRow("real from int") << CItem::TYPE_REAL << QByteArray() << QVariant(-2) << hex("0000c000");
        QTest::newRow("real beyond float") << CItem::TYPE_REAL << QByteArray() << QVariant(1e300) << hex("00007f80");
        QTest::newRow("text16 cut to ten") << CItem::TYPE_TEXT16_T << QByteArray() << QVariant("ABCDEFGHIJKL") << hex("42414443464548474a49");
        QTest::newRow("builddate keeps twelve") << CItem::TYPE_BUILD_DATE << QByteArray() << QVariant("ABCDEFGHIJKL") << hex("42414443464548474a494c4b");
        QTest::newRow("text16 outside latin1") << CItem::TYPE_TEXT16_T << QByteArray() << QVariant(QString::fromUtf8("A€")) << hex("3f410000000000000000");
        QTest::newRow("datetime sunday") << CItem::TYPE_DATETIME << QByteArray() << QVariant(QDateTime(QDate(2023, 12, 31), QTime(23, 59, 1))) << hex("0107173b0c1f07e7");
    }

    void deviceBytes()
    {
        QFETCH(Type, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QVariant, value);
        QFETCH(QByteArray, encoded);

        CDescribedItem item(type);
        if (bytes.isNull()) {
            item.setValue(value);
        } else {
            const QVariant decoded = CItem::valueFromByteArray(bytes, type);
            QCOMPARE(decoded.userType(), value.userType());
            QCOMPARE(decoded, value);
            item.setData(bytes);
            QCOMPARE(item.value(), value.isValid() ? value : QVariant(0)); // no bytes: the value stays
            QCOMPARE(item.data().size(), item.dataLength());
        }
        QCOMPARE(CItem::valueToByteArray(value, type).toHex(), encoded.toHex());
        QCOMPARE(item.data().toHex(), encoded.toHex());
    }

    void singleRegisterWord()
    {
        QCOMPARE(CItem::valueToLowByteFirstWord(0x1234).toHex(), QByteArray("3412"));
        QCOMPARE(CItem::valueToLowByteFirstWord(-2).toHex(), QByteArray("feff"));
        QCOMPARE(CItem::valueToLowByteFirstWord(4711.0f).toHex(), QByteArray("6712"));
        QCOMPARE(CItem::valueToLowByteFirstWord(NaN).toHex(), QByteArray("0000"));
        QCOMPARE(CItem::valueToLowByteFirstWord("x").toHex(), QByteArray("0000"));
    }

    void display()
    {
        // type, value, factor, precision, texts shown, edited, edited unscaled
        const QList<std::tuple<Type, QVariant, double, double, QStringList>> cases = {
            {CItem::TYPE_UINT16_T, QVariant(1234), 100.0, 2.9, {"12,34", "12,34", "1234,00"}},
            {CItem::TYPE_REAL, QVariant(2.5f), 10.0, 2.0, {"2,50", "2,50", "2,50"}},
            {CItem::TYPE_VERSION16_T, QVariant(123), 100.0, 2.0, {"1.23", "1.23", "123.00"}},
            {CItem::TYPE_LIST32_T, QVariant(4u), 1.0, 0.0, {"?", "?", "?"}},
            {CItem::TYPE_LIST32_T, QVariant(qlonglong(1) << 32 | 1), 1.0, 0.0, {"?", "?", "?"}},
            {CItem::TYPE_BIT, QVariant(1u), 1.0, 2.0, {"one", "01", "01"}},
            {CItem::TYPE_PASSWORD, QVariant(42), 10.0, 4.0, {"0042", "0042", "0042"}},
            {CItem::TYPE_LONG_TIME15_T, QVariant(69u), 2.0, 0.0, {"08:30", "08:30", "08:30"}},
            {CItem::TYPE_SHORT_TIME15_T, QVariant(NaN), 1.0, 0.0, {"?", "?", "?"}},
            {CItem::TYPE_TEXT16_T, QVariant("1.5 A"), 10.0, 1.0, {"1.5 A", "1.5 A", "1.5 A"}},
            {CItem::TYPE_DATETIME, QVariant(QDateTime()), 1.0, 0.0, {"?", "?", "?"}},
            {CItem::TYPE_OBJECT, QVariant(5), 1.0, 0.0, {"", "", ""}},
            {Type(27), QVariant(5), 1.0, 0.0, {"?", "?", "?"}}};
        for (const auto& [type, value, factor, precision, texts] : cases) {
            CDescribedItem item(type, factor);
            item.setPrecision(precision);
            QCOMPARE((QStringList{item.valueToString(value), item.valueFormatedToString(value, true), item.valueFormatedToString(value, false)}), texts);
        }
    }

    void boolTextsAreTranslated()
    {
        const CFixedTranslator german("CItem", {{"On", "Ein"}, {"Off", "Aus"}});
        CDescribedItem item(CItem::TYPE_BOOL);
        QCOMPARE(item.valueToString(true) + item.valueToString(false), QStringLiteral("EinAus"));
        QCOMPARE(item.valueFromString(QStringLiteral("Ein")), QVariant(1));
    }

    // What a user types: the device value, or a refusal that says why in
    // the units the user sees.
    void userInput_data()
    {
        QTest::addColumn<STRUCT_CASE>("typed");

        QTest::newRow("scaled with comma") << STRUCT_CASE{CItem::TYPE_INT16_T, 10.0, -500.0, 1500.0, "21,5", 215, ""};
        QTest::newRow("scaled with point") << STRUCT_CASE{CItem::TYPE_INT16_T, 10.0, -500.0, 1500.0, " -3.5 ", -35, ""};
        QTest::newRow("uint32 maximum") << STRUCT_CASE{CItem::TYPE_UINT32_T, 1.0, 0.0, 0.0, "4294967295", 4294967295u, ""};
        QTest::newRow("divider 0.1 as single float") << STRUCT_CASE{CItem::TYPE_UINT16_T, double(0.1f), 0.0, 0.0, "50", 5, ""};
        QTest::newRow("real unscaled") << STRUCT_CASE{CItem::TYPE_REAL, 1000.0, 0.0, 100.0, "2,25", 2.25, ""};
        QTest::newRow("real at its float minimum") << STRUCT_CASE{CItem::TYPE_REAL, 1000.0, double(0.1f), 1.0, "0,1", 0.1, ""};
        QTest::newRow("version") << STRUCT_CASE{CItem::TYPE_VERSION16_T, 100.0, 0.0, 0.0, "1.23", 123, ""};
        QTest::newRow("list text") << STRUCT_CASE{CItem::TYPE_LIST16_T, 1.0, 0.0, 0.0, "two", 2, ""};
        QTest::newRow("list index") << STRUCT_CASE{CItem::TYPE_LIST32_T, 1.0, 0.0, 0.0, "1", 1u, ""};
        QTest::newRow("end of the day") << STRUCT_CASE{CItem::TYPE_CHAR_TIME15_T, 1.0, 0.0, 96.0, "24:00", 96, ""};
        QTest::newRow("run time beyond a day") << STRUCT_CASE{CItem::TYPE_LONG_TIME15_T, 1.0, 0.0, 960.0, "240:00", 960u, ""};
        QTest::newRow("time scaled") << STRUCT_CASE{CItem::TYPE_SHORT_TIME15_T, 2.0, 0.0, 0.0, "08:30", 68, ""};
        QTest::newRow("datetime") << STRUCT_CASE{CItem::TYPE_DATETIME, 1.0, 0.0, 0.0, "15.03.2024 14:30:45", QVariant(friday()), ""};
        QTest::newRow("text keeps its blanks") << STRUCT_CASE{CItem::TYPE_TEXT16_T, 1.0, 0.0, 0.0, " Zone 2", " Zone 2", ""};

        QTest::newRow("above the maximum") << STRUCT_CASE{CItem::TYPE_INT16_T, 10.0, -500.0, 1500.0, "150,1", QVariant(), "150,1 is above the maximum 150."};
        QTest::newRow("uint16 scaled") << STRUCT_CASE{CItem::TYPE_UINT16_T, 10.0, 0.0, 0.0, "6553,6", QVariant(), "6553,6 does not fit into uint16_t (0 to 6553,5)."};
        QTest::newRow("more decimals than the divider") << STRUCT_CASE{CItem::TYPE_INT16_T, 10.0, 0.0, 0.0, "21,55", QVariant(), "21,55 is not a multiple of 0,1."};
        QTest::newRow("fraction") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, "2,5", QVariant(), "2,5 is not a whole number."};
        QTest::newRow("huge") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, "1e300", QVariant(), "1e+300 does not fit into uint16_t"};
        QTest::newRow("NaN") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, "nan", QVariant(), "nan is not a finite number."};
        QTest::newRow("not a number") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, "12a", QVariant(), "'12a' is not a number."};
        QTest::newRow("bool other") << STRUCT_CASE{CItem::TYPE_BOOL, 1.0, 0.0, 0.0, "2", QVariant(), "'2' is neither On nor Off."};
        QTest::newRow("list unknown") << STRUCT_CASE{CItem::TYPE_LIST16_T, 1.0, 0.0, 0.0, "seven", QVariant(), "'seven' is none of: zero, one, two, three."};
        QTest::newRow("time off the grid") << STRUCT_CASE{CItem::TYPE_SHORT_TIME15_T, 1.0, 0.0, 96.0, "08:20", QVariant(), "08:20 is not on a quarter hour."};
        QTest::newRow("time with 75 minutes") << STRUCT_CASE{CItem::TYPE_SHORT_TIME15_T, 1.0, 0.0, 0.0, "08:75", QVariant(), "'08:75' is no time of day (hh:mm)."};
        QTest::newRow("time after midnight") << STRUCT_CASE{CItem::TYPE_CHAR_TIME15_T, 1.0, 0.0, 96.0, "24:15", QVariant(), "24:15 is above the maximum 24:00."};
        QTest::newRow("time beyond 8 bits") << STRUCT_CASE{CItem::TYPE_CHAR_TIME15_T, 1.0, 0.0, 0.0, "64:00", QVariant(), "64:00 does not fit into char_time15_t (00:00 to 63:45)."};
        QTest::newRow("datetime garbage") << STRUCT_CASE{CItem::TYPE_DATETIME, 1.0, 0.0, 0.0, "yesterday", QVariant(), "'yesterday' is no date and time (dd.MM.yyyy hh:mm:ss)."};
        QTest::newRow("build date") << STRUCT_CASE{CItem::TYPE_BUILD_DATE, 1.0, 0.0, 0.0, "x", QVariant(), "A build date cannot be entered."};
        QTest::newRow("bit") << STRUCT_CASE{CItem::TYPE_BIT, 1.0, 0.0, 0.0, "1", QVariant(), "This item holds no value of its own."};
    }

    void userInput()
    {
        QFETCH(STRUCT_CASE, typed);
        CDescribedItem item(typed.type, typed.factor, typed.minimum, typed.maximum);
        QString why = QStringLiteral("stale");
        const QVariant parsed = item.valueFromString(typed.input.toString(), &why);
        QVERIFY2(why.contains(typed.error) && why.isEmpty() == typed.error.isEmpty(), qPrintable(why));
        QCOMPARE(parsed.userType(), typed.value.userType());
        QCOMPARE(parsed, typed.value);
        if (parsed.isValid()) {
            QVERIFY(item.canHold(parsed));
            // What is shown can be typed back.
            QCOMPARE(item.valueFromString(item.valueToString(parsed)), typed.value);
        }
    }

    // Device values as a parameter file gives them: the device must hold
    // them unchanged, within the item's range and list.
    void deviceValues_data()
    {
        QTest::addColumn<STRUCT_CASE>("held");

        QTest::newRow("uint16 maximum") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, 65535, QVariant(), ""};
        QTest::newRow("int32 minimum") << STRUCT_CASE{CItem::TYPE_INT32_T, 1.0, 0.0, 0.0, QVariant(std::numeric_limits<int>::min()), QVariant(), ""};
        QTest::newRow("whole float of a description default") << STRUCT_CASE{CItem::TYPE_INT16_T, 1.0, -500.0, 1500.0, -500.0f, QVariant(), ""};
        QTest::newRow("bool") << STRUCT_CASE{CItem::TYPE_BOOL, 1.0, 0.0, 0.0, QVariant(true), QVariant(), ""};
        QTest::newRow("unset clock") << STRUCT_CASE{CItem::TYPE_DATETIME, 1.0, 0.0, 0.0, QVariant(QDateTime()), QVariant(), ""};
        QTest::newRow("latin1 text of full length") << STRUCT_CASE{CItem::TYPE_TEXT16_T, 1.0, 0.0, 0.0, QVariant(QString::fromUtf8("ÄÖÜäöüß 12")), QVariant(), ""};

        QTest::newRow("uint16 too big") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, 70000, QVariant(), "70000 does not fit into uint16_t (0 to 65535)."};
        QTest::newRow("uint16 negative") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, -1, QVariant(), "-1 does not fit into uint16_t (0 to 65535)."};
        QTest::newRow("uint32 too big") << STRUCT_CASE{CItem::TYPE_UINT32_T, 1.0, 0.0, 0.0, QVariant(qlonglong(4294967296)), QVariant(), "4294967296 does not fit into uint32_t (0 to 4294967295)."};
        QTest::newRow("fraction for an integer") << STRUCT_CASE{CItem::TYPE_INT16_T, 1.0, 0.0, 0.0, 21.5, QVariant(), "21.5 is not a whole number."};
        QTest::newRow("NaN") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, QVariant(NaN), QVariant(), "nan is not a finite number."};
        QTest::newRow("real beyond float") << STRUCT_CASE{CItem::TYPE_REAL, 1.0, 0.0, 0.0, QVariant(1e39), QVariant(), "1e+39 lies outside the range of a 32-bit floating-point number."};
        QTest::newRow("below the minimum") << STRUCT_CASE{CItem::TYPE_INT16_T, 1.0, -500.0, 1500.0, -501, QVariant(), "-501 is below the minimum -500."};
        QTest::newRow("above the maximum") << STRUCT_CASE{CItem::TYPE_REAL, 1.0, 0.0, 100.0, 100.5f, QVariant(), "100.5 is above the maximum 100."};
        QTest::newRow("list index past the end") << STRUCT_CASE{CItem::TYPE_LIST16_T, 1.0, 0.0, 0.0, 4, QVariant(), "4 is no entry of the list (0 to 3)."};
        QTest::newRow("list index beyond 32 bits") << STRUCT_CASE{CItem::TYPE_LIST32_T, 1.0, 0.0, 0.0, QVariant(qlonglong(1) << 32 | 1), QVariant(), "4294967297 is no entry of the list (0 to 3)."};
        QTest::newRow("bool 2") << STRUCT_CASE{CItem::TYPE_BOOL, 1.0, 0.0, 0.0, 2, QVariant(), "2 does not fit into bool (0 to 1)."};
        QTest::newRow("time beyond 8 bits") << STRUCT_CASE{CItem::TYPE_CHAR_TIME15_T, 1.0, 0.0, 0.0, 256, QVariant(), "256 does not fit into char_time15_t (0 to 255)."};
        QTest::newRow("number as text") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, "12", QVariant(), "'12' is not a number."};
        QTest::newRow("no value") << STRUCT_CASE{CItem::TYPE_UINT16_T, 1.0, 0.0, 0.0, QVariant(), QVariant(), "There is no value."};
        QTest::newRow("datetime garbage") << STRUCT_CASE{CItem::TYPE_DATETIME, 1.0, 0.0, 0.0, "yesterday", QVariant(), "'yesterday' is no date and time."};
        QTest::newRow("year beyond 16 bits") << STRUCT_CASE{CItem::TYPE_DATETIME, 1.0, 0.0, 0.0, QVariant(QDateTime(QDate(65536, 1, 1), QTime(0, 0))), QVariant(), "lies outside the years 1 to 65535"};
        QTest::newRow("milliseconds") << STRUCT_CASE{CItem::TYPE_DATETIME, 1.0, 0.0, 0.0, QVariant(friday(500)), QVariant(), "15.03.2024 14:30:45,500 has milliseconds; the device stores whole seconds."};
        QTest::newRow("text too long") << STRUCT_CASE{CItem::TYPE_BUILD_DATE, 1.0, 0.0, 0.0, "Jan 22 2024 x", QVariant(), "'Jan 22 2024 x' is longer than the 12 characters the device stores."};
        QTest::newRow("text outside latin1") << STRUCT_CASE{CItem::TYPE_TEXT16_T, 1.0, 0.0, 0.0, QVariant(QString::fromUtf8("5 €")), QVariant(), "holds characters the device cannot store"};
        QTest::newRow("text with a zero character") << STRUCT_CASE{CItem::TYPE_TEXT8_T, 1.0, 0.0, 0.0, QVariant(QString("A") + QChar(0) + "B"), QVariant(), "holds characters the device cannot store"};
        QTest::newRow("group") << STRUCT_CASE{CItem::TYPE_GROUP, 1.0, 0.0, 0.0, 1, QVariant(), "This item holds no value of its own."};
    }

    void deviceValues()
    {
        QFETCH(STRUCT_CASE, held);
        CDescribedItem item(held.type, held.factor, held.minimum, held.maximum);
        QString why = QStringLiteral("stale");
        QCOMPARE(item.canHold(held.input, &why), held.error.isEmpty());
        QVERIFY2(why.contains(held.error) && why.isEmpty() == held.error.isEmpty(), qPrintable(why));
        // Held means: the device gives the same value back.
        const QVariant back = CItem::valueFromByteArray(CItem::valueToByteArray(held.input, held.type), held.type);
        QVERIFY2(!held.error.isEmpty() || back == held.input, qPrintable(back.toString()));
    }

    void rawAndBitValues()
    {
        QCOMPARE(CItem::rawValue(-1234, CItem::TYPE_INT16_T, 10.0), QVariant(-123.4));
        QCOMPARE(CItem::rawValue(2.5f, CItem::TYPE_REAL, 10.0), QVariant(2.5));
        QCOMPARE(CItem::rawValue(2, CItem::TYPE_LIST16_T, 10.0), QVariant(2.0));
        QCOMPARE(CItem::rawValue(2, CItem::TYPE_BOOL, 10.0), QVariant(true));
        QVERIFY(!CItem::rawValue("5", CItem::TYPE_TEXT16_T, 1.0).isValid());

        QCOMPARE(CItem::bitValue(0xF0, CItem::TYPE_BIT, 4, 2), QVariant(3u));
        QCOMPARE(CItem::bitValue(0xFF, CItem::TYPE_BIT, 0, 0), QVariant(0u));
        QCOMPARE(CItem::bitValue(-1, CItem::TYPE_BIT, 0, 32), QVariant(0xFFFFFFFFu));
        QCOMPARE(CItem::bitValue(-1, CItem::TYPE_BIT, 40, 4), QVariant(0u));
        QCOMPARE(CItem::bitValue(NaN, CItem::TYPE_BIT, 0, 32), QVariant(0u));
        QVERIFY(!CItem::bitValue(0xF0, CItem::TYPE_BIT16_T, 4, 2).isValid());
    }

    void precisionFromDivider()
    {
        const QList<QPair<QString, int>> dividers = {{"", 0}, {"1", 0}, {"10", 1}, {"1000", 3}, {"-100", 2}, {"100.0", 2}, {"10,5", 1}, {"0,01", 0}, {"-", 0}};
        for (const auto& divider : dividers)
            QCOMPARE(CItem::precisionFromDivider(divider.first), divider.second);
    }

    // Decoding hands the value to setValue: newValue always (not for
    // structural nodes), valueChanged only on a change; a list item refuses
    // indexes outside its (translated) texts and announces the entry's text.
    void assignment()
    {
        const Type list = CItem::TYPE_LIST16_T;
        // type, list texts, language, start value, value, stored value, announced value (none when invalid)
        const QList<std::tuple<Type, QString, QString, QVariant, QVariant, QVariant, QVariant>> cases = {
            {list, "a,b,c", "", 0, 2, 2, "c"}, {list, "a,b,c", "", 0, 3, 0, QVariant()}, {list, "a,b,c", "", 0, -1, 0, QVariant()}, {list, "a,b,c", "", 0, qlonglong(1) << 32 | 2, 0, QVariant()},
            {list, "a,b,c", "", 0, NaN, NaN, "a"}, {list, "a,b,c", "", 0, 0, 0, QVariant()}, {list, "", "", 0, 1, 0, QVariant()}, {list, "a,,c", "", 0, 1, 1, ""}, {list, "a,b,c", "", 0, 1.0f, 1.0f, "b"},
            {list, "a,b,c", "de", 0, 2, 0, QVariant()}, {list, "a,b,c", "de", 0, 1, 1, "y"},
            {CItem::TYPE_UINT16_T, "", "", 0, 7, 7, 7}, {CItem::TYPE_UINT16_T, "", "", 7, 7.0f, 7, QVariant()}, {CItem::TYPE_GROUP, "", "", 0, 3, 3, 3}};
        for (const auto& [type, texts, language, start, value, stored, announced] : cases) {
            CItem item;
            item.setType(type);
            item.setTextList(texts);
            item.setupTranslations({{QStringLiteral("de"), {{QStringLiteral("a,b,c"), QStringLiteral("x,y")}}}});
            item.setLanguageId(language);
            item.setValue(start);
            QSignalSpy newValue(&item, &CItem::newValue);
            QSignalSpy changed(&item, &CItem::valueChanged);
            item.setValue(value);
            QCOMPARE(newValue.count(), type == CItem::TYPE_GROUP ? 0 : 1);
            QCOMPARE(item.value().toString(), stored.toString());
            QCOMPARE(changed.count(), announced.isValid() ? 1 : 0);
            if (announced.isValid())
                QCOMPARE(changed.first().first(), announced); // of a list the text, not the index
        }
    }

    // The bit items a bitfield makes: each takes its part of the bitfield's
    // value, and a bit's value composes the bitfield again.
    void bitfieldAndItsBits()
    {
        // bitfield type, its bytes, the values of the bits Ready, Run, Mode, Fault, Alarm
        const QList<std::tuple<Type, QByteArray, QVariantList>> spread = {
            {CItem::TYPE_BIT16_T, hex("0005"), {1u, 1u, 0u, 0u, 0u}}, {CItem::TYPE_BIT16_T, hex("0050"), {0u, 0u, 5u, 0u, 0u}},
            {CItem::TYPE_BIT8_T, hex("74"), {0u, 1u, 7u, 0u, 0u}}, {CItem::TYPE_BIT32_T, hex("80048000"), {0u, 1u, 0u, 1u, 1u}}};
        for (const auto& [type, bytes, bits] : spread) {
            CItem field;
            setupBitfield(&field, type);
            field.setData(bytes);
            QVariantList actual;
            for (CItem* bit : field.findChildren<CItem*>())
                actual.append(bit->value());
            QCOMPARE(actual, bits);
            QCOMPARE(field.data(), bytes);
            QCOMPARE(field.dataLength(), bytes.size()); // bits carry no bytes of their own
        }

        CItem field;
        setupBitfield(&field, CItem::TYPE_BIT32_T);
        field.setupTranslations({{"de", {{"Ready", "Bereit"}, {"no,yes", "nein,ja"}}}});
        field.setLanguageId(QStringLiteral("de"));
        CItem* mode = field.findChild<CItem*>(QStringLiteral("Status_Mode"));
        QCOMPARE((QVariantList{mode->type(), mode->caption(), mode->bitPosition(), mode->bitLength(), mode->texte().size(), field.childrenCount(CItem::TYPE_BIT)}),
                 (QVariantList{CItem::TYPE_BIT, "Mode", 4, 3, 8, 5}));
        CItem* ready = field.findChild<CItem*>(QStringLiteral("Status_Ready"));
        QCOMPARE(ready->caption() + " " + ready->valueToString(1u), QStringLiteral("Bereit ja"));
        QSignalSpy changed(&field, &CItem::valueChanged);
        QSignalSpy childChanged(&field, &CItem::childChanged);
        // start, bit, value of the bit, composed field, whether the field changes
        const QList<std::tuple<uint, QString, uint, uint, bool>> composed = {
            {1, "Mode", 1, 17, true}, {0x71, "Mode", 0, 1, true}, {0, "Mode", 0xFF, 0x70, true}, {0x11, "Mode", 9, 0x11, false}, {0, "Alarm", 1, 0x80000000u, true}};
        for (const auto& [start, bit, value, result, fieldChanges] : composed) {
            field.setValue(start);
            changed.clear();
            field.findChild<CItem*>(QStringLiteral("Status_") + bit)->setValue(value);
            QCOMPARE(field.value().toUInt(), result);
            QCOMPARE(changed.isEmpty(), !fieldChanges);
            QCOMPARE(childChanged.last().first(), QVariant(result));
        }

        // A hidden bit does not hide its bitfield; the last visible one does.
        QVERIFY(field.isVisible() && !mode->isVisible());
        QSignalSpy fieldVisible(&field, &CItem::visibleChanged);
        for (CItem* bit : field.findChildren<CItem*>())
            bit->setVisible(false);
        QVERIFY(!field.isVisible());
        QCOMPARE(fieldVisible.count(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_CItemCodec)
#include "tst_CItemCodec.moc"
