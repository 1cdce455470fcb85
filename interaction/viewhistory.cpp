#include "viewhistory.h"

#include <iostream>

void ViewHistory::record(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up) {
    views.erase(views.begin() + current, views.end());
    views.push_back({eye, center, up});
    current = static_cast<int>(views.size());
    std::cout << "event:  " << views.size() << ",  " << current << std::endl;
}

void ViewHistory::reportStep(const RecordedView& view) const {
    std::cout << views.size() << ",   " << current << ",   " << view.eye.x() << ",  " << view.eye.y() << ",  "
              << view.eye.z() << std::endl;
}

bool ViewHistory::stepBack(RecordedView& view) {
    if (current < 2) {
        return false;
    }
    --current;
    view = views[static_cast<std::size_t>(current - 1)];
    reportStep(view);
    return true;
}

bool ViewHistory::stepForward(RecordedView& view) {
    if (current >= static_cast<int>(views.size())) {
        return false;
    }
    ++current;
    view = views[static_cast<std::size_t>(current - 1)];
    reportStep(view);
    return true;
}
