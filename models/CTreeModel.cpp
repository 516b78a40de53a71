#include "models/CTreeModel.h"

#include "items/CItem.h"

#include <QFont>

#include <algorithm>

namespace {
const QString FEATURE_FC_RD = QStringLiteral("FC_RD");
const QString FEATURE_FC_WR = QStringLiteral("FC_WR");
const QString FEATURE_FC_WRS = QStringLiteral("FC_WRS");
const QString FEATURE_FC_RW = QStringLiteral("FC_RW");
const QString ADDRESS_RD = QStringLiteral("Address_RD");
const QString ADDRESS_WR = QStringLiteral("Address_WR");
const QString ADDRESS_WRS = QStringLiteral("Address_WRS");
const QString ADDRESS_RW = QStringLiteral("Address_RW");
const QString MODEL_DEVICE_INFO = QStringLiteral("DeviceInfo");
const QString MODEL_PARAMETER = QStringLiteral("Parameter");
const QString MODEL_SETUP = QStringLiteral("Setup");
const QString MODEL_PAB_PART = QStringLiteral("PabOut");
const int BOLD = 75;
// Read-write answers of unknown length are one register.
const quint16 DEFAULT_READ_LENGTH = 2;

bool isUnsigned(const QVariant& value)
{
    return value.userType() == QMetaType::UInt;
}
}

CTreeModel::CTreeModel(const QString& name, QObject* parent)
    : QAbstractItemModel(parent)
    , m_root(new CItem(this))
{
    setObjectName(name);
    m_root->setObjectName(QStringLiteral("Root"));
    m_root->setType(CItem::TYPE_ROOT);
    m_root->setCaption(name);
    m_rows = reachableRows();
}

bool CTreeModel::setupModel(const QList<CElementClass>& classes)
{
    // The views take the built tree as a whole.
    beginResetModel();
    const bool error = buildItems(classes, m_root, false, [this](CItem* item) { connectItem(item); });
    // Bits and lines of unknown type are rows too, though never announced.
    watchVisibility(m_root);
    // Views ask for the column count all the time; info numbers come only
    // from the description.
    const QList<CItem*> items = m_root->findChildren<CItem*>();
    m_withInfoNumber =
        std::any_of(items.begin(), items.end(), [](const CItem* item) { return !item->infoNumber().isEmpty(); });
    m_rows = reachableRows();
    endResetModel();
    return error;
}

void CTreeModel::appendItem(CItem* item)
{
    connectItem(item);
    watchVisibility(item);
    forgetBlockTargets();
    auto* parentItem = qobject_cast<CItem*>(item->parent());
    if (!item->isVisible() || m_rows.contains(item) || !m_rows.contains(parentItem))
        return;
    const int row = parentItem->visibleChildren().indexOf(item);
    beginInsertRows(indexOfItem(parentItem), row, row);
    m_rows = reachableRows();
    endInsertRows();
}

void CTreeModel::connectItem(CItem* item)
{
    connect(item, &CItem::valueChanged, this, &CTreeModel::itemValueChanged);
    connect(item, &CItem::unitChanged, this, &CTreeModel::itemValueChanged);
    connect(item, &CItem::decimalFactorChanged, this, &CTreeModel::itemValueChanged);
    connect(item, &CItem::precisionChanged, this, &CTreeModel::itemValueChanged);
    connect(item, &CItem::childChanged, this, &CTreeModel::itemValueChanged);
}

void CTreeModel::watchVisibility(CItem* item)
{
    connect(item, &CItem::visibleChanged, this, &CTreeModel::refreshRows, Qt::UniqueConnection);
    for (CItem* descendant : item->findChildren<CItem*>())
        connect(descendant, &CItem::visibleChanged, this, &CTreeModel::refreshRows, Qt::UniqueConnection);
}

CTreeModel::RowMap CTreeModel::reachableRows() const
{
    RowMap rows;
    addReachable(m_root, nullptr, 0, &rows);
    return rows;
}

