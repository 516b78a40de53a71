#include "items/CItem.h"

#include "items/CItemTexts.h"

#include <QLocale>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

const QStringList CItem::DATA_TYPES_TEXT16_T = {"text", "text16_t"};
const QStringList CItem::DATA_TYPES_INT16_T = {"int16_t", "signed short", "short"};
const QStringList CItem::DATA_TYPES_UINT16_T = {"uint16_t", "unsigned short"};
const QStringList CItem::DATA_TYPES_INT8_T = {"int8_t", "signed char", "char"};
const QStringList CItem::DATA_TYPES_UINT8_T = {"uint8_t", "unsigned char"};
const QStringList CItem::DATA_TYPES_INT32_T = {"int32_t", "signed int", "int"};
const QStringList CItem::DATA_TYPES_UINT32_T = {"uint32_t", "unsigned int"};
const QStringList CItem::DATA_TYPES_BOOL = {"bool"};
const QStringList CItem::DATA_TYPES_REAL = {"float", "double"};
const QStringList CItem::DATA_TYPES_LIST16_T = {"list16_t", "list", "liste"};
const QStringList CItem::DATA_TYPES_LIST32_T = {"list32_t"};
const QStringList CItem::DATA_TYPES_PASSWORD = {"password", "passwort"};
const QStringList CItem::DATA_TYPES_VERSION16_T = {"version16_t", "version"};
const QStringList CItem::DATA_TYPES_VERSION32_T = {"version32_t"};
const QStringList CItem::DATA_TYPES_BIT8_T = {"bit8_t"};
const QStringList CItem::DATA_TYPES_BIT16_T = {"bit16_t"};
const QStringList CItem::DATA_TYPES_BIT32_T = {"bit32_t"};
const QStringList CItem::DATA_TYPES_DATETIME = {"datetime"};
const QStringList CItem::DATA_TYPES_CHAR_TIME15_T = {"char_time15_t", "char_time15"};
const QStringList CItem::DATA_TYPES_SHORT_TIME15_T = {"short_time15_t", "short_time15"};
const QStringList CItem::DATA_TYPES_LONG_TIME15_T = {"long_time15_t", "long_time15"};
const QStringList CItem::DATA_TYPES_TEXT8_T = {"text8_t"};
const QStringList CItem::DATA_TYPES_BUILD_DATE = {"builddate"};

const QHash<int, QStringList> CItem::ITEM_DATA_TYPES = {
    {TYPE_TEXT16_T, DATA_TYPES_TEXT16_T},
    {TYPE_INT16_T, DATA_TYPES_INT16_T},
    {TYPE_UINT16_T, DATA_TYPES_UINT16_T},
    {TYPE_INT8_T, DATA_TYPES_INT8_T},
    {TYPE_UINT8_T, DATA_TYPES_UINT8_T},
    {TYPE_INT32_T, DATA_TYPES_INT32_T},
    {TYPE_UINT32_T, DATA_TYPES_UINT32_T},
    {TYPE_BOOL, DATA_TYPES_BOOL},
    {TYPE_REAL, DATA_TYPES_REAL},
    {TYPE_LIST16_T, DATA_TYPES_LIST16_T},
    {TYPE_LIST32_T, DATA_TYPES_LIST32_T},
    {TYPE_PASSWORD, DATA_TYPES_PASSWORD},
    {TYPE_VERSION16_T, DATA_TYPES_VERSION16_T},
    {TYPE_VERSION32_T, DATA_TYPES_VERSION32_T},
    {TYPE_BIT8_T, DATA_TYPES_BIT8_T},
    {TYPE_BIT16_T, DATA_TYPES_BIT16_T},
    {TYPE_BIT32_T, DATA_TYPES_BIT32_T},
    {TYPE_DATETIME, DATA_TYPES_DATETIME},
    {TYPE_CHAR_TIME15_T, DATA_TYPES_CHAR_TIME15_T},
    {TYPE_SHORT_TIME15_T, DATA_TYPES_SHORT_TIME15_T},
    {TYPE_LONG_TIME15_T, DATA_TYPES_LONG_TIME15_T},
    {TYPE_TEXT8_T, DATA_TYPES_TEXT8_T},
    {TYPE_BUILD_DATE, DATA_TYPES_BUILD_DATE},
};

const QString CItem::PARA_ATTRIBUTE_DATA_ID = QStringLiteral("DataId");
const QString CItem::PARA_ATTRIBUTE_DATATYPE = QStringLiteral("Datatype");
const QString CItem::PARA_ATTRIBUTE_READ_ONLY = QStringLiteral("ReadOnly");
const QString CItem::PARA_ATTRIBUTE_VISIBILITY = QStringLiteral("Visibility");
const QString CItem::PARA_ATTRIBUTE_DEFAULT = QStringLiteral("Default");
const QString CItem::PARA_ATTRIBUTE_DIVIDER = QStringLiteral("Divider");
const QString CItem::PARA_ATTRIBUTE_MIN = QStringLiteral("Min");
const QString CItem::PARA_ATTRIBUTE_MAX = QStringLiteral("Max");
const QString CItem::PARA_ATTRIBUTE_PARAMETER = QStringLiteral("Parameter");
const QString CItem::PARA_ATTRIBUTE_TEXT = QStringLiteral("Text");
const QString CItem::PARA_ATTRIBUTE_TEXT_OFF = QStringLiteral("TextIfOut");
const QString CItem::PARA_ATTRIBUTE_TEXT_STANDBY = QStringLiteral("TextIfStandby");
const QString CItem::PARA_ATTRIBUTE_UNIT = QStringLiteral("Unit");
const QString CItem::PARA_ATTRIBUTE_INFO_NUMBER = QStringLiteral("Infonummer");

