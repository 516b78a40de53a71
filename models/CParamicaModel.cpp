#include "models/CParamicaModel.h"

#include "items/CItem.h"

#include <QObject>

#include <algorithm>

#include <cmath>

const QColor CParamicaModel::TABLE_CAPTION_COLOR = QColor(228, 228, 228);

namespace {
const QString PARAMETER = QStringLiteral("Parameter");
const QString LIST = QStringLiteral("List");
const QString DEFAULT = QStringLiteral("Default");
const QString VISIBILITY = QStringLiteral("Visibility");
const QString TEXT = QStringLiteral("Text");
const QString ADDRESS_RD = QStringLiteral("Address_RD");
const QString ADDRESS_RW = QStringLiteral("Address_RW");
// Bitfield definitions are named without the prefix some data elements carry.
const QString DATA_PREFIX = QStringLiteral("data_");
}

void CParamicaModel::setupListEntries(const QList<QHash<QString, QString>>& entries)
{
    m_listEntries = entries;
}

void CParamicaModel::setupBitfieldEntries(const QList<CElement>& entries)
{
    m_bitfieldEntries = entries;
}

QString CParamicaModel::listEntry(const QString& name) const
{
    for (const auto& entry : m_listEntries) {
        if (name.contains(entry.value(PARAMETER)))
            return entry.value(LIST);
    }
    return QString();
}

BitfieldDescription CParamicaModel::bitfieldEntries(const QString& name) const
{
    BitfieldDescription result;
    for (const CElement& bitfield : m_bitfieldEntries) {
        if (!name.contains(bitfield.name))
            continue;
        int position = 0;
        for (const auto& line : bitfield.lines) {
            const int width = int(line.value(DEFAULT).toUInt());
            QStringList texts = line.value(LIST).split(QLatin1Char(','), Qt::KeepEmptyParts);
            const double allowed = std::pow(2.0, width);
            while (texts.size() > allowed)
                texts.removeLast();
            CBitDescription bit;
            bit.name = line.value(PARAMETER);
            bit.bitCount = width;
            bit.visible = line.value(VISIBILITY) != QLatin1String("false");
            bit.text = line.value(TEXT);
            bit.list = texts.join(QLatin1Char(','));
            result.insert(position, bit);
            position += width;
        }
        break;
    }
    return result;
}

bool CParamicaModel::isRangedType(int type)
{
    switch (type) {
    case CItem::TYPE_INT16_T:
    case CItem::TYPE_UINT16_T:
    case CItem::TYPE_INT8_T:
    case CItem::TYPE_UINT8_T:
    case CItem::TYPE_INT32_T:
    case CItem::TYPE_UINT32_T:
    case CItem::TYPE_REAL:
    case CItem::TYPE_VERSION16_T:
    case CItem::TYPE_VERSION32_T:
        return true;
    default:
        return false;
    }
}

bool CParamicaModel::isCaptionRow(const CItem* item)
{
    return item->type() == CItem::TYPE_OBJECT || item->type() == CItem::TYPE_GROUP;
}

bool CParamicaModel::buildItems(const QList<CElementClass>& classes, QObject* root, bool stripDataPrefix,
                                const std::function<void(CItem*)>& append)
{
    bool error = false;
    for (const CElementClass& elementClass : classes) {
        auto* object = new CItem(root);
        object->setType(CItem::TYPE_OBJECT);
        object->setObjectName(elementClass.name);
        object->setCaption(elementClass.text);
        object->setFeatures(elementClass.features);
        for (const CElement& element : elementClass.elements) {
            CItem* parentItem = object;
            CItem* group = nullptr;
            if (elementClass.elements.size() > 1) {
                group = new CItem(object);
                group->setType(CItem::TYPE_GROUP);
                group->setObjectName(element.name);
                group->setCaption(element.text);
                QObject::connect(group, &CItem::visibleChanged, object, &CItem::childVisibilityChanged);
                parentItem = group;
            }
            for (const auto& line : element.lines) {
                auto* item = new CItem(parentItem);
                QObject::connect(item, &CItem::visibleChanged, parentItem, &CItem::childVisibilityChanged);
                if (line.contains(CItem::PARA_ATTRIBUTE_PARAMETER))
                    item->setObjectName(element.name + QLatin1Char('_') + line.value(CItem::PARA_ATTRIBUTE_PARAMETER));
                const bool unknownType = item->setup(line);
                const QString typeName = line.value(CItem::PARA_ATTRIBUTE_DATATYPE).toLower();
                if (CItem::DATA_TYPES_LIST16_T.contains(typeName) || CItem::DATA_TYPES_LIST32_T.contains(typeName)) {
                    item->setTextList(listEntry(item->objectName()));
                } else if (CItem::DATA_TYPES_BIT8_T.contains(typeName) || CItem::DATA_TYPES_BIT16_T.contains(typeName)
                           || CItem::DATA_TYPES_BIT32_T.contains(typeName)) {
                    QString key = item->objectName();
                    if (stripDataPrefix)
                        key.remove(DATA_PREFIX);
                    item->setBitfieldEntries(bitfieldEntries(key));
                }
                if (unknownType)
                    error = true;
                else
                    append(item);
            }
            if (group)
                append(group);
        }
        append(object);
    }
    forgetBlockTargets();
    return error;
}

void CParamicaModel::forgetBlockTargets()
{
    m_blockTargetsIndexed = false;
    m_blockTargets.clear();
}

bool CParamicaModel::distributeBlock(QByteArray& data, QVector<const CItem*>* changed)
{
    quint16 address = 0;
    if (data.size() >= 2) {
        address = quint16((uchar(data[0]) << 8) | uchar(data[1]));
        data.remove(0, 2);
    }
    if (!m_blockTargetsIndexed) {
        // A missing key reads as address 0, like a key that is no number;
        // a later section of the same address replaces an earlier one.
        for (const CItem* item : itemsWithFeatures({ ADDRESS_RD, ADDRESS_RW })) {
            const QList<CItem*> descendants = item->findChildren<CItem*>();
            if (descendants.isEmpty())
                continue;
            QVector<CItem*> targets(descendants.begin(), descendants.end());
            std::stable_sort(targets.begin(), targets.end(), idLessThen);
            for (const QString& key : { ADDRESS_RD, ADDRESS_RW })
                m_blockTargets.insert(item->feature(key).toUInt(), targets);
        }
        m_blockTargetsIndexed = true;
    }
    const auto found = m_blockTargets.constFind(address);
    if (found == m_blockTargets.constEnd())
        return false;

    // Per id, the first item whose slice still fits takes it; structural
    // items (negative ids) take nothing.
    const QVector<CItem*>& targets = *found;
    m_answerChanges = changed;
    int offset = 0;
    for (int first = 0; first < targets.size() && offset < data.size();) {
        const int id = targets.at(first)->id();
        int next = first;
        bool taken = id < 0;
        for (; next < targets.size() && targets.at(next)->id() == id; ++next) {
            CItem* target = targets.at(next);
            const int length = target->dataLength();
            if (taken || length > data.size() - offset)
                continue;
            target->setData(data.mid(offset, length));
            offset += length;
            taken = true;
        }
        first = next;
    }
    m_answerChanges = nullptr;
    return true;
}