void CTreeModel::addReachable(CItem* item, CItem* parent, int row, RowMap* rows) const
{
    STRUCT_ROW entry;
    entry.parent = parent;
    entry.row = row;
    bool withChildItems = false;
    if (item->isVisible()) {
        for (QObject* child : item->children()) {
            auto* childItem = qobject_cast<CItem*>(child);
            withChildItems = withChildItems || childItem;
            if (childItem && childItem->isVisible())
                entry.children.append(childItem);
        }
    }
    // An item whose descendants are all hidden is shown but cannot be chosen.
    entry.enabled = !withChildItems || !entry.children.isEmpty() || item->hasVisibleChildren();
    rows->insert(item, entry);
    for (int childRow = 0; childRow < entry.children.size(); ++childRow)
        addReachable(entry.children.at(childRow), item, childRow, rows);
}

void CTreeModel::refreshRows()
{
    // The items have changed already (a hidden child may have hidden its
    // parents on the way); the views still see the old rows until here.
    RowMap rows = reachableRows();
    if (rows == m_rows)
        return;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        auto* item = static_cast<CItem*>(index.internalPointer());
        const auto found = rows.constFind(item);
        after.append(found == rows.constEnd() ? QModelIndex() : createIndex(found->row, index.column(), item));
    }
    m_rows = std::move(rows);
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

QModelIndex CTreeModel::indexOfItem(CItem* item) const
{
    const auto found = m_rows.constFind(item);
    if (item == m_root || found == m_rows.constEnd())
        return QModelIndex();
    return createIndex(found->row, 0, item);
}

QVector<const CItem*> CTreeModel::reachableItems() const
{
    return QVector<const CItem*>::fromList(m_rows.keys());
}

void CTreeModel::announceChanges(const QVector<const CItem*>& items)
{
    // First and last changed row below each parent.
    QHash<const CItem*, QPair<int, int>> ranges;
    const auto note = [&ranges](const STRUCT_ROW& shown) {
        const auto range = ranges.find(shown.parent);
        if (range == ranges.end())
            ranges.insert(shown.parent, { shown.row, shown.row });
        else
            *range = { qMin(range->first, shown.row), qMax(range->second, shown.row) };
    };
    for (const CItem* item : items) {
        const auto found = m_rows.constFind(item);
        if (found == m_rows.constEnd() || !found->parent)
            continue;
        note(*found);
        // A bitfield's value shows in the rows of its bits as well.
        for (const CItem* child : found->children) {
            if (child->type() == CItem::TYPE_BIT)
                note(m_rows.value(child));
        }
    }
    const int lastColumn = columnCount() - 1;
    for (auto range = ranges.constBegin(); range != ranges.constEnd(); ++range) {
        const QVector<CItem*>& siblings = m_rows.constFind(range.key())->children;
        emit dataChanged(createIndex(range->first, 0, siblings.at(range->first)),
                         createIndex(range->second, lastColumn, siblings.at(range->second)));
    }
}

void CTreeModel::itemValueChanged()
{
    const auto* item = qobject_cast<const CItem*>(sender());
    if (item && m_answerChanges) {
        m_answerChanges->append(item);
        return;
    }
    // Called directly, it refreshes every row.
    announceChanges(item ? QVector<const CItem*>{ item } : reachableItems());
}

void CTreeModel::setupTranslationTexts(const QHash<QString, QHash<QString, QString>>& texts)
{
    m_root->setupTranslations(texts);
}

void CTreeModel::setupFeatures(const QList<QPair<QString, QString>>& features)
{
    m_root->setFeatures(features);
}

void CTreeModel::updateRootTranslation(const QString& language)
{
    m_root->setLanguageId(language);
    // Captions, units and list texts are shown in the new language.
    announceChanges(reachableItems());
}

void CTreeModel::updateModelTranslation(const QString& language)
{
    updateRootTranslation(language);
}

QString CTreeModel::caption() const
{
    return m_root->caption();
}

bool CTreeModel::hasFeature(const QString& name) const
{
    return m_root->hasFeature(name);
}

