#include "viewhistory.h"

#include <iostream>

std::vector<osg::Vec3d> viewEyes;
std::vector<osg::Vec3d> viewCenters;
std::vector<osg::Vec3d> viewUps;
int viewIndex = 0;

void recordView(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up) {
    viewEyes.erase(viewEyes.begin() + viewIndex, viewEyes.end());
    viewCenters.erase(viewCenters.begin() + viewIndex, viewCenters.end());
    viewUps.erase(viewUps.begin() + viewIndex, viewUps.end());
    viewEyes.push_back(eye);
    viewCenters.push_back(center);
    viewUps.push_back(up);
    viewIndex = static_cast<int>(viewEyes.size());
    std::cout << "event:  " << viewEyes.size() << ",  " << viewIndex << std::endl;
}

static RecordedView currentView() {
    const std::size_t at = static_cast<std::size_t>(viewIndex - 1);
    return {viewEyes[at], viewCenters[at], viewUps[at]};
}

static void reportStep(const RecordedView& view) {
    std::cout << viewEyes.size() << ",   " << viewIndex << ",   " << view.eye.x() << ",  " << view.eye.y()
              << ",  " << view.eye.z() << std::endl;
}

bool stepViewBack(RecordedView& view) {
    if (viewIndex < 2) {
        return false;
    }
    --viewIndex;
    view = currentView();
    reportStep(view);
    return true;
}

bool stepViewForward(RecordedView& view) {
    if (viewIndex >= static_cast<int>(viewEyes.size())) {
        return false;
    }
    ++viewIndex;
    view = currentView();
    reportStep(view);
    return true;
}
