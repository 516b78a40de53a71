#include "xml/CXmlParser.h"

#include "protocol/CRC16.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QFile>
#include <QFileInfo>

#include <memory>

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
const QString FEATURE_BASE_KEY = QStringLiteral("Base");
const QString FEATURE_ENTRY_KEY = QStringLiteral("Entry");
const QString PARAMETER_OBJECT = QStringLiteral("Parameter");
const QString PAB_OBJECT_PART = QStringLiteral("PabOut");
const QString VERSION_FEATURE = QStringLiteral("Version");
const QString NO_VERSION = QStringLiteral("0.00");

// Child elements with the given tag, in document order.
QList<QDomElement> children(const QDomElement& parent, const QString& tag)
{
    QList<QDomElement> result;
    for (QDomElement child = parent.firstChildElement(tag); !child.isNull(); child = child.nextSiblingElement(tag))
        result.append(child);
    return result;
}

QHash<QString, QString> attributeHash(const QDomElement& element)
{
    QHash<QString, QString> hash;
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr attribute = attributes.item(i).toAttr();
        hash.insert(attribute.name(), attribute.value());
    }
    return hash;
}

CElement parseElement(const QDomElement& group)
{
    CElement element;
    element.name = group.attribute(CXmlParser::DVX_ATTRIBUTE_NAME);
    element.text = group.attribute(CXmlParser::DVX_ATTRIBUTE_TEXT);
    for (const QDomElement& value : children(group, CXmlParser::DVX_TAG_VALUE))
        element.lines.append(attributeHash(value));
    return element;
}

// (name, Default) of a value element that names a feature, if it does.
bool namedFeature(const QDomElement& value, QPair<QString, QString>* feature)
{
    const QString name = value.attribute(CXmlParser::DVX_ATTRIBUTE_NAME);
    const QString defaultValue = value.attribute(CXmlParser::DVX_ATTRIBUTE_DEFAULT);
    if (name.isEmpty() || defaultValue.isEmpty())
        return false;
    *feature = qMakePair(name, defaultValue);
    return true;
}

bool hasAttributeValue(const QDomElement& element, const QString& text)
{
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        if (attributes.item(i).toAttr().value() == text)
            return true;
    }
    return false;
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
}

bool CXmlParser::readDocument(const QString& path, QDomDocument* document)
{
    clear();
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    const QByteArray xml = parseXmlData(bytes, 2);
    if (xml.isEmpty() || !document->setContent(xml, false))
        return false;
    m_deviceDescription = parseFileDeviceId(document, path);
    return !m_deviceDescription.name.isEmpty() && !m_deviceDescription.orderNumber.isEmpty();
}

bool CXmlParser::readFileContent(const QString& path)
{
    QDomDocument document;
    if (!readDocument(path, &document))
        return false;
    m_content = parseFileContent(&document, path);
    return true;
}

bool CXmlParser::readFileDeviceId(const QString& path)
{
    QDomDocument document;
    return readDocument(path, &document);
}

