#include "items/CItem.h"

#include "items/CItemTexts.h"

#include <QRegularExpression>
#include <QtEndian>
#include <cmath>
#include <cstring>
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
// integer; negative values keep their two's complement bits once cast to the
// unsigned device width, and anything unconvertible becomes 0.
quint32 toDeviceBits(const QVariant& value)
{
    return quint32(value.toLongLong());
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
        const float number = value.toFloat();
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
    if (type == TYPE_DATETIME)
        return value.toDateTime().toString(Qt::ISODate);
    return value.toString();
}

QVariant CItem::valueFromFileText(const QString& text, ENUM_DATA_TYPES type)
{
    switch (type) {
    case TYPE_DATETIME:
        return QDateTime::fromString(text, Qt::ISODate);
    case TYPE_TEXT16_T:
    case TYPE_TEXT8_T:
    case TYPE_BUILD_DATE:
        return text;
    default:
        return text.toFloat();
    }
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
        const int index = value.toInt();
        return (index >= 0 && index < texts.size()) ? texts.at(index) : QStringLiteral("?");
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
        const qint64 quarterHours = qint64(std::trunc(value.toDouble() / m_decimalFactor));
        return QStringLiteral("%1:%2")
            .arg(quarterHours / 4, 2, 10, QLatin1Char('0'))
            .arg((quarterHours % 4) * 15, 2, 10, QLatin1Char('0'));
    }
    default:
        return QStringLiteral("?");
    }
}

QVariant CItem::valueFromString(const QString& input) const
{
    const QString text = input.trimmed();
    const auto inRange = [this](double raw) { return m_min >= m_max || (raw >= m_min && raw <= m_max); };
    bool ok = false;
    switch (m_type) {
    case TYPE_TEXT16_T:
    case TYPE_TEXT8_T:
        return text;
    case TYPE_BOOL:
        if (text == tr(CItemTexts::ItemTextValueOn) || text == QLatin1String("1"))
            return 1;
        if (text == tr(CItemTexts::ItemTextValueOff) || text == QLatin1String("0"))
            return 0;
        return QVariant();
    case TYPE_LIST16_T:
    case TYPE_LIST32_T: {
        int index = texte().indexOf(text);
        if (index < 0) {
            index = text.toInt(&ok);
            if (!ok || index < 0 || index >= texte().size())
                return QVariant();
        }
        return index;
    }
    case TYPE_DATETIME: {
        QDateTime dateTime = QDateTime::fromString(text, dateTimeFormat(false));
        if (!dateTime.isValid())
            dateTime = QDateTime::fromString(text, Qt::ISODate);
        return dateTime.isValid() ? QVariant(dateTime) : QVariant();
    }
    case TYPE_CHAR_TIME15_T:
    case TYPE_SHORT_TIME15_T:
    case TYPE_LONG_TIME15_T: {
        static const QRegularExpression timeOfDay(QStringLiteral("^(\\d{1,3}):(\\d{2})$"));
        const QRegularExpressionMatch match = timeOfDay.match(text);
        const int minutes = match.hasMatch() ? match.captured(1).toInt() * 60 + match.captured(2).toInt() : -1;
        const double quarters = minutes / 15.0 * m_decimalFactor;
        if (minutes < 0 || minutes % 15 != 0 || !inRange(quarters))
            return QVariant();
        return qRound(quarters);
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
        // Users type either decimal separator.
        const double number = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        const double raw = m_type == TYPE_REAL || m_type == TYPE_PASSWORD ? number : number * m_decimalFactor;
        if (!ok || !inRange(raw))
            return QVariant();
        return m_type == TYPE_REAL ? QVariant(raw) : QVariant(qRound64(raw));
    }
    default:
        return QVariant();
    }
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
            const int index = value.toInt();
            if (index < 0 || index >= texts.size())
                return;
            m_value = value;
            emit valueChanged(texts.at(index));
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
