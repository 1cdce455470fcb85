#pragma once

#include <QDockWidget>
#include <QImage>
#include <string>
#include <vector>

#include "monitorseries.h"

namespace QtCharts {
class QChart;
class QChartView;
}  // namespace QtCharts
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTimer;

// Colours of the three series, the same in the window's dock and in the plots of the summary folder.
namespace monitorcolours {
constexpr QRgb depth = 0xff1f5fbf;  // blue
constexpr QRgb speed = 0xffd9480f;  // orange
constexpr QRgb flow = 0xff2b8a3e;   // green
}  // namespace monitorcolours

// A chart of one monitor point: depth (left axis), speed and flow (right axes) against simulated time.
// A compact chart, for the dock, has small text and no axis titles.
QtCharts::QChart* makeMonitorChart(const MonitorSeries& series, bool compact = false);

// The chart of `series` drawn into an image of `size` pixels.
QImage renderMonitorChart(const MonitorSeries& series, QSize size = QSize(900, 500));

// Writes "monitor_N.png" for every point N into `folder` (which must exist), each through a temporary
// name. False, with the file and the reason in `problem`, when one cannot be written. Needs a
// QApplication, as every chart does.
bool writeMonitorPlots(const std::vector<MonitorSeries>& series, const std::string& folder,
                       std::string& problem);

// The window's dock of monitor plots: one chart per point, updated as a run or replay goes on. It sits
// beneath the view and takes height from it (the overlays of the view are laid out for 4:3), so it opens
// only when the user asks for it.
class MonitorDock : public QDockWidget {
    Q_OBJECT
public:
    explicit MonitorDock(QWidget* parent = nullptr);

    // Most charts the dock shows; a run may have a thousand points, and a chart takes a third of the dock.
    static constexpr std::size_t maxCharts = 12;

    // Shows these series (the first maxCharts), now or when the dock opens: the chart views are kept
    // while the points stay the same, and made afresh when they change. A note says when there is
    // nothing to plot or more than it shows.
    void showSeries(const std::vector<MonitorSeries>& series);
    void clear() { showSeries({}); }

    int chartCount() const { return static_cast<int>(views.size()); }

    // The run or replay on screen keeps its results in `resultFolder`: its report ("report.html" in the
    // summary folder beside it) is what the dock's button opens. The button is enabled while the report
    // exists; a live run writes it only now and then, so the dock looks again every second while open.
    void showReportOf(const std::string& resultFolder);
    QString reportPath() const { return report; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Makes the charts of `latest` (built only while the dock is open).
    void buildCharts();
    void refreshReportButton();
    void openReport();

    std::vector<MonitorSeries> latest;
    QHBoxLayout* chartLayout;
    QLabel* note;
    QPushButton* reportButton;
    QTimer* reportCheck;
    QString report;
    std::vector<QtCharts::QChartView*> views;
    std::vector<int> shownPoints;
};
