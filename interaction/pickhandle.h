#pragma once

#include <QString>
#include <osgGA/GUIEventHandler>
#include <osgViewer/View>
#include <vector>

// The last picked terrain point as x, y, z (double, to keep centimetres of projected map coordinates);
// empty until the first successful pick.
extern std::vector<double> pickedPoint;

// Picks the scene point under the cursor on a left-button press and keeps it in `pickedPoint`.
// Never consumes the event.
class PickHandle : public osgGA::GUIEventHandler {
public:
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    osgViewer::View* view = nullptr;
    double wx = 0.0;
    double wy = 0.0;
    double wz = 0.0;

private:
    void pick(float x, float y);
};

// The status-bar text of a picked point, in metres to the centimetre: "( X:483426.70, Y:3434170.20,
// Z:1666.25)".
QString coordinateText(const std::vector<double>& point);
