#pragma once

#include <list>
#include <osg/Node>
#include <osg/ref_ptr>
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
    // Replaces the list by the points of the vector file: every point feature, and every vertex of every
    // line string. A file that does not open as a vector dataset keeps the list and returns false.
    bool load(const std::string& path);

    // Gives every point within `tolerance` (strictly, in x and in y) of (x, y) these values; the arrival
    // time is set by the first match at a time other than 0. True when any point matched.
    bool match(double x, double y, double tolerance, float velocity, float flow, float depth, float time);

    // Writes the list as the "Monitors" JSON document, replacing the file. An empty list writes nothing.
    // False when nothing was written.
    bool writeJson(const std::string& path) const;

    // Replaces the list by the points of a "Monitors" JSON document. A file that does not open, or does not
    // hold a JSON object, keeps the list and returns false.
    bool readJson(const std::string& path);

    // A blue sphere per point, with a label of its values where velocity, flow and depth are all non-zero.
    osg::ref_ptr<osg::Node> makeNode() const;

    bool empty() const { return points.empty(); }
    void clear() { points.clear(); }
    const std::list<PointM>& list() const { return points; }

private:
    std::list<PointM> points;
};
