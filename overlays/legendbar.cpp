#include "legendbar.h"

#include <osg/MatrixTransform>
#include <osgSim/ColorRange>
#include <osgSim/ScalarBar>
#include <osgText/Text>
#include <utility>
#include <vector>

#include "screenoverlay.h"

namespace {

// The bar in its own units: from x 0.5, 0.8 long, at y 0.5; its height is the aspect ratio times its length.
constexpr float barStart = 0.5f;
constexpr float barLength = 0.8f;
constexpr float barAspectRatio = 0.08f;

}  // namespace

osg::Vec3 legendCaptionAnchor() {
    return osg::Vec3(-(legendRightMarginPixels + legendBarLengthPixels + 6.0f), legendBottomPixels + 8.0f, 0.0f);
}

osg::ref_ptr<osg::Projection> LegendBarBuilder::buildLegendBar(const osg::Vec4& lowColour,
                                                               const osg::Vec4& highColour, int lower,
                                                               int upper) const {
    std::vector<osg::Vec4> colours{lowColour, highColour};
    if (upper < lower) {
        std::swap(lower, upper);
    }
    float rangeMin = static_cast<float>(lower);
    float rangeMax = static_cast<float>(upper);
    if (lower == upper) {
        // osgSim::ColorRange divides by (max - min); with no width every depth lies at or beyond the
        // bound, which the water surface shows in the deep colour.
        colours = {highColour, highColour};
        rangeMax = rangeMin + 1.0f;
    }

    osg::ref_ptr<osgSim::ColorRange> colourRange = new osgSim::ColorRange(rangeMin, rangeMax, colours);
    osg::ref_ptr<osgSim::ScalarBar> bar =
        new osgSim::ScalarBar(30, 6, colourRange.get(), "", osgSim::ScalarBar::HORIZONTAL, barAspectRatio,
                              new osgSim::ScalarBar::ScalarPrinter);
    bar->setPosition(osg::Vec3(barStart, barStart, 0.0f));
    bar->setWidth(barLength);
    // Pixels per bar unit: the same across and up, so that the labels keep their shape.
    const float scale = legendBarLengthPixels / barLength;

    osgSim::ScalarBar::TextProperties textProperties;
    textProperties._fontFile = "fonts/times.ttf";
    textProperties._characterSize = legendLabelPixels / scale;
    bar->setTextProperties(textProperties);

    // The labels are white with a dark outline, readable over snow and shadow alike.
    for (unsigned i = 0; i < bar->getNumDrawables(); ++i) {
        if (auto* label = dynamic_cast<osgText::Text*>(bar->getDrawable(i))) {
            label->setBackdropType(osgText::Text::OUTLINE);
            label->setBackdropColor(osg::Vec4(0.0f, 0.0f, 0.0f, 1.0f));
        }
    }

    osg::StateSet* state = bar->getOrCreateStateSet();
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::OFF);
    state->setRenderBinDetails(11, "RenderBin", osg::StateSet::USE_RENDERBIN_DETAILS);

    // Bar units to pixels from the view's lower right corner.
    osg::ref_ptr<osg::MatrixTransform> placement = new osg::MatrixTransform;
    placement->setMatrix(osg::Matrix::translate(-barStart, -barStart, 0.0f) * osg::Matrix::scale(scale, scale, 1.0f) *
                         osg::Matrix::translate(-(legendRightMarginPixels + legendBarLengthPixels),
                                                legendBottomPixels, 0.0f));
    placement->addChild(bar.get());

    osg::ref_ptr<osg::Projection> projection = new osg::Projection(osg::Matrixd::ortho2D(0, 1, 0, 1));
    anchorToViewCorner(*projection, placement.get(), ViewCorner::LowerRight, legendNeedsWidthPixels);
    return projection;
}
