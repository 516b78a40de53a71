#pragma once

#include "paramica_export.h"
#include "xml/CBitDescription.h"
#include "xml/CElement.h"
#include "xml/CElementClass.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class CItem;
class QObject;

// Second base of the item models built from a device description: the list
// and bitfield definitions an item's texts and bits come from, and the
// interface through which the back end sets a model up and feeds it.
class PARAMICA_EXPORT CParamicaModel
{
public:
    static const QColor TABLE_CAPTION_COLOR;

    virtual ~CParamicaModel() = default;

    // True when a line's data type matches no type name (the line gets no row).
    virtual bool setupModel(const QList<CElementClass>& classes) = 0;
    virtual void setupTranslationTexts(const QHash<QString, QHash<QString, QString>>& texts) = 0;
    virtual void setReadOnly(bool state) = 0;
    virtual void newMultipleData(QByteArray data) = 0;
    virtual QList<CItem*> itemsWithFeatures(const QStringList& features) const = 0;
    virtual void itemValueChanged() = 0;

    void setupListEntries(const QList<QHash<QString, QString>>& entries);
    void setupBitfieldEntries(const QList<CElement>& entries);
    // Comma-separated texts of the list item with this object name.
    QString listEntry(const QString& name) const;
    // Bit groups of the bitfield item with this object name, by first bit.
    BitfieldDescription bitfieldEntries(const QString& name) const;

    bool isReadOnly() const { return m_readOnly; }

protected:
    // Types whose special value text stands for values at or below the minimum.
    static bool isRangedType(int type);
    // Object and group rows head the data rows and carry no value.
    static bool isCaptionRow(const CItem* item);

    // Builds the object, group and data items of each class below `root` and
    // hands every row to `append`: data rows first, then their group, then
    // the object. Returns true when a line's data type matches no type name.
    bool buildItems(const QList<CElementClass>& classes, QObject* root, bool stripDataPrefix,
                    const std::function<void(CItem*)>& append);
    // Cuts an answer block, led by its big-endian start address, into the
    // items of the section read from that address, in ascending id order.
    // `data` loses its address bytes; false when no section owns the block.
    // The items whose value changed meanwhile are collected in `changed`
    // (by the model's itemValueChanged), so that the views hear of them once.
    bool distributeBlock(QByteArray& data, QVector<const CItem*>* changed);
    // The sections are indexed by read address on the first answer; a model
    // calls this whenever it takes on items, so that the index is rebuilt.
    void forgetBlockTargets();

    bool m_readOnly = false;
    QList<QHash<QString, QString>> m_listEntries;
    QList<CElement> m_bitfieldEntries;
    // Set while an answer is being distributed; see distributeBlock.
    QVector<const CItem*>* m_answerChanges = nullptr;

private:
    // Read address to the items of the section read from it, by ascending id.
    QHash<uint, QVector<CItem*>> m_blockTargets;
    bool m_blockTargetsIndexed = false;
};
