#include "modelfile.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>
#include <osg/Geode>
#include <osgDB/FileNameUtils>
#include <osgDB/ReadFile>
#include <osgDB/ReaderWriter>
#include <osgDB/Registry>
#include <sstream>

#include "fileio.h"
#include "modelparse.h"

namespace {

// Models are read whole before the plug-in parses them; no terrain the data tool makes comes near this.
constexpr std::size_t largestModelFile = std::size_t(4) << 30;

}  // namespace

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
    return readModelFile(path, problem, sharedModelChecker());
}

osg::ref_ptr<osg::Node> readModelFile(const std::string& path, std::string& problem, ModelChecker& checker) {
    if (!checkDataFile(path, problem)) {
        return nullptr;
    }
    const std::string refused = "\"" + path + "\" holds no model that can be read";
    const std::string extension = "." + osgDB::getLowerCaseFileExtension(path);
    // The window reads ".ive" (terrain, stored frames, layers), ".osg" (saved views) and the newer
    // ".osgt"/".osgb" from folders users pass around: these go through the checker. Other formats are
    // read by path, some together with companion files, and so only in the window.
    static const char* const checked[] = {".ive", ".osg", ".osgt", ".osgb"};
    if (std::find(std::begin(checked), std::end(checked), extension) == std::end(checked)) {
        osg::ref_ptr<osg::Node> node;
        try {
            node = osgDB::readRefNodeFile(path);
        } catch (const std::exception& error) {
            problem = refused + ": " + error.what();
            return nullptr;
        }
        if (!node) {
            problem = refused;
        }
        return node;
    }
    // Read once: what the window parses is what the checker read a model from.
    std::string bytes;
    if (readRegularFile(path, largestModelFile, bytes, problem) != FileReadStatus::ok) {
        return nullptr;
    }
    const std::string folder = osgDB::getFilePath(path);
    const ModelChecker::Answer answer = checker.check(bytes, extension, folder);
    switch (answer.verdict) {
        case ModelChecker::Verdict::noModel:
            problem = refused + (answer.reason.empty() ? std::string() : ": " + answer.reason);
            return nullptr;
        case ModelChecker::Verdict::crashed:
            problem = refused + ": the model reader crashed on it";
            return nullptr;
        case ModelChecker::Verdict::noAnswer:
            problem = refused + ": the model reader gave no answer within " +
                      std::to_string(static_cast<long long>(std::ceil(answer.seconds))) + " s";
            return nullptr;
        case ModelChecker::Verdict::model:
        case ModelChecker::Verdict::unavailable:
            break;
    }
    // The plug-in is deterministic: the bytes the checker read a model from give the same model here.
    std::string reason;
    osg::ref_ptr<osg::Node> node = parseModelBytes(bytes, extension, folder, reason);
    if (!node) {
        problem = refused + (reason.empty() ? std::string() : ": " + reason);
    }
    return node;
}
