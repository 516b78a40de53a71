#pragma once

#include "models/CParamicaModel.h"
#include "protocol/CRequest.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QVariant>
#include <QVector>

class CItem;

// One section of a device description (device information, parameters, ...)
// as a tree of items, and the unit through which that section is read from and
// written to the device.
class PARAMICA_EXPORT CTreeModel : public QAbstractItemModel, public CParamicaModel
{
    Q_OBJECT

public:
    CTreeModel(const QString& name, QObject* parent = nullptr);

    bool setupModel(const QList<CElementClass>& classes) override;
    void setupTranslationTexts(const QHash<QString, QHash<QString, QString>>& texts) override;
    void setupFeatures(const QList<QPair<QString, QString>>& features);
    void updateRootTranslation(const QString& language);
    void updateModelTranslation(const QString& language);

    QString caption() const;
    bool hasFeature(const QString& name) const;
    QVariant feature(const QString& name) const;
    bool isValid() const { return m_valid; }

    CItem* itemAt(const QModelIndex& index) const;
    QList<CItem*> children() const;
    bool childExpandable(int row) const;
    bool hasExpandableChildren() const;
    bool withInfoNumber() const;
    QList<CItem*> itemsWithFeatures(const QStringList& features) const override;
    int dataLength(const QString& name) const;
    QByteArray singleData(const QString& name) const;
    QByteArray modbusData(const QString& name) const;
    void appendItem(CItem* item);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void validChanged(bool state);
    void dataFinished(QByteArray data);
    void buildReadRequests(QList<CRequest> requests);
    void buildReadRequest(CRequest request);
    void buildWriteRequests(QList<CRequest> requests);
    void buildWriteRequest(CRequest request);
    void buildReadWriteRequests(QList<CRequest> requests);
    void buildReadWriteRequest(CRequest request);

public slots:
    void setReadOnly(bool state) override;
    void setValid(bool state);
    void newMultipleData(QByteArray data) override;
    void checkValidity(bool state);
    void readData();
    void writeData();
    void readWriteData();

private slots:
    void itemValueChanged() override;
    // Hidden items lose their rows, shown ones get them back (in one layout
    // change, persistent indexes included).
    void refreshRows();

private:
    // Where the views see a reachable item: below which item, in which row,
    // with which visible children, and whether it can be selected.
    struct STRUCT_ROW {
        CItem* parent = nullptr;
        int row = 0;
        QVector<CItem*> children;
        bool enabled = true;
        bool operator==(const STRUCT_ROW& other) const
        {
            return parent == other.parent && row == other.row && children == other.children
                && enabled == other.enabled;
        }
    };
    typedef QHash<const CItem*, STRUCT_ROW> RowMap;

    void connectItem(CItem* item);
    void watchVisibility(CItem* item);
    RowMap reachableRows() const;
    void addReachable(CItem* item, CItem* parent, int row, RowMap* rows) const;
    QModelIndex indexOfItem(CItem* item) const;
    QVector<const CItem*> reachableItems() const;
    // One dataChanged per parent, over the range of its changed rows.
    void announceChanges(const QVector<const CItem*>& items);
    CItem* findItem(const QString& name) const;
    QList<CItem*> sortedDescendants(const QString& name) const;
    QString valueText(const CItem* item) const;
    QString rangeText(const CItem* item) const;

    bool m_valid = false;
    bool m_withInfoNumber = false;
    CItem* m_root = nullptr;
    // The rows as the views know them: changed only inside the signals
    // that announce the change, whenever the items themselves changed.
    RowMap m_rows;
};
