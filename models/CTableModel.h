#pragma once

#include "models/CParamicaModel.h"

#include <QAbstractTableModel>
#include <QVariant>

class CItem;

// One section of a device description as a flat two-column table
// ("Caption", "Value"); caption rows follow the rows they head. It builds no
// requests, it only takes answer blocks and distributes them over its items.
class PARAMICA_EXPORT CTableModel : public QAbstractTableModel, public CParamicaModel
{
    Q_OBJECT

public:
    CTableModel(const QString& name, QObject* parent = nullptr);

    bool setupModel(const QList<CElementClass>& classes) override;
    void setupTranslationTexts(const QHash<QString, QHash<QString, QString>>& texts) override;
    virtual void appendItem(CItem* item);
    QList<CItem*> itemsWithFeatures(const QStringList& features) const override;

    CItem* itemAt(int row) const;
    CItem* itemByCaption(const QString& caption) const;
    void itemValueAtIndexChanged(const QModelIndex& index);
    void updateModelTranslation(const QString& language);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    void itemChartVisibleChanged(bool state);
    void dataFinished(QByteArray data);

public slots:
    void setReadOnly(bool state) override;
    void newMultipleData(QByteArray data) override;

protected slots:
    void itemVisibilityChanged();

private slots:
    void itemValueChanged() override;

protected:
    QList<CItem*> m_items;

private:
    QHash<const CItem*, int> m_rowOfItem;
};