QVariant CTreeModel::feature(const QString& name) const
{
    return m_root->feature(name);
}

CItem* CTreeModel::itemAt(const QModelIndex& index) const
{
    if (!index.isValid() || !index.internalPointer())
        return m_root;
    return static_cast<CItem*>(index.internalPointer());
}

QList<CItem*> CTreeModel::children() const
{
    return m_root->findChildren<CItem*>(QString(), Qt::FindDirectChildrenOnly);
}

bool CTreeModel::childExpandable(int row) const
{
    const QList<CItem*> objects = children();
    return row >= 0 && row < objects.size() && objects.at(row)->isExpandable();
}

bool CTreeModel::hasExpandableChildren() const
{
    for (const CItem* object : children()) {
        if (object->isExpandable())
            return true;
    }
    return m_root->isExpandable();
}

bool CTreeModel::withInfoNumber() const
{
    return m_withInfoNumber;
}

QList<CItem*> CTreeModel::itemsWithFeatures(const QStringList& features) const
{
    QList<CItem*> result;
    for (CItem* item : m_root->findChildren<CItem*>()) {
        if (std::any_of(features.begin(), features.end(), [item](const QString& name) { return item->hasFeature(name); }))
            result.append(item);
    }
    return result;
}

CItem* CTreeModel::findItem(const QString& name) const
{
    return findChild<CItem*>(name);
}

int CTreeModel::dataLength(const QString& name) const
{
    const CItem* item = findItem(name);
    return item ? item->dataLength() : 0;
}

QList<CItem*> CTreeModel::sortedDescendants(const QString& name) const
{
    const CItem* item = findItem(name);
    if (!item)
        return {};
    QList<CItem*> descendants = item->findChildren<CItem*>();
    std::stable_sort(descendants.begin(), descendants.end(), idLessThen);
    return descendants;
}

QByteArray CTreeModel::modbusData(const QString& name) const
{
    QByteArray data;
    for (const CItem* item : sortedDescendants(name))
        data.append(item->data());
    return data;
}

QByteArray CTreeModel::singleData(const QString& name) const
{
    for (const CItem* item : sortedDescendants(name)) {
        // A single register takes only a 16-bit value.
        if (CItem::typeLength(item->type()) == 2)
            return CItem::valueToLowByteFirstWord(item->value());
    }
    return QByteArray();
}

void CTreeModel::readData()
{
    if (!hasFeature(FEATURE_FC_RD))
        return;
    const QList<CItem*> items = itemsWithFeatures({ ADDRESS_RD, ADDRESS_RW });
    if (items.isEmpty())
        return;
    ENUM_REQUEST_TYPE type = REQUEST_READ_GENERIC;
    if (objectName() == MODEL_DEVICE_INFO)
        type = REQUEST_READ_DEVICE_INFO;
    else if (objectName() == MODEL_PARAMETER)
        type = REQUEST_READ_PARA;
    else if (objectName().contains(MODEL_PAB_PART))
        type = REQUEST_READ_PAB;

    const QVariant functionCode = feature(FEATURE_FC_RD);
    QList<CRequest> requests;
    for (const CItem* item : items) {
        const QVariant address = item->feature(item->hasFeature(ADDRESS_RD) ? ADDRESS_RD : ADDRESS_RW);
        if (!isUnsigned(address) || !isUnsigned(functionCode))
            continue;
        const CRequest request(type, quint8(functionCode.toUInt()), quint16(address.toUInt()),
                               quint16(dataLength(item->objectName())));
        if (request.functionCode != 0)
            requests.append(request);
    }
    if (!requests.isEmpty())
        emit buildReadRequests(requests);
}

