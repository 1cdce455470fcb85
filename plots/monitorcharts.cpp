#include "monitorcharts.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

#include "fileio.h"
#include "summaryfiles.h"

using namespace QtCharts;

namespace {

struct Quantity {
    const char* name;
    QRgb colour;
    Qt::Alignment side;
    const std::vector<float> MonitorSeries::*values;
};

const Quantity kQuantities[3] = {
    {"Depth (m)", monitorcolours::depth, Qt::AlignLeft, &MonitorSeries::depth},
    {"Speed (m/s)", monitorcolours::speed, Qt::AlignRight, &MonitorSeries::speed},
    {"Flow (m\u00b2/s)", monitorcolours::flow, Qt::AlignRight, &MonitorSeries::flow},
};

QString chartTitle(const MonitorSeries& series) {
    return QStringLiteral("Monitor point %1 (%2, %3)")
        .arg(series.point)
        .arg(series.x, 0, 'f', 1)
        .arg(series.y, 0, 'f', 1);
}

// An axis from 0 to a little above the largest value, never empty.
double axisTop(const std::vector<float>& values, double least) {
    const float largest = values.empty() ? 0.0f : *std::max_element(values.begin(), values.end());
    return std::max(least, 1.1 * static_cast<double>(largest));
}

// Gives a chart made by makeMonitorChart the values of `series` and axes that fit them.
void fillMonitorChart(QChart& chart, const MonitorSeries& series, bool compact) {
    chart.setTitle(chartTitle(series));
    const QList<QAbstractSeries*> lines = chart.series();
    double lastMinute = 0.0;
    for (std::size_t i = 0; i < std::size(kQuantities) && static_cast<int>(i) < lines.size(); ++i) {
        auto* line = static_cast<QLineSeries*>(lines[static_cast<int>(i)]);
        const std::vector<float>& values = series.*kQuantities[i].values;
        QVector<QPointF> points;
        points.reserve(static_cast<int>(values.size()));
        for (std::size_t k = 0; k < values.size() && k < series.time.size(); ++k) {
            points.append(QPointF(series.time[k] / 60.0, values[k]));
            lastMinute = std::max(lastMinute, series.time[k] / 60.0);
        }
        line->replace(points);
        const QList<QAbstractAxis*> axes = line->attachedAxes();
        for (QAbstractAxis* axis : axes) {
            if (axis->orientation() == Qt::Vertical) {
                auto* valueAxis = static_cast<QValueAxis*>(axis);
                valueAxis->setRange(0.0, axisTop(values, 0.1));
                valueAxis->applyNiceNumbers();
                if (compact && valueAxis->tickCount() > 3) {
                    // Labels closer than a line apart are cut to "..." by Qt's charts.
                    valueAxis->setTickCount(3);
                }
            }
        }
    }
    for (QAbstractAxis* axis : chart.axes(Qt::Horizontal)) {
        axis->setRange(0.0, std::max(1.0, lastMinute));
    }
}

}  // namespace

QChart* makeMonitorChart(const MonitorSeries& series, bool compact) {
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    // Small charts side by side keep their lines: the legend names the colours, and the axes give only
    // their numbers.
    QFont small = chart->legend()->font();
    small.setPointSizeF(compact ? 7.5 : small.pointSizeF());
    chart->legend()->setFont(small);
    chart->setTitleFont(small);
    auto* timeAxis = new QValueAxis;
    timeAxis->setTitleText(QStringLiteral("Time (min)"));
    timeAxis->setTitleVisible(!compact);
    timeAxis->setLabelsFont(small);
    timeAxis->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(timeAxis, Qt::AlignBottom);
    for (const Quantity& quantity : kQuantities) {
        auto* line = new QLineSeries;
        line->setName(QString::fromUtf8(quantity.name));
        QPen pen(QColor::fromRgba(quantity.colour));
        pen.setWidthF(2.0);
        line->setPen(pen);
        chart->addSeries(line);
        auto* valueAxis = new QValueAxis;
        valueAxis->setTitleText(QString::fromUtf8(quantity.name));
        valueAxis->setLinePenColor(QColor::fromRgba(quantity.colour));
        valueAxis->setLabelsColor(QColor::fromRgba(quantity.colour));
        valueAxis->setTitleBrush(QColor::fromRgba(quantity.colour));
        valueAxis->setTitleVisible(!compact);
        valueAxis->setLabelsFont(small);
        // Short numbers ("2.5", "10"), which a narrow chart does not cut.
        valueAxis->setLabelFormat(QStringLiteral("%.3g"));
        valueAxis->setGridLineVisible(quantity.side == Qt::AlignLeft);
        chart->addAxis(valueAxis, quantity.side);
        line->attachAxis(timeAxis);
        line->attachAxis(valueAxis);
    }
    fillMonitorChart(*chart, series, compact);
    return chart;
}

