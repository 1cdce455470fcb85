#pragma once

// The texts a view drew in its last frame, as the user saw them: read from the drawables its cull handed
// to drawing, with the matrices they were drawn with (each text's own one included), so that resized
// views, heads-up cameras and texts facing the viewer are all measured alike.
#include <osgViewer/Viewer>
#include <string>
#include <vector>

struct DrawnText {
    std::string text;  // UTF-8
    // Its glyphs with the margin of a frame, pixels from the view's lower left corner.
    double left, bottom, right, top;
    double characterPixels;  // height of a character on the screen
    double stretch;          // how much wider than laid out it is drawn (1: unsquashed)
    bool overlay;            // drawn by a camera or projection of its own, not in the scene's perspective

    bool inside(double width, double height) const { return left >= 0 && bottom >= 0 && right <= width && top <= height; }
    bool overlaps(const DrawnText& other) const {
        return left < other.right && other.left < right && bottom < other.top && other.bottom < top;
    }
    std::string where() const;
};

// Every text of the view's last frame; the view's size in `width` and `height`.
std::vector<DrawnText> textsOfLastFrame(osgViewer::Viewer& viewer, double& width, double& height);
