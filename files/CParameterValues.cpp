#include "CParameterValues.h"

#include "items/CItem.h"
#include "models/CTreeModel.h"

#include <QHash>
#include <QMultiMap>
#include <QVector>
#include <QPair>

namespace {

QString displayed(const CItem* item, const QVariant& value)
{
    return QStringLiteral("%1 %2").arg(item->valueToString(value), item->unit()).trimmed();
}

// Equal as the device holds them: the same bytes, or for a bit the same
// state. The file's value has been checked to fit the item.
bool sameOnDevice(const CItem* item, const QVariant& deviceValue, const QVariant& fileValue)
{
    const auto type = CItem::ENUM_DATA_TYPES(item->type());
    if (CItem::typeLength(type) > 0)
        return CItem::valueToByteArray(deviceValue, type) == CItem::valueToByteArray(fileValue, type);
    return deviceValue.toLongLong() == fileValue.toLongLong();
}

// The record holds the model's item of the same name, id and type.
CItem* matchingItem(CTreeModel* model, const CDataPoint& record)
{
    CItem* item = model->findChild<CItem*>(record.name);
    if (!item || CParameterValues::isCaptionRow(item) || item->id() != record.id || item->type() != record.type)
        return nullptr;
    return item;
}

bool isStructure(int type)
{
    return type == CItem::TYPE_ROOT || type == CItem::TYPE_OBJECT || type == CItem::TYPE_GROUP;
}

bool isStructure(const CDataPoint& record)
{
    return isStructure(record.type);
}

} // namespace

bool CParameterValues::apply(CTreeModel* model, const QList<CDataPoint>& records, ENUM_MISSING_ITEMS missing,
                             QStringList* refused, int* applied)
{
    QList<QPair<CItem*, QVariant>> values;
    QStringList refusals;
    for (const CDataPoint& record : records) {
        if (isStructure(record))
            continue;
        CItem* item = model ? matchingItem(model, record) : nullptr;
        QString why;
        if (!item) {
            if (missing == MISSING_REFUSED)
                refusals.append(tr("%1: the device has no such item.").arg(record.name));
        } else if (item->isReadOnly()) {
            continue; // the device's own value stays
        } else if (!item->canHold(record.value, &why)) {
            refusals.append(QStringLiteral("%1: %2").arg(record.name, why));
        } else {
            values.append({ item, record.value });
        }
    }
    if (refused)
        *refused = refusals;
    if (applied)
        *applied = refusals.isEmpty() ? values.size() : 0;
    if (!refusals.isEmpty())
        return false;
    for (const auto& value : qAsConst(values))
        value.first->setValue(value.second);
    return true;
}

QList<CParameterValues::Difference> CParameterValues::differences(CTreeModel* model,
                                                                  const QList<CDataPoint>& records)
{
    QHash<QString, const CDataPoint*> fileRecords;
    for (const CDataPoint& record : records) {
        if (!isStructure(record))
            fileRecords.insert(record.name, &record);
    }
    QList<Difference> result;
    if (model) {
        for (const CItem* item : model->findChildren<CItem*>()) {
            // A bit's state is part of its bitfield's value.
            if (isStructure(item->type()) || item->type() == CItem::TYPE_BIT)
                continue;
            const CDataPoint* record = fileRecords.take(item->objectName());
            Difference difference { item->objectName(), item->caption(), displayed(item, item->value()), QString() };
            QString why;
            if (!record || record->id != item->id() || record->type != item->type()) {
                difference.inFile = false;
            } else if (!item->canHold(record->value, &why)) {
                difference.fileText = tr("%1 (%2)").arg(record->value.toString(), why);
            } else if (sameOnDevice(item, item->value(), record->value)) {
                continue;
            } else {
                difference.fileText = displayed(item, record->value);
            }
            result.append(difference);
        }
    }
    // What is left of the file is unknown to the model; it keeps the file's order.
    for (const CDataPoint& record : records) {
        if (!isStructure(record) && fileRecords.contains(record.name)) {
            Difference difference { record.name, record.name, QString(), record.value.toString() };
            difference.inDevice = false;
            result.append(difference);
        }
    }
    return result;
}

