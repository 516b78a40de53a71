#include "xml/CXmlParser.h"

#include "items/CGlobals.h"
#include "protocol/CRC16.h"
#include "xml/CFunctionalFeature.h"
#include "xml/CXmlElementReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <optional>

const QString CXmlParser::DVX = QStringLiteral("DVX");
const QString CXmlParser::DVX_TAG_GROUP = QStringLiteral("group");
const QString CXmlParser::DVX_TAG_VALUE = QStringLiteral("value");
const QString CXmlParser::DVX_ATTRIBUTE_NAME = QStringLiteral("name");
const QString CXmlParser::DVX_ATTRIBUTE_TEXT = QStringLiteral("Text");
const QString CXmlParser::DVX_ATTRIBUTE_DEFAULT = QStringLiteral("Default");
const QString CXmlParser::DVX_ATTRIBUTE_DIVIDER = QStringLiteral("Divider");
const QString CXmlParser::DVX_ATTRIBUTE_VISIBILITY = QStringLiteral("Visibility");
const QString CXmlParser::DVX_ATTRIBUTE_PARAMETER = QStringLiteral("Parameter");
const QString CXmlParser::DVX_ATTRIBUTE_LIST = QStringLiteral("List");
const QString CXmlParser::DVX_PROJECT = QStringLiteral("DVX_PROJECT");
const QString CXmlParser::DVX_PROJECT_NAME = QStringLiteral("DVX_PROJECT_NAME");
const QString CXmlParser::DVX_PROJECT_ORDER_NUMBER = QStringLiteral("DVX_PROJECT_ORDER_NUMBER");
const QString CXmlParser::DVX_PROJECT_SW_VERSION = QStringLiteral("DVX_PROJECT_SW_VERSION");
const QString CXmlParser::DVX_PROJECT_TABLE_VERSION = QStringLiteral("DVX_PROJECT_TABLE_VERSION");
const QString CXmlParser::DVX_PROJECT_FEATURES = QStringLiteral("DVX_PROJECT_FEATURES");
const QString CXmlParser::DVX_OBJECT = QStringLiteral("DVX_OBJECT");
const QString CXmlParser::DVX_OBJECT_NAME = QStringLiteral("DVX_OBJECT_NAME");
const QString CXmlParser::DVX_LINE = QStringLiteral("DVX_LINE");
const QString CXmlParser::DVX_LIST = QStringLiteral("DVX_TYPE_LIST");
const QString CXmlParser::DVX_BITFIELD = QStringLiteral("DVX_TYPE_BITFIELD");
const QString CXmlParser::DVX_LANGUAGE = QStringLiteral("DVX_LANGUAGES");
const QString CXmlParser::DVX_LANGUAGE_NAME = QStringLiteral("DVX_LANGUAGE_NAME");

namespace {
const int CHECK_BYTES = 2;
const QString VERSION_FEATURE = QStringLiteral("Version");
const QString NO_VERSION = QStringLiteral("0.00");
const QString TRANSLATION_ATTRIBUTE = QStringLiteral("value");

// The name of the current element when it is a group, else a null string.
QString groupName(const CXmlElementReader& reader)
{
    return reader.name() == CXmlParser::DVX_TAG_GROUP ? reader.attribute(CXmlParser::DVX_ATTRIBUTE_NAME) : QString();
}

QHash<QString, QString> attributeHash(const QXmlStreamAttributes& attributes)
{
    QHash<QString, QString> hash;
    for (const QXmlStreamAttribute& attribute : attributes)
        hash.insert(attribute.qualifiedName().toString(), attribute.value().toString());
    return hash;
}

// (name, Default) of a value element that names a feature, if it does.
bool namedFeature(const QXmlStreamAttributes& attributes, QPair<QString, QString>* feature)
{
    const QString name = attributes.value(CXmlParser::DVX_ATTRIBUTE_NAME).toString();
    const QString defaultValue = attributes.value(CXmlParser::DVX_ATTRIBUTE_DEFAULT).toString();
    if (name.isEmpty() || defaultValue.isEmpty())
        return false;
    *feature = qMakePair(name, defaultValue);
    return true;
}

bool hasAttributeValue(const QXmlStreamAttributes& attributes, const QString& text)
{
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.value() == text)
            return true;
    }
    return false;
}

