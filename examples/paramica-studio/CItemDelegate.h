#pragma once

#include <QStyledItemDelegate>

class CItem;
class QAbstractItemModel;

// Edits a device value in place with the editor its item calls for: a
// combo box for lists and switches, a spin box within the item's range for
// numbers, a line for everything else. The library checks what was entered
// (the same rules as for parameter files); a refused input is reported and
// leaves the value alone. Works on the library's tree and program models,
// also behind a proxy.
class CItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CItemDelegate(QObject* parent = nullptr);

    // The item behind a view's index (through a proxy), or null.
    static CItem* itemAt(const QModelIndex& index, QAbstractItemModel** sourceModel = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

signals:
    // The item took a new value; its model's block is to be written.
    void itemEdited(CItem* item, QAbstractItemModel* sourceModel) const;
    void inputRefused(QString reason) const;

private:
    static QString editorText(QWidget* editor);
};