CItem* CParameterValues::findItem(CTreeModel* model, const QString& nameOrCaption, QStringList* closest)
{
    if (!model)
        return nullptr;
    CItem* item = model->findChild<CItem*>(nameOrCaption);
    if (item && !isCaptionRow(item))
        return item;
    QList<CItem*> fitting;
    QStringList names;
    for (CItem* candidate : model->findChildren<CItem*>()) {
        if (isCaptionRow(candidate))
            continue;
        QStringList itsNames = { candidate->objectName(), candidate->caption() };
        for (const QString& language : candidate->languages())
            itsNames.append(candidate->caption(language));
        for (const QString& name : qAsConst(itsNames)) {
            if (name.compare(nameOrCaption, Qt::CaseInsensitive) == 0 && !fitting.contains(candidate))
                fitting.append(candidate);
        }
        names.append(candidate->caption());
    }
    if (fitting.size() == 1)
        return fitting.first();
    if (closest) {
        closest->clear();
        for (const CItem* candidate : qAsConst(fitting))
            closest->append(QStringLiteral("%1 (%2)").arg(candidate->caption(), candidate->objectName()));
        if (fitting.isEmpty())
            *closest = closestNames(names, nameOrCaption);
    }
    return nullptr;
}

QString CParameterValues::closestText(const QStringList& closest)
{
    return closest.isEmpty() ? QString() : QLatin1Char(' ') + tr("Did you mean: %1?").arg(closest.join(QStringLiteral(", ")));
}

QStringList CParameterValues::closestNames(const QStringList& names, const QString& typed)
{
    const QString wanted = typed.toLower();
    // Letters to insert, delete or replace to turn one text into the other.
    const auto distance = [](const QString& a, const QString& b) {
        QVector<int> row(b.size() + 1);
        for (int j = 0; j <= b.size(); ++j)
            row[j] = j;
        for (int i = 1; i <= a.size(); ++i) {
            int diagonal = row[0];
            row[0] = i;
            for (int j = 1; j <= b.size(); ++j) {
                const int above = row[j];
                row[j] = qMin(qMin(row[j] + 1, row[j - 1] + 1), diagonal + (a[i - 1] == b[j - 1] ? 0 : 1));
                diagonal = above;
            }
        }
        return row[b.size()];
    };
    QMultiMap<int, QString> ranked;
    for (const QString& name : names) {
        const QString lower = name.toLower();
        const int letters = lower.contains(wanted) ? 0 : distance(lower, wanted);
        if (letters <= qMax(2, wanted.size() / 3) && !ranked.values().contains(name))
            ranked.insert(letters, name);
    }
    return ranked.values().mid(0, 5);
}

QVariant CParameterValues::valueForText(const CItem* item, const QString& text, QString* error)
{
    if (item->isReadOnly() || item->type() == CItem::TYPE_BIT) {
        *error = tr("%1 cannot be written.").arg(item->caption());
        return QVariant();
    }
    QString why;
    const QVariant value = item->valueFromString(text, &why);
    if (!value.isValid())
        *error = tr("'%1' is not a valid value for %2: %3").arg(text, item->caption(), why);
    return value;
}

int CParameterValues::editRecord(CTreeModel* model, QList<CDataPoint>* records, const QString& nameOrCaption,
                                  const QString& text, QString* error)
{
    QStringList closest;
    const CItem* item = findItem(model, nameOrCaption, &closest);
    if (!item) {
        *error = tr("The device has no item '%1'.").arg(nameOrCaption) + closestText(closest);
        return -1;
    }
    const QVariant value = valueForText(item, text, error);
    if (!value.isValid())
        return -1;
    for (int index = 0; index < records->size(); ++index) {
        CDataPoint& record = (*records)[index];
        if (record.name == item->objectName() && record.id == item->id() && record.type == item->type()) {
            record.value = value;
            record.valueText = item->valueToString(value);
            return index;
        }
    }
    *error = tr("The file holds no value of %1.").arg(item->caption());
    return -1;
}

void CParameterValues::restoreObjectRecords(CTreeModel* model, QList<CDataPoint>* records)
{
    for (CDataPoint& record : *records) {
        if (record.type != CItem::TYPE_GROUP)
            continue;
        for (const CItem* item : model->findChildren<CItem*>(record.name)) {
            if (item->type() == CItem::TYPE_OBJECT)
                record.type = CItem::TYPE_OBJECT;
        }
    }
}

bool CParameterValues::isCaptionRow(const CItem* item)
{
    return item->type() == CItem::TYPE_OBJECT || item->type() == CItem::TYPE_GROUP;
}