// An element group (or a bitfield): its name, text and one line per value.
CElement readElement(CXmlElementReader& reader)
{
    CElement element;
    element.name = reader.attribute(CXmlParser::DVX_ATTRIBUTE_NAME);
    element.text = reader.attribute(CXmlParser::DVX_ATTRIBUTE_TEXT);
    while (reader.readNextStartElement()) {
        if (reader.name() == CXmlParser::DVX_TAG_VALUE)
            element.lines.append(attributeHash(reader.attributes()));
        reader.skipCurrentElement();
    }
    return element;
}

// Attribute index -> (name, value), numbered in document order.
CDeviceDescription::FeatureValue parseFeature(const QXmlStreamAttributes& attributes)
{
    CDeviceDescription::FeatureValue feature;
    for (int i = 0; i < attributes.size(); ++i)
        feature.insert(i, qMakePair(attributes.at(i).qualifiedName().toString(), attributes.at(i).value().toString()));
    return feature;
}

// Recursion is bounded by the reader's depth limit.
CXmlParser::FeatureGroup parseFeatures(CXmlElementReader& reader)
{
    CXmlParser::FeatureGroup result;
    QList<CDeviceDescription::FeatureValue> base;
    while (reader.readNextStartElement()) {
        if (reader.name() == CXmlParser::DVX_TAG_VALUE) {
            base.append(parseFeature(reader.attributes()));
            reader.skipCurrentElement();
        } else if (reader.name() == CXmlParser::DVX_TAG_GROUP) {
            const QString key = reader.hasAttribute(CXmlParser::DVX_ATTRIBUTE_NAME)
                                    ? reader.attribute(CXmlParser::DVX_ATTRIBUTE_NAME)
                                    : CFunctionalFeature::Feature_Entry_Key;
            const CXmlParser::FeatureGroup nested = parseFeatures(reader);
            for (auto it = nested.constBegin(); it != nested.constEnd(); ++it)
                result.insert(key, it.value());
        } else {
            reader.skipCurrentElement();
        }
    }
    if (!base.isEmpty())
        result.insert(CFunctionalFeature::Feature_Base_Key, base);
    return result;
}

CDeviceDescription::FeatureHash readFeatureGroups(CXmlElementReader& reader)
{
    CDeviceDescription::FeatureHash features;
    while (reader.readNextStartElement()) {
        if (reader.name() == CXmlParser::DVX_TAG_GROUP) {
            const QString name = reader.attribute(CXmlParser::DVX_ATTRIBUTE_NAME);
            features[name] = parseFeatures(reader);
        } else {
            reader.skipCurrentElement();
        }
    }
    return features;
}

// The identity attributes of the project group; a table version the
// application does not take is kept in refusedTableVersion.
void readProject(CXmlElementReader& reader, CDeviceDescription* description,
                 std::optional<QString>* refusedTableVersion)
{
    while (reader.readNextStartElement()) {
        if (reader.name() == CXmlParser::DVX_TAG_VALUE) {
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                const QStringRef name = attribute.qualifiedName();
                if (name == CXmlParser::DVX_PROJECT_NAME)
                    description->name = attribute.value().toString();
                else if (name == CXmlParser::DVX_PROJECT_ORDER_NUMBER)
                    description->orderNumber = attribute.value().toString();
                else if (name == CXmlParser::DVX_PROJECT_SW_VERSION)
                    description->softwareVersion = attribute.value().toString();
                else if (name == CXmlParser::DVX_PROJECT_TABLE_VERSION && !*refusedTableVersion
                         && !CXmlParser::checkProjectTableVersion(attribute.value().toInt()))
                    *refusedTableVersion = attribute.value().toString();
            }
        }
        reader.skipCurrentElement();
    }
    if (!description->orderNumber.isEmpty()) {
        if (description->pabVersion.isEmpty())
            description->pabVersion = NO_VERSION;
        if (description->parameterVersion.isEmpty())
            description->parameterVersion = NO_VERSION;
    }
}

