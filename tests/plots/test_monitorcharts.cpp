#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <algorithm>
#include <cstdlib>

#include "modaldriver.h"
#include "monitorcharts.h"
#include "testfiles.h"

namespace {

// Takes the place of the desktop's browser: the files that would have been opened.
class OpenedFiles : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { urls.push_back(url); }

public:
    std::vector<QUrl> urls;
};

// A point the flood reaches a quarter of the way through: the depth rises, the speed passes a peak and
// the flow rises later, so that no two lines lie on each other.
MonitorSeries risingSeries(int point) {
    MonitorSeries series;
    series.point = point;
    series.x = 100.0 * point;
    series.y = 200.0;
    for (int result = 1; result <= 40; ++result) {
        series.result.push_back(result);
        series.time.push_back(20.0f * static_cast<float>(result));
        series.depth.push_back(0.2f * static_cast<float>(std::max(0, result - 10)));
        series.speed.push_back(0.1f * static_cast<float>(std::max(0, 10 - std::abs(result - 20))));
        series.flow.push_back(0.5f * static_cast<float>(std::max(0, result - 25)));
    }
    return series;
}

MonitorSeries drySeries(int point) {
    MonitorSeries series = risingSeries(point);
    std::fill(series.depth.begin(), series.depth.end(), 0.0f);
    std::fill(series.speed.begin(), series.speed.end(), 0.0f);
    std::fill(series.flow.begin(), series.flow.end(), 0.0f);
    return series;
}

// Pixels close to `colour` in the upper half of the plot area, where only rising lines are drawn: the
// axes, their labels, the legend and lines lying on zero are all outside it. The lines are antialiased,
// so their cores are what is counted.
int pixelsNear(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = image.height() / 10; y < image.height() / 2; ++y) {
        for (int x = image.width() / 8; x < image.width() * 4 / 5; ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (std::abs(qRed(pixel) - qRed(colour)) < 24 && std::abs(qGreen(pixel) - qGreen(colour)) < 24 &&
                std::abs(qBlue(pixel) - qBlue(colour)) < 24) {
                ++count;
            }
        }
    }
    return count;
}

}  // namespace

// The three series are drawn, each in its colour, as lines and not only as the legend's marks and the
// axis in that colour: against a point the water never reached, each colour covers far more.
TEST(MonitorChartsTest, PlotShowsEverySeriesInItsColour) {
    const QImage plot = renderMonitorChart(risingSeries(1));
    ASSERT_EQ(plot.size(), QSize(900, 500));
    const QImage dryPlot = renderMonitorChart(drySeries(1));
    for (const QRgb colour : {monitorcolours::depth, monitorcolours::speed, monitorcolours::flow}) {
        // Each line climbs to the top of its axis, crossing the upper half on a slant; even the latest,
        // the flow, leaves a core of more than 80 pixels there.
        EXPECT_EQ(pixelsNear(dryPlot, colour), 0) << std::hex << colour;
        EXPECT_GT(pixelsNear(plot, colour), 80) << std::hex << colour;
    }
}

TEST(MonitorChartsTest, WritesOnePlotPerPointAndNamesAFileItCannotWrite) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::string problem;
    ASSERT_TRUE(writeMonitorPlots({risingSeries(1), risingSeries(7)}, folder.path().toStdString(), problem))
        << problem;
    for (const char* name : {"/monitor_1.png", "/monitor_7.png"}) {
        const QImage plot(folder.path() + name);
        EXPECT_EQ(plot.size(), QSize(900, 500)) << name;
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2) << "no temporary file is left";

    const std::string missing = folder.path().toStdString() + "/no such folder";
    EXPECT_FALSE(writeMonitorPlots({risingSeries(3)}, missing, problem));
    EXPECT_NE(problem.find("monitor_3.png"), std::string::npos) << problem;
}

// The dock follows a record: its charts are built when it opens, kept while the same points grow and
// made afresh for other points; an emptied dock says so, and the dock opens only when the user asks.
TEST(MonitorChartsTest, DockFollowsTheRecordOnScreen) {
    MonitorDock dock;
    dock.showSeries({risingSeries(1), risingSeries(2)});
    EXPECT_FALSE(dock.isVisible()) << "the view keeps its height until the user opens the dock";
    EXPECT_EQ(dock.chartCount(), 0) << "a replay's frames build no charts that nobody sees";
    dock.show();
    ASSERT_EQ(dock.chartCount(), 2);
    const QList<QtCharts::QChartView*> before = dock.findChildren<QtCharts::QChartView*>();
    ASSERT_EQ(before.size(), 2);

    dock.showSeries(seriesUpToResult({risingSeries(1), risingSeries(2)}, 30));
    EXPECT_EQ(dock.findChildren<QtCharts::QChartView*>(), before) << "the same points keep their charts";
    const auto* depthLine = static_cast<QtCharts::QLineSeries*>(before[1]->chart()->series().front());
    EXPECT_EQ(depthLine->count(), 30) << "the chart shows the record up to the result on screen";

    dock.showSeries({risingSeries(1), risingSeries(2), risingSeries(3)});
    EXPECT_EQ(dock.chartCount(), 3);
    EXPECT_EQ(dock.findChildren<QtCharts::QChartView*>().size(), 3) << "the old charts are gone";

    const auto* note = dock.findChild<QLabel*>();
    ASSERT_NE(note, nullptr);
    EXPECT_FALSE(note->isVisible());

    // A run with many points: the dock plots the first few and says so.
    std::vector<MonitorSeries> many;
    for (int point = 1; point <= 14; ++point) {
        many.push_back(risingSeries(point));
    }
    dock.showSeries(many);
    EXPECT_EQ(dock.chartCount(), static_cast<int>(MonitorDock::maxCharts));
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(note->text().contains("12 of 14")) << note->text().toStdString();
    dock.clear();
    EXPECT_EQ(dock.chartCount(), 0);
    EXPECT_TRUE(dock.findChildren<QtCharts::QChartView*>().isEmpty());
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(dock.isVisible());
}

TEST(MonitorChartsTest, ReportButtonOpensTheReportOfTheRunOnScreenWhileItExists) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string results = dir.path().toStdString() + "/run";
    const QString report = QString::fromStdString(results + "_summary/report.html");
    MonitorDock dock;
    dock.show();
    auto* button = dock.findChild<QPushButton*>("openReportButton");
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled()) << "nothing on screen";
    dock.showReportOf(results);
    EXPECT_FALSE(button->isEnabled()) << "the run has written no report yet";

    // A live run writes its report while the dock is open.
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/run_summary"));
    writeTextFile(report.toStdString(), "<html></html>");
    EXPECT_TRUE(waitUntil([button] { return button->isEnabled(); }, 3000));

    OpenedFiles opened;
    QDesktopServices::setUrlHandler("file", &opened, "open");
    QTest::mouseClick(button, Qt::LeftButton);
    // Gone before the click: nothing opens, and the button says so by being disabled.
    QFile::remove(report);
    QTest::mouseClick(button, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(opened.urls.size(), 1u);
    EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(report));
    EXPECT_FALSE(button->isEnabled());
}

#include "test_monitorcharts.moc"
