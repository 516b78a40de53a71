#include "CItemDelegate.h"

#include "files/CParameterValues.h"
#include "items/CItem.h"
#include "models/CProgramTableModel.h"
#include "models/CTreeModel.h"

#include <QAbstractProxyModel>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>

#include <cmath>

namespace {
// Features of a tree model that say its values can be written.
const QStringList WRITE_FEATURES = { QStringLiteral("FC_WR"), QStringLiteral("FC_WRS") };

bool isChoice(CItem::ENUM_DATA_TYPES type)
{
    return type == CItem::TYPE_BOOL || type == CItem::TYPE_LIST16_T || type == CItem::TYPE_LIST32_T;
}

// Scaled integers and floats; passwords and versions are typed as text.
bool isNumber(CItem::ENUM_DATA_TYPES type)
{
    switch (type) {
    case CItem::TYPE_INT8_T:
    case CItem::TYPE_UINT8_T:
    case CItem::TYPE_INT16_T:
    case CItem::TYPE_UINT16_T:
    case CItem::TYPE_INT32_T:
    case CItem::TYPE_UINT32_T:
    case CItem::TYPE_REAL:
        return true;
    default:
        return false;
    }
}

// A device number in display units, as the library shows the range.
double displayNumber(const CItem* item, double deviceNumber)
{
    return item->valueFormatedToString(deviceNumber, true).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}

// The choices of a list or switch, in the order of their device values.
QStringList choices(const CItem* item)
{
    if (item->type() == CItem::TYPE_BOOL)
        return { item->valueToString(0), item->valueToString(1) };
    return item->texte();
}
}

CItemDelegate::CItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

CItem* CItemDelegate::itemAt(const QModelIndex& index, QAbstractItemModel** sourceModel)
{
    QModelIndex source = index;
    while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(source.model()))
        source = proxy->mapToSource(source);
    auto* model = const_cast<QAbstractItemModel*>(source.model());
    if (sourceModel)
        *sourceModel = model;
    if (auto* tree = qobject_cast<CTreeModel*>(model))
        return tree->itemAt(source);
    if (auto* program = qobject_cast<CProgramTableModel*>(model))
        return program->itemAt(source);
    return nullptr;
}

QWidget* CItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    QAbstractItemModel* model = nullptr;
    const CItem* item = itemAt(index, &model);
    if (!item || item->isReadOnly() || CParameterValues::isCaptionRow(item))
        return nullptr;
    if (const auto* tree = qobject_cast<const CTreeModel*>(model)) {
        // Only the value column is edited, and only in a section the device takes writes for.
        const bool writable = std::any_of(WRITE_FEATURES.begin(), WRITE_FEATURES.end(),
                                          [tree](const QString& name) { return tree->hasFeature(name); });
        if (!writable || index.column() != index.model()->columnCount(index.parent()) - 1)
            return nullptr;
    }

    if (isChoice(item->type())) {
        auto* combo = new QComboBox(parent);
        combo->addItems(choices(item));
        return combo;
    }
    const double minimum = displayNumber(item, item->minimum());
    const double maximum = displayNumber(item, item->maximum());
    // Without a range in the description, the library's own check decides.
    if (isNumber(item->type()) && minimum < maximum) {
        auto* spin = new QDoubleSpinBox(parent);
        spin->setDecimals(std::max(0, int(item->precision())));
        spin->setRange(minimum, maximum);
        spin->setSingleStep(std::pow(10.0, -spin->decimals()));
        spin->setSuffix(item->unit().isEmpty() ? QString() : QLatin1Char(' ') + item->unit());
        spin->setAlignment(Qt::AlignRight);
        return spin;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void CItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const CItem* item = itemAt(index);
    if (!item)
        return;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(combo->findText(item->toValueString()));
    } else if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
        spin->setValue(item->toValueString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble());
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(item->toValueString());
    }
}

QString CItemDelegate::editorText(QWidget* editor)
{
    if (const auto* combo = qobject_cast<QComboBox*>(editor))
        return combo->currentText();
    if (const auto* spin = qobject_cast<QDoubleSpinBox*>(editor))
        return QString::number(spin->value(), 'f', spin->decimals());
    if (const auto* line = qobject_cast<QLineEdit*>(editor))
        return line->text();
    return QString();
}

void CItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    QAbstractItemModel* sourceModel = nullptr;
    CItem* item = itemAt(index, &sourceModel);
    if (!item)
        return;
    const QString text = editorText(editor);
    // A program cell checks and takes its text itself.
    if (qobject_cast<CProgramTableModel*>(sourceModel)) {
        if (model->setData(index, text))
            emit itemEdited(item, sourceModel);
        return;
    }
    QString why;
    const QVariant value = CParameterValues::valueForText(item, text, &why);
    if (!value.isValid()) {
        emit inputRefused(why);
        return;
    }
    item->setValue(value);
    emit itemEdited(item, sourceModel);
}
