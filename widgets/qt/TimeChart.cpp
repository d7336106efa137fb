#include "widgets/qt/TimeChart.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLineSeries>

namespace quillet::widgets {
namespace {

QCategoryAxis* AxisOf(const ChartAxis& axis) {
    auto* drawn = new QCategoryAxis();
    drawn->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    drawn->setRange(axis.low, axis.high);
    drawn->setStartValue(axis.low);
    for (const AxisTick& tick : axis.ticks)
        drawn->append(QString::fromStdString(tick.label), tick.at);
    return drawn;
}

} // namespace

void DrawTimeChart(QChart* chart, const TimeChart& data) {
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis), delete axis;
    chart->setTitle(QString::fromStdString(data.note.empty() ? data.title : data.title + "\n" + data.note));
    chart->legend()->setVisible(data.series.size() > 1);
    if (!data.note.empty())
        return;
    QCategoryAxis* x = AxisOf(data.x);
    QCategoryAxis* y = AxisOf(data.y);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (std::size_t i = 0; i < data.series.size(); ++i) {
        const ChartSeries& s = data.series[i];
        const Rgb colour = SeriesColour(i);
        auto* line = new QLineSeries();
        line->setName(QString::fromStdString(s.name));
        line->setColor(QColor(colour.r, colour.g, colour.b));
        line->setPointsVisible(true);
        for (const ChartPoint& p : s.points)
            line->append(static_cast<double>(p.unixSeconds), p.megabytes);
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(y);
    }
}

QChartView* NewTimeChartView(QWidget* parent) {
    auto* view = new QChartView(new QChart(), parent);
    view->chart()->setMargins(QMargins(4, 4, 4, 4));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(320, 200);
    return view;
}

} // namespace quillet::widgets
