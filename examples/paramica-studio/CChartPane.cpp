#include "CChartPane.h"

#include "items/CItem.h"
#include "items/CItemTexts.h"
#include "models/CChartModel.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

using namespace QtCharts;

namespace {
const QString TIME_COLUMN = QString::fromLatin1(CItemTexts::AxisXDataName);
// What the time axis shows before there are samples: a minute from now.
const qint64 EMPTY_RANGE_MS = 60000;

QString itemText(const char* text)
{
    return QCoreApplication::translate("CItem", text);
}

double plotted(const QVariant& value)
{
    return value.userType() == QMetaType::QDateTime ? double(value.toDateTime().toMSecsSinceEpoch())
                                                    : value.toDouble();
}
}

CChartPane::CChartPane(QWidget* parent)
    : QWidget(parent)
{
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    m_axisX = new QDateTimeAxis(chart);
    m_axisX->setFormat(QStringLiteral("hh:mm:ss"));
    m_axisX->setTitleText(itemText(CItemTexts::AxisXDataName));
    chart->addAxis(m_axisX, Qt::AlignBottom);
    for (int axis = 0; axis < 2; ++axis) {
        m_axisY[axis] = new QValueAxis(chart);
        chart->addAxis(m_axisY[axis], axis == 0 ? Qt::AlignLeft : Qt::AlignRight);
        m_axisY[axis]->setVisible(axis == 0);
    }
    for (int marker = 0; marker < 2; ++marker) {
        m_markerLines[marker] = new QLineSeries(chart);
        m_markerLines[marker]->setName(itemText(marker == 0 ? CItemTexts::ItemTextModelMarker1
                                                             : CItemTexts::ItemTextModelMarker2));
        m_markerLines[marker]->setPen(QPen(marker == 0 ? Qt::darkGreen : Qt::darkRed, 1, Qt::DashLine));
        chart->addSeries(m_markerLines[marker]);
        m_markerLines[marker]->attachAxis(m_axisX);
        m_markerLines[marker]->attachAxis(m_axisY[0]);
    }
    m_view = new QChartView(chart, this);
    m_view->setObjectName(QStringLiteral("chartView"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->viewport()->installEventFilter(this);

    m_seriesList = new QListWidget(this);
    m_seriesList->setObjectName(QStringLiteral("seriesList"));
    m_seriesList->setMaximumWidth(220);
    m_seriesList->setMaximumHeight(160); // the marker values below need the room
    connect(m_seriesList, &QListWidget::itemChanged, this, &CChartPane::seriesToggled);
    m_markerLabel = new QLabel(tr("Left click: marker 1, right click: marker 2."), this);
    m_markerLabel->setObjectName(QStringLiteral("markerLabel"));
    m_markerLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(m_seriesList);
    sideLayout->addWidget(m_markerLabel, 1, Qt::AlignTop);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(side);
    fitAxes();
}

void CChartPane::setModel(CChartModel* model)
{
    if (m_model)
        m_model->disconnect(this);
    m_model = model;
    clearSeries();
    if (!m_model)
        return;
    connect(m_model, qOverload<QHash<QString, QVariant>>(&CChartModel::newDataAdded), this, &CChartPane::appendSample);
    // A recorded block arrives as a whole: it announces its range.
    connect(m_model, &CChartModel::offlineAxisXRangeChanged, this, &CChartPane::showRange);
    connect(m_model, &CChartModel::dataReseted, this, &CChartPane::reload);
    connect(m_model, &CChartModel::newMarkerData, this, &CChartPane::showMarker);
    connect(m_model, &QObject::destroyed, this, [this] {
        m_model = nullptr;
        clearSeries();
    });

    const QList<QPair<QString, QString>> names = m_model->dataNames();
    for (const auto& name : names) {
        if (name.first == TIME_COLUMN)
            continue;
        auto* series = new QLineSeries(m_view->chart());
        series->setName(name.second);
        m_view->chart()->addSeries(series);
        series->attachAxis(m_axisX);
        const int axis = qBound(0, m_model->axisY(name.first), 1);
        series->attachAxis(m_axisY[axis]);
        m_axisY[axis]->setVisible(true);
        m_series.insert(name.first, series);
        // The model leaves every series off; this pane shows them all at first.
        if (auto* item = m_model->findChild<CItem*>(name.first))
            item->setChartVisible(true);
        auto* entry = new QListWidgetItem(name.second, m_seriesList);
        entry->setData(Qt::UserRole, name.first);
        entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
        entry->setCheckState(Qt::Checked);
    }
    reload();
}

int CChartPane::pointCount(const QString& column) const
{
    const QLineSeries* series = m_series.value(column);
    return series ? series->count() : 0;
}

QString CChartPane::markerText() const
{
    return m_markerLabel->text();
}

void CChartPane::clearSeries()
{
    m_seriesList->clear();
    for (QLineSeries* series : qAsConst(m_series)) {
        m_view->chart()->removeSeries(series);
        delete series;
    }
    m_series.clear();
    for (int marker = 0; marker < 2; ++marker) {
        m_markerLines[marker]->clear();
        m_markerValues[marker].clear();
    }
    m_axisY[1]->setVisible(false);
}

void CChartPane::appendSample(const QHash<QString, QVariant>& values)
{
    const qint64 time = values.value(TIME_COLUMN).toDateTime().toMSecsSinceEpoch();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (QLineSeries* series = m_series.value(it.key()))
            series->append(double(time), plotted(it.value()));
    }
    fitAxes();
}

void CChartPane::reload()
{
    if (!m_model)
        return;
    const int rows = m_model->rowCount();
    for (auto it = m_series.constBegin(); it != m_series.constEnd(); ++it) {
        QVector<QPointF> points;
        points.reserve(rows);
        for (int row = 0; row < rows; ++row)
            points.append(QPointF(plotted(m_model->valueAtIndex(TIME_COLUMN, row)),
                                  plotted(m_model->valueAtIndex(it.key(), row))));
        it.value()->replace(points);
    }
    fitAxes();
}

void CChartPane::showRange(const QDateTime& min, const QDateTime& max)
{
    reload();
    m_axisX->setRange(min, max);
}

void CChartPane::fitAxes()
{
    const bool withRows = m_model && m_model->rowCount() > 0;
    QDateTime first = withRows ? m_model->axisXMin() : QDateTime::currentDateTime();
    QDateTime last = withRows ? m_model->axisXMax() : first;
    if (first.msecsTo(last) < EMPTY_RANGE_MS)
        last = first.addMSecs(EMPTY_RANGE_MS);
    m_axisX->setRange(first, last);
    for (int axis = 0; axis < 2; ++axis) {
        double low = 0.0;
        double high = 1.0;
        bool any = false;
        for (auto it = m_series.constBegin(); it != m_series.constEnd(); ++it) {
            if (!it.value()->isVisible() || !withRows || qBound(0, m_model->axisY(it.key()), 1) != axis)
                continue;
            low = any ? std::min(low, m_model->axisYMin(it.key())) : m_model->axisYMin(it.key());
            high = any ? std::max(high, m_model->axisYMax(it.key())) : m_model->axisYMax(it.key());
            any = true;
        }
        if (high <= low)
            high = low + 1.0;
        m_axisY[axis]->setRange(low, high);
        m_axisY[axis]->applyNiceNumbers();
    }
}

void CChartPane::seriesToggled(QListWidgetItem* entry)
{
    const QString column = entry->data(Qt::UserRole).toString();
    const bool shown = entry->checkState() == Qt::Checked;
    if (QLineSeries* series = m_series.value(column))
        series->setVisible(shown);
    if (CItem* item = m_model ? m_model->findChild<CItem*>(column) : nullptr)
        item->setChartVisible(shown);
    fitAxes();
}

void CChartPane::setMarker(int number, const QPointF& point)
{
    if (m_model)
        m_model->setMarkerData(point, number);
}

bool CChartPane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF value = m_view->chart()->mapToValue(m_view->chart()->mapFromScene(m_view->mapToScene(mouse->pos())),
                                                          m_markerLines[0]);
        setMarker(mouse->button() == Qt::RightButton ? 2 : 1, value);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CChartPane::showMarker(int number, const QHash<QString, QVariant>& values)
{
    if (number < 1 || number > 2)
        return;
    m_markerValues[number - 1] = values;
    QLineSeries* line = m_markerLines[number - 1];
    line->clear();
    if (values.contains(TIME_COLUMN)) {
        const double time = double(values.value(TIME_COLUMN).toDateTime().toMSecsSinceEpoch());
        line->append(time, m_axisY[0]->min());
        line->append(time, m_axisY[0]->max());
    }

    // One line per marker and the difference once both are set.
    QStringList lines;
    const char* const captions[2] = { CItemTexts::ItemTextModelMarker1, CItemTexts::ItemTextModelMarker2 };
    for (int marker = 0; marker < 2; ++marker) {
        const QHash<QString, QVariant>& set = m_markerValues[marker];
        if (set.isEmpty())
            continue;
        QStringList parts{ set.value(TIME_COLUMN).toDateTime().toString(CItem::timeFormat(false)) };
        for (auto it = m_series.constBegin(); it != m_series.constEnd(); ++it) {
            if (!set.contains(it.key()))
                continue;
            // As the device shows it, with its unit; the plot keeps the bare number.
            const CItem* item = m_model->findChild<CItem*>(it.key());
            const QVariant value = set.value(it.key());
            parts.append(QStringLiteral("%1 = %2").arg(it.value()->name(), item ? item->valueFormatedToString(value, false)
                                                                                 : QString::number(plotted(value))));
        }
        lines.append(QStringLiteral("%1: %2").arg(itemText(captions[marker]), parts.join(QStringLiteral("\n  "))));
    }
    if (!m_markerValues[0].isEmpty() && !m_markerValues[1].isEmpty()) {
        const qint64 seconds = m_markerValues[0].value(TIME_COLUMN).toDateTime().secsTo(
            m_markerValues[1].value(TIME_COLUMN).toDateTime());
        lines.append(QStringLiteral("%1: %2 s").arg(itemText(CItemTexts::ItemTextModelMarkerDiff)).arg(seconds));
    }
    m_markerLabel->setText(lines.isEmpty() ? tr("Left click: marker 1, right click: marker 2.")
                                           : lines.join(QLatin1Char('\n')));
}
