#pragma once

#include <cstdint>
#include <osg/Node>
#include <osg/ref_ptr>
#include <string>

// What the window and the model checker (vantorel-modelcheck) share: the parse of a model file's bytes
// and the messages they exchange over the checker's socket.

// Parses the bytes of a model file with the OpenSceneGraph plug-in of `extension` (".ive", ".osg", ...),
// as osgDB::readRefNodeFile does the file itself; `folder` is where the plug-in looks for the files the
// model names (textures). Null otherwise, with the plug-in's exception, if any, in `problem`: it allocates
// each array at the length the file declares before it reads the array, so a damaged length throws
// std::bad_alloc out of it. Null too, saying why, for a model with a geometry whose drawing reaches past
// its vertices or whose colours, normals or other arrays are shorter than their binding needs: the
// plug-in takes both from the file as they stand, and bounds, picks and drawing would read past the end.
osg::ref_ptr<osg::Node> parseModelBytes(const std::string& bytes, const std::string& extension,
                                        const std::string& folder, std::string& problem);

// A request is three fields (extension, folder, bytes), an answer one status byte and one field (the
// reason when no model was read); a field is its length (8 bytes, host order) and its bytes. Both ends
// run on the same machine from the same build. On start the checker sends one byte, checkerReady.
enum ModelCheckStatus : std::uint8_t { checkerReady = 'R', checkedModel = 'M', checkedNoModel = 'N' };

// The longest extension or folder field either end accepts: a longer one means the stream is out of step.
constexpr std::uint64_t longestNameField = 1 << 16;
