#pragma once

#include "paramica_export.h"
#include "xml/CBitDescription.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// (feature name, feature value) as a feature line of the description gives it.
typedef QPair<QString, QString> FeatureElement;

// One data point of a device (or a structural node of an item tree) and the
// only place that converts between device register bytes and values.
class PARAMICA_EXPORT CItem : public QObject
{
    Q_OBJECT

public:
    enum ENUM_DATA_TYPES : qint32 {
        TYPE_ROOT = 0,
        TYPE_OBJECT = 1,
        TYPE_GROUP = 2,
        TYPE_TEXT16_T = 3,
        TYPE_INT16_T = 4,
        TYPE_UINT16_T = 5,
        TYPE_INT8_T = 6,
        TYPE_UINT8_T = 7,
        TYPE_INT32_T = 8,
        TYPE_UINT32_T = 9,
        TYPE_BOOL = 10,
        TYPE_REAL = 11,
        TYPE_LIST16_T = 12,
        TYPE_LIST32_T = 13,
        TYPE_PASSWORD = 14,
        TYPE_VERSION16_T = 15,
        TYPE_VERSION32_T = 16,
        TYPE_BIT8_T = 17,
        TYPE_BIT16_T = 18,
        TYPE_BIT32_T = 19,
        TYPE_BIT = 20,
        TYPE_DATETIME = 21,
        TYPE_CHAR_TIME15_T = 22,
        TYPE_SHORT_TIME15_T = 23,
        TYPE_LONG_TIME15_T = 24,
        TYPE_TEXT8_T = 25,
        TYPE_BUILD_DATE = 26
    };
    Q_ENUM(ENUM_DATA_TYPES)

    // Accepted type names per data type; the first one is the canonical name.
    static const QStringList DATA_TYPES_TEXT16_T;
    static const QStringList DATA_TYPES_INT16_T;
    static const QStringList DATA_TYPES_UINT16_T;
    static const QStringList DATA_TYPES_INT8_T;
    static const QStringList DATA_TYPES_UINT8_T;
    static const QStringList DATA_TYPES_INT32_T;
    static const QStringList DATA_TYPES_UINT32_T;
    static const QStringList DATA_TYPES_BOOL;
    static const QStringList DATA_TYPES_REAL;
    static const QStringList DATA_TYPES_LIST16_T;
    static const QStringList DATA_TYPES_LIST32_T;
    static const QStringList DATA_TYPES_PASSWORD;
    static const QStringList DATA_TYPES_VERSION16_T;
    static const QStringList DATA_TYPES_VERSION32_T;
    static const QStringList DATA_TYPES_BIT8_T;
    static const QStringList DATA_TYPES_BIT16_T;
    static const QStringList DATA_TYPES_BIT32_T;
    static const QStringList DATA_TYPES_DATETIME;
    static const QStringList DATA_TYPES_CHAR_TIME15_T;
    static const QStringList DATA_TYPES_SHORT_TIME15_T;
    static const QStringList DATA_TYPES_LONG_TIME15_T;
    static const QStringList DATA_TYPES_TEXT8_T;
    static const QStringList DATA_TYPES_BUILD_DATE;
    static const QHash<int, QStringList> ITEM_DATA_TYPES;

    // Attribute keys of one line of a device description.
    static const QString PARA_ATTRIBUTE_DATA_ID;
    static const QString PARA_ATTRIBUTE_DATATYPE;
    static const QString PARA_ATTRIBUTE_READ_ONLY;
    static const QString PARA_ATTRIBUTE_VISIBILITY;
    static const QString PARA_ATTRIBUTE_DEFAULT;
    static const QString PARA_ATTRIBUTE_DIVIDER;
    static const QString PARA_ATTRIBUTE_MIN;
    static const QString PARA_ATTRIBUTE_MAX;
    static const QString PARA_ATTRIBUTE_PARAMETER;
    static const QString PARA_ATTRIBUTE_TEXT;
    static const QString PARA_ATTRIBUTE_TEXT_OFF;
    static const QString PARA_ATTRIBUTE_TEXT_STANDBY;
    static const QString PARA_ATTRIBUTE_UNIT;
    static const QString PARA_ATTRIBUTE_INFO_NUMBER;

    explicit CItem(QObject* parent = nullptr);

    // Codec
    static ENUM_DATA_TYPES dataTypeFromText(const QString& text);
    static QString dataTypeToText(int type);
    static QVariant valueFromByteArray(QByteArray bytes, ENUM_DATA_TYPES type);
    static QVariant rawValue(const QVariant& value, ENUM_DATA_TYPES type, double factor);
    static QVariant bitValue(const QVariant& value, ENUM_DATA_TYPES type, int position, int length);
    static int precisionFromDivider(const QString& divider);
    static QString dateTimeFormat(bool withMilliseconds);
    static QString timeFormat(bool withMilliseconds);
    static QString dateFormat();
    // Device bytes of one value of the given type (what data() writes).
    static QByteArray valueToByteArray(const QVariant& value, ENUM_DATA_TYPES type);
    // Bytes a value of the type occupies on the device; 0 for structural types.
    // The 16-bit register types are exactly those of length 2.
    static int typeLength(int type);
    // A 16-bit register value as single-register writes carry it: low byte first.
    static QByteArray valueToLowByteFirstWord(const QVariant& value);
    // The "Default" text of a parameter file entry and back: ISO 8601 for
    // date-times (empty for an unset clock), the text for the text types, and
    // for the others the number as written: an integer as an int or uint like
    // the device's own value, a float item's value as a float, any other
    // number (a fraction, a magnitude no type holds) as a double. A text that
    // is no number or date stays a string and an empty number reads as an
    // invalid variant, so that canHold refuses them instead of writing 0.
    static QString valueToFileText(const QVariant& value, ENUM_DATA_TYPES type);
    static QVariant valueFromFileText(const QString& text, ENUM_DATA_TYPES type);

