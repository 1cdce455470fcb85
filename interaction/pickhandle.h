#pragma once

#include <QString>
#include <osgGA/GUIEventHandler>
#include <osgViewer/View>
#include <vector>

// The last picked terrain point as x, y, z; empty until the first successful pick.
extern std::vector<float> pickedPoint;

// Picks the scene point under the cursor on a left-button press and keeps it in `pickedPoint`.
// Never consumes the event.
class PickHandle : public osgGA::GUIEventHandler {
public:
    bool handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) override;

    osgViewer::View* view = nullptr;
    float wx = 0.0f;
    float wy = 0.0f;
    float wz = 0.0f;

private:
    void pick(float x, float y);
};

// The status-bar text of a picked point: "( X:483427, Y:3.43417e+06, Z:1666.25)".
QString coordinateText(const std::vector<float>& point);
