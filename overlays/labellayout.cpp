#include "labellayout.h"

#include <algorithm>
#include <map>
#include <osg/Geode>
#include <osgText/Text>
#include <osgUtil/CullVisitor>
#include <vector>

namespace {

// What the layout decided for a label in the view being culled.
struct Placement {
    bool shown = true;
    unsigned child = 0;
    osg::Vec3 shift;  // in the label's parent's units
};

// The layout of one view's frame, handed from the root to its labels on the cull visitor.
struct LabelPlacements : osg::Referenced {
    std::map<const ScreenLabel*, Placement> byLabel;
};

const Placement* placementIn(osg::NodeVisitor* visitor, const ScreenLabel* label) {
    osgUtil::CullVisitor* cull = visitor ? visitor->asCullVisitor() : nullptr;
    const auto* placements = cull ? dynamic_cast<const LabelPlacements*>(cull->getUserData()) : nullptr;
    if (!placements) {
        return nullptr;
    }
    const auto found = placements->byLabel.find(label);
    return found == placements->byLabel.end() ? nullptr : &found->second;
}

const osgText::Text* firstText(const osg::Node* node) {
    const osg::Geode* geode = node ? node->asGeode() : nullptr;
    for (unsigned i = 0; geode && i < geode->getNumDrawables(); ++i) {
        if (const auto* text = dynamic_cast<const osgText::Text*>(geode->getDrawable(i))) {
            return text;
        }
    }
    return nullptr;
}

// The glyph box of a text about its anchor, in its own units; OSG keeps the box and the alignment offset
// to itself, which a derived class may read.
struct TextLayoutAccess : osgText::Text {
    static osg::BoundingBox glyphBox(const osgText::Text& text) {
        const osg::BoundingBox& glyphs = text.*(&TextLayoutAccess::_textBB);
        const osg::Vec3& offset = text.*(&TextLayoutAccess::_offset);
        const float margin = text.getDrawMode() & (osgText::Text::BOUNDINGBOX | osgText::Text::FILLEDBOUNDINGBOX)
                                 ? text.getBoundingBoxMargin()
                                 : 0.0f;
        const osg::Vec3 frame(margin, margin, 0.0f);
        return osg::BoundingBox(glyphs._min - offset - frame, glyphs._max - offset + frame);
    }
};

// Pixels kept clear between two labels: the glyphs drawn may stray a pixel or so from their measure.
constexpr double labelClearance = 4.0;

struct ScreenRect {
    double left, bottom, right, top;
    bool overlaps(const ScreenRect& other) const {
        return left < other.right + labelClearance && other.left < right + labelClearance &&
               bottom < other.top + labelClearance && other.bottom < top + labelClearance;
    }
};

// Pixels per unit of the eye along its right and up at a point before it.
osg::Vec2d pixelsPerEyeUnit(const osg::Vec3d& eyePoint, const osg::Matrixd& eyeToWindow) {
    const osg::Vec3d at = eyePoint * eyeToWindow;
    return osg::Vec2d(((eyePoint + osg::Vec3d(1, 0, 0)) * eyeToWindow - at).length(),
                      ((eyePoint + osg::Vec3d(0, 1, 0)) * eyeToWindow - at).length());
}

// A text's rectangle on the screen and the height of its characters there, pixels, given the matrix from
// its parent's units to the eye and the eye to the window. False when its anchor is behind the eye.
bool measureText(const osgText::Text& text, const osg::Matrixd& toEye, const osg::Matrixd& eyeToWindow,
                 ScreenRect& rect, double& characterPixels) {
    const osg::Vec3d eyeAnchor = osg::Vec3d(text.getPosition()) * toEye;
    const bool perspective = eyeToWindow(3, 3) == 0.0 && eyeToWindow(2, 3) != 0.0;
    if (perspective && eyeAnchor.z() >= 0.0) {
        return false;
    }
    const osg::Vec3d at = eyeAnchor * eyeToWindow;
    // Units of the text laid along the eye's right and up at the anchor's distance; a text sized on the
    // screen is laid out in pixels.
    osg::Vec2d scale(1.0, 1.0);
    if (text.getCharacterSizeMode() != osgText::Text::SCREEN_COORDS) {
        scale = pixelsPerEyeUnit(eyeAnchor, eyeToWindow);
    }
    const double across = scale.x();
    const double up = scale.y();
    const osg::BoundingBox box = TextLayoutAccess::glyphBox(text);
    rect = {at.x() + box.xMin() * across, at.y() + box.yMin() * up, at.x() + box.xMax() * across,
            at.y() + box.yMax() * up};
    characterPixels = text.getCharacterHeight() * up;
    return true;
}

// The ScreenLabels of the upper levels of a scene, with the matrix from each one's parent to the world.
class LabelFinder : public osg::NodeVisitor {
public:
    LabelFinder() : osg::NodeVisitor(TRAVERSE_ACTIVE_CHILDREN) {}
    using osg::NodeVisitor::apply;

