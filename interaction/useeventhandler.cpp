#include "useeventhandler.h"

#include <osgViewer/Viewer>

bool UseEventHandler::handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) {
    auto* viewer = dynamic_cast<osgViewer::Viewer*>(&aa);
    if (!viewer) {
        return false;
    }
    if (ea.getEventType() == osgGA::GUIEventAdapter::RELEASE) {
        const int button = ea.getButton();
        if (button == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON ||
            button == osgGA::GUIEventAdapter::RIGHT_MOUSE_BUTTON ||
            button == osgGA::GUIEventAdapter::MIDDLE_MOUSE_BUTTON) {
            viewer->getCamera()->getViewMatrixAsLookAt(eye, center, up, lookDistance);
        }
        history.record(eye, center, up);
    }
    return false;
}