void CTreeModel::writeData()
{
    if (m_readOnly)
        return;
    const QList<CItem*> items = itemsWithFeatures({ ADDRESS_WR, ADDRESS_WRS, ADDRESS_RW });
    QList<CRequest> requests;
    for (const CItem* item : items) {
        for (const QString& key : { ADDRESS_WR, ADDRESS_WRS, ADDRESS_RW }) {
            if (!item->hasFeature(key))
                continue;
            const bool single = key == ADDRESS_WRS;
            const QVariant functionCode = feature(single ? FEATURE_FC_WRS : FEATURE_FC_WR);
            const QVariant address = item->feature(key);
            if (!isUnsigned(functionCode) || !isUnsigned(address))
                continue;
            const ENUM_REQUEST_TYPE type = single                              ? REQUEST_WRITE_GENERIC_SINGLE
                : objectName() == MODEL_PARAMETER ? REQUEST_WRITE_PARA
                                                  : REQUEST_WRITE_GENERIC;
            const QString name = item->objectName();
            const CRequest request(type, quint8(functionCode.toUInt()), 0, 0, quint16(address.toUInt()),
                                   quint16(dataLength(name)), single ? singleData(name) : modbusData(name));
            if (request.functionCode != 0)
                requests.append(request);
        }
    }
    if (!requests.isEmpty())
        emit buildWriteRequests(requests);
}

void CTreeModel::readWriteData()
{
    if (m_readOnly || !hasFeature(FEATURE_FC_RW))
        return;
    const QList<CItem*> writers = itemsWithFeatures({ ADDRESS_WR });
    const QList<CItem*> readers = itemsWithFeatures({ ADDRESS_RD });
    const QVariant functionCode = feature(FEATURE_FC_RW);
    if ((writers.isEmpty() && readers.isEmpty()) || !isUnsigned(functionCode) || writers != readers)
        return;
    const ENUM_REQUEST_TYPE type = objectName() == MODEL_SETUP ? REQUEST_READ_WRITE_COMMISSIONING
                                                               : REQUEST_READ_WRITE_GENERIC;
    QList<CRequest> requests;
    for (const CItem* item : readers) {
        const QVariant writeAddress = item->feature(ADDRESS_WR);
        const QVariant readAddress = item->feature(ADDRESS_RD);
        if (!isUnsigned(writeAddress) || !isUnsigned(readAddress))
            continue;
        const quint16 readFrom = quint16(readAddress.toUInt());
        quint16 readLength = DEFAULT_READ_LENGTH;
        bool found = false;
        // The answer's length is that of the item reading the same address in
        // any sibling model.
        const QList<CTreeModel*> models = QObject::parent() ? QObject::parent()->findChildren<CTreeModel*>()
                                                            : QList<CTreeModel*>();
        for (const CTreeModel* model : models) {
            for (const CItem* candidate : model->itemsWithFeatures({ ADDRESS_RD })) {
                if (candidate->feature(ADDRESS_RD).toUInt() == readFrom) {
                    readLength = quint16(model->dataLength(candidate->objectName()));
                    found = true;
                    break;
                }
            }
            if (found)
                break;
        }
        const QString name = item->objectName();
        const CRequest request(type, quint8(functionCode.toUInt()), readFrom, readLength,
                               quint16(writeAddress.toUInt()), quint16(dataLength(name)), modbusData(name));
        if (request.functionCode != 0)
            requests.append(request);
    }
    if (!requests.isEmpty())
        emit buildReadWriteRequests(requests);
}

void CTreeModel::newMultipleData(QByteArray data)
{
    QVector<const CItem*> changed;
    const bool taken = distributeBlock(data, &changed);
    announceChanges(changed);
    if (!taken)
        return;
    if (!m_valid) {
        m_valid = true;
        emit validChanged(true);
    }
    emit dataFinished(data);
}

void CTreeModel::setValid(bool state)
{
    if (state == m_valid)
        return;
    m_valid = state;
    emit validChanged(state);
}

void CTreeModel::checkValidity(bool state)
{
    setReadOnly(!state);
}

void CTreeModel::setReadOnly(bool state)
{
    const bool changed = state != m_readOnly;
    m_readOnly = state;
    m_root->setReadOnly(state);
    // Every row's flags follow the state.
    if (changed)
        announceChanges(reachableItems());
}

