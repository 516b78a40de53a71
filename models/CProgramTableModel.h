#pragma once

#include "items/CDeviceDescription.h"
#include "paramica_export.h"
#include "protocol/CRequest.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QMap>
#include <QStringList>

class CItem;

// One device program (a table of typed cells such as times of day) for an
// editable table view, read and written as one block.
class PARAMICA_EXPORT CProgramTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static const QString DVX_ATTRIBUTE_NAME;
    static const QString DVX_ATTRIBUTE_DEFAULT;
    static const QString DVX_ATTRIBUTE_DATATYPE;
    static const QString DVX_ATTRIBUTE_TEXT;
    static const QString DVX_ATTRIBUTE_LIST;
    static const QString DVX_ATTRIBUTE_MIN;
    static const QString DVX_ATTRIBUTE_MAX;
    static const QString DVX_ATTRIBUTE_DIVIDER;
    static const QString MODEL_FC_RD_ATTRIBUTE;
    static const QString MODEL_FC_WR_ATTRIBUTE;
    static const QString MODEL_ADDRESS_ATTRIBUTE;
    static const QString MODEL_ROW_ATTRIBUTE;
    static const QString MODEL_COLUMN_ATTRIBUTE;

    explicit CProgramTableModel(QObject* parent = nullptr);

    void setup(const QString& name, const QList<CDeviceDescription::FeatureValue>& lines);
    void setupTranslationTexts(const QHash<QString, QHash<QString, QString>>& texts);
    void updateTranslation(const QString& languageId);

    QString name() const { return m_name; }
    CItem* itemAt(const QModelIndex& index) const;
    CRequest readData() const;
    CRequest writeData() const;
    QByteArray buildRequestData() const;
    void decodeData(QByteArray answer);
    static QString columnRefFromString(const QString& name);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Edits a cell from its display text ("06:15" for times of day, a list
    // text, a number with "," or "."); refused input leaves the cell alone.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void inputRefused(QString message);

public slots:
    void itemValueChanged();

private:
    // Cells in the order of the program's bytes on the device.
    QList<CItem*> deviceOrder() const;
    int totalLength() const;
    void addColumn(const QHash<QString, QString>& attributes);

    QString m_name;
    int m_fcRead = -1;
    int m_fcWrite = -1;
    int m_address = -1;
    QStringList m_columnCaptions;
    QStringList m_rowNames;
    QStringList m_columnRefs;
    QMap<QPair<int, int>, CItem*> m_items;
    QHash<QString, QHash<QString, QString>> m_translations;
    // Set while an answer is decoded; see decodeData.
    bool m_decoding = false;
};
