#pragma once

#include <gtest/gtest.h>
#include <osg/Depth>
#include <osg/Geode>
#include <osg/Group>
#include <osgText/Text>
#include <string>
#include <vector>

// Read access to the layers the builders return, failing the test where the shape is not as expected.

inline osg::Geode* geodeAt(osg::Group* group, unsigned index) {
    if (!group || index >= group->getNumChildren()) {
        ADD_FAILURE() << "no child " << index;
        return nullptr;
    }
    osg::Geode* geode = group->getChild(index)->asGeode();
    EXPECT_NE(geode, nullptr) << "child " << index << " is not a geode";
    return geode;
}

inline std::vector<osgText::Text*> textsOf(osg::Geode* geode) {
    std::vector<osgText::Text*> texts;
    for (unsigned i = 0; geode && i < geode->getNumDrawables(); ++i) {
        auto* text = dynamic_cast<osgText::Text*>(geode->getDrawable(i));
        EXPECT_NE(text, nullptr) << "drawable " << i << " is not a text";
        if (text) {
            texts.push_back(text);
        }
    }
    return texts;
}

inline std::string utf8(const osgText::Text& text) {
    return text.getText().createUTF8EncodedString();
}

inline std::string fontFile(const osgText::Text& text) {
    return text.getFont() ? text.getFont()->getFileName() : std::string();
}

// The label setting: depth test always passes, depth range reversed (near 100, far 1).
inline void expectAlwaysOnTop(const osg::Node* node) {
    ASSERT_NE(node, nullptr);
    const osg::StateSet* state = node->getStateSet();
    ASSERT_NE(state, nullptr);
    const auto* depth = dynamic_cast<const osg::Depth*>(state->getAttribute(osg::StateAttribute::DEPTH));
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->getFunction(), osg::Depth::ALWAYS);
    EXPECT_EQ(depth->getZNear(), 100.0);
    EXPECT_EQ(depth->getZFar(), 1.0);
}
