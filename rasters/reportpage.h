#pragma once

#include <string>
#include <utility>
#include <vector>

#include "reliefmap.h"

// A run's report: one self-contained HTML page, its pictures embedded, that opens in any browser
// without the files beside it.
class ReportPage {
public:
    explicit ReportPage(const std::string& title);

    // A row of the legend under a map.
    struct LegendEntry {
        std::string label;
        MapColour colour;
    };
    // One line of a chart.
    struct Series {
        std::string name;
        std::string colour;  // CSS colour
        std::vector<std::pair<double, double>> points;
    };

    void heading(const std::string& text);
    void paragraph(const std::string& text);
    // A table; every cell is text.
    void table(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);
    // The picture at its own size, with a scale bar and the legend beneath.
    void map(const std::string& caption, const MapPicture& picture, const std::vector<LegendEntry>& legend);
    // A line chart of the series against a shared horizontal axis.
    void chart(const std::string& caption, const std::string& xLabel, const std::string& yLabel,
               const std::vector<Series>& series);

    // The page as UTF-8 HTML.
    std::string html() const;

private:
    std::string title;
    std::string body;
};

// `text` with the characters HTML gives a meaning to written as entities.
std::string escapeHtml(const std::string& text);
