#include "modelparse.h"

#include <algorithm>
#include <exception>
#include <ios>
#include <iterator>
#include <new>
#include <osg/Geometry>
#include <osg/NodeVisitor>
#include <osgDB/Options>
#include <osgDB/ReaderWriter>
#include <osgDB/Registry>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

// Finds the first geometry whose drawing would read past its arrays: the plug-in reads the primitive
// sets and the arrays as the file gives them, and bounds, picks and drawing trust the indices.
class GeometryCheck : public osg::NodeVisitor {
public:
    GeometryCheck() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
    void apply(osg::Geometry& geometry) override {
        if (problem.empty()) {
            problem = check(geometry);
        }
    }
    std::string problem;

private:
    static std::string check(const osg::Geometry& geometry) {
        const osg::Array* vertices = geometry.getVertexArray();
        const std::size_t count = vertices ? vertices->getNumElements() : 0;
        const std::size_t sets = geometry.getNumPrimitiveSets();
        const osg::Array* arrays[] = {vertices, geometry.getNormalArray(), geometry.getColorArray(),
                                      geometry.getSecondaryColorArray(), geometry.getFogCoordArray()};
        std::vector<const osg::Array*> all(std::begin(arrays), std::end(arrays));
        for (unsigned i = 0; i < geometry.getNumTexCoordArrays(); ++i) {
            all.push_back(geometry.getTexCoordArray(i));
        }
        for (unsigned i = 0; i < geometry.getNumVertexAttribArrays(); ++i) {
            all.push_back(geometry.getVertexAttribArray(i));
        }
        for (const osg::Array* array : all) {
            if (array == nullptr) {
                continue;
            }
            const std::size_t needed = array->getBinding() == osg::Array::BIND_PER_VERTEX          ? count
                                       : array->getBinding() == osg::Array::BIND_PER_PRIMITIVE_SET ? sets
                                       : array->getBinding() == osg::Array::BIND_OVERALL           ? 1
                                                                                                   : 0;
            if (array->getNumElements() < needed) {
                return "an array holds " + std::to_string(array->getNumElements()) + " values for " +
                       std::to_string(needed);
            }
        }
        for (unsigned i = 0; i < sets; ++i) {
            const osg::PrimitiveSet* set = geometry.getPrimitiveSet(i);
            std::size_t end = 0;
            switch (set->getType()) {
                case osg::PrimitiveSet::DrawArraysPrimitiveType: {
                    const auto* arrays = static_cast<const osg::DrawArrays*>(set);
                    if (arrays->getFirst() < 0 || arrays->getCount() < 0) {
                        return "a drawing starts or counts below zero";
                    }
                    end = std::size_t(arrays->getFirst()) + std::size_t(arrays->getCount());
                    break;
                }
                case osg::PrimitiveSet::DrawArrayLengthsPrimitiveType: {
                    const auto* lengths = static_cast<const osg::DrawArrayLengths*>(set);
                    if (lengths->getFirst() < 0) {
                        return "a drawing starts below zero";
                    }
                    end = std::size_t(lengths->getFirst());
                    for (const GLsizei length : *lengths) {
                        if (length < 0) {
                            return "a drawing counts below zero";
                        }
                        end += std::size_t(length);
                    }
                    break;
                }
                case osg::PrimitiveSet::DrawElementsUBytePrimitiveType:
                case osg::PrimitiveSet::DrawElementsUShortPrimitiveType:
                case osg::PrimitiveSet::DrawElementsUIntPrimitiveType: {
                    const auto* elements = static_cast<const osg::DrawElements*>(set);
                    for (unsigned j = 0; j < elements->getNumIndices(); ++j) {
                        end = std::max<std::size_t>(end, std::size_t(elements->index(j)) + 1);
                    }
                    break;
                }
                default:
                    return "a drawing of a kind no model of this program holds";
            }
            if (end > count) {
                return "a drawing reaches vertex " + std::to_string(end) + " of " + std::to_string(count);
            }
        }
        return {};
    }
};

}  // namespace

osg::ref_ptr<osg::Node> parseModelBytes(const std::string& bytes, const std::string& extension,
                                        const std::string& folder, std::string& problem) {
    problem.clear();
    const std::string bare = extension.empty() || extension.front() != '.' ? extension : extension.substr(1);
    osgDB::ReaderWriter* reader = osgDB::Registry::instance()->getReaderWriterForExtension(bare);
    if (reader == nullptr) {
        problem = "no model reader for \"" + extension + "\" files";
        return nullptr;
    }
    // Where readRefNodeFile would look first for what the file names.
    const osgDB::Options* shared = osgDB::Registry::instance()->getOptions();
    osg::ref_ptr<osgDB::Options> options =
        shared ? static_cast<osgDB::Options*>(shared->clone(osg::CopyOp::SHALLOW_COPY)) : new osgDB::Options;
    options->getDatabasePathList().push_front(folder);
    std::istringstream stream(bytes, std::ios::in | std::ios::binary);
    // The binary plug-in reads on past the end of a damaged file, for minutes over a damaged count: its
    // first read past the end ends the reading instead. A sound file is never read past its end.
    if (bare == "ive") {
        stream.exceptions(std::ios::failbit | std::ios::badbit);
    }
    osg::ref_ptr<osg::Node> node;
    try {
        node = reader->readNode(stream, options.get()).getNode();
    } catch (const std::ios_base::failure&) {
        problem = "it ends inside its model";
        return nullptr;
    } catch (const std::bad_alloc&) {
        problem = "it declares more data than memory holds";
        return nullptr;
    } catch (const std::length_error&) {
        problem = "it declares more data than memory holds";
        return nullptr;
    } catch (const std::exception& error) {
        problem = error.what();
        return nullptr;
    }
    if (node) {
        GeometryCheck geometry;
        node->accept(geometry);
        if (!geometry.problem.empty()) {
            problem = geometry.problem;
            return nullptr;
        }
    }
    return node;
}