// Default / Divider of a "Version" line with two decimals.
QString versionText(const QXmlStreamAttributes& value)
{
    const float divider = value.value(CXmlParser::DVX_ATTRIBUTE_DIVIDER).toFloat();
    // Without a divider the version is taken as it stands.
    const float version = value.value(CXmlParser::DVX_ATTRIBUTE_DEFAULT).toFloat() / (divider != 0.0f ? divider : 1.0f);
    return QString::number(double(version), 'f', 2);
}

// The version an object's "Version" line gives it; whether that is the
// parameter or the process-data version follows from the object's name,
// which may come after its lines.
void readObjectVersion(CXmlElementReader& reader, CDeviceDescription* description)
{
    QString objectName;
    QString version;
    while (reader.readNextStartElement()) {
        if (reader.name() == CXmlParser::DVX_TAG_VALUE && reader.hasAttribute(CXmlParser::DVX_OBJECT_NAME)) {
            objectName = reader.attribute(CXmlParser::DVX_OBJECT_NAME);
            reader.skipCurrentElement();
        } else if (reader.name() == CXmlParser::DVX_TAG_GROUP
                   && hasAttributeValue(reader.attributes(), CXmlParser::DVX_LINE)) {
            while (reader.readNextStartElement()) {
                if (reader.name() != CXmlParser::DVX_TAG_GROUP) {
                    reader.skipCurrentElement();
                    continue;
                }
                while (reader.readNextStartElement()) {
                    if (reader.name() == CXmlParser::DVX_TAG_VALUE
                        && reader.attribute(CXmlParser::DVX_ATTRIBUTE_NAME) == VERSION_FEATURE)
                        version = versionText(reader.attributes());
                    reader.skipCurrentElement();
                }
            }
        } else {
            reader.skipCurrentElement();
        }
    }
    if (version.isNull())
        return;
    if (objectName == CGlobals::ModelName_Parameter)
        description->parameterVersion = version;
    if (objectName.contains(CGlobals::ModelName_Pab))
        description->pabVersion = version;
}

// The line group of an object: its element classes and its own features.
void readLines(CXmlElementReader& reader, CElementMap* map)
{
    while (reader.readNextStartElement()) {
        QPair<QString, QString> feature;
        if (reader.name() == CXmlParser::DVX_TAG_GROUP) {
            CElementClass elementClass;
            elementClass.name = reader.attribute(CXmlParser::DVX_ATTRIBUTE_NAME);
            elementClass.text = reader.attribute(CXmlParser::DVX_ATTRIBUTE_TEXT);
            while (reader.readNextStartElement()) {
                if (reader.name() == CXmlParser::DVX_TAG_GROUP) {
                    elementClass.elements.append(readElement(reader));
                    continue;
                }
                if (reader.name() == CXmlParser::DVX_TAG_VALUE && namedFeature(reader.attributes(), &feature))
                    elementClass.features.append(feature);
                reader.skipCurrentElement();
            }
            map->classes.append(elementClass);
            continue;
        }
        if (reader.name() == CXmlParser::DVX_TAG_VALUE && namedFeature(reader.attributes(), &feature))
            map->features.append(feature);
        reader.skipCurrentElement();
    }
}

// One object; null when it has no name. Its first name is the one it goes by.
std::unique_ptr<CElementMap> readObject(CXmlElementReader& reader, QString* objectName)
{
    auto map = std::make_unique<CElementMap>();
    bool named = false;
    while (reader.readNextStartElement()) {
        const QString group = groupName(reader);
        if (group == CXmlParser::DVX_LINE) {
            readLines(reader, map.get());
        } else if (group == CXmlParser::DVX_BITFIELD) {
            while (reader.readNextStartElement()) {
                if (reader.name() == CXmlParser::DVX_TAG_GROUP)
                    map->bitfields.append(readElement(reader));
                else
                    reader.skipCurrentElement();
            }
        } else if (group == CXmlParser::DVX_LIST) {
            while (reader.readNextStartElement()) {
                if (reader.name() == CXmlParser::DVX_TAG_VALUE)
                    map->lists.append(attributeHash(reader.attributes()));
                reader.skipCurrentElement();
            }
        } else {
            if (!named && reader.name() == CXmlParser::DVX_TAG_VALUE && reader.hasAttribute(CXmlParser::DVX_OBJECT_NAME)) {
                *objectName = reader.attribute(CXmlParser::DVX_OBJECT_NAME);
                named = true;
            }
            reader.skipCurrentElement();
        }
    }
    return named ? std::move(map) : nullptr;
}