    int dataLength() const;
    QByteArray data() const;
    void setData(QByteArray bytes);

    QString valueToString(const QVariant& value) const;
    QString toValueString() const;
    // The inverse of valueToString for what a user types: the device value
    // for the text, or an invalid variant when the text is no value this item
    // can hold; then error (when given) says why, in display units.
    QVariant valueFromString(const QString& text, QString* error = nullptr) const;
    // Whether value, a device value as a parameter file or the front end
    // gives it, reaches the device unchanged and within the item's range and
    // list; if not, error (when given) says why, in device units.
    bool canHold(const QVariant& value, QString* error = nullptr) const;
    QString valueFormatedToString(const QVariant& value, bool applyDecimalFactor) const;

    // Attributes, texts and tree
    bool setup(const QHash<QString, QString>& attributes);
    void setupTranslations(const QHash<QString, QHash<QString, QString>>& languages);

    QString caption() const;
    QString caption(const QString& language) const;
    // The languages the item's texts are translated into.
    QStringList languages() const { return m_translations.keys(); }
    QString unit() const;
    QString unit(const QString& language) const;
    QString specialValueText() const;
    QString specialValueText(const QString& language) const;
    QString specialOutput() const;
    QStringList texte() const;
    QStringList texte(const QString& language) const;
    QString parentText() const;
    QString parentText(const QString& language) const;
    QString extendedCaption() const;
    QString extendedCaption(const QString& language) const;

    bool hasFeature(const QString& name) const;
    QVariant feature(const QString& name) const;

    int childNumber() const;
    int childrenCount(ENUM_DATA_TYPES type) const;
    bool isExpandable() const;
    bool hasVisibleChildren() const;
    QList<QObject*> visibleChildren() const;

    // Plain fields
    QVariant value() const { return m_value; }
    QVariant defaultValue() const { return m_defaultValue; }
    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    double decimalFactor() const { return m_decimalFactor; }
    double precision() const { return m_precision; }
    int id() const { return m_id; }
    ENUM_DATA_TYPES type() const { return m_type; }
    QColor color() const { return m_color; }
    QString infoNumber() const { return m_infoNumber; }
    bool isReadOnly() const { return m_readOnly; }
    bool isVisible() const { return m_visible; }
    bool isChartVisible() const { return m_chartVisible; }
    int yAxis() const { return m_yAxis; }
    int bitPosition() const { return m_bitPosition; }
    int bitLength() const { return m_bitLength; }
    QList<FeatureElement> features() const { return m_features; }
    QString languageId() const { return m_languageId; }

    void setBitPosition(int position);
    void setBitLength(int length);

signals:
    void valueChanged(QVariant value);
    void valueEdited();
    void newValue(QVariant value);
    void visibleChanged(bool state);
    void unitChanged(QString unit);
    void colorChanged(QColor color);
    void decimalFactorChanged(double factor);
    void precisionChanged(double precision);
    void yAxisChanged(int index);
    void childChanged(QVariant value);
    void chartVisibleChanged(bool state);
    void readOnlyChanged(bool state);

public slots:
    void setUnit(const QVariant& unit);
    void setLanguageId(const QString& languageId);
    void setCaption(const QString& caption);
    void setType(CItem::ENUM_DATA_TYPES type);
    void setReadOnly(bool state);
    void setVisible(bool state);
    void setRange(double min, double max);
    void setDecimalFactor(double factor);
    void setPrecision(double precision);
    void setValue(const QVariant& value);
    void setDefaultValue(const QVariant& value);
    void setSpecialValueText(const QString& text);
    void setSpecialOutput(const QString& text);
    void setInfoNumber(const QString& text);
    void setTextList(const QString& texte);
    void setColor(const QColor& color);
    void setId(int id);
    void setBitfieldEntries(const BitfieldDescription& bitfield);
    void setYAxis(int index);
    void setFeatures(const QList<FeatureElement>& data);
    void setChartVisible(bool state);
    void childVisibilityChanged(bool state);
    void childValueChanged(const QVariant& value);

private:
    QString translated(const QString& text, const QString& language) const;
    QList<CItem*> childItems() const;
    QString formatNumber(double number, bool keepDecimalPoint) const;
    QVariant typedValue(const QString& input, QString* error) const;
    QString valueError(const QVariant& value, bool inDisplayUnits) const;
    QString numberText(double deviceNumber, bool inDisplayUnits) const;

    bool m_visible = true;
    bool m_readOnly = false;
    QString m_languageId;
    QString m_caption;
    QHash<QString, QHash<QString, QString>> m_translations;
    int m_id = -1;
    ENUM_DATA_TYPES m_type = TYPE_ROOT;
    QColor m_color;
    QString m_unit;
    QVariant m_value = 0;
    QVariant m_defaultValue = 0;
    double m_min = 0.0;
    double m_max = 0.0;
    double m_decimalFactor = 1.0;
    double m_precision = 0.0;
    QString m_specialValueText;
    QString m_specialOutput;
    QString m_infoNumber;
    QString m_textList;
    int m_bitPosition = 0;
    int m_bitLength = 0;
    int m_yAxis = 0;
    QList<FeatureElement> m_features;
    bool m_chartVisible = false;
};

// Sort predicate of the models' item lists: ascending DataId.
PARAMICA_EXPORT bool idLessThen(const CItem* a, const CItem* b);
