#pragma once

#include <osgGA/GUIEventHandler>

#include "viewhistory.h"

// Records the viewpoint in its view history every time a mouse button is released over the view.
// Never consumes the event, so the camera manipulator still sees it.
class UseEventHandler : public osgGA::GUIEventHandler {
public:
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    // Recorded centres lie this far along the line of sight; the fixed viewpoints of the case studies
    // were taken the same way.
    static constexpr float lookDistance = 2.93713e30f;

    osg::Vec3d eye;
    osg::Vec3d center;
    osg::Vec3d up;

    // The views recorded so far, which "previous view" and "next view" step through.
    ViewHistory history;
};
