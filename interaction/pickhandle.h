#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <osg/Vec3d>
#include <osgGA/GUIEventHandler>
#include <osgViewer/View>

// Picks the scene point under the cursor on a left-button press, keeps it and hands it to `onPick`.
// Never consumes the event.
class PickHandle : public osgGA::GUIEventHandler {
public:
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    // The last picked point (double, to keep centimetres of projected map coordinates); none until the
    // first successful pick.
    const std::optional<osg::Vec3d>& picked() const { return pickedPoint; }

    // Called with every picked point, in the viewer's frame on the user-interface thread.
    std::function<void(const osg::Vec3d& point)> onPick;

    osgViewer::View* view = nullptr;
    double wx = 0.0;
    double wy = 0.0;
    double wz = 0.0;

private:
    void pick(float x, float y);

    std::optional<osg::Vec3d> pickedPoint;
};

// The status-bar text of a picked point, in metres to the centimetre: "( X:483426.70, Y:3434170.20,
// Z:1666.25)".
QString coordinateText(const osg::Vec3d& point);
