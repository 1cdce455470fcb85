#pragma once

#include <osg/Vec3d>
#include <vector>

// The viewpoints visited with the mouse, shared by the mouse handler (which records them) and the
// "previous view" / "next view" actions (which step through them). The three vectors always have the
// same length; viewIndex is the 1-based position of the current view, 0 while the history is empty.
extern std::vector<osg::Vec3d> viewEyes;
extern std::vector<osg::Vec3d> viewCenters;
extern std::vector<osg::Vec3d> viewUps;
extern int viewIndex;

struct RecordedView {
    osg::Vec3d eye;
    osg::Vec3d center;
    osg::Vec3d up;
};

// Drops every view after the current one, appends this one and makes it current.
void recordView(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up);

// Step one view back or forward. False (and nothing changes) when there is no view in that direction;
// otherwise `view` receives the view that is now current.
bool stepViewBack(RecordedView& view);
bool stepViewForward(RecordedView& view);
