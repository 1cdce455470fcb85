#include "solidtint.h"

#include <cstring>
#include <osg/LineWidth>
#include <osg/Point>
#include <osg/TexGen>
#include <osg/Texture2D>

osg::ref_ptr<osg::Image> makeSolidImage(int width, int height, float red, float green, float blue) {
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(width, height, 1, GL_RGB, GL_UNSIGNED_BYTE, 1);
    const unsigned char pixel[3] = {static_cast<unsigned char>(red), static_cast<unsigned char>(green),
                                    static_cast<unsigned char>(blue)};
    unsigned char* data = image->data();
    for (int i = 0; i < width * height; ++i) {
        std::memcpy(data + 3 * i, pixel, 3);
    }
    return image;
}

void tintNode(osg::Node* node, const osg::Vec4& colour, float size, bool points) {
    if (!node) {
        return;
    }
    osg::ref_ptr<osg::Texture2D> texture =
        new osg::Texture2D(makeSolidImage(256, 256, colour.r() * 255, colour.g() * 255, colour.b() * 255));
    osg::ref_ptr<osg::TexGen> texGen = new osg::TexGen;
    texGen->setMode(osg::TexGen::NORMAL_MAP);
    osg::ref_ptr<osg::StateSet> state = new osg::StateSet;
    state->setTextureAttributeAndModes(1, texture, osg::StateAttribute::ON);
    state->setTextureAttributeAndModes(1, texGen, osg::StateAttribute::ON);
    if (points) {
        state->setAttributeAndModes(new osg::Point(size), osg::StateAttribute::ON);
        state->setMode(GL_POINT_SPRITE, osg::StateAttribute::ON);
    } else {
        state->setAttributeAndModes(new osg::LineWidth(size), osg::StateAttribute::ON);
    }
    node->setStateSet(state);
}
