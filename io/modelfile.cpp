#include "modelfile.h"

#include <exception>
#include <osg/Geode>
#include <osgDB/FileNameUtils>
#include <osgDB/ReadFile>
#include <osgDB/ReaderWriter>
#include <osgDB/Registry>
#include <sstream>

#include "fileio.h"

bool modelFileBytes(const osg::Node& node, const std::string& extension, std::string& bytes,
                    std::string& problem) {
    const std::string bare = extension.empty() || extension.front() != '.' ? extension : extension.substr(1);
    osgDB::ReaderWriter* writer = osgDB::Registry::instance()->getReaderWriterForExtension(bare);
    if (writer == nullptr) {
        problem = "no model writer for \"" + extension + "\" files";
        return false;
    }
    std::ostringstream stream(std::ios::out | std::ios::binary);
    const osgDB::ReaderWriter::WriteResult result =
        writer->writeNode(node, stream, osgDB::Registry::instance()->getOptions());
    if (!result.success() || !stream) {
        problem = "the model writer for \"" + extension + "\" files failed" +
                  (result.message().empty() ? std::string() : ": " + result.message());
        return false;
    }
    bytes = stream.str();
    return true;
}

bool writeModelFile(const osg::Node& node, const std::string& path, std::string& problem) {
    std::string bytes;
    const std::string extension = "." + osgDB::getLowerCaseFileExtension(path);
    if (!modelFileBytes(node, extension, bytes, problem)) {
        problem = "cannot write \"" + path + "\": " + problem;
        return false;
    }
    return writeFileAtomically(path, bytes, problem);
}

osg::ref_ptr<const osg::Node> copyForWriter(const osg::Node& node) {
    osg::ref_ptr<osg::Node> copy = static_cast<osg::Node*>(node.clone(osg::CopyOp::DEEP_COPY_ALL));
    const osg::Geode* from = node.asGeode();
    osg::Geode* to = copy->asGeode();
    if (from != nullptr && to != nullptr) {
        for (unsigned i = 0; i < from->getNumDrawables() && i < to->getNumDrawables(); ++i) {
            to->getDrawable(i)->setUseDisplayList(from->getDrawable(i)->getUseDisplayList());
            to->getDrawable(i)->setUseVertexBufferObjects(from->getDrawable(i)->getUseVertexBufferObjects());
        }
    }
    return copy;
}

osg::ref_ptr<osg::Node> readModelFile(const std::string& path, std::string& problem) {
    if (!checkDataFile(path, problem)) {
        return nullptr;
    }
    osg::ref_ptr<osg::Node> node;
    // The plug-in allocates every array at the length the file declares before it reads the array: a
    // damaged length throws out of it (std::bad_alloc), which would end the window.
    try {
        node = osgDB::readRefNodeFile(path);
    } catch (const std::exception& error) {
        problem = "\"" + path + "\" holds no model that can be read: " + error.what();
        return nullptr;
    }
    if (!node) {
        problem = "\"" + path + "\" holds no model that can be read";
    }
    return node;
}
