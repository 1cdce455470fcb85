#pragma once

#include <osg/Node>
#include <osg/ref_ptr>

#include "monitorpoints.h"

// The monitor points in the scene: a blue sphere per point, with a label of its values where velocity,
// flow and depth are all non-zero, under the label layout ahead of place names.
osg::ref_ptr<osg::Node> makeMonitorNode(const MonitorPoints& monitors);
