#pragma once

#include <QByteArray>
#include <cstddef>
#include <list>
#include <string>

// One monitor point: a map position and the flood values last read there. The field order is that of
// the per-step ".json" file ("x", "y", "z", "vec", "flu", "dep", "time").
struct PointM {
    double x = 0;  // map coordinates of the flood grid
    double y = 0;
    double z = 0;        // elevation from the vector file
    float velocity = 0;  // m/s
    float flow = 0;      // |east face flux| + |south face flux| of the matched cell
    float depth = 0;     // m
    float arrival = 0;   // s of simulated time at the first match; 0 while not yet reached
};

// The monitor points of a flood: loaded from a vector file for a computed run, matched against the cells
// of every live tick and stored per step as JSON, read back from those files by the replay.
class MonitorPoints {
public:
    // Most points a list may hold: every replay frame draws a sphere and a label for each, and a file of
    // 100 000 points would hold the window for a minute and take gigabytes.
    static constexpr std::size_t maxPoints = 1000;
    // Largest monitor ".json" file a replay frame reads; maxPoints points take about a quarter of it.
    static constexpr std::size_t maxJsonBytes = 1024 * 1024;

    // Replaces the list by the points of the vector file: every point feature, and every vertex of every
    // line string. A file that is not a regular file (checkDataFile), does not open as a vector dataset,
    // holds more than maxPoints points or a point without finite coordinates keeps the list and returns
    // false with a line on standard output saying why.
    bool load(const std::string& path);
    // The same, with the reason, naming the file, in `problem` instead of the line.
    bool load(const std::string& path, std::string& problem);

    // Gives every point within `tolerance` (strictly, in x and in y) of (x, y) these values; the arrival
    // time is set by the first match at a time other than 0. True when any point matched.
    bool match(double x, double y, double tolerance, float velocity, float flow, float depth, float time);

    // The list as the "Monitors" JSON document (indented UTF-8).
    QByteArray toJson() const;
    // Writes toJson to `path` through a temporary file. An empty list writes nothing. False when
    // nothing was written.
    bool writeJson(const std::string& path) const;

    // Replaces the list by the points of a "Monitors" JSON document. A file that cannot be read (missing,
    // not a regular file, larger than maxJsonBytes), does not hold a JSON object, lists more than maxPoints
    // points or a point that no run writes (coordinates beyond any map, values beyond a float) keeps the
    // list and returns false; all but a missing file with a line saying why.
    bool readJson(const std::string& path);
    // The same for the text of such a file; `name` is used in the line it prints.
    bool parseJson(const QByteArray& text, const std::string& name);

    bool empty() const { return points.empty(); }
    void clear() { points.clear(); }
    const std::list<PointM>& list() const { return points; }

private:
    std::list<PointM> points;
};
