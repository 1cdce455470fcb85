#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reading and writing whole files by the bytes of their paths. No text encoding is applied to a path on
// the way, so every file of a run lands in the folder its bytes name, whatever the locale makes of them.

enum class FileReadStatus {
    ok,
    missing,     // no such file
    unreadable,  // it exists but cannot be opened or read
    notRegular,  // a folder, device, pipe or socket
    tooLarge,    // more than the bytes the caller accepts
};

// Reads a whole regular file of at most `maxBytes` bytes into `bytes`. Devices, pipes and folders are
// refused without reading from them or waiting for a writer. On failure `problem` says why, naming the
// file.
FileReadStatus readRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                               std::string& problem);

// Checks a file that a library (GDAL, OGR, OpenSceneGraph) is about to open by its path: it must be a
// regular file (a link to one will do), and so must every file beside it whose name is its name up to
// the first dot followed by another extension ("x.shx", "x.dbf", "x.tif.aux.xml", "x.prj"), since such
// libraries open those companions on their own. A pipe, device or socket in either place would hold
// the library in open() for good. False, naming the file and why, otherwise. GDAL's in-memory files
// ("/vsimem/...") pass as they are.
bool checkDataFile(const std::string& path, std::string& problem);

// What writeFileAtomically does when `path` is a symbolic link.
enum class LinkAtPath {
    writeThrough,  // the file the link points to is written and the link stays: a user's own file
    replace,       // the link itself is replaced by the file: a file of a folder the program owns, which
                   // must never send a write elsewhere
};

// Writes `bytes` to `path` through a temporary file beside it, which takes the place of `path` only once
// every byte is written and the file is closed: an interrupted or failed write leaves the old file (or
// none) and never a truncated one. The temporary file is made under a fresh name that nothing else may
// hold (a link planted under it is not followed). An existing file keeps its permissions. On failure
// `problem` names `path` and the reason, and the temporary file is removed.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& problem,
                         LinkAtPath link = LinkAtPath::writeThrough);

// True for the names writeFileAtomically gives its temporary files (".NAME.partial-XXXXXX"); a run that
// was killed outright may leave one behind.
bool isTemporaryFileName(std::string_view name);