QImage renderMonitorChart(const MonitorSeries& series, QSize size) {
    QGraphicsScene scene;
    QChart* chart = makeMonitorChart(series);  // the scene owns it
    scene.addItem(chart);
    chart->setGeometry(QRectF(QPointF(0, 0), size));
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
    return image;
}

bool writeMonitorPlots(const std::vector<MonitorSeries>& series, const std::string& folder,
                       std::string& problem) {
    for (const MonitorSeries& record : series) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        const std::string path = folder + "/monitor_" + std::to_string(record.point) + ".png";
        if (!renderMonitorChart(record).save(&buffer, "PNG")) {
            problem = "cannot draw \"" + path + "\"";
            return false;
        }
        if (!writeFileAtomically(
                path, std::string_view(png.constData(), static_cast<std::size_t>(png.size())), problem,
                LinkAtPath::replace)) {
            return false;
        }
    }
    return true;
}

MonitorDock::MonitorDock(QWidget* parent) : QDockWidget(tr("Monitor Points"), parent) {
    setObjectName(QStringLiteral("monitorDock"));
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto* charts = new QWidget(scroll);
    chartLayout = new QHBoxLayout(charts);
    chartLayout->setContentsMargins(2, 2, 2, 2);
    note = new QLabel(tr("The run or replay on screen has no monitor points."), charts);
    note->setAlignment(Qt::AlignCenter);
    chartLayout->addWidget(note);
    scroll->setWidget(charts);
    auto* content = new QWidget(this);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(2);
    reportButton = new QPushButton(tr("Open report"), content);
    reportButton->setObjectName(QStringLiteral("openReportButton"));
    reportButton->setEnabled(false);
    connect(reportButton, &QPushButton::clicked, this, &MonitorDock::openReport);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(reportButton);
    buttonRow->addStretch();
    contentLayout->addLayout(buttonRow);
    contentLayout->addWidget(scroll);
    setWidget(content);
    reportCheck = new QTimer(this);
    reportCheck->setInterval(1000);
    connect(reportCheck, &QTimer::timeout, this, &MonitorDock::refreshReportButton);
    // Beneath the view, the charts side by side: they need width more than height.
    scroll->setMinimumHeight(180);
    hide();
}

void MonitorDock::showSeries(const std::vector<MonitorSeries>& series) {
    latest = series;
    // A replay updates the record at every frame; charts nobody sees are not worth building.
    if (isVisible()) {
        buildCharts();
    }
}

void MonitorDock::showEvent(QShowEvent* event) {
    QDockWidget::showEvent(event);
    buildCharts();
    refreshReportButton();
    reportCheck->start();
}

void MonitorDock::hideEvent(QHideEvent* event) {
    QDockWidget::hideEvent(event);
    reportCheck->stop();
}

void MonitorDock::showReportOf(const std::string& resultFolder) {
    report = QFile::decodeName((summaryFolderOf(resultFolder) + "/report.html").c_str());
    refreshReportButton();
}

void MonitorDock::refreshReportButton() {
    const bool present = !report.isEmpty() && QFileInfo(report).isFile();
    reportButton->setEnabled(present);
    reportButton->setToolTip(present ? report : tr("The run or replay on screen has no report yet."));
}

void MonitorDock::openReport() {
    refreshReportButton();
    if (!reportButton->isEnabled()) {
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(report))) {
        QMessageBox::information(nullptr, tr("Warning"), tr("No program could open %1.").arg(report),
                                 QMessageBox::Ok);
    }
}

void MonitorDock::buildCharts() {
    const std::vector<MonitorSeries>& series = latest;
    const std::size_t shown = std::min(series.size(), maxCharts);
    std::vector<int> points;
    points.reserve(shown);
    for (std::size_t i = 0; i < shown; ++i) {
        points.push_back(series[i].point);
    }
    if (points != shownPoints) {
        for (QChartView* view : views) {
            chartLayout->removeWidget(view);
            delete view;
        }
        views.clear();
        for (std::size_t i = 0; i < shown; ++i) {
            auto* view = new QChartView(makeMonitorChart(series[i], true));
            view->setRenderHint(QPainter::Antialiasing);
            view->setMinimumSize(300, 170);
            // The chart's own height hint would take the view's height whenever a chart is replaced.
            view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
            chartLayout->insertWidget(static_cast<int>(i), view);
            views.push_back(view);
        }
        shownPoints = points;
    } else {
        for (std::size_t i = 0; i < views.size(); ++i) {
            // A fresh chart rather than new values in the old one: axis labels that grew after a chart's
            // first layout are cut to "..." by Qt's charts.
            QChart* previous = views[i]->chart();
            views[i]->setChart(makeMonitorChart(series[i], true));
            delete previous;
        }
    }
    if (series.empty()) {
        note->setText(tr("The run or replay on screen has no monitor points."));
    } else if (shown < series.size()) {
        note->setText(tr("The first %1 of %2 monitor points.\nThe summary folder holds a plot of each.")
                          .arg(shown)
                          .arg(series.size()));
    }
    note->setVisible(shown < series.size() || series.empty());
}
