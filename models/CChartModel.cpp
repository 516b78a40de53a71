#include "models/CChartModel.h"

#include "items/CItem.h"
#include "items/CItemTexts.h"

#include <QColor>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
// A full day keeps the row that is exactly a day old, and each new row is
// appended before the oldest one goes: two rows above a day of samples.
const int LIVE_CAPACITY = CChartModel::RESERVED_SAMPLES + 2;
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
    insertColumn(TIME_COLUMN);
    for (CItem* item : qAsConst(m_items)) {
        if (item->isVisible() && item->type() > CItem::TYPE_TEXT16_T) {
            insertColumn(item->objectName());
            connect(item, &CItem::newValue, this, &CChartModel::insertNewValue);
            if (item->type() >= CItem::TYPE_LIST16_T) {
                for (CItem* bit : item->findChildren<CItem*>()) {
                    if (bit->type() != CItem::TYPE_BIT || !bit->isVisible())
                        continue;
                    insertColumn(bit->objectName());
                    connect(bit, &CItem::newValue, this, &CChartModel::insertNewValue);
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
    connect(item, &CItem::visibleChanged, this, [this] { emit layoutChanged(); });
    m_items.append(item);
}

void CChartModel::insertColumn(const QString& name)
{
    const int position = m_columns.size();
    beginInsertColumns(QModelIndex(), position, position);
    m_columns.append(Column(name, QVector<QVariant>()));
    m_columns.last().second.reserve(LIVE_CAPACITY);
    endInsertColumns();
}

const QVector<QVariant>* CChartModel::column(const QString& name) const
{
    const int position = indexOf(name);
    return position < 0 ? nullptr : &m_columns.at(position).second;
}

CItem* CChartModel::itemByName(const QString& name) const
{
    for (CItem* item : m_items) {
        if (item->objectName() == name)
            return item;
        for (CItem* descendant : item->findChildren<CItem*>()) {
            if (descendant->objectName() == name)
                return descendant;
        }
    }
    return nullptr;
}

int CChartModel::indexOf(const QString& name) const
{
    for (int position = 0; position < m_columns.size(); ++position) {
        if (m_columns.at(position).first == name)
            return position;
    }
    return -1;
}

QStringList CChartModel::objectNames() const
{
    QStringList names;
    for (const Column& column : m_columns)
        names.append(column.first);
    return names;
}

QList<QPair<QString, QString>> CChartModel::dataNames() const
{
    QList<QPair<QString, QString>> names;
    for (const Column& column : m_columns) {
        if (column.first == TIME_COLUMN) {
            names.append({ column.first, CItem::tr(CItemTexts::AxisXDataName) });
            continue;
        }
        const CItem* item = itemByName(column.first);
        names.append({ column.first, item ? item->extendedCaption() : QString() });
    }
    return names;
}

bool CChartModel::isValid() const
{
    const QVector<QVariant>* times = column(TIME_COLUMN);
    return times && !times->isEmpty();
}

QVariant CChartModel::valueAtIndex(const QString& name, int index) const
{
    const QVector<QVariant>* values = column(name);
    if (!values || index < 0 || index >= values->size())
        return QVariant();
    return values->at(index);
}

QString CChartModel::valueText(const QString& name, const QVariant& value) const
{
    if (name == TIME_COLUMN)
        return value.toDateTime().toString(CItem::dateTimeFormat(true));
    const CItem* item = itemByName(name);
    return item ? item->valueFormatedToString(value, false) : QString();
}

QHash<QString, QString> CChartModel::dataEntry(int index) const
{
    QHash<QString, QString> entry;
    if (index < 0)
        return entry;
    for (const Column& column : m_columns) {
        if (index < column.second.size())
            entry.insert(column.first, valueText(column.first, column.second.at(index)));
    }
    return entry;
}

QDateTime CChartModel::axisXMin() const
{
    const QVector<QVariant>* times = column(TIME_COLUMN);
    return times && !times->isEmpty() ? times->first().toDateTime() : QDateTime();
}

QDateTime CChartModel::axisXMax() const
{
    const QVector<QVariant>* times = column(TIME_COLUMN);
    return times && !times->isEmpty() ? times->last().toDateTime() : QDateTime();
}

int CChartModel::axisY(const QString& name) const
{
    for (const CItem* item : m_items) {
        if (item->objectName() == name)
            return item->yAxis();
    }
    return 0;
}

double CChartModel::axisYMin(const QString& name) const
{
    const QVector<QVariant>* values = column(name);
    if (!values || values->isEmpty())
        return 0.0;
    return std::min_element(values->begin(), values->end(), valueLessThen)->toDouble();
}

double CChartModel::axisYMax(const QString& name) const
{
    const QVector<QVariant>* values = column(name);
    if (!values || values->isEmpty())
        return 0.0;
    return std::max_element(values->begin(), values->end(), valueLessThen)->toDouble();
}

int CChartModel::indexOfValue(const QString& name, const QVariant& value) const
{
    const QVector<QVariant>* values = column(name);
    if (!values || values->isEmpty())
        return -1;
    // Time stamps compare as date-times, not as doubles.
    if (name == TIME_COLUMN) {
        const qint64 wanted = value.toDateTime().toMSecsSinceEpoch();
        return int(std::lower_bound(values->begin(), values->end(), wanted,
                                    [](const QVariant& entry, qint64 time) {
                                        return entry.toDateTime().toMSecsSinceEpoch() < time;
                                    })
                   - values->begin());
    }
    return int(std::lower_bound(values->begin(), values->end(), value, valueLessThen) - values->begin());
}

QVariant CChartModel::nextTo(const QString& name, const QVariant& value) const
{
    const int found = indexOfValue(name, value);
    if (found < 0)
        return QVariant();
    const QVector<QVariant>& values = *column(name);
    int a = found > 0 ? found - 1 : 0;
    int b = found > 0 ? found : 1;
    if (b >= values.size())
        b = a;
    if (name == TIME_COLUMN) {
        const qint64 wanted = value.toDateTime().toMSecsSinceEpoch();
        const QDateTime first = values.at(a).toDateTime();
        const QDateTime second = values.at(b).toDateTime();
        const bool secondNearer = std::llabs(second.toMSecsSinceEpoch() - wanted)
                                  < std::llabs(first.toMSecsSinceEpoch() - wanted);
        return secondNearer ? second : first;
    }
    const double wanted = value.toDouble();
    const double first = values.at(a).toDouble();
    const double second = values.at(b).toDouble();
    return std::fabs(second - wanted) < std::fabs(first - wanted) ? second : first;
}

int CChartModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || m_columns.isEmpty())
        return 0;
    return m_columns.first().second.size();
}

int CChartModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns.size();
}

