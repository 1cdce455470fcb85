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

// Pixels of `frame` inside a rectangle of the 800 x 600 overlay space (origin at the lower left) that
// pass `test`.
inline int overlayPixels(const QImage& frame, double left, double bottom, double right, double top,
                         const std::function<bool(const QColor&)>& test) {
    const double sx = frame.width() / 800.0;
    const double sy = frame.height() / 600.0;
    int count = 0;
    for (int y = std::max(0, static_cast<int>(frame.height() - top * sy));
         y < std::min(frame.height(), static_cast<int>(frame.height() - bottom * sy)); ++y) {
        for (int x = std::max(0, static_cast<int>(left * sx));
             x < std::min(frame.width(), static_cast<int>(right * sx)); ++x) {
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

// The heads-up display and the depth legend of a flood frame in the window at 800 x 600: each of the
// clock's three lines is drawn in the box and none reaches the view's edge, and the legend's numbers
// show, white in a dark outline, above its bar.
inline void expectReadableOverlays(const QImage& frame) {
    const float size = floodHudCharacterSize;
    const float top = 600.0f - 8.0f - size;  // baseline of the first line
    for (int line = 0; line < 3; ++line) {
        SCOPED_TRACE(line);
        const float baseline = top - line * (size + 8.0f);
        EXPECT_GT(overlayPixels(frame, 300, baseline - 4, 800, baseline + size, isInk), 40) << "line missing";
    }
    // The lines end inside the box, a margin short of the view's right edge.
    EXPECT_EQ(overlayPixels(frame, 796, top - 2 * (size + 8.0f) - 4, 800, 600, isInk), 0);
    // The legend's numbers over the bar (1280 x 1024 legend space: bar y 35..87, x 650..1210).
    const double legendX = 800.0 / 1280.0;
    const double legendY = 600.0 / 1024.0;
    const auto isLabelWhite = [](const QColor& pixel) {
        return pixel.red() > 225 && pixel.green() > 225 && pixel.blue() > 225;
    };
    EXPECT_GT(overlayPixels(frame, 630 * legendX, 88 * legendY, 1240 * legendX, 140 * legendY, isLabelWhite),
              20);
    EXPECT_GT(overlayPixels(frame, 630 * legendX, 88 * legendY, 1240 * legendX, 140 * legendY, isInk), 20);
    // "Water Depth", left of the bar.
    const osg::Vec3 caption = floodDepthCaptionAnchor;
    EXPECT_GT(
        overlayPixels(frame, caption.x() - 120, caption.y() - 6, caption.x() + 2, caption.y() + 20, isInk),
        20);
}
