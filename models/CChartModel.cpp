#include "models/CChartModel.h"

#include "items/CItem.h"
#include "items/CItemTexts.h"

#include <QColor>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
const QString TIME_COLUMN = QString::fromLatin1(CItemTexts::AxisXDataName);
const QString TEXT_SEPARATOR = QStringLiteral(" - ");

QSet<QString> textParts(const QString& text)
{
    const QStringList parts = text.split(TEXT_SEPARATOR, Qt::SkipEmptyParts);
    return QSet<QString>(parts.begin(), parts.end());
}

// The texts a recorded column key is built from: the item's parent texts and
// its caption, in the record's language.
QSet<QString> itemTextParts(const CItem* item, const QString& language)
{
    QSet<QString> parts = textParts(item->parentText(language));
    const QString caption = item->caption(language);
    parts.insert(caption.isEmpty() ? item->caption() : caption);
    return parts;
}

const CItem* objectOf(const CItem* item)
{
    for (const QObject* node = item; node; node = node->parent()) {
        const auto* candidate = qobject_cast<const CItem*>(node);
        if (candidate && candidate->type() == CItem::TYPE_OBJECT)
            return candidate;
    }
    return nullptr;
}

// Time stamps are kept as UTC milliseconds since the epoch: plain numbers,
// cheap to compare and to drop. They leave the model as local date-times.
QVariant storedTime(const QVariant& time)
{
    const QDateTime dateTime = time.toDateTime();
    return dateTime.isValid() ? QVariant(double(dateTime.toMSecsSinceEpoch())) : QVariant();
}

QVariant shownTime(const QVariant& stored)
{
    return stored.isValid() ? QVariant(QDateTime::fromMSecsSinceEpoch(qint64(stored.toDouble()))) : stored;
}

// The first row whose value, as a double, is not below the one looked for,
// in a column sorted that way.
int lowerBound(const CSampleColumn& column, double wanted)
{
    int first = 0;
    int count = column.size();
    while (count > 0) {
        const int half = count / 2;
        if (column.at(first + half).toDouble() < wanted) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return first;
}

// The smallest or largest value of a non-empty column, as a double.
double extreme(const CSampleColumn& column, bool largest)
{
    double found = column.at(0).toDouble();
    for (int row = 1; row < column.size(); ++row) {
        const double value = column.at(row).toDouble();
        found = largest ? std::max(found, value) : std::min(found, value);
    }
    return found;
}
}

bool valueLessThen(const QVariant& a, const QVariant& b)
{
    return a.toDouble() < b.toDouble();
}

CChartModel::CChartModel(const QString& name, QObject* parent)
    : CTableModel(name, parent)
    , m_timer(new QTimer(this))
{
    // The sample signals may cross threads into the front end or a recorder.
    qRegisterMetaType<QHash<QString, QString>>("QHash<QString,QString>");
    qRegisterMetaType<QHash<QString, QVariant>>("QHash<QString,QVariant>");
    CTableModel::setReadOnly(true);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &CChartModel::appendData);
}

bool CChartModel::setupModel(const QList<CElementClass>& classes)
{
    if (CTableModel::setupModel(classes))
        return true;
    insertColumn(TIME_COLUMN, nullptr);
    for (CItem* item : qAsConst(m_items)) {
        if (item->isVisible() && item->type() > CItem::TYPE_TEXT16_T) {
            insertColumn(item->objectName(), item);
            if (item->type() >= CItem::TYPE_LIST16_T) {
                for (CItem* bit : item->findChildren<CItem*>()) {
                    if (bit->type() == CItem::TYPE_BIT && bit->isVisible())
                        insertColumn(bit->objectName(), bit);
                }
            }
        }
        // The front end switches the series it wants to see on.
        item->setChartVisible(false);
        for (CItem* descendant : item->findChildren<CItem*>())
            descendant->setChartVisible(false);
    }
    return false;
}

void CChartModel::appendItem(CItem* item)
{
    connect(item, &CItem::visibleChanged, this, &CChartModel::itemVisibilityChanged);
    m_items.append(item);
    forgetBlockTargets();
}

void CChartModel::insertColumn(const QString& name, CItem* item)
{
    const int position = int(m_columns.size());
    beginInsertColumns(QModelIndex(), position, position);
    m_columns.push_back({ name, item, CSampleColumn() });
    if (item)
        connect(item, &CItem::newValue, this, &CChartModel::insertNewValue);
    endInsertColumns();
}

const CChartModel::STRUCT_COLUMN* CChartModel::column(const QString& name) const
{
    const int position = indexOf(name);
    return position < 0 ? nullptr : &m_columns.at(size_t(position));
}

int CChartModel::indexOf(const QString& name) const
{
    for (size_t position = 0; position < m_columns.size(); ++position) {
        if (m_columns.at(position).name == name)
            return int(position);
    }
    return -1;
}

QStringList CChartModel::objectNames() const
{
    QStringList names;
    for (const STRUCT_COLUMN& column : m_columns)
        names.append(column.name);
    return names;
}