QVariant CChartModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal && section >= 0 && section < m_columns.size())
        return m_columns.at(section).first;
    return QStringLiteral("%1").arg(section + 1);
}

QVariant CChartModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::BackgroundRole)
        return QColor(Qt::white);
    if (role != Qt::DisplayRole || index.column() >= m_columns.size())
        return QVariant();
    const QVector<QVariant>& values = m_columns.at(index.column()).second;
    return index.row() < values.size() ? values.at(index.row()) : QVariant();
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
    return QDateTime::currentDateTime();
}

void CChartModel::insertNewValue(QVariant value)
{
    const auto* item = qobject_cast<CItem*>(sender());
    if (!m_online || !item)
        return;
    m_pending.insert(item->objectName(), CItem::rawValue(value, item->type(), item->decimalFactor()));
    if (m_pending.size() == m_columns.size() - 1) {
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
    m_pending.insert(TIME_COLUMN, now);
    if (m_pending.size() == m_columns.size()) {
        const int row = rowCount();
        beginInsertRows(QModelIndex(), row, row);
        for (Column& column : m_columns)
            column.second.append(m_pending.value(column.first));
        endInsertRows();

        QVector<QVariant>& times = m_columns.first().second;
        while (!times.isEmpty() && times.first().toDateTime().addSecs(HISTORY_SECONDS) < now) {
            beginRemoveRows(QModelIndex(), 0, 0);
            // Removing from the front keeps the reserved capacity.
            for (Column& column : m_columns)
                column.second.removeFirst();
            endRemoveRows();
        }

        QHash<QString, QString> texts;
        for (auto pending = m_pending.constBegin(); pending != m_pending.constEnd(); ++pending) {
            if (pending.key() == TIME_COLUMN || itemByName(pending.key()))
                texts.insert(pending.key(), valueText(pending.key(), pending.value()));
        }
        emit newDataAdded(texts);
        emit newDataAdded(m_pending);
    }
    m_pending.clear();
}

void CChartModel::resetData(int vectorSize)
{
    beginResetModel();
    for (Column& column : m_columns) {
        column.second = QVector<QVariant>();
        column.second.reserve(vectorSize);
    }
    endResetModel();
    emit dataReseted();
}

void CChartModel::setOnline(bool state)
{
    if (state == m_online)
        return;
    m_online = state;
    if (state)
        resetData(LIVE_CAPACITY);
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
    for (const Column& column : qAsConst(m_columns)) {
        if (column.second.size() > index)
            values.insert(column.first, column.second.at(index));
    }
    emit newMarkerData(number, values);
}

int CChartModel::matchingColumn(const QString& key, const QString& language) const
{
    const QSet<QString> parts = textParts(key);
    for (int position = 1; position < m_columns.size(); ++position) {
        const CItem* item = itemByName(m_columns.at(position).first);
        if (item && itemTextParts(item, language) == parts)
            return position;
    }
    // Keys of items directly below an object start with the object's name;
    // match the rest against the items of that object only.
    QStringList ordered = key.split(TEXT_SEPARATOR, Qt::SkipEmptyParts);
    if (ordered.size() < 2)
        return -1;
    const QString objectName = ordered.takeFirst();
    const QSet<QString> rest(ordered.begin(), ordered.end());
    for (int position = 1; position < m_columns.size(); ++position) {
        const CItem* item = itemByName(m_columns.at(position).first);
        const CItem* object = item ? objectOf(item) : nullptr;
        if (object && object->objectName() == objectName && itemTextParts(item, language) == rest)
            return position;
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
        const int position = entry.key() == TIME_COLUMN ? indexOf(TIME_COLUMN) : matchingColumn(entry.key(), language);
        if (position >= 0)
            m_columns[position].second = entry.value();
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
