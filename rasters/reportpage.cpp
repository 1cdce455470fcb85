#include "reportpage.h"

#include <cpl_conv.h>
#include <cpl_string.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string number(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string cssColour(const MapColour& colour) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    return text;
}

// The longest of 1, 2 or 5 times a power of ten not above `limit`.
double roundLength(double limit) {
    const double power = std::pow(10.0, std::floor(std::log10(limit)));
    for (const double step : {5.0, 2.0, 1.0}) {
        if (step * power <= limit) {
            return step * power;
        }
    }
    return power;
}

std::string lengthText(double metres) {
    return metres >= 1000.0 ? number(metres / 1000.0, metres >= 10000.0 ? 0 : 1) + " km"
                            : number(metres, 0) + " m";
}

const char* const style =
    "body{font-family:sans-serif;max-width:1000px;margin:1em auto;color:#222}"
    "table{border-collapse:collapse;margin:0.5em 0}td,th{border:1px solid #bbb;padding:2px 8px;"
    "text-align:right}td:first-child,th:first-child{text-align:left}figure{margin:1em 0}"
    ".legend span{display:inline-block;margin-right:1em}.legend i{display:inline-block;width:1em;"
    "height:1em;margin-right:0.3em;vertical-align:middle;border:1px solid #888}"
    ".scale{display:inline-block;height:6px;border:2px solid #222;border-top:none;margin-right:0.5em}";

}  // namespace

std::string escapeHtml(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

ReportPage::ReportPage(const std::string& title) : title(title) {}

void ReportPage::heading(const std::string& text) {
    body += "<h2>" + escapeHtml(text) + "</h2>\n";
}

void ReportPage::paragraph(const std::string& text) {
    body += "<p>" + escapeHtml(text) + "</p>\n";
}

void ReportPage::table(const std::vector<std::string>& header,
                       const std::vector<std::vector<std::string>>& rows) {
    body += "<table><tr>";
    for (const std::string& cell : header) {
        body += "<th>" + escapeHtml(cell) + "</th>";
    }
    body += "</tr>\n";
    for (const auto& row : rows) {
        body += "<tr>";
        for (const std::string& cell : row) {
            body += "<td>" + escapeHtml(cell) + "</td>";
        }
        body += "</tr>\n";
    }
    body += "</table>\n";
}

void ReportPage::map(const std::string& caption, const MapPicture& picture,
                     const std::vector<LegendEntry>& legend) {
    char* encoded =
        CPLBase64Encode(static_cast<int>(picture.png.size()), reinterpret_cast<const GByte*>(picture.png.data()));
    body += "<figure><figcaption>" + escapeHtml(caption) + "</figcaption>\n<img alt=\"" + escapeHtml(caption) +
            "\" width=\"" + std::to_string(picture.width) + "\" height=\"" + std::to_string(picture.height) +
            "\" src=\"data:image/png;base64," + encoded + "\">\n";
    CPLFree(encoded);
    if (picture.metresPerPixel > 0.0) {
        const double metres = roundLength(0.25 * picture.width * picture.metresPerPixel);
        body += "<div><span class=\"scale\" style=\"width:" + number(metres / picture.metresPerPixel, 0) +
                "px\"></span>" + lengthText(metres) + "</div>\n";
    }
    body += "<div class=\"legend\">";
    for (const LegendEntry& entry : legend) {
        body += "<span><i style=\"background:" + cssColour(entry.colour) + "\"></i>" + escapeHtml(entry.label) +
                "</span>";
    }
    body += "</div></figure>\n";
}

void ReportPage::chart(const std::string& caption, const std::string& xLabel, const std::string& yLabel,
                       const std::vector<Series>& series) {
    double xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;
    bool any = false;
    for (const Series& line : series) {
        for (const auto& [x, y] : line.points) {
            xLow = any ? std::min(xLow, x) : x;
            xHigh = any ? std::max(xHigh, x) : x;
            yLow = std::min(yLow, y);
            yHigh = std::max(yHigh, y);
            any = true;
        }
    }
    if (xHigh <= xLow) {
        xHigh = xLow + 1.0;
    }
    if (yHigh <= yLow) {
        yHigh = yLow + 1.0;
    }
    constexpr double width = 640, height = 260, left = 70, right = 10, top = 10, bottom = 40;
    const auto px = [&](double x) { return left + (x - xLow) / (xHigh - xLow) * (width - left - right); };
    const auto py = [&](double y) { return height - bottom - (y - yLow) / (yHigh - yLow) * (height - top - bottom); };
    std::string svg = "<figure><figcaption>" + escapeHtml(caption) + "</figcaption>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      number(width, 0) + "\" height=\"" + number(height, 0) + "\" font-size=\"11\">";
    svg += "<rect x=\"" + number(left, 0) + "\" y=\"" + number(top, 0) + "\" width=\"" +
           number(width - left - right, 0) + "\" height=\"" + number(height - top - bottom, 0) +
           "\" fill=\"none\" stroke=\"#888\"/>";
    // Enough decimals that the five ticks of an axis differ.
    const auto decimals = [](double range) {
        return std::clamp(static_cast<int>(1 - std::floor(std::log10(range / 4))), 0, 6);
    };
    for (int tick = 0; tick <= 4; ++tick) {
        const double x = xLow + (xHigh - xLow) * tick / 4;
        const double y = yLow + (yHigh - yLow) * tick / 4;
        svg += "<text x=\"" + number(px(x), 1) + "\" y=\"" + number(height - bottom + 14, 0) +
               "\" text-anchor=\"middle\">" + number(x, decimals(xHigh - xLow)) + "</text>";
        svg += "<text x=\"" + number(left - 4, 0) + "\" y=\"" + number(py(y) + 4, 1) +
               "\" text-anchor=\"end\">" + number(y, decimals(yHigh - yLow)) + "</text>";
    }
    svg += "<text x=\"" + number(left + (width - left - right) / 2, 0) + "\" y=\"" + number(height - 6, 0) +
           "\" text-anchor=\"middle\">" + escapeHtml(xLabel) + "</text>";
    svg += "<text transform=\"translate(12," + number((height - bottom) / 2, 0) +
           ") rotate(-90)\" text-anchor=\"middle\">" + escapeHtml(yLabel) + "</text>";
    for (const Series& line : series) {
        svg += "<polyline fill=\"none\" stroke-width=\"1.5\" stroke=\"" + escapeHtml(line.colour) + "\" points=\"";
        for (const auto& [x, y] : line.points) {
            svg += number(px(x), 1) + "," + number(py(y), 1) + " ";
        }
        svg += "\"/>";
    }
    svg += "</svg>\n<div class=\"legend\">";
    for (const Series& line : series) {
        svg += "<span><i style=\"background:" + escapeHtml(line.colour) + "\"></i>" + escapeHtml(line.name) +
               "</span>";
    }
    body += svg + "</div></figure>\n";
}

std::string ReportPage::html() const {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + escapeHtml(title) +
           "</title><style>" + style + "</style></head>\n<body><h1>" + escapeHtml(title) + "</h1>\n" + body +
           "</body></html>\n";
}