namespace {

// Queued connections to setType need the enumeration by its qualified name.
const int dataTypesMetaTypeId = qRegisterMetaType<CItem::ENUM_DATA_TYPES>("CItem::ENUM_DATA_TYPES");

const int TEXT16_LENGTH = 10;
const int TEXT8_LENGTH = 10;
const int BUILD_DATE_LENGTH = 12;
const int DATETIME_LENGTH = 8;
const int MAX_DEVICE_YEAR = 0xFFFF;
// Magnitudes from here on cannot be rounded into 64 bits.
const double INTEGER_LIMIT = 9.0e18;
const double FLOAT_MAX = double(std::numeric_limits<float>::max());

enum ENUM_CODEC_CLASS { CODEC_NONE, CODEC_8, CODEC_16, CODEC_32, CODEC_REAL, CODEC_TEXT_SWAPPED, CODEC_TEXT8, CODEC_DATETIME };

ENUM_CODEC_CLASS codecClass(int type)
{
    switch (type) {
    case CItem::TYPE_INT16_T:
    case CItem::TYPE_UINT16_T:
    case CItem::TYPE_BOOL:
    case CItem::TYPE_LIST16_T:
    case CItem::TYPE_PASSWORD:
    case CItem::TYPE_VERSION16_T:
    case CItem::TYPE_BIT16_T:
    case CItem::TYPE_SHORT_TIME15_T:
        return CODEC_16;
    case CItem::TYPE_INT8_T:
    case CItem::TYPE_UINT8_T:
    case CItem::TYPE_BIT8_T:
    case CItem::TYPE_CHAR_TIME15_T:
        return CODEC_8;
    case CItem::TYPE_INT32_T:
    case CItem::TYPE_UINT32_T:
    case CItem::TYPE_LIST32_T:
    case CItem::TYPE_VERSION32_T:
    case CItem::TYPE_BIT32_T:
    case CItem::TYPE_LONG_TIME15_T:
        return CODEC_32;
    case CItem::TYPE_REAL:
        return CODEC_REAL;
    case CItem::TYPE_TEXT16_T:
    case CItem::TYPE_BUILD_DATE:
        return CODEC_TEXT_SWAPPED;
    case CItem::TYPE_TEXT8_T:
        return CODEC_TEXT8;
    case CItem::TYPE_DATETIME:
        return CODEC_DATETIME;
    default:
        return CODEC_NONE;
    }
}

// A quantity that is not completely inside the bytes reads as zero.
quint8 readByte(const QByteArray& bytes, int offset)
{
    return offset < bytes.size() ? quint8(bytes.at(offset)) : 0;
}

quint16 readWord(const QByteArray& bytes, int offset)
{
    if (offset + 2 > bytes.size())
        return 0;
    return qFromBigEndian<quint16>(bytes.constData() + offset);
}

// Two big-endian words, low word first.
quint32 readLowWordFirst(const QByteArray& bytes)
{
    return quint32(readWord(bytes, 2)) << 16 | readWord(bytes, 0);
}

void appendWord(QByteArray& bytes, quint16 word)
{
    bytes.append(char(word >> 8));
    bytes.append(char(word & 0xFF));
}

void appendLowWordFirst(QByteArray& bytes, quint32 value)
{
    appendWord(bytes, quint16(value & 0xFFFF));
    appendWord(bytes, quint16(value >> 16));
}

void swapBytePairs(QByteArray& bytes)
{
    char* raw = bytes.data();
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(raw[i], raw[i + 1]);
}

QString latin1UpToZero(const QByteArray& bytes)
{
    const int end = bytes.indexOf('\0');
    return QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
}

QByteArray latin1Fixed(const QVariant& value, int length)
{
    QByteArray bytes = value.toString().toLatin1().left(length);
    bytes.append(QByteArray(length - bytes.size(), '\0'));
    return bytes;
}

// The variant's own conversion rounds floating-point values to the nearest
// integer, which is undefined for NaN, infinities and magnitudes beyond 64
// bits: those count as unconvertible, that is 0, like any value without a number.
qint64 toInteger(const QVariant& value)
{
    const int type = value.userType();
    if ((type == QMetaType::Double || type == QMetaType::Float) && !(std::fabs(value.toDouble()) < INTEGER_LIMIT))
        return 0;
    return value.toLongLong();
}

// Negative values keep their two's complement bits once cast to the unsigned
// device width.
quint32 toDeviceBits(const QVariant& value)
{
    return quint32(toInteger(value));
}

// Beyond the float range the conversion is undefined; IEEE 754 gives the
// infinity of the value's sign.
float toDeviceFloat(const QVariant& value)
{
    const double number = value.toDouble();
    if (std::fabs(number) > FLOAT_MAX)
        return number < 0 ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    return float(number);
}

bool isNumber(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isTime15(int type)
{
    return type == CItem::TYPE_CHAR_TIME15_T || type == CItem::TYPE_SHORT_TIME15_T
        || type == CItem::TYPE_LONG_TIME15_T;
}

bool isList(int type)
{
    return type == CItem::TYPE_LIST16_T || type == CItem::TYPE_LIST32_T;
}

// Types whose displayed value is the device value divided by the decimal factor.
bool isScaled(int type)
{
    switch (type) {
    case CItem::TYPE_INT16_T:
    case CItem::TYPE_UINT16_T:
    case CItem::TYPE_INT8_T:
    case CItem::TYPE_UINT8_T:
    case CItem::TYPE_INT32_T:
    case CItem::TYPE_UINT32_T:
    case CItem::TYPE_BIT8_T:
    case CItem::TYPE_BIT16_T:
    case CItem::TYPE_BIT32_T:
    case CItem::TYPE_VERSION16_T:
    case CItem::TYPE_VERSION32_T:
        return true;
    default:
        return isTime15(type);
    }
}

// An integer as the device's own value of the type comes back: an unsigned
// int for the unsigned 32-bit types, an int otherwise; wider only when it
// fits neither, so that the check can refuse it.
QVariant deviceInteger(qint64 number, int type)
{
    const bool unsigned32 = type != CItem::TYPE_INT32_T && CItem::typeLength(type) == 4;
    if (unsigned32 && number >= 0 && number <= std::numeric_limits<quint32>::max())
        return uint(number);
    if (number >= std::numeric_limits<qint32>::min() && number <= std::numeric_limits<qint32>::max())
        return int(number);
    return qlonglong(number);
}

// Bit positions come from description files: shifts past the 32 bits of a
// register pair give 0 instead of undefined behaviour.
quint32 shiftLeft(quint32 bits, int count)
{
    return (count < 0 || count >= 32) ? 0 : bits << count;
}

quint32 shiftRight(quint32 bits, int count)
{
    return (count < 0 || count >= 32) ? 0 : bits >> count;
}

// 2^length - 1, all 32 bits for lengths of 32 and more, 0 below 1.
quint32 fieldOfLength(int length)
{
    if (length < 1)
        return 0;
    return length >= 32 ? 0xFFFFFFFFu : (quint32(1) << length) - 1;
}

quint32 bitMask(int position, int length)
{
    return shiftLeft(fieldOfLength(length), position);
}

} // namespace

CItem::CItem(QObject* parent)
    : QObject(parent)
{
    Q_UNUSED(dataTypesMetaTypeId)
}

CItem::ENUM_DATA_TYPES CItem::dataTypeFromText(const QString& text)
{
    for (auto it = ITEM_DATA_TYPES.constBegin(); it != ITEM_DATA_TYPES.constEnd(); ++it) {
        if (it.value().contains(text))
            return ENUM_DATA_TYPES(it.key());
    }
    return TYPE_ROOT;
}

QString CItem::dataTypeToText(int type)
{
    const auto it = ITEM_DATA_TYPES.constFind(type);
    return it == ITEM_DATA_TYPES.constEnd() ? QString() : it.value().first();
}

int CItem::typeLength(int type)
{
    switch (codecClass(type)) {
    case CODEC_8:
        return 1;
    case CODEC_16:
        return 2;
    case CODEC_32:
    case CODEC_REAL:
        return 4;
    case CODEC_TEXT_SWAPPED:
        return type == TYPE_BUILD_DATE ? BUILD_DATE_LENGTH : TEXT16_LENGTH;
    case CODEC_TEXT8:
        return TEXT8_LENGTH;
    case CODEC_DATETIME:
        return DATETIME_LENGTH;
    case CODEC_NONE:
        break;
    }
    return 0;
}

QVariant CItem::valueFromByteArray(QByteArray bytes, ENUM_DATA_TYPES type)
{
    switch (codecClass(type)) {
    case CODEC_16: {
        const quint16 word = readWord(bytes, 0);
        return type == TYPE_INT16_T ? int(qint16(word)) : int(word);
    }
    case CODEC_8: {
        const quint8 byte = readByte(bytes, 0);
        return type == TYPE_INT8_T ? int(qint8(byte)) : int(byte);
    }
    case CODEC_32: {
        const quint32 value = readLowWordFirst(bytes);
        return type == TYPE_INT32_T ? QVariant(int(qint32(value))) : QVariant(uint(value));
    }
    case CODEC_REAL: {
        const quint32 bits = readLowWordFirst(bytes);
        float number;
        std::memcpy(&number, &bits, sizeof number);
        return number;
    }
    case CODEC_TEXT_SWAPPED: {
        const int length = typeLength(type);
        QByteArray text(length, '\0');
        for (int i = 0; i < length; i += 2) {
            const quint16 word = readWord(bytes, i);
            text[i] = char(word & 0xFF);
            text[i + 1] = char(word >> 8);
        }
        return latin1UpToZero(text);
    }
    case CODEC_TEXT8: {
        QByteArray text = bytes.left(TEXT8_LENGTH);
        return latin1UpToZero(text);
    }
    case CODEC_DATETIME: {
        // byte 1 carries the day of the week, which the date implies anyway
        const QDate date(readWord(bytes, 6), readByte(bytes, 4), readByte(bytes, 5));
        const QTime time(readByte(bytes, 2), readByte(bytes, 3), readByte(bytes, 0));
        if (!date.isValid() || !time.isValid())
            return QDateTime();
        return QDateTime(date, time, Qt::LocalTime);
    }
    case CODEC_NONE:
        break;
    }
    return QVariant();
}

QByteArray CItem::valueToByteArray(const QVariant& value, ENUM_DATA_TYPES type)
{
    QByteArray bytes;
    switch (codecClass(type)) {
    case CODEC_16:
        appendWord(bytes, quint16(toDeviceBits(value)));
        break;
    case CODEC_8:
        bytes.append(char(quint8(toDeviceBits(value))));
        break;
    case CODEC_32:
        appendLowWordFirst(bytes, toDeviceBits(value));
        break;
    case CODEC_REAL: {
        const float number = toDeviceFloat(value);
        quint32 bits;
        std::memcpy(&bits, &number, sizeof bits);
        appendLowWordFirst(bytes, bits);
        break;
    }
    case CODEC_TEXT_SWAPPED:
        bytes = latin1Fixed(value, typeLength(type));
        swapBytePairs(bytes);
        break;
    case CODEC_TEXT8:
        bytes = latin1Fixed(value, TEXT8_LENGTH);
        break;
    case CODEC_DATETIME: {
        const QDateTime dateTime = value.toDateTime();
        if (!dateTime.isValid())
            return QByteArray(DATETIME_LENGTH, '\0');
        const QDate date = dateTime.date();
        const QTime time = dateTime.time();
        bytes.append(char(time.second()));
        bytes.append(char(date.dayOfWeek()));
        bytes.append(char(time.hour()));
        bytes.append(char(time.minute()));
        bytes.append(char(date.month()));
        bytes.append(char(date.day()));
        appendWord(bytes, quint16(date.year()));
        break;
    }
    case CODEC_NONE:
        break;
    }
    return bytes;
}

QVariant CItem::rawValue(const QVariant& value, ENUM_DATA_TYPES type, double factor)
{
    switch (type) {
    case TYPE_INT16_T:
    case TYPE_UINT16_T:
    case TYPE_INT8_T:
    case TYPE_UINT8_T:
    case TYPE_INT32_T:
    case TYPE_UINT32_T:
    case TYPE_VERSION16_T:
    case TYPE_VERSION32_T:
    case TYPE_BIT8_T:
    case TYPE_BIT16_T:
    case TYPE_BIT32_T:
    case TYPE_CHAR_TIME15_T:
    case TYPE_SHORT_TIME15_T:
    case TYPE_LONG_TIME15_T:
        return value.toDouble() / factor;
    case TYPE_REAL:
        return value.toDouble() / 1.0;
    case TYPE_LIST16_T:
    case TYPE_LIST32_T:
    case TYPE_PASSWORD:
    case TYPE_BIT:
        return value.toDouble();
    case TYPE_BOOL:
        return value.toBool();
    default:
        return QVariant();
    }
}

QVariant CItem::bitValue(const QVariant& value, ENUM_DATA_TYPES type, int position, int length)
{
    if (type != TYPE_BIT)
        return QVariant();
    return uint(shiftRight(toDeviceBits(value) & bitMask(position, length), position));
}

QByteArray CItem::valueToLowByteFirstWord(const QVariant& value)
{
    const quint16 word = quint16(toDeviceBits(value));
    QByteArray bytes;
    bytes.append(char(word & 0xFF));
    bytes.append(char(word >> 8));
    return bytes;
}

QString CItem::valueToFileText(const QVariant& value, ENUM_DATA_TYPES type)
{
    if (type == TYPE_DATETIME && value.userType() == QMetaType::QDateTime)
        return value.toDateTime().toString(Qt::ISODate);
    return value.toString();
}

QVariant CItem::valueFromFileText(const QString& text, ENUM_DATA_TYPES type)
{
    switch (codecClass(type)) {
    case CODEC_DATETIME: {
        if (text.isEmpty())
            return QDateTime();
        const QDateTime dateTime = QDateTime::fromString(text, Qt::ISODate);
        return dateTime.isValid() ? QVariant(dateTime) : QVariant(text);
    }
    case CODEC_TEXT_SWAPPED:
    case CODEC_TEXT8:
    case CODEC_NONE:
        return text;
    case CODEC_8:
    case CODEC_16:
    case CODEC_32:
    case CODEC_REAL:
        break;
    }
    if (text.isEmpty())
        return QVariant();
    bool ok = false;
    const qlonglong integer = text.toLongLong(&ok);
    if (ok && type != TYPE_REAL)
        return deviceInteger(integer, type);
    const double number = text.toDouble(&ok);
    if (!ok)
        return text;
    // A fraction or a magnitude the type cannot hold stays a double, unrounded.
    if (type == TYPE_REAL && !(std::fabs(number) > FLOAT_MAX))
        return float(number);
    return number;
}

int CItem::precisionFromDivider(const QString& divider)
{
    QString text = divider;
    for (const QString& separator : {QStringLiteral("."), QStringLiteral(","), QStringLiteral("-")}) {
        if (!text.contains(separator))
            continue;
        if (separator == QLatin1String("-"))
            text.remove(separator);
        else
            text = text.left(text.indexOf(separator));
    }
    return text.isEmpty() ? 0 : text.size() - 1;
}

QString CItem::dateTimeFormat(bool withMilliseconds)
{
    return withMilliseconds ? tr("dd.MM.yyyy hh:mm:ss,zzz") : tr("dd.MM.yyyy hh:mm:ss");
}

QString CItem::timeFormat(bool withMilliseconds)
{
    return withMilliseconds ? tr("hh:mm:ss,zzz") : tr("hh:mm:ss");
}

QString CItem::dateFormat()
{
    return tr("dd.MM.yyyy");
}

int CItem::dataLength() const
{
    int length = typeLength(m_type);
    for (const CItem* child : childItems())
        length += child->dataLength();
    return length;
}

QByteArray CItem::data() const
{
    return valueToByteArray(m_value, m_type);
}

void CItem::setData(QByteArray bytes)
{
    if (codecClass(m_type) == CODEC_NONE)
        return;
    setValue(valueFromByteArray(bytes, m_type));
}

QString CItem::formatNumber(double number, bool keepDecimalPoint) const
{
    const QString text = QString::number(number, 'f', int(m_precision));
    return keepDecimalPoint ? text : QString(text).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString CItem::valueToString(const QVariant& value) const
{
    const int prec = int(m_precision);
    switch (m_type) {
    case TYPE_OBJECT:
    case TYPE_GROUP:
        return QString();
    case TYPE_TEXT16_T:
    case TYPE_TEXT8_T:
    case TYPE_BUILD_DATE:
        return value.toString();
    case TYPE_INT16_T:
    case TYPE_UINT16_T:
    case TYPE_INT8_T:
    case TYPE_UINT8_T:
    case TYPE_INT32_T:
    case TYPE_UINT32_T:
    case TYPE_BIT8_T:
    case TYPE_BIT16_T:
    case TYPE_BIT32_T:
        return formatNumber(value.toDouble() / m_decimalFactor, false);
    case TYPE_REAL:
        return formatNumber(value.toDouble() / 1.0, false);
    case TYPE_BOOL:
        return value.toBool() ? tr(CItemTexts::ItemTextValueOn) : tr(CItemTexts::ItemTextValueOff);
    case TYPE_LIST16_T:
    case TYPE_LIST32_T:
    case TYPE_BIT: {
        const QStringList texts = texte();
        const qint64 index = toInteger(value);
        return (index >= 0 && index < texts.size()) ? texts.at(int(index)) : QStringLiteral("?");
    }
    case TYPE_PASSWORD:
        return QString::number(value.toDouble(), 'f', 0).rightJustified(prec, QLatin1Char('0'));
    case TYPE_VERSION16_T:
    case TYPE_VERSION32_T:
        return formatNumber(value.toDouble() / m_decimalFactor, true);
    case TYPE_DATETIME: {
        const QDateTime dateTime = value.toDateTime();
        return dateTime.isValid() ? dateTime.toString(dateTimeFormat(false)) : QStringLiteral("?");
    }
    case TYPE_CHAR_TIME15_T:
    case TYPE_SHORT_TIME15_T:
    case TYPE_LONG_TIME15_T: {
        const double quarters = std::trunc(value.toDouble() / m_decimalFactor);
        if (!(std::fabs(quarters) < INTEGER_LIMIT))
            return QStringLiteral("?");
        const qint64 quarterHours = qint64(quarters);
        return QStringLiteral("%1:%2")
            .arg(quarterHours / 4, 2, 10, QLatin1Char('0'))
            .arg((quarterHours % 4) * 15, 2, 10, QLatin1Char('0'));
    }
    default:
        return QStringLiteral("?");
    }
}

QVariant CItem::valueFromString(const QString& input, QString* error) const
{
    QString why;
    const QVariant value = typedValue(input, &why);
    if (why.isEmpty())
        why = valueError(value, true);
    if (error)
        *error = why;
    return why.isEmpty() ? value : QVariant();
}

bool CItem::canHold(const QVariant& value, QString* error) const
{
    const QString why = valueError(value, false);
    if (error)
        *error = why;
    return why.isEmpty();
}

// The device value a typed text stands for, before the rules of valueError;
// error is set only for a text that is no value of the type at all.
QVariant CItem::typedValue(const QString& input, QString* error) const
{
    const QString text = input.trimmed();
    double number = 0.0;
    switch (m_type) {
    case TYPE_TEXT16_T:
    case TYPE_TEXT8_T:
        return input; // blanks are part of a text
    case TYPE_BUILD_DATE:
        *error = tr("A build date cannot be entered.");
        return QVariant();
    case TYPE_BOOL:
        if (text == tr(CItemTexts::ItemTextValueOn) || text == QLatin1String("1"))
            return 1;
        if (text == tr(CItemTexts::ItemTextValueOff) || text == QLatin1String("0"))
            return 0;
        *error = tr("'%1' is neither %2 nor %3.")
                     .arg(text, tr(CItemTexts::ItemTextValueOn), tr(CItemTexts::ItemTextValueOff));
        return QVariant();
    case TYPE_LIST16_T:
    case TYPE_LIST32_T: {
        const int entry = texte().indexOf(text);
        if (entry >= 0)
            return deviceInteger(entry, m_type);
        bool ok = false;
        const qlonglong index = text.toLongLong(&ok);
        if (ok)
            return deviceInteger(index, m_type);
        *error = tr("'%1' is none of: %2.").arg(text, texte().join(QStringLiteral(", ")));
        return QVariant();
    }
    case TYPE_DATETIME: {
        QDateTime dateTime = QDateTime::fromString(text, dateTimeFormat(false));
        if (!dateTime.isValid())
            dateTime = QDateTime::fromString(text, Qt::ISODate);
        if (!dateTime.isValid())
            *error = tr("'%1' is no date and time (%2).").arg(text, dateTimeFormat(false));
        return dateTime;
    }
    case TYPE_CHAR_TIME15_T:
    case TYPE_SHORT_TIME15_T:
    case TYPE_LONG_TIME15_T: {
        static const QRegularExpression timeOfDay(QStringLiteral("^(\\d{1,3}):([0-5]\\d)$"));
        const QRegularExpressionMatch match = timeOfDay.match(text);
        if (!match.hasMatch()) {
            *error = tr("'%1' is no time of day (hh:mm).").arg(text);
            return QVariant();
        }
        const int minutes = match.captured(1).toInt() * 60 + match.captured(2).toInt();
        if (minutes % 15 != 0) {
            *error = tr("%1 is not on a quarter hour.").arg(text);
            return QVariant();
        }
        number = minutes / 15;
        break;
    }
    case TYPE_INT16_T:
    case TYPE_UINT16_T:
    case TYPE_INT8_T:
    case TYPE_UINT8_T:
    case TYPE_INT32_T:
    case TYPE_UINT32_T:
    case TYPE_BIT8_T:
    case TYPE_BIT16_T:
    case TYPE_BIT32_T:
    case TYPE_PASSWORD:
    case TYPE_VERSION16_T:
    case TYPE_VERSION32_T:
    case TYPE_REAL: {
        bool ok = false;
        // Users type either decimal separator.
        number = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok) {
            *error = tr("'%1' is not a number.").arg(text);
            return QVariant();
        }
        if (m_type == TYPE_REAL)
            return number;
        break;
    }
    default:
        *error = tr("This item holds no value of its own.");
        return QVariant();
    }

    // The factor comes from a single-precision attribute: scale by the
    // decimal it was written as, so that 5 with a divider of 0.1 is 0.5 and
    // not 0.50000001. A product off a whole number only by the rounding of
    // binary fractions is that whole number; any other stays fractional for
    // valueError to refuse.
    const double factor = isScaled(m_type) ? QString::number(m_decimalFactor, 'g', 7).toDouble() : 1.0;
    const double raw = number * factor;
    const double whole = std::round(raw);
    if (std::fabs(whole) < INTEGER_LIMIT && std::fabs(raw - whole) <= 1e-9 * std::max(1.0, std::fabs(raw)))
        return deviceInteger(qint64(whole), m_type);
    return raw;
}

// Why the item cannot hold value unchanged (empty when it can): the single
// set of rules for typed and for loaded values.
QString CItem::valueError(const QVariant& value, bool inDisplayUnits) const
{
    const ENUM_CODEC_CLASS codec = codecClass(m_type);
    if (codec == CODEC_NONE)
        return tr("This item holds no value of its own.");
    if (!value.isValid())
        return tr("There is no value.");

    if (codec == CODEC_TEXT_SWAPPED || codec == CODEC_TEXT8) {
        const QString text = value.toString();
        const auto storable = [](QChar c) { return c.unicode() != 0 && c.unicode() <= 0xFF; };
        if (!std::all_of(text.cbegin(), text.cend(), storable))
            return tr("'%1' holds characters the device cannot store (it stores Latin-1 only).").arg(text);
        if (text.size() > typeLength(m_type))
            return tr("'%1' is longer than the %2 characters the device stores.").arg(text).arg(typeLength(m_type));
        return QString();
    }

    if (codec == CODEC_DATETIME) {
        const QDateTime dateTime = value.toDateTime();
        // An invalid date-time is the device's own unset clock (eight zero bytes).
        if (value.userType() == QMetaType::QDateTime && !dateTime.isValid())
            return QString();
        if (!dateTime.isValid())
            return tr("'%1' is no date and time.").arg(value.toString());
        const QString shown = dateTime.toString(dateTimeFormat(true));
        if (dateTime.date().year() < 1 || dateTime.date().year() > MAX_DEVICE_YEAR)
            return tr("%1 lies outside the years 1 to %2 that the device stores.").arg(shown).arg(MAX_DEVICE_YEAR);
        if (dateTime.time().msec() != 0)
            return tr("%1 has milliseconds; the device stores whole seconds.").arg(shown);
        return QString();
    }

    if (!isNumber(value))
        return tr("'%1' is not a number.").arg(value.toString());
    double number = value.toDouble();
    const QString shown = numberText(number, inDisplayUnits);
    if (!std::isfinite(number))
        return tr("%1 is not a finite number.").arg(shown);

    if (codec == CODEC_REAL) {
        if (std::fabs(number) > FLOAT_MAX)
            return tr("%1 lies outside the range of a 32-bit floating-point number.").arg(shown);
        // Compare what the device will hold: a typed 0.1 becomes the same float as a Min of 0.1.
        number = double(float(number));
    } else {
        if (number != std::trunc(number)) {
            if (inDisplayUnits && isScaled(m_type) && m_decimalFactor != 1.0)
                return tr("%1 is not a multiple of %2.").arg(shown, numberText(1.0, true));
            return tr("%1 is not a whole number.").arg(shown);
        }
        if (isList(m_type) && (number < 0 || number >= texte().size()))
            return tr("%1 is no entry of the list (0 to %2).").arg(shown).arg(texte().size() - 1);

        const int bits = typeLength(m_type) * 8;
        const bool isSigned = m_type == TYPE_INT8_T || m_type == TYPE_INT16_T || m_type == TYPE_INT32_T;
        const double lowest = isSigned ? -std::ldexp(1.0, bits - 1) : 0.0;
        const double highest = m_type == TYPE_BOOL ? 1.0 : std::ldexp(1.0, isSigned ? bits - 1 : bits) - 1.0;
        if (number < lowest || number > highest)
            return tr("%1 does not fit into %2 (%3 to %4).")
                .arg(shown, dataTypeToText(m_type), numberText(lowest, inDisplayUnits),
                     numberText(highest, inDisplayUnits));
    }

    if (m_min < m_max && number < m_min)
        return tr("%1 is below the minimum %2.").arg(shown, numberText(m_min, inDisplayUnits));
    if (m_min < m_max && number > m_max)
        return tr("%1 is above the maximum %2.").arg(shown, numberText(m_max, inDisplayUnits));
    return QString();
}

// A device number for a message: as it is, or as the user sees it, unrounded.
QString CItem::numberText(double deviceNumber, bool inDisplayUnits) const
{
    if (!inDisplayUnits)
        return QString::number(deviceNumber, 'g', QLocale::FloatingPointShortest);
    if (isTime15(m_type))
        return valueToString(deviceNumber);
    const bool keepDecimalPoint = m_type == TYPE_VERSION16_T || m_type == TYPE_VERSION32_T;
    const double shown = isScaled(m_type) ? deviceNumber / m_decimalFactor : deviceNumber;
    const QString text = QString::number(shown, 'g', QLocale::FloatingPointShortest);
    return keepDecimalPoint ? text : QString(text).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString CItem::toValueString() const
{
    return valueToString(m_value);
}

QString CItem::valueFormatedToString(const QVariant& value, bool applyDecimalFactor) const
{
    const double factor = applyDecimalFactor ? m_decimalFactor : 1.0;
    switch (m_type) {
    case TYPE_INT16_T:
    case TYPE_UINT16_T:
    case TYPE_INT8_T:
    case TYPE_UINT8_T:
    case TYPE_INT32_T:
    case TYPE_UINT32_T:
    case TYPE_BIT8_T:
    case TYPE_BIT16_T:
    case TYPE_BIT32_T:
        return formatNumber(value.toDouble() / factor, false);
    case TYPE_REAL:
        return formatNumber(value.toDouble(), false);
    case TYPE_VERSION16_T:
    case TYPE_VERSION32_T:
        return formatNumber(value.toDouble() / factor, true);
    case TYPE_BIT:
        return QString::number(value.toDouble(), 'f', 0).rightJustified(int(m_precision), QLatin1Char('0'));
    default:
        return valueToString(value);
    }
}

void CItem::setValue(const QVariant& value)
{
    if (m_type != TYPE_ROOT && m_type != TYPE_OBJECT && m_type != TYPE_GROUP) {
        emit newValue(value);

        if (m_type == TYPE_LIST16_T || m_type == TYPE_LIST32_T) {
            if (value == m_value)
                return;
            const QStringList texts = texte();
            const qint64 index = toInteger(value);
            if (index < 0 || index >= texts.size())
                return;
            m_value = value;
            emit valueChanged(texts.at(int(index)));
            return;
        }

        if (m_type == TYPE_BIT8_T || m_type == TYPE_BIT16_T || m_type == TYPE_BIT32_T) {
            const quint32 bits = toDeviceBits(value);
            for (CItem* child : childItems()) {
                const quint32 mask = bitMask(child->m_bitPosition, child->m_bitLength);
                child->setValue(uint(shiftRight(bits & mask, child->m_bitPosition)));
            }
        }
    }

    if (value == m_value)
        return;
    m_value = value;
    emit valueChanged(value);
}

void CItem::childValueChanged(const QVariant& value)
{
    const CItem* bit = qobject_cast<const CItem*>(sender());
    if (!bit)
        return;
    const quint32 field = fieldOfLength(bit->m_bitLength);
    const quint32 shifted = shiftLeft(toDeviceBits(value) & field, bit->m_bitPosition);
    const quint32 mask = shiftLeft(field, bit->m_bitPosition);
    const quint32 old = toDeviceBits(m_value);
    if ((old & mask) != shifted)
        setValue(uint((old & ~mask) + shifted));
    emit childChanged(uint(toDeviceBits(m_value)));
}

bool CItem::setup(const QHash<QString, QString>& attributes)
{
    bool unknownDataType = false;

    if (attributes.contains(PARA_ATTRIBUTE_DATA_ID))
        setId(attributes.value(PARA_ATTRIBUTE_DATA_ID).toInt(nullptr, 10));
    if (attributes.contains(PARA_ATTRIBUTE_READ_ONLY))
        setReadOnly(attributes.value(PARA_ATTRIBUTE_READ_ONLY) != QLatin1String("false"));
    if (attributes.contains(PARA_ATTRIBUTE_VISIBILITY))
        setVisible(attributes.value(PARA_ATTRIBUTE_VISIBILITY) != QLatin1String("false"));
    if (attributes.contains(PARA_ATTRIBUTE_TEXT))
        setCaption(attributes.value(PARA_ATTRIBUTE_TEXT));
    if (attributes.contains(PARA_ATTRIBUTE_UNIT))
        setUnit(attributes.value(PARA_ATTRIBUTE_UNIT));
    if (attributes.contains(PARA_ATTRIBUTE_MIN) && attributes.contains(PARA_ATTRIBUTE_MAX))
        setRange(double(attributes.value(PARA_ATTRIBUTE_MIN).toFloat()),
                 double(attributes.value(PARA_ATTRIBUTE_MAX).toFloat()));
    if (attributes.contains(PARA_ATTRIBUTE_DIVIDER)) {
        const QString divider = attributes.value(PARA_ATTRIBUTE_DIVIDER);
        const double factor = double(divider.toFloat());
        setDecimalFactor(factor == 0.0 ? 1.0 : factor);
        setPrecision(precisionFromDivider(divider));
    }
    if (attributes.contains(PARA_ATTRIBUTE_TEXT_OFF))
        setSpecialValueText(attributes.value(PARA_ATTRIBUTE_TEXT_OFF));
    setSpecialOutput(attributes.value(PARA_ATTRIBUTE_TEXT_STANDBY));
    if (attributes.contains(PARA_ATTRIBUTE_DATATYPE)) {
        const ENUM_DATA_TYPES type = dataTypeFromText(attributes.value(PARA_ATTRIBUTE_DATATYPE).toLower());
        if (type == TYPE_ROOT)
            unknownDataType = true;
        else
            setType(type);
    }
    if (attributes.contains(PARA_ATTRIBUTE_DEFAULT))
        setDefaultValue(attributes.value(PARA_ATTRIBUTE_DEFAULT).toFloat());
    if (attributes.contains(PARA_ATTRIBUTE_INFO_NUMBER))
        setInfoNumber(attributes.value(PARA_ATTRIBUTE_INFO_NUMBER));

    return unknownDataType;
}

void CItem::setupTranslations(const QHash<QString, QHash<QString, QString>>& languages)
{
    const QStringList texts = {m_caption, m_unit, m_specialValueText, m_textList};
    for (auto language = languages.constBegin(); language != languages.constEnd(); ++language) {
        QHash<QString, QString> dictionary;
        for (const QString& text : texts) {
            const auto entry = language.value().constFind(text);
            if (entry != language.value().constEnd())
                dictionary.insert(text, entry.value());
        }
        m_translations.insert(language.key(), dictionary);
    }
    for (CItem* child : childItems())
        child->setupTranslations(languages);
}

QString CItem::translated(const QString& text, const QString& language) const
{
    const auto dictionary = m_translations.constFind(language);
    if (dictionary == m_translations.constEnd())
        return text;
    return dictionary.value().value(text, text);
}

QString CItem::caption() const { return caption(m_languageId); }
QString CItem::caption(const QString& language) const { return translated(m_caption, language); }
QString CItem::unit() const { return unit(m_languageId); }
QString CItem::unit(const QString& language) const { return translated(m_unit, language); }
QString CItem::specialValueText() const { return specialValueText(m_languageId); }
QString CItem::specialValueText(const QString& language) const { return translated(m_specialValueText, language); }
QString CItem::specialOutput() const { return translated(m_specialOutput, m_languageId); }
QStringList CItem::texte() const { return texte(m_languageId); }

QStringList CItem::texte(const QString& language) const
{
    return translated(m_textList, language).split(QLatin1Char(','), Qt::KeepEmptyParts);
}

QString CItem::parentText() const { return parentText(m_languageId); }

QString CItem::parentText(const QString& language) const
{
    const CItem* parentItem = qobject_cast<const CItem*>(parent());
    if (!parentItem || parentItem->m_type == TYPE_OBJECT)
        return QString();
    const QString outer = parentItem->parentText(language);
    if (outer.isEmpty())
        return parentItem->caption(language);
    return QStringLiteral("%1 - %2").arg(outer, parentItem->caption(language));
}

QString CItem::extendedCaption() const { return extendedCaption(m_languageId); }

QString CItem::extendedCaption(const QString& language) const
{
    const QString outer = parentText(language);
    if (outer.isEmpty())
        return caption(language);
    return QStringLiteral("%1 - %2").arg(outer, caption(language));
}

bool CItem::hasFeature(const QString& name) const
{
    for (const FeatureElement& element : m_features) {
        if (element.first == name)
            return true;
    }
    return false;
}

QVariant CItem::feature(const QString& name) const
{
    for (const FeatureElement& element : m_features) {
        if (element.first != name)
            continue;
        const QString& text = element.second;
        if (name == QLatin1String("Access") || name == QLatin1String("Function_RD")
            || name == QLatin1String("Function_WR") || name == QLatin1String("Function_RW"))
            return text;
        if (name == QLatin1String("Enabled"))
            return text == QLatin1String("true");
        if (name == QLatin1String("Address_RD") || name == QLatin1String("Address_WR")
            || name == QLatin1String("Address_RW") || name == QLatin1String("Address_WRS")) {
            if (text.startsWith(QLatin1String("0x")))
                return text.mid(2).toUInt(nullptr, 16);
            return text.toUInt(nullptr, 10);
        }
        return text.toUInt(nullptr, 10);
    }
    return QVariant();
}

QList<CItem*> CItem::childItems() const
{
    QList<CItem*> items;
    for (QObject* child : children()) {
        if (CItem* item = qobject_cast<CItem*>(child))
            items.append(item);
    }
    return items;
}

int CItem::childNumber() const
{
    const CItem* parentItem = qobject_cast<const CItem*>(parent());
    if (!parentItem || !m_visible)
        return 0;
    return parentItem->childItems().indexOf(const_cast<CItem*>(this));
}

int CItem::childrenCount(ENUM_DATA_TYPES type) const
{
    int count = 0;
    for (const CItem* item : findChildren<CItem*>()) {
        if (item->m_type == type)
            ++count;
    }
    return count;
}

bool CItem::isExpandable() const
{
    for (const CItem* item : findChildren<CItem*>()) {
        if ((item->m_type == TYPE_OBJECT || item->m_type == TYPE_GROUP) && !item->childItems().isEmpty())
            return true;
    }
    return false;
}

// Views ask this for every index; stop at the first visible descendant
// instead of collecting the whole subtree.
bool CItem::hasVisibleChildren() const
{
    for (const QObject* child : children()) {
        const auto* item = qobject_cast<const CItem*>(child);
        if (item && (item->m_visible || item->hasVisibleChildren()))
            return true;
    }
    return false;
}

QList<QObject*> CItem::visibleChildren() const
{
    QList<QObject*> visible;
    for (CItem* item : childItems()) {
        if (item->m_visible)
            visible.append(item);
    }
    return visible;
}

void CItem::childVisibilityChanged(bool state)
{
    if (state && !m_visible) {
        m_visible = true;
        emit visibleChanged(true);
    } else if (!state && m_visible && !hasVisibleChildren()) {
        m_visible = false;
        emit visibleChanged(false);
    }
}

void CItem::setUnit(const QVariant& unit)
{
    m_unit = unit.toString();
    emit unitChanged(m_unit);
}

void CItem::setLanguageId(const QString& languageId)
{
    m_languageId = languageId;
    for (CItem* child : childItems())
        child->setLanguageId(languageId);
}

void CItem::setCaption(const QString& caption) { m_caption = caption; }
void CItem::setType(CItem::ENUM_DATA_TYPES type) { m_type = type; }

void CItem::setReadOnly(bool state)
{
    if (state == m_readOnly)
        return;
    m_readOnly = state;
    for (CItem* item : findChildren<CItem*>())
        item->setReadOnly(state);
    emit readOnlyChanged(m_readOnly);
}

void CItem::setVisible(bool state)
{
    if (state == m_visible)
        return;
    m_visible = state;
    emit visibleChanged(state);
}

void CItem::setRange(double min, double max)
{
    m_min = min;
    m_max = max;
}

void CItem::setDecimalFactor(double factor)
{
    if (factor == m_decimalFactor)
        return;
    m_decimalFactor = factor;
    emit decimalFactorChanged(factor);
}

void CItem::setPrecision(double precision)
{
    if (precision == m_precision)
        return;
    m_precision = precision;
    emit precisionChanged(precision);
}

void CItem::setDefaultValue(const QVariant& value)
{
    m_defaultValue = value;
    setValue(value);
}

void CItem::setSpecialValueText(const QString& text) { m_specialValueText = text; }
void CItem::setSpecialOutput(const QString& text) { m_specialOutput = text; }
void CItem::setInfoNumber(const QString& text) { m_infoNumber = text; }

void CItem::setTextList(const QString& texte)
{
    m_textList = texte;
    setValue(m_defaultValue);
}

void CItem::setColor(const QColor& color)
{
    m_color = color;
    emit colorChanged(color);
}

void CItem::setId(int id) { m_id = id; }
void CItem::setBitPosition(int position) { m_bitPosition = position; }
void CItem::setBitLength(int length) { m_bitLength = length; }

void CItem::setBitfieldEntries(const BitfieldDescription& bitfield)
{
    for (auto entry = bitfield.constBegin(); entry != bitfield.constEnd(); ++entry) {
        CItem* bit = new CItem(this);
        bit->setType(TYPE_BIT);
        bit->setObjectName(objectName() + QLatin1Char('_') + entry.value().name);
        bit->setCaption(entry.value().text);
        bit->setTextList(entry.value().list);
        bit->setBitPosition(entry.key());
        bit->setBitLength(entry.value().bitCount);
        bit->setVisible(entry.value().visible);
        connect(bit, &CItem::valueChanged, this, &CItem::childValueChanged);
        connect(bit, &CItem::visibleChanged, this, &CItem::childVisibilityChanged);
    }
}

void CItem::setYAxis(int index)
{
    const int axis = (index == 1) ? 1 : 0;
    if (axis == m_yAxis)
        return;
    m_yAxis = axis;
    emit yAxisChanged(axis);
}

void CItem::setFeatures(const QList<FeatureElement>& data) { m_features = data; }

void CItem::setChartVisible(bool state)
{
    if (state == m_chartVisible)
        return;
    m_chartVisible = state;
    emit chartVisibleChanged(state);
}

bool idLessThen(const CItem* a, const CItem* b)
{
    return a->id() < b->id();
}
