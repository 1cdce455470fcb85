#pragma once

// Pixel checks of a flood frame's overlays in the window, shared by the live-run and case-study tests.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "floodhud.h"
#include "floodoverlays.h"
#include "legendbar.h"

// Pixels of `frame` inside a rectangle in pixels from its lower left corner that pass `test`.
inline int overlayPixels(const QImage& frame, double left, double bottom, double right, double top,
                         const std::function<bool(const QColor&)>& test) {
    int count = 0;
    for (int y = std::max(0, static_cast<int>(frame.height() - top));
         y < std::min(frame.height(), static_cast<int>(frame.height() - bottom)); ++y) {
        for (int x = std::max(0, static_cast<int>(left)); x < std::min(frame.width(), static_cast<int>(right));
             ++x) {
            count += test(frame.pixelColor(x, y));
        }
    }
    return count;
}

// Dark grey to black: text strokes and outlines, smoothed at their edges.
inline bool isInk(const QColor& pixel) {
    return pixel.red() < 110 && pixel.green() < 110 && pixel.blue() < 110 &&
           std::abs(pixel.red() - pixel.blue()) < 25;
}

// The heads-up display and the depth legend of a flood frame in the window: each of the clock's three
// lines is drawn in the box in the upper right corner and none reaches the view's edge, and the legend's
// numbers show, white in a dark outline, above its bar at the foot of the view.
inline void expectReadableOverlays(const QImage& frame) {
    const double width = frame.width();
    const double height = frame.height();
    const float size = floodHudCharacterSize;
    const float top = height - 8.0f - size;  // baseline of the first line
    for (int line = 0; line < 3; ++line) {
        SCOPED_TRACE(line);
        const float baseline = top - line * (size + 8.0f);
        EXPECT_GT(overlayPixels(frame, width - 500, baseline - 4, width, baseline + size, isInk), 40)
            << "line missing";
    }
    // The lines end inside the box, a margin short of the view's right edge.
    EXPECT_EQ(overlayPixels(frame, width - 4, top - 2 * (size + 8.0f) - 4, width, height, isInk), 0);
    // The legend's numbers over the bar.
    const double barLeft = width - legendRightMarginPixels - legendBarLengthPixels;
    const double barRight = width - legendRightMarginPixels;
    const double labelsBottom = legendBottomPixels + 28;
    const double labelsTop = labelsBottom + 2 * legendLabelPixels;
    const auto isLabelWhite = [](const QColor& pixel) {
        return pixel.red() > 225 && pixel.green() > 225 && pixel.blue() > 225;
    };
    EXPECT_GT(overlayPixels(frame, barLeft - 20, labelsBottom, barRight + 20, labelsTop, isLabelWhite), 20);
    EXPECT_GT(overlayPixels(frame, barLeft - 20, labelsBottom, barRight + 20, labelsTop, isInk), 20);
    // "Water Depth", left of the bar.
    const osg::Vec3 caption = legendCaptionAnchor() + osg::Vec3(width, 0, 0);
    EXPECT_GT(
        overlayPixels(frame, caption.x() - 120, caption.y() - 6, caption.x() + 2, caption.y() + 20, isInk),
        20);
}
