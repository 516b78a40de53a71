#include "models/CTableModel.h"

#include "items/CItem.h"

#include <QFont>

#include <algorithm>

namespace {
const int BOLD = 75;
}

CTableModel::CTableModel(const QString& name, QObject* parent)
    : QAbstractTableModel(parent)
{
    setObjectName(name);
}

bool CTableModel::setupModel(const QList<CElementClass>& classes)
{
    return buildItems(classes, this, true, [this](CItem* item) { appendItem(item); });
}

void CTableModel::appendItem(CItem* item)
{
    const int row = m_items.size();
    beginInsertRows(QModelIndex(), row, row);
    connect(item, &CItem::valueChanged, this, &CTableModel::itemValueChanged);
    connect(item, &CItem::unitChanged, this, &CTableModel::itemValueChanged);
    connect(item, &CItem::decimalFactorChanged, this, &CTableModel::itemValueChanged);
    connect(item, &CItem::precisionChanged, this, &CTableModel::itemValueChanged);
    connect(item, &CItem::visibleChanged, this, &CTableModel::itemValueChanged);
    connect(item, &CItem::visibleChanged, this, &CTableModel::itemVisibilityChanged);
    connect(item, &CItem::chartVisibleChanged, this, &CTableModel::itemChartVisibleChanged);
    m_items.append(item);
    m_rowOfItem.insert(item, row);
    forgetBlockTargets();
    endInsertRows();
}

void CTableModel::itemVisibilityChanged()
{
    // No row moves when an item is hidden: nothing for persistent indexes to
    // follow, but views that hide the rows of hidden items learn of it.
    emit layoutAboutToBeChanged();
    emit layoutChanged();
}

void CTableModel::itemValueChanged()
{
    const auto* item = qobject_cast<const CItem*>(sender());
    if (!m_rowOfItem.contains(item))
        return;
    if (m_answerChanges) {
        m_answerChanges->append(item);
        return;
    }
    const QModelIndex cell = index(m_rowOfItem.value(item), 1);
    emit dataChanged(cell, cell, {});
}

void CTableModel::itemValueAtIndexChanged(const QModelIndex& index)
{
    if (index.row() >= 0)
        emit dataChanged(index, index, {});
}

void CTableModel::setupTranslationTexts(const QHash<QString, QHash<QString, QString>>& texts)
{
    for (CItem* item : qAsConst(m_items))
        item->setupTranslations(texts);
}

void CTableModel::updateModelTranslation(const QString& language)
{
    for (CItem* item : qAsConst(m_items))
        item->setLanguageId(language);
    if (!m_items.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void CTableModel::setReadOnly(bool state)
{
    m_readOnly = state;
    for (CItem* item : qAsConst(m_items))
        item->setReadOnly(state);
}

CItem* CTableModel::itemAt(int row) const
{
    return row >= 0 && row < m_items.size() ? m_items.at(row) : nullptr;
}

CItem* CTableModel::itemByCaption(const QString& caption) const
{
    const auto found = std::find_if(m_items.begin(), m_items.end(), [&caption](const CItem* item) {
        return isCaptionRow(item) && item->caption() == caption;
    });
    return found != m_items.end() ? *found : nullptr;
}

QList<CItem*> CTableModel::itemsWithFeatures(const QStringList& features) const
{
    QList<CItem*> result;
    for (CItem* item : m_items) {
        if (std::any_of(features.begin(), features.end(), [item](const QString& name) { return item->hasFeature(name); }))
            result.append(item);
    }
    return result;
}

void CTableModel::newMultipleData(QByteArray data)
{
    QVector<const CItem*> changed;
    const bool taken = distributeBlock(data, &changed);
    // One signal over the value cells from the first to the last changed row.
    if (!changed.isEmpty()) {
        int first = m_rowOfItem.value(changed.first());
        int last = first;
        for (const CItem* item : qAsConst(changed)) {
            first = qMin(first, m_rowOfItem.value(item));
            last = qMax(last, m_rowOfItem.value(item));
        }
        emit dataChanged(index(first, 1), index(last, 1), {});
    }
    if (taken)
        emit dataFinished(data);
}

// Rows never have children; views ask with a valid parent to find that out.
int CTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_items.size();
}

int CTableModel::columnCount(const QModelIndex&) const
{
    return 2;
}

QVariant CTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    return section == 0 ? CItem::tr("Caption") : CItem::tr("Value");
}

QVariant CTableModel::data(const QModelIndex& index, int role) const
{
    const CItem* item = index.isValid() ? itemAt(index.row()) : nullptr;
    if (!item || index.column() > 1)
        return QVariant();
    if (role == Qt::BackgroundRole)
        return isCaptionRow(item) ? QVariant(TABLE_CAPTION_COLOR) : QVariant();
    if (index.column() == 0) {
        if (role == Qt::DisplayRole)
            return item->caption();
        if (role == Qt::FontRole && isCaptionRow(item)) {
            QFont font;
            font.setWeight(BOLD);
            return font;
        }
        return QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    if (!item->specialValueText().isEmpty() && isRangedType(item->type())
        && item->value().toDouble() <= item->minimum())
        return item->specialValueText();
    return QStringLiteral("%1 %2").arg(item->toValueString(), item->unit());
}
