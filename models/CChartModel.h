#pragma once

#include "models/CSampleColumn.h"
#include "models/CTableModel.h"

#include <QDateTime>
#include <QHash>
#include <QPair>
#include <QPointF>
#include <QVector>

#include <vector>

class QTimer;

// Values compared as doubles (0 when not convertible).
PARAMICA_EXPORT bool valueLessThen(const QVariant& a, const QVariant& b);

// Time series of the live process values of a model section: one row per
// sampling moment, a time column and one column per chartable item, at most
// one day of rows. Can be switched offline to show a recorded block instead.
class PARAMICA_EXPORT CChartModel : public CTableModel
{
    Q_OBJECT

public:
    // The size a reset is asked for by default: a day of one sample a second.
    static const int RESERVED_SAMPLES = 86400;
    static const qint64 HISTORY_SECONDS = 86400;
    static const int SAMPLE_GATHERING_MS = 350;
    static const qint64 MINIMUM_OFFLINE_RANGE_SECONDS = 60;

    CChartModel(const QString& name, QObject* parent = nullptr);

    bool setupModel(const QList<CElementClass>& classes) override;
    void appendItem(CItem* item) override;

    int indexOf(const QString& name) const;
    QStringList objectNames() const;
    QList<QPair<QString, QString>> dataNames() const;
    bool isValid() const;
    QVariant valueAtIndex(const QString& name, int index) const;
    QHash<QString, QString> dataEntry(int index) const;
    QDateTime axisXMin() const;
    QDateTime axisXMax() const;
    int axisY(const QString& name) const;
    double axisYMin(const QString& name) const;
    double axisYMax(const QString& name) const;
    int indexOfValue(const QString& name, const QVariant& value) const;
    QVariant nextTo(const QString& name, const QVariant& value) const;
    void insertRecord(const QHash<QString, QVector<QVariant>>& record, const QString& language);
    bool isOnline() const { return m_online; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void newDataAdded(QHash<QString, QString> texts);
    void newDataAdded(QHash<QString, QVariant> values);
    void dataReseted();
    void offlineAxisXRangeChanged(QDateTime min, QDateTime max);
    void newMarkerData(int number, QHash<QString, QVariant> values);

public slots:
    void setOnline(bool state);
    void resetData(int vectorSize = RESERVED_SAMPLES);
    void setMarkerData(QPointF point, int number, bool removed = false);

protected:
    // The clock samples are stamped with. UTC: stamping and dropping rows
    // need no time-zone look-up; the user sees local time all the same.
    virtual QDateTime currentDateTime() const;

private slots:
    void appendData();
    void insertNewValue(QVariant value);

private:
    // One series: its name, the item it samples (none for the time column)
    // and one value per row.
    struct STRUCT_COLUMN {
        QString name;
        CItem* item = nullptr;
        CSampleColumn values;
    };

    void insertColumn(const QString& name, CItem* item);
    const STRUCT_COLUMN* column(const QString& name) const;
    void dropExpiredRows(const QDateTime& now);
    // A value as it leaves the model: time stamps in the user's local time.
    static QVariant userValue(const STRUCT_COLUMN& column, const QVariant& value);
    // The text of a value as it leaves the model.
    static QString valueText(const STRUCT_COLUMN& column, const QVariant& value);
    int matchingColumn(const QString& key, const QString& language) const;

    QTimer* m_timer = nullptr;
    QHash<QString, QVariant> m_pending;
    std::vector<STRUCT_COLUMN> m_columns;
    bool m_online = true;
};
