// A stored frame of a result folder as the window's replay takes it: read through the regular-file check,
// the model checker and the model plug-in, drawn over the terrain, its bounds taken (a folder replayed in
// a scene it does not lie in is refused by them) and the line of sight of a pick run through it. The
// plug-in crashing or looping in the checker is a refusal, and only what it accepts is parsed here.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <osg/ComputeBoundsVisitor>
#include <osg/Geometry>
#include <osg/NodeVisitor>
#include <osg/Notify>
#include <osgUtil/IntersectionVisitor>
#include <osgUtil/LineSegmentIntersector>

#include "drawontop.h"
#include "fuzzfiles.h"
#include "modelfile.h"

namespace {

// Branches on what the plug-in made of the input. The plug-in is not built for coverage, so without them
// every input that loads would look alike to the fuzzer and the corpus would keep none of the structure
// of a frame.
class FrameShape : public osg::NodeVisitor {
public:
    FrameShape() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
    void apply(osg::Transform& transform) override {
        ++transforms;
        traverse(transform);
    }
    void apply(osg::Geometry& geometry) override {
        const osg::Array* vertices = geometry.getVertexArray();
        const unsigned count = vertices ? vertices->getNumElements() : 0;
        sum += count == 0 ? 1 : count < 16 ? 2 : 3;
        sum += geometry.getColorArray() ? 4 : 0;
        sum += geometry.getNormalArray() ? 8 : 0;
        for (unsigned i = 0; i < geometry.getNumPrimitiveSets(); ++i) {
            const osg::PrimitiveSet* set = geometry.getPrimitiveSet(i);
            switch (set->getType()) {
                case osg::PrimitiveSet::DrawArraysPrimitiveType:
                    sum += 16;
                    break;
                case osg::PrimitiveSet::DrawElementsUBytePrimitiveType:
                    sum += 32;
                    break;
                case osg::PrimitiveSet::DrawElementsUShortPrimitiveType:
                    sum += 64;
                    break;
                case osg::PrimitiveSet::DrawElementsUIntPrimitiveType:
                    sum += 128;
                    break;
                default:
                    sum += 256;
                    break;
            }
            sum += set->getMode() == osg::PrimitiveSet::TRIANGLES ? 512 : 1024;
        }
    }
    unsigned transforms = 0;
    unsigned sum = 0;
};

// The plug-in allocates each array at the length the file declares, before reading it. The inputs are a
// few kilobytes, so an array of more than 16 MB has a damaged length: while a frame is read such an
// allocation fails, as one of many gigabytes does on a user's machine, and what is checked is that the
// window survives the failure. A failed allocation throws std::bad_alloc, as the C++ library's operator
// new does in the window; the sanitizer's own operator new would end the process instead. Every form is
// replaced, so that none of the sanitizer's is linked beside these.
bool readingFrame = false;
constexpr std::size_t largestArrayOfAnInput = std::size_t(16) << 20;

void* allocate(std::size_t size) {
    if (readingFrame && size > largestArrayOfAnInput) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void* allocate(std::size_t size, std::align_val_t alignment) {
    void* memory = nullptr;
    const std::size_t align = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
    if ((!readingFrame || size <= largestArrayOfAnInput) &&
        ::posix_memalign(&memory, align, size == 0 ? 1 : size) == 0) {
        return memory;
    }
    throw std::bad_alloc();
}

// The inputs are a few kilobytes, which the checker reads in milliseconds: a quarter of a second is a
// hang, and a shorter wait on each of the many inputs that loop leaves time for the others. A model of
// such an input takes far less than 16 MB beyond it; the checker fails larger allocations at once, where
// filling a gigabyte before the end of the input cost it half a second.
ModelChecker checker({}, 0.25, 16);
}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept {
    return operator new(size, nothrow);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocate(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocate(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    try {
        return allocate(size, alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t& nothrow) noexcept {
    return operator new(size, alignment, nothrow);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(memory);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The plug-in reports every malformed record it meets.
    osg::setNotifyLevel(osg::FATAL);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = writeFuzzFile("7.ive", data, size);
    std::string problem;
    readingFrame = true;
    const osg::ref_ptr<osg::Node> frame = readModelFile(path, problem, checker);
    readingFrame = false;
    if (!frame) {
        // The window shows the reason: it has to say which file.
        if (problem.find(path) == std::string::npos) {
            __builtin_trap();
        }
        return 0;
    }
    FrameShape shape;
    frame->accept(shape);
    drawOverTerrain(*frame, 10);
    osg::ComputeBoundsVisitor bounds;
    frame->accept(bounds);
    const osg::BoundingBox& box = bounds.getBoundingBox();
    if (box.valid()) {
        const osg::Vec3d centre = box.center();
        osg::ref_ptr<osgUtil::LineSegmentIntersector> sight =
            new osgUtil::LineSegmentIntersector(osg::Vec3d(centre.x(), centre.y(), box.zMax() + 1.0),
                                                osg::Vec3d(centre.x(), centre.y(), box.zMin() - 1.0));
        osgUtil::IntersectionVisitor visitor(sight.get());
        frame->accept(visitor);
    }
    return 0;
}