CDeviceDescription CXmlParser::parseFileDeviceId(QDomDocument* document, const QString& fileName)
{
    CDeviceDescription description;
    const QDomElement root = document->documentElement();
    if (root.tagName() != DVX)
        return description;

    for (const QDomElement& group : children(root, DVX_TAG_GROUP)) {
        const QString groupName = group.attribute(DVX_ATTRIBUTE_NAME);
        if (groupName == DVX_PROJECT) {
            for (const QDomElement& value : children(group, DVX_TAG_VALUE)) {
                const QDomNamedNodeMap attributes = value.attributes();
                for (int i = 0; i < attributes.count(); ++i) {
                    const QDomAttr attribute = attributes.item(i).toAttr();
                    if (attribute.name() == DVX_PROJECT_NAME) {
                        description.name = attribute.value();
                    } else if (attribute.name() == DVX_PROJECT_ORDER_NUMBER) {
                        description.orderNumber = attribute.value();
                    } else if (attribute.name() == DVX_PROJECT_SW_VERSION) {
                        description.softwareVersion = attribute.value();
                    } else if (attribute.name() == DVX_PROJECT_TABLE_VERSION) {
                        if (!checkProjectTableVersion(attribute.value().toInt())) {
                            description.clear();
                            return description;
                        }
                    }
                }
            }
            if (!description.orderNumber.isEmpty()) {
                if (description.pabVersion.isEmpty())
                    description.pabVersion = NO_VERSION;
                if (description.parameterVersion.isEmpty())
                    description.parameterVersion = NO_VERSION;
            }
        } else if (groupName == DVX_PROJECT_FEATURES) {
            CDeviceDescription::FeatureHash features;
            for (const QDomElement& feature : children(group, DVX_TAG_GROUP))
                features[feature.attribute(DVX_ATTRIBUTE_NAME)] = parseFeatures(feature);
            description.features = features;
        } else if (groupName == DVX_OBJECT) {
            bool isParameter = false;
            bool isPab = false;
            for (const QDomElement& value : children(group, DVX_TAG_VALUE)) {
                if (!value.hasAttribute(DVX_OBJECT_NAME))
                    continue;
                const QString objectName = value.attribute(DVX_OBJECT_NAME);
                isParameter = objectName == PARAMETER_OBJECT;
                isPab = objectName.contains(PAB_OBJECT_PART);
            }
            for (const QDomElement& lines : children(group, DVX_TAG_GROUP)) {
                if (!hasAttributeValue(lines, DVX_LINE))
                    continue;
                for (const QDomElement& elementClass : children(lines, DVX_TAG_GROUP)) {
                    for (const QDomElement& value : children(elementClass, DVX_TAG_VALUE)) {
                        if (value.attribute(DVX_ATTRIBUTE_NAME) != VERSION_FEATURE)
                            continue;
                        const float divider = value.attribute(DVX_ATTRIBUTE_DIVIDER).toFloat();
                        // Without a divider the version is taken as it stands.
                        const float version =
                            value.attribute(DVX_ATTRIBUTE_DEFAULT).toFloat() / (divider != 0.0f ? divider : 1.0f);
                        const QString text = QString::number(double(version), 'f', 2);
                        if (isParameter)
                            description.parameterVersion = text;
                        if (isPab)
                            description.pabVersion = text;
                    }
                }
            }
        }
    }
    description.fileName = fileName;
    return description;
}

QMap<QString, CElementMap*> CXmlParser::parseFileContent(QDomDocument* document, const QString&)
{
    QMap<QString, CElementMap*> content;
    const QDomElement root = document->documentElement();
    if (root.tagName() != DVX)
        return content;

    for (const QDomElement& object : children(root, DVX_TAG_GROUP)) {
        if (object.attribute(DVX_ATTRIBUTE_NAME) != DVX_OBJECT)
            continue;
        auto map = std::make_unique<CElementMap>();
        QString objectName;
        bool named = false;
        for (QDomElement child = object.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            const QString groupName = child.attribute(DVX_ATTRIBUTE_NAME);
            if (child.tagName() == DVX_TAG_VALUE) {
                if (!named && child.hasAttribute(DVX_OBJECT_NAME)) {
                    objectName = child.attribute(DVX_OBJECT_NAME);
                    named = true;
                }
            } else if (child.tagName() != DVX_TAG_GROUP) {
                continue;
            } else if (groupName == DVX_LINE) {
                for (QDomElement line = child.firstChildElement(); !line.isNull(); line = line.nextSiblingElement()) {
                    QPair<QString, QString> feature;
                    if (line.tagName() == DVX_TAG_GROUP) {
                        CElementClass elementClass;
                        elementClass.name = line.attribute(DVX_ATTRIBUTE_NAME);
                        elementClass.text = line.attribute(DVX_ATTRIBUTE_TEXT);
                        for (QDomElement item = line.firstChildElement(); !item.isNull();
                             item = item.nextSiblingElement()) {
                            if (item.tagName() == DVX_TAG_GROUP)
                                elementClass.elements.append(parseElement(item));
                            else if (item.tagName() == DVX_TAG_VALUE && namedFeature(item, &feature))
                                elementClass.features.append(feature);
                        }
                        map->classes.append(elementClass);
                    } else if (line.tagName() == DVX_TAG_VALUE && namedFeature(line, &feature)) {
                        map->features.append(feature);
                    }
                }
            } else if (groupName == DVX_LIST) {
                for (const QDomElement& value : children(child, DVX_TAG_VALUE))
                    map->lists.append(attributeHash(value));
            } else if (groupName == DVX_BITFIELD) {
                for (const QDomElement& bitfield : children(child, DVX_TAG_GROUP))
                    map->bitfields.append(parseElement(bitfield));
            }
        }
        if (!named)
            continue;
        delete content.value(objectName);
        content.insert(objectName, map.release());
    }
    return content;
}

