#pragma once

#include <osg/NodeCallback>
#include <osg/Transform>
#include <osg/ref_ptr>

// Labels of the scene (place names, monitor values, story labels) laid out anew for every frame of every
// view that draws the scene: each is drawn at its own size when that is at least `smallestLabelPixels`
// high on the screen, else at that size; one that sticks out of the view while its point is in it moves
// in; and of two that would cover each other, the one of lower priority is not drawn.
constexpr float smallestLabelPixels = 12.0f;

// Higher gives way to nothing lower: the values a user watches over the names of places.
enum class LabelPriority { PlaceName = 0, Story = 1, MonitorValues = 2 };

// A label under the layout. Its first child shows it at its own size; its second, if any, shows the same
// at `smallestLabelPixels`, and is drawn instead when the first would be smaller. A view whose scene has no
// LabelLayout draws the first child where it stands.
class ScreenLabel : public osg::Transform {
public:
    explicit ScreenLabel(LabelPriority priority) : priority(priority) {}

    bool computeLocalToWorldMatrix(osg::Matrix& matrix, osg::NodeVisitor* visitor) const override;
    bool computeWorldToLocalMatrix(osg::Matrix& matrix, osg::NodeVisitor* visitor) const override;
    void traverse(osg::NodeVisitor& visitor) override;

    const LabelPriority priority;
};

// `label`, a geode of one text, as a ScreenLabel; a text sized in scene units gets its copy at
// `smallestLabelPixels`.
osg::ref_ptr<ScreenLabel> makeLaidOutLabel(osg::Geode* label, LabelPriority priority);

// The cull callback of a scene's root that lays out the ScreenLabels in its upper levels (some four
// groups deep, where the scene's decorations and a run's nodes hang) for the view being drawn.
class LabelLayout : public osg::NodeCallback {
public:
    void operator()(osg::Node* node, osg::NodeVisitor* visitor) override;
};
