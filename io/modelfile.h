#pragma once

#include <osg/Node>
#include <osg/ref_ptr>
#include <string>

#include "modelchecker.h"

// Model files written the way every other file of a run is (fileio.h): through a temporary file, with
// every failure reported. osgDB::writeNodeFile reports success for a model cut short on a full disk.

// The bytes of `node` as a model file of `extension` (".ive", ".3ds", ".osg", ...), made by the
// OpenSceneGraph plug-in for that extension.
bool modelFileBytes(const osg::Node& node, const std::string& extension, std::string& bytes,
                    std::string& problem);

// Writes `node` to `path`; the format follows the extension of the path.
bool writeModelFile(const osg::Node& node, const std::string& path, std::string& problem);

// A copy of a result model for a writer thread, as the scene keeps drawing the original meanwhile: its
// own arrays and state, with the original's drawing flags (a copied drawable switches to buffer objects),
// so that the file is the one the original gives.
osg::ref_ptr<const osg::Node> copyForWriter(const osg::Node& node);

// Reads the model at `path` with the OpenSceneGraph plug-in of its extension, once checkDataFile has
// found it and its companions regular files (a pipe or device named like a model would hold the reader
// in open() for good) and, for the formats the window reads (".ive", ".osg", ".osgt", ".osgb"), once
// `checker` has read a model from the same bytes in a process of its own: a damaged file crashes or
// holds the plug-in. Such a file is read once, so what is parsed is what was checked. Null, with the
// reason naming the file in `problem`, otherwise or when the plug-in reads no model from it or fails to
// allocate what it declares.
osg::ref_ptr<osg::Node> readModelFile(const std::string& path, std::string& problem, ModelChecker& checker);
// The same through sharedModelChecker().
osg::ref_ptr<osg::Node> readModelFile(const std::string& path, std::string& problem);