QList<QPair<QString, QString>> CChartModel::dataNames() const
{
    QList<QPair<QString, QString>> names;
    for (const STRUCT_COLUMN& column : m_columns) {
        if (column.name == TIME_COLUMN)
            names.append({ column.name, CItem::tr(CItemTexts::AxisXDataName) });
        else
            names.append({ column.name, column.item ? column.item->extendedCaption() : QString() });
    }
    return names;
}

bool CChartModel::isValid() const
{
    const STRUCT_COLUMN* times = column(TIME_COLUMN);
    return times && times->values.size() > 0;
}

QVariant CChartModel::userValue(const STRUCT_COLUMN& column, const QVariant& value)
{
    return column.item ? value : shownTime(value);
}

QVariant CChartModel::valueAtIndex(const QString& name, int index) const
{
    const STRUCT_COLUMN* values = column(name);
    if (!values || index < 0 || index >= values->values.size())
        return QVariant();
    return userValue(*values, values->values.at(index));
}

QString CChartModel::valueText(const STRUCT_COLUMN& column, const QVariant& value)
{
    if (!column.item)
        return value.toDateTime().toString(CItem::dateTimeFormat(true));
    return column.item->valueFormatedToString(value, false);
}

QHash<QString, QString> CChartModel::dataEntry(int index) const
{
    QHash<QString, QString> entry;
    if (index < 0)
        return entry;
    for (const STRUCT_COLUMN& column : m_columns) {
        if (index < column.values.size())
            entry.insert(column.name, valueText(column, userValue(column, column.values.at(index))));
    }
    return entry;
}

QDateTime CChartModel::axisXMin() const
{
    const STRUCT_COLUMN* times = column(TIME_COLUMN);
    return times && times->values.size() > 0 ? shownTime(times->values.at(0)).toDateTime() : QDateTime();
}

QDateTime CChartModel::axisXMax() const
{
    const STRUCT_COLUMN* times = column(TIME_COLUMN);
    const int rows = times ? times->values.size() : 0;
    return rows > 0 ? shownTime(times->values.at(rows - 1)).toDateTime() : QDateTime();
}

int CChartModel::axisY(const QString& name) const
{
    for (const CItem* item : m_items) {
        if (item->objectName() == name)
            return item->yAxis();
    }
    return 0;
}

// Time stamps are no numbers on a y axis.
double CChartModel::axisYMin(const QString& name) const
{
    const STRUCT_COLUMN* values = column(name);
    return values && values->item && values->values.size() > 0 ? extreme(values->values, false) : 0.0;
}

double CChartModel::axisYMax(const QString& name) const
{
    const STRUCT_COLUMN* values = column(name);
    return values && values->item && values->values.size() > 0 ? extreme(values->values, true) : 0.0;
}

int CChartModel::indexOfValue(const QString& name, const QVariant& value) const
{
    const STRUCT_COLUMN* found = column(name);
    if (!found || found->values.size() == 0)
        return -1;
    // Time stamps compare as instants, everything else as doubles.
    return lowerBound(found->values, name == TIME_COLUMN ? storedTime(value).toDouble() : value.toDouble());
}

QVariant CChartModel::nextTo(const QString& name, const QVariant& value) const
{
    const int found = indexOfValue(name, value);
    if (found < 0)
        return QVariant();
    const CSampleColumn& values = column(name)->values;
    const int a = found > 0 ? found - 1 : 0;
    int b = found > 0 ? found : 1;
    if (b >= values.size())
        b = a;
    const bool time = name == TIME_COLUMN;
    const double wanted = time ? storedTime(value).toDouble() : value.toDouble();
    const double first = values.at(a).toDouble();
    const double second = values.at(b).toDouble();
    const double nearest = std::fabs(second - wanted) < std::fabs(first - wanted) ? second : first;
    return time ? shownTime(nearest) : nearest;
}

int CChartModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || m_columns.empty())
        return 0;
    return m_columns.front().values.size();
}

int CChartModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant CChartModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal && section >= 0 && size_t(section) < m_columns.size())
        return m_columns.at(size_t(section)).name;
    return QStringLiteral("%1").arg(section + 1);
}

QVariant CChartModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::BackgroundRole)
        return QColor(Qt::white);
    if (role != Qt::DisplayRole || size_t(index.column()) >= m_columns.size())
        return QVariant();
    const STRUCT_COLUMN& column = m_columns.at(size_t(index.column()));
    return index.row() < column.values.size() ? userValue(column, column.values.at(index.row())) : QVariant();
}

Qt::ItemFlags CChartModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags defaults = QAbstractTableModel::flags(index);
    if (isReadOnly() || !index.isValid() || index.column() == 0)
        return defaults;
    const CItem* item = itemAt(index.row());
    if (!item)
        return defaults;
    return item->isVisible() ? defaults | Qt::ItemIsEditable : defaults & ~Qt::ItemIsEnabled;
}

QDateTime CChartModel::currentDateTime() const
{
    return QDateTime::currentDateTimeUtc();
}

