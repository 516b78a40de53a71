#pragma once

#include <QHash>
#include <QPointF>
#include <QVariant>
#include <QWidget>

#include <QtCharts/QChartGlobal>

class CChartModel;
class QLabel;
class QListWidget;
class QListWidgetItem;

QT_CHARTS_BEGIN_NAMESPACE
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

// The process values of a chart model as lines over the time of day, live
// or a recorded block the model shows offline. A left click sets marker 1,
// a right click marker 2; the model tells the values at each marker.
class CChartPane : public QWidget
{
    Q_OBJECT

public:
    explicit CChartPane(QWidget* parent = nullptr);

    void setModel(CChartModel* model);
    CChartModel* model() const { return m_model; }
    QtCharts::QChartView* chartView() const { return m_view; }
    // Points shown of the series of this column (object name).
    int pointCount(const QString& column) const;
    QString markerText() const;

public slots:
    // number 1 or 2; x in milliseconds since the epoch.
    void setMarker(int number, const QPointF& point);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void appendSample(const QHash<QString, QVariant>& values);
    void reload();
    void showRange(const QDateTime& min, const QDateTime& max);
    void showMarker(int number, const QHash<QString, QVariant>& values);
    void seriesToggled(QListWidgetItem* entry);

private:
    void clearSeries();
    void fitAxes();

    CChartModel* m_model = nullptr;
    QtCharts::QChartView* m_view = nullptr;
    QtCharts::QDateTimeAxis* m_axisX = nullptr;
    QtCharts::QValueAxis* m_axisY[2] = { nullptr, nullptr };
    QtCharts::QLineSeries* m_markerLines[2] = { nullptr, nullptr };
    QHash<QString, QtCharts::QLineSeries*> m_series;
    QListWidget* m_seriesList = nullptr;
    QLabel* m_markerLabel = nullptr;
    QHash<QString, QVariant> m_markerValues[2];
};