QHash<QString, QString> readDictionary(CXmlElementReader& reader)
{
    QHash<QString, QString> dictionary;
    while (reader.readNextStartElement()) {
        if (reader.name() == CXmlParser::DVX_TAG_VALUE) {
            const QString text = reader.attribute(CXmlParser::DVX_ATTRIBUTE_TEXT);
            const QString translation = reader.attribute(TRANSLATION_ATTRIBUTE);
            if (!text.isEmpty() && !translation.isEmpty())
                dictionary.insert(text, translation);
        }
        reader.skipCurrentElement();
    }
    return dictionary;
}
}

CXmlParser::~CXmlParser()
{
    clear();
}

void CXmlParser::clear()
{
    m_deviceDescription.clear();
    qDeleteAll(m_content);
    m_content.clear();
    m_errorString.clear();
}

bool CXmlParser::readFileContent(const QString& path)
{
    return readFile(path, true);
}

bool CXmlParser::readFileDeviceId(const QString& path)
{
    return readFile(path, false);
}

bool CXmlParser::readFile(const QString& path, bool withContent)
{
    clear();
    QString reason;
    QFile file(path);
    QByteArray xml;
    if (!file.open(QIODevice::ReadOnly))
        reason = tr("The file cannot be read: %1.").arg(file.errorString());
    else if (file.size() == 0)
        reason = tr("The file is empty.");
    else
        xml = parseXmlData(file.readAll(), CHECK_BYTES, &reason);
    if (reason.isEmpty())
        m_deviceDescription = parseFileDeviceId(xml, path, &reason);
    if (!reason.isEmpty()) {
        m_errorString = tr("%1: %2").arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    if (withContent)
        m_content = parseFileContent(xml, path);
    return true;
}

CDeviceDescription CXmlParser::parseFileDeviceId(const QByteArray& xml, const QString& fileName, QString* reason)
{
    CDeviceDescription description;
    std::optional<QString> refusedTableVersion;
    CXmlElementReader reader(xml, MAX_ELEMENT_DEPTH);
    const bool isDescription = reader.readNextStartElement() && reader.name() == DVX;
    while (isDescription && reader.readNextStartElement()) {
        const QString group = groupName(reader);
        if (group == DVX_PROJECT)
            readProject(reader, &description, &refusedTableVersion);
        else if (group == DVX_PROJECT_FEATURES)
            description.features = readFeatureGroups(reader);
        else if (group == DVX_OBJECT)
            readObjectVersion(reader, &description);
        else
            reader.skipCurrentElement();
    }
    reader.readToEnd();

    QString refusal;
    if (reader.hasError())
        refusal = reader.errorString();
    else if (!isDescription)
        refusal = tr("This is not a device description; its root element is not %1.").arg(DVX);
    else if (refusedTableVersion)
        refusal = tr("Its parameter-table version \"%1\" is not supported by this version of the application.")
                      .arg(*refusedTableVersion);
    if (refusal.isEmpty()) {
        description.fileName = fileName;
        if (description.name.isEmpty() || description.orderNumber.isEmpty())
            refusal = tr("It names no device; its name or its order number is missing.");
    } else {
        description.clear();
    }
    if (reason)
        *reason = refusal;
    return description;
}

QMap<QString, CElementMap*> CXmlParser::parseFileContent(const QByteArray& xml, const QString&)
{
    QMap<QString, CElementMap*> content;
    CXmlElementReader reader(xml, MAX_ELEMENT_DEPTH);
    const bool isDescription = reader.readNextStartElement() && reader.name() == DVX;
    while (isDescription && reader.readNextStartElement()) {
        if (groupName(reader) != DVX_OBJECT) {
            reader.skipCurrentElement();
            continue;
        }
        QString objectName;
        std::unique_ptr<CElementMap> map = readObject(reader, &objectName);
        if (map) {
            delete content.value(objectName);
            content.insert(objectName, map.release());
        }
    }
    reader.readToEnd();
    if (reader.hasError()) {
        qDeleteAll(content);
        content.clear();
    }
    return content;
}

QStringList CXmlParser::languageFiles(const CDeviceDescription& description, const QString& directory)
{
    QStringList files;
    const QDir dir(directory);
    for (const QFileInfo& info : dir.entryInfoList({ QStringLiteral("*.xml") }, QDir::Files)) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        QString reason;
        const CDeviceDescription identity = parseFileDeviceId(file.readAll(), info.filePath(), &reason);
        if (reason.isEmpty() && identity.name == description.name && identity.orderNumber == description.orderNumber)
            files.append(info.filePath());
    }
    return files;
}