    void apply(osg::Transform& transform) override {
        if (auto* label = dynamic_cast<ScreenLabel*>(&transform)) {
            osg::NodePath parents = getNodePath();
            parents.pop_back();
            found.push_back({label, osg::computeLocalToWorld(parents)});
            return;
        }
        apply(static_cast<osg::Group&>(transform));
    }
    void apply(osg::Group& group) override {
        // Deeper down lie the tiles of a terrain, never a label.
        if (getNodePath().size() <= 4) {
            traverse(group);
        }
    }

    std::vector<std::pair<ScreenLabel*, osg::Matrix>> found;
};

}  // namespace

bool ScreenLabel::computeLocalToWorldMatrix(osg::Matrix& matrix, osg::NodeVisitor* visitor) const {
    if (const Placement* placement = placementIn(visitor, this)) {
        matrix.preMultTranslate(placement->shift);
    }
    return true;
}

bool ScreenLabel::computeWorldToLocalMatrix(osg::Matrix& matrix, osg::NodeVisitor* visitor) const {
    if (const Placement* placement = placementIn(visitor, this)) {
        matrix.postMultTranslate(-placement->shift);
    }
    return true;
}

void ScreenLabel::traverse(osg::NodeVisitor& visitor) {
    if (getNumChildren() == 0) {
        return;
    }
    if (visitor.asCullVisitor()) {
        const Placement* placement = placementIn(&visitor, this);
        if (placement && !placement->shown) {
            return;
        }
        const unsigned child = placement ? std::min(placement->child, getNumChildren() - 1) : 0u;
        getChild(child)->accept(visitor);
        return;
    }
    // Other visitors (bounds, picking, searches) meet the label as it stands in the scene.
    getChild(0)->accept(visitor);
}

osg::ref_ptr<ScreenLabel> makeLaidOutLabel(osg::Geode* label, LabelPriority priority) {
    osg::ref_ptr<ScreenLabel> laidOut = new ScreenLabel(priority);
    // Found by the label's name, as the label itself was.
    laidOut->setName(label->getName());
    laidOut->addChild(label);
    const osgText::Text* text = firstText(label);
    if (text && text->getCharacterSizeMode() != osgText::Text::SCREEN_COORDS) {
        osg::ref_ptr<osg::Geode> smallest = new osg::Geode(*label, osg::CopyOp::DEEP_COPY_DRAWABLES);
        for (unsigned i = 0; i < smallest->getNumDrawables(); ++i) {
            if (auto* copy = dynamic_cast<osgText::Text*>(smallest->getDrawable(i))) {
                copy->setCharacterSizeMode(osgText::Text::SCREEN_COORDS);
                copy->setCharacterSize(smallestLabelPixels);
            }
        }
        laidOut->addChild(smallest);
    }
    return laidOut;
}