void CChartModel::insertNewValue(QVariant value)
{
    const auto* item = qobject_cast<CItem*>(sender());
    if (!m_online || !item)
        return;
    m_pending.insert(item->objectName(), CItem::rawValue(value, item->type(), item->decimalFactor()));
    if (size_t(m_pending.size()) == m_columns.size() - 1) {
        m_timer->stop();
        appendData();
    } else {
        m_timer->start(SAMPLE_GATHERING_MS);
    }
}

void CChartModel::appendData()
{
    if (!m_online) {
        m_pending.clear();
        return;
    }
    const QDateTime now = currentDateTime();
    m_pending.insert(TIME_COLUMN, storedTime(now));
    if (size_t(m_pending.size()) == m_columns.size()) {
        const int row = rowCount();
        beginInsertRows(QModelIndex(), row, row);
        for (STRUCT_COLUMN& column : m_columns)
            column.values.append(m_pending.value(column.name));
        endInsertRows();
        dropExpiredRows(now);

        QHash<QString, QString> texts;
        for (const STRUCT_COLUMN& column : m_columns) {
            const QVariant value = userValue(column, m_pending.value(column.name));
            texts.insert(column.name, valueText(column, value));
            m_pending.insert(column.name, value);
        }
        emit newDataAdded(texts);
        emit newDataAdded(m_pending);
    }
    m_pending.clear();
}

void CChartModel::dropExpiredRows(const QDateTime& now)
{
    // A row exactly a day old stays. The expired rows are counted from the
    // oldest on rather than searched for: after the clock was set back, the
    // stamps are no longer sorted, and rows younger than a day must not go.
    const qint64 oldestKept = now.toMSecsSinceEpoch() - HISTORY_SECONDS * 1000;
    const int expired = m_columns.front().values.leadingBelow(double(oldestKept));
    if (expired == 0)
        return;
    beginRemoveRows(QModelIndex(), 0, expired - 1);
    for (STRUCT_COLUMN& column : m_columns)
        column.values.removeFirst(expired);
    endRemoveRows();
}

void CChartModel::resetData(int)
{
    // Columns take their memory as rows come: there is nothing to reserve.
    beginResetModel();
    for (STRUCT_COLUMN& column : m_columns)
        column.values.clear();
    endResetModel();
    emit dataReseted();
}

void CChartModel::setOnline(bool state)
{
    if (state == m_online)
        return;
    m_online = state;
    if (state)
        resetData();
}

void CChartModel::setMarkerData(QPointF point, int number, bool removed)
{
    if (removed) {
        emit newMarkerData(number, QHash<QString, QVariant>());
        return;
    }
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(point.x()));
    const QVariant nearest = nextTo(TIME_COLUMN, time);
    if (!nearest.toDateTime().isValid())
        return;
    const int index = indexOfValue(TIME_COLUMN, nearest);
    QHash<QString, QVariant> values;
    for (const STRUCT_COLUMN& column : m_columns) {
        if (column.values.size() > index)
            values.insert(column.name, userValue(column, column.values.at(index)));
    }
    emit newMarkerData(number, values);
}

int CChartModel::matchingColumn(const QString& key, const QString& language) const
{
    const QSet<QString> parts = textParts(key);
    for (size_t position = 1; position < m_columns.size(); ++position) {
        const CItem* item = m_columns.at(position).item;
        if (item && itemTextParts(item, language) == parts)
            return int(position);
    }
    // Keys of items directly below an object start with the object's name;
    // match the rest against the items of that object only.
    QStringList ordered = key.split(TEXT_SEPARATOR, Qt::SkipEmptyParts);
    if (ordered.size() < 2)
        return -1;
    const QString objectName = ordered.takeFirst();
    const QSet<QString> rest(ordered.begin(), ordered.end());
    for (size_t position = 1; position < m_columns.size(); ++position) {
        const CItem* item = m_columns.at(position).item;
        const CItem* object = item ? objectOf(item) : nullptr;
        if (object && object->objectName() == objectName && itemTextParts(item, language) == rest)
            return int(position);
    }
    return -1;
}

void CChartModel::insertRecord(const QHash<QString, QVector<QVariant>>& record, const QString& language)
{
    if (record.isEmpty())
        return;
    m_online = false;
    const QVector<QVariant> times = record.value(TIME_COLUMN);
    resetData(times.size());

    if (!times.isEmpty())
        beginInsertRows(QModelIndex(), 0, times.size() - 1);
    for (auto entry = record.constBegin(); entry != record.constEnd(); ++entry) {
        const bool time = entry.key() == TIME_COLUMN;
        const int position = time ? indexOf(TIME_COLUMN) : matchingColumn(entry.key(), language);
        if (position < 0)
            continue;
        CSampleColumn& values = m_columns.at(size_t(position)).values;
        values.clear();
        for (const QVariant& value : entry.value())
            values.append(time ? storedTime(value) : value);
    }
    if (!times.isEmpty())
        endInsertRows();
    emit newDataAdded(QHash<QString, QString>());

    const QDateTime min = axisXMin();
    QDateTime max = axisXMax();
    if (max < min.addSecs(MINIMUM_OFFLINE_RANGE_SECONDS))
        max = min.addSecs(MINIMUM_OFFLINE_RANGE_SECONDS);
    emit offlineAxisXRangeChanged(min, max);
}
