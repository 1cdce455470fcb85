#include "legendbar.h"

#include <osg/MatrixTransform>
#include <osgSim/ColorRange>
#include <osgSim/ScalarBar>
#include <osgText/Text>
#include <utility>
#include <vector>

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
        new osgSim::ScalarBar(30, 6, colourRange.get(), "", osgSim::ScalarBar::HORIZONTAL, 0.1f,
                              new osgSim::ScalarBar::ScalarPrinter);
    bar->setPosition(osg::Vec3(0.5f, 0.5f, 0.0f));
    bar->setWidth(0.8f);  // in the bar's own units, so it is 0.08 high with the aspect ratio above

    osgSim::ScalarBar::TextProperties textProperties;
    textProperties._fontFile = "fonts/times.ttf";
    // Large enough to read in a view of some 600 x 500 pixels (0.04 gave labels 8 pixels high there).
    textProperties._characterSize = 0.06f;
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

    // Bar units to the 1280 x 1024 screen space below: x 650..1210, y 35..87, right of the middle and
    // high enough above the bottom edge for its labels underneath to show.
    osg::ref_ptr<osg::MatrixTransform> placement = new osg::MatrixTransform;
    placement->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    placement->setMatrix(osg::Matrix::scale(700, 650, 600) * osg::Matrix::translate(300, -290, 0));
    placement->addChild(bar.get());

    osg::ref_ptr<osg::Projection> projection = new osg::Projection(osg::Matrixd::ortho2D(0, 1280, 0, 1024));
    projection->addChild(placement.get());
    return projection;
}
