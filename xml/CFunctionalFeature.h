#pragma once

#include "items/CDeviceDescription.h"
#include "paramica_export.h"

#include <QString>
#include <QVariant>

// One functional feature of a device (clock, error log, programs, ...) with
// typed look-up of the entries of its feature group.
class PARAMICA_EXPORT CFunctionalFeature
{
public:
    enum ENUM_FEATURE_TYPE : qint32 {
        FEATURE_NONE = 0,
        FEATURE_RTC = 1,
        FEATURE_ERROR_LOG = 2,
        FEATURE_UPDATE = 3,
        FEATURE_IO_MAPPING = 4,
        FEATURE_PROGRAMME = 5,
        FEATURE_DATA_LOGGER = 6
    };
    typedef QHash<QString, QList<CDeviceDescription::FeatureValue>> FeatureData;

    static const QString Feature_Base_Key;
    static const QString Feature_Entry_Key;
    static const QString DVX_ATTRIBUTE_NAME;
    static const QString DVX_ATTRIBUTE_DEFAULT;
    static const QString DVX_ATTRIBUTE_LIST;
    static const QString Feature_RTC;
    static const QString Feature_ErrorLog;
    static const QString Feature_Update;
    static const QString Feature_IOMapping;
    static const QString Feature_Programme;
    static const QString Feature_DataLogger;
    static const QString Feature_Attribute_Access;
    static const QString Feature_Attribute_Enabled;
    static const QString Feature_Attribute_FC_RD;
    static const QString Feature_Attribute_FC_WR;
    static const QString Feature_Attribute_FC_WRS;
    static const QString Feature_Attribute_FC_RW;
    static const QString Feature_Attribute_Addr_RD;
    static const QString Feature_Attribute_Addr_WR;
    static const QString Feature_Attribute_Addr_WRS;
    static const QString Feature_Attribute_Addr_RW;
    static const QString Feature_Attribute_Function_;
    static const QString Feature_Attribute_Function_RD;
    static const QString Feature_Attribute_Function_WR;
    static const QString Feature_Attribute_Function_RW;
    static const QString Feature_Attribute_Count;
    static const QString Feature_Attribute_List;
    static const QString Feature_Attribute_Type;
    static const QString Feature_Attribute_IOs;
    static const QString Feature_Attribute_Ref;
    static const QString Feature_Attribute_Format;
    static const QString Feature_Attribute_Access_Static;
    static const QString Feature_Attribute_Access_Dynamic;
    static const QString Feature_Attribute_Enabled_True;
    static const QString Feature_Attribute_Enabled_False;
    static const QString Feature_Attribute_Function_Standard;
    static const QString Feature_Attribute_Function_Special;
    static const QString Feature_Attribute_Type_DIn;
    static const QString Feature_Attribute_Type_AIn;
    static const QString Feature_Attribute_Type_DOut;
    static const QString Feature_Attribute_Type_AOut;

    explicit CFunctionalFeature(const QString& name = QString());

    void setName(const QString& name);
    void setType(ENUM_FEATURE_TYPE type) { m_type = type; }
    void setEnabled(bool state) { m_enabled = state; }
    void setup(const FeatureData& data);

    QString name() const { return m_name; }
    ENUM_FEATURE_TYPE type() const { return m_type; }
    bool isEnabled() const { return m_enabled; }
    FeatureData data() const { return m_data; }

    // The typed value of the entry named attribute in the list under key;
    // invalid when there is none.
    QVariant value(const QString& attribute, const QString& key) const;

private:
    QString m_name;
    ENUM_FEATURE_TYPE m_type = FEATURE_NONE;
    bool m_enabled = false;
    FeatureData m_data;
};