QModelIndex CTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if ((parent.isValid() && parent.column() != 0) || row < 0 || column < 0 || column >= columnCount())
        return QModelIndex();
    const auto shown = m_rows.constFind(itemAt(parent));
    if (shown == m_rows.constEnd() || row >= shown->children.size())
        return QModelIndex();
    return createIndex(row, column, shown->children.at(row));
}

QModelIndex CTreeModel::parent(const QModelIndex& index) const
{
    if (!index.isValid())
        return QModelIndex();
    const auto shown = m_rows.constFind(itemAt(index));
    if (shown == m_rows.constEnd() || !shown->parent || shown->parent == m_root)
        return QModelIndex();
    return createIndex(m_rows.constFind(shown->parent)->row, 0, shown->parent);
}

int CTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const auto shown = m_rows.constFind(itemAt(parent));
    return shown == m_rows.constEnd() ? 0 : shown->children.size();
}

int CTreeModel::columnCount(const QModelIndex&) const
{
    return withInfoNumber() ? 3 : 2;
}

QVariant CTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignHCenter | Qt::AlignVCenter);
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::FontRole) {
        QFont font;
        font.setWeight(BOLD);
        return font;
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    const QStringList headers = withInfoNumber()
        ? QStringList{ CItem::tr("Info number"), CItem::tr("Caption"), CItem::tr("Value") }
        : QStringList{ CItem::tr("Caption"), CItem::tr("Value") };
    return section >= 0 && section < headers.size() ? QVariant(headers.at(section)) : QVariant();
}

QString CTreeModel::valueText(const CItem* item) const
{
    const bool ranged = isRangedType(item->type());
    const double value = item->value().toDouble();
    if (!item->specialValueText().isEmpty() && ranged && value <= item->minimum())
        return item->specialValueText();
    if (!item->specialOutput().isEmpty() && ranged && value >= item->maximum())
        return item->specialOutput();
    return QStringLiteral("%1 %2").arg(item->toValueString(), item->unit());
}

QString CTreeModel::rangeText(const CItem* item) const
{
    if (objectName() != MODEL_PARAMETER || !isRangedType(item->type()) || item->type() == CItem::TYPE_VERSION16_T
        || item->type() == CItem::TYPE_VERSION32_T)
        return QString();
    QString minimum = QStringLiteral("%1 %2").arg(item->valueFormatedToString(item->minimum(), true), item->unit());
    if (!item->specialValueText().isEmpty())
        minimum = QStringLiteral("%1 (%2)").arg(item->specialValueText(), minimum);
    const QString maximum = QStringLiteral("%1 %2").arg(item->valueFormatedToString(item->maximum(), true), item->unit());
    return tr("Settings range min: %1\nSettings range max: %2").arg(minimum, maximum);
}

QVariant CTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !index.internalPointer())
        return QVariant();
    const CItem* item = itemAt(index);
    const bool infoColumn = withInfoNumber();
    const int column = infoColumn ? index.column() - 1 : index.column();
    const bool captionLike = column <= 0;

    if (role == Qt::BackgroundRole)
        return isCaptionRow(item) ? QVariant(TABLE_CAPTION_COLOR) : QVariant();
    if (captionLike) {
        switch (role) {
        case Qt::DisplayRole:
            return column < 0 ? item->infoNumber() : item->caption();
        case Qt::ToolTipRole:
            return QString();
        case Qt::FontRole:
            if (isCaptionRow(item)) {
                QFont font;
                font.setWeight(BOLD);
                return font;
            }
            return QVariant();
        default:
            return QVariant();
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return valueText(item);
    case Qt::ToolTipRole:
        return rangeText(item);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

Qt::ItemFlags CTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags defaults = QAbstractItemModel::flags(index);
    if (m_readOnly)
        return defaults;
    const auto shown = m_rows.constFind(itemAt(index));
    if (shown == m_rows.constEnd() || !shown->enabled)
        return defaults & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return defaults | Qt::ItemIsEditable;
}
