#include "xml/CFunctionalFeature.h"

#include <QStringList>

const QString CFunctionalFeature::Feature_Base_Key = QStringLiteral("Base");
const QString CFunctionalFeature::Feature_Entry_Key = QStringLiteral("Entry");
const QString CFunctionalFeature::DVX_ATTRIBUTE_NAME = QStringLiteral("name");
const QString CFunctionalFeature::DVX_ATTRIBUTE_DEFAULT = QStringLiteral("Default");
const QString CFunctionalFeature::DVX_ATTRIBUTE_LIST = QStringLiteral("List");
const QString CFunctionalFeature::Feature_RTC = QStringLiteral("RTC");
const QString CFunctionalFeature::Feature_ErrorLog = QStringLiteral("Fehlerspeicher");
const QString CFunctionalFeature::Feature_Update = QStringLiteral("Firmwareupdate");
const QString CFunctionalFeature::Feature_IOMapping = QStringLiteral("IOMapping");
const QString CFunctionalFeature::Feature_Programme = QStringLiteral("Programme");
const QString CFunctionalFeature::Feature_DataLogger = QStringLiteral("Datenlogger");
const QString CFunctionalFeature::Feature_Attribute_Access = QStringLiteral("Access");
const QString CFunctionalFeature::Feature_Attribute_Enabled = QStringLiteral("Enabled");
const QString CFunctionalFeature::Feature_Attribute_FC_RD = QStringLiteral("FC_RD");
const QString CFunctionalFeature::Feature_Attribute_FC_WR = QStringLiteral("FC_WR");
const QString CFunctionalFeature::Feature_Attribute_FC_WRS = QStringLiteral("FC_WRS");
const QString CFunctionalFeature::Feature_Attribute_FC_RW = QStringLiteral("FC_RW");
const QString CFunctionalFeature::Feature_Attribute_Addr_RD = QStringLiteral("Address_RD");
const QString CFunctionalFeature::Feature_Attribute_Addr_WR = QStringLiteral("Address_WR");
const QString CFunctionalFeature::Feature_Attribute_Addr_WRS = QStringLiteral("Address_WRS");
const QString CFunctionalFeature::Feature_Attribute_Addr_RW = QStringLiteral("Address_RW");
const QString CFunctionalFeature::Feature_Attribute_Function_ = QStringLiteral("Function_");
const QString CFunctionalFeature::Feature_Attribute_Function_RD = QStringLiteral("Function_RD");
const QString CFunctionalFeature::Feature_Attribute_Function_WR = QStringLiteral("Function_WR");
const QString CFunctionalFeature::Feature_Attribute_Function_RW = QStringLiteral("Function_RW");
const QString CFunctionalFeature::Feature_Attribute_Count = QStringLiteral("Anzahl");
const QString CFunctionalFeature::Feature_Attribute_List = QStringLiteral("List");
const QString CFunctionalFeature::Feature_Attribute_Type = QStringLiteral("Type");
const QString CFunctionalFeature::Feature_Attribute_IOs = QStringLiteral("IOs");
const QString CFunctionalFeature::Feature_Attribute_Ref = QStringLiteral("Reference");
const QString CFunctionalFeature::Feature_Attribute_Format = QStringLiteral("Format");
const QString CFunctionalFeature::Feature_Attribute_Access_Static = QStringLiteral("static");
const QString CFunctionalFeature::Feature_Attribute_Access_Dynamic = QStringLiteral("dynamic");
const QString CFunctionalFeature::Feature_Attribute_Enabled_True = QStringLiteral("true");
const QString CFunctionalFeature::Feature_Attribute_Enabled_False = QStringLiteral("false");
const QString CFunctionalFeature::Feature_Attribute_Function_Standard = QStringLiteral("standard");
const QString CFunctionalFeature::Feature_Attribute_Function_Special = QStringLiteral("special");
const QString CFunctionalFeature::Feature_Attribute_Type_DIn = QStringLiteral("DIn");
const QString CFunctionalFeature::Feature_Attribute_Type_AIn = QStringLiteral("AIn");
const QString CFunctionalFeature::Feature_Attribute_Type_DOut = QStringLiteral("DOut");
const QString CFunctionalFeature::Feature_Attribute_Type_AOut = QStringLiteral("AOut");

namespace {
// Walks value elements the way the description defines entries: the current
// entry name and value follow each element's "name" and "Default".
struct EntryCursor {
    QString name;
    QString value;

    void advance(const CDeviceDescription::FeatureValue& element)
    {
        for (auto it = element.constBegin(); it != element.constEnd(); ++it) {
            if (it->first == CFunctionalFeature::DVX_ATTRIBUTE_NAME)
                name = it->second;
            else if (it->first == CFunctionalFeature::DVX_ATTRIBUTE_DEFAULT)
                value = it->second;
        }
    }
};
}

CFunctionalFeature::CFunctionalFeature(const QString& name)
    : m_name(name)
{
}

void CFunctionalFeature::setName(const QString& name)
{
    m_name = name;
    static const QHash<QString, ENUM_FEATURE_TYPE> types{
        { Feature_RTC, FEATURE_RTC },           { Feature_ErrorLog, FEATURE_ERROR_LOG },
        { Feature_Update, FEATURE_UPDATE },     { Feature_IOMapping, FEATURE_IO_MAPPING },
        { Feature_Programme, FEATURE_PROGRAMME }, { Feature_DataLogger, FEATURE_DATA_LOGGER },
    };
    m_type = types.value(name, FEATURE_NONE);
}

void CFunctionalFeature::setup(const FeatureData& data)
{
    m_data = data;
    m_enabled = false;
    if (data.isEmpty())
        return;
    m_enabled = true;
    for (auto list = data.constBegin(); list != data.constEnd(); ++list) {
        EntryCursor cursor;
        for (const auto& element : list.value()) {
            cursor.advance(element);
            if (cursor.name == Feature_Attribute_Enabled) {
                m_enabled = cursor.value != Feature_Attribute_Enabled_False;
                break;
            }
        }
    }
}

QVariant CFunctionalFeature::value(const QString& attribute, const QString& key) const
{
    const auto list = m_data.constFind(key);
    if (list == m_data.constEnd())
        return QVariant();
    EntryCursor cursor;
    for (const auto& element : list.value()) {
        cursor.advance(element);
        if (cursor.name != attribute)
            continue;
        const QString& text = cursor.value;
        if (attribute == Feature_Attribute_Access || attribute == Feature_Attribute_Type
            || attribute == Feature_Attribute_Ref || attribute == Feature_Attribute_Format)
            return text;
        if (attribute == Feature_Attribute_List)
            return text.split(QLatin1Char(','), Qt::KeepEmptyParts);
        if (attribute == Feature_Attribute_Enabled)
            return text == Feature_Attribute_Enabled_True;
        if (attribute == Feature_Attribute_Addr_RD || attribute == Feature_Attribute_Addr_WR
            || attribute == Feature_Attribute_Addr_RW || attribute == Feature_Attribute_Addr_WRS) {
            if (text.startsWith(QLatin1String("0x")))
                return text.mid(2).toUInt(nullptr, 16);
            return text.toUInt(nullptr, 10);
        }
        return text.toUInt(nullptr, 10);
    }
    return QVariant();
}