CDeviceDescription::FeatureValue CXmlParser::parseFeature(const QDomElement& value)
{
    CDeviceDescription::FeatureValue feature;
    const QDomNamedNodeMap attributes = value.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr attribute = attributes.item(i).toAttr();
        feature.insert(i, qMakePair(attribute.name(), attribute.value()));
    }
    return feature;
}

CXmlParser::FeatureGroup CXmlParser::parseFeatures(const QDomElement& group)
{
    return parseFeatures(group, 0);
}

CXmlParser::FeatureGroup CXmlParser::parseFeatures(const QDomElement& group, int depth)
{
    FeatureGroup result;
    if (depth > MAX_FEATURE_DEPTH)
        return result;
    QList<CDeviceDescription::FeatureValue> base;
    for (QDomElement child = group.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (child.tagName() == DVX_TAG_VALUE) {
            base.append(parseFeature(child));
        } else if (child.tagName() == DVX_TAG_GROUP) {
            const FeatureGroup nested = parseFeatures(child, depth + 1);
            const QString key = child.hasAttribute(DVX_ATTRIBUTE_NAME) ? child.attribute(DVX_ATTRIBUTE_NAME)
                                                                       : FEATURE_ENTRY_KEY;
            for (auto it = nested.constBegin(); it != nested.constEnd(); ++it)
                result.insert(key, it.value());
        }
    }
    if (!base.isEmpty())
        result.insert(FEATURE_BASE_KEY, base);
    return result;
}

bool CXmlParser::openPlainXml(const QString& path, QDomDocument* document)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    return document->setContent(&file, false);
}

QStringList CXmlParser::languageFiles(const CDeviceDescription& description, const QString& directory)
{
    QStringList files;
    const QDir dir(directory);
    for (const QFileInfo& info : dir.entryInfoList({ QStringLiteral("*.xml") }, QDir::Files)) {
        QDomDocument document;
        if (!openPlainXml(info.filePath(), &document))
            continue;
        const CDeviceDescription identity = parseFileDeviceId(&document, info.filePath());
        if (identity.name == description.name && identity.orderNumber == description.orderNumber)
            files.append(info.filePath());
    }
    return files;
}

CXmlParser::Language CXmlParser::readDeviceLanguages(const QString& path)
{
    QDomDocument document;
    if (!openPlainXml(path, &document))
        return Language();
    return parseFileTranslations(&document, path);
}

CXmlParser::Language CXmlParser::parseFileTranslations(QDomDocument* document, const QString&)
{
    Language language;
    const QDomElement root = document->documentElement();
    if (root.tagName() != DVX)
        return language;
    for (const QDomElement& group : children(root, DVX_TAG_GROUP)) {
        if (group.attribute(DVX_ATTRIBUTE_NAME) != DVX_LANGUAGE)
            continue;
        for (QDomElement child = group.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            if (child.tagName() == DVX_TAG_VALUE) {
                if (language.first.isEmpty() && child.hasAttribute(DVX_LANGUAGE_NAME))
                    language.first = child.attribute(DVX_LANGUAGE_NAME);
            } else if (child.tagName() == DVX_TAG_GROUP && child.attribute(DVX_ATTRIBUTE_NAME) == DVX_LINE) {
                QHash<QString, QString> dictionary;
                for (const QDomElement& line : children(child, DVX_TAG_VALUE)) {
                    const QString text = line.attribute(DVX_ATTRIBUTE_TEXT);
                    const QString translation = line.attribute(QStringLiteral("value"));
                    if (!text.isEmpty() && !translation.isEmpty())
                        dictionary.insert(text, translation);
                }
                language.second = dictionary;
            }
        }
    }
    return language;
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

QByteArray CXmlParser::parseXmlData(const QByteArray& data, int checkLength)
{
    // Matching check bytes come first: some check byte pairs read as an
    // unfinished UTF-8 sequence that the DOM reader silently drops, so a
    // sealed file could otherwise pass for plain XML and be refused.
    if (checkXmlData(data))
        return data.left(data.size() - checkLength);
    const bool checking = checkXmlCrc();
    QDomDocument probe;
    int errorLine = 0;
    if (probe.setContent(data, false, nullptr, &errorLine))
        return checking ? QByteArray() : data;
    if (!checking) {
        const int zero = data.indexOf('\0');
        const QByteArray text = zero < 0 ? data : data.left(zero);
        if (errorLine == text.split('\n').size())
            return data.left(data.size() - checkLength);
    }
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