CXmlParser::Language CXmlParser::readDeviceLanguages(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return Language();
    return parseFileTranslations(file.readAll(), path);
}

CXmlParser::Language CXmlParser::parseFileTranslations(const QByteArray& xml, const QString&)
{
    Language language;
    CXmlElementReader reader(xml, MAX_ELEMENT_DEPTH);
    const bool isDvx = reader.readNextStartElement() && reader.name() == DVX;
    while (isDvx && reader.readNextStartElement()) {
        if (groupName(reader) != DVX_LANGUAGE) {
            reader.skipCurrentElement();
            continue;
        }
        while (reader.readNextStartElement()) {
            if (groupName(reader) == DVX_LINE) {
                language.second = readDictionary(reader);
                continue;
            }
            if (reader.name() == DVX_TAG_VALUE && language.first.isEmpty() && reader.hasAttribute(DVX_LANGUAGE_NAME))
                language.first = reader.attribute(DVX_LANGUAGE_NAME);
            reader.skipCurrentElement();
        }
    }
    reader.readToEnd();
    return reader.hasError() ? Language() : language;
}

bool CXmlParser::checkXmlCrc()
{
    return !QCoreApplication::arguments().contains(QStringLiteral("--no-xml-check"));
}

bool CXmlParser::checkXmlData(const QByteArray& data)
{
    if (data.size() < 2)
        return false;
    const quint16 stored = quint16((uchar(data[data.size() - 2]) << 8) | uchar(data[data.size() - 1]));
    return stored == CRC16::calc_crc(data.constData(), uint(data.size() - 2));
}

QByteArray CXmlParser::parseXmlData(const QByteArray& data, int checkLength, QString* reason)
{
    // Matching check bytes come first: a sealed file is not parsed twice.
    if (checkXmlData(data))
        return data.left(data.size() - checkLength);
    const bool checking = checkXmlCrc();
    CXmlElementReader whole(data, MAX_ELEMENT_DEPTH);
    whole.readToEnd();
    QString refusal;
    if (!whole.hasError()) {
        if (!checking)
            return data;
        refusal = tr("It has no check bytes; it was not sealed.");
    } else if (!checking) {
        // Started with "--no-xml-check", a file whose only error is its (wrong)
        // check bytes on the last line is read.
        const int zero = data.indexOf('\0');
        const QByteArray text = zero < 0 ? data : data.left(zero);
        if (whole.errorLine() == text.count('\n') + 1)
            return data.left(data.size() - checkLength);
        refusal = whole.errorString();
    } else {
        // Tell a sealed file changed since from one that is no XML at all.
        CXmlElementReader sealedPart(data.left(data.size() - checkLength), MAX_ELEMENT_DEPTH);
        sealedPart.readToEnd();
        refusal = sealedPart.hasError()
                      ? whole.errorString()
                      : tr("Its check bytes do not match its content; it was changed after it was sealed.");
    }
    if (reason)
        *reason = refusal;
    return QByteArray();
}

int CXmlParser::projectTableRefVersion()
{
    QString version = QCoreApplication::applicationVersion();
    version.chop(2);
    const float v = version.toFloat();
    if (v >= float(APPLICATION_REF_VERSION_1_7))
        return PROJECT_TABLE_REF_VERSION_500;
    if (v >= float(APPLICATION_REF_VERSION_1_2))
        return PROJECT_TABLE_REF_VERSION_400;
    if (v >= float(APPLICATION_REF_VERSION_1_0))
        return PROJECT_TABLE_REF_VERSION_300;
    return 0;
}

bool CXmlParser::checkProjectTableVersion(int version)
{
    return version >= 1 && version >= projectTableRefVersion();
}
