#pragma once

#include <cstddef>
#include <osg/Vec3d>
#include <vector>

struct RecordedView {
    osg::Vec3d eye;
    osg::Vec3d center;
    osg::Vec3d up;
};

// The viewpoints visited with the mouse: the mouse handler records them, and the "previous view" and
// "next view" actions step through them. `currentPosition` is the 1-based position of the current view,
// 0 while the history is empty.
class ViewHistory {
public:
    // Drops every view after the current one, appends this one and makes it current.
    void record(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up);

    // Step one view back or forward. False (and nothing changes) when there is no view in that direction;
    // otherwise `view` receives the view that is now current.
    bool stepBack(RecordedView& view);
    bool stepForward(RecordedView& view);

    std::size_t size() const { return views.size(); }
    int currentPosition() const { return current; }
    const RecordedView& at(std::size_t index) const { return views.at(index); }

private:
    void reportStep(const RecordedView& view) const;

    std::vector<RecordedView> views;
    int current = 0;
};