void LabelLayout::operator()(osg::Node* node, osg::NodeVisitor* visitor) {
    osgUtil::CullVisitor* cull = visitor ? visitor->asCullVisitor() : nullptr;
    const osg::Viewport* viewport = cull ? cull->getViewport() : nullptr;
    if (!viewport || !cull->getProjectionMatrix() || !cull->getModelViewMatrix()) {
        traverse(node, visitor);
        return;
    }
    LabelFinder finder;
    node->accept(finder);
    // Higher priority first; of equal ones the first in the scene.
    std::stable_sort(finder.found.begin(), finder.found.end(),
                     [](const auto& a, const auto& b) { return a.first->priority > b.first->priority; });

    const osg::Matrixd view = *cull->getModelViewMatrix();
    const osg::Matrixd eyeToWindow = *cull->getProjectionMatrix() * viewport->computeWindowMatrix();
    osg::ref_ptr<LabelPlacements> placements = new LabelPlacements;
    std::vector<ScreenRect> taken;
    for (const auto& [label, parentToWorld] : finder.found) {
        const osg::Matrixd toEye = parentToWorld * view;
        Placement placement;
        ScreenRect rect{};
        double characterPixels = 0.0;
        const osgText::Text* text = firstText(label->getChild(0));
        if (!text || !measureText(*text, toEye, eyeToWindow, rect, characterPixels)) {
            placements->byLabel[label] = placement;
            continue;
        }
        if (characterPixels < smallestLabelPixels - 0.01 && label->getNumChildren() > 1) {
            const osgText::Text* smallest = firstText(label->getChild(1));
            if (smallest && measureText(*smallest, toEye, eyeToWindow, rect, characterPixels)) {
                placement.child = 1;
            }
        }
        // A label whose point is in the view moves in whole, as far as the view is large enough.
        const osg::Vec3d eyeAnchor = osg::Vec3d(text->getPosition()) * toEye;
        const osg::Vec3d anchor = eyeAnchor * eyeToWindow;
        const double left = viewport->x();
        const double bottom = viewport->y();
        const double right = left + viewport->width();
        const double top = bottom + viewport->height();
        double dx = 0.0;
        double dy = 0.0;
        if (anchor.x() >= left && anchor.x() <= right && anchor.y() >= bottom && anchor.y() <= top) {
            dx = rect.left < left ? left - rect.left : rect.right > right ? std::max(right - rect.right, left - rect.left) : 0.0;
            dy = rect.bottom < bottom ? bottom - rect.bottom
                 : rect.top > top     ? std::max(top - rect.top, bottom - rect.bottom)
                                      : 0.0;
        }
        rect = {rect.left + dx, rect.bottom + dy, rect.right + dx, rect.top + dy};
        // On a label placed before, it tries just below and just above that one, inside the view, before
        // it gives way.
        std::vector<double> lifts{0.0};
        for (const ScreenRect& other : taken) {
            if (rect.overlaps(other)) {
                lifts.push_back(other.bottom - rect.top - labelClearance - 1.0);
                lifts.push_back(other.top - rect.bottom + labelClearance + 1.0);
            }
        }
        placement.shown = false;
        for (const double lift : lifts) {
            const ScreenRect moved{rect.left, rect.bottom + lift, rect.right, rect.top + lift};
            const bool fits = lift == 0.0 || (moved.bottom >= bottom && moved.top <= top);
            if (fits && std::none_of(taken.begin(), taken.end(),
                                     [&moved](const ScreenRect& other) { return moved.overlaps(other); })) {
                placement.shown = true;
                dy += lift;
                taken.push_back(moved);
                break;
            }
        }
        if (dx != 0.0 || dy != 0.0) {
            // The same move in the eye's plane at the anchor's depth, turned into the parent's axes.
            const osg::Vec2d scale = pixelsPerEyeUnit(eyeAnchor, eyeToWindow);
            placement.shift = osg::Matrixd::transform3x3(toEye, osg::Vec3d(dx / scale.x(), dy / scale.y(), 0.0));
        }
        placements->byLabel[label] = placement;
    }
    cull->setUserData(placements.get());
    traverse(node, visitor);
    cull->setUserData(nullptr);
}
