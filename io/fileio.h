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

// Writes `bytes` to `path` through a temporary file beside it, which takes the place of `path` only once
// every byte is written and the file is closed: an interrupted or failed write leaves the old file (or
// none) and never a truncated one. A path that is a symbolic link writes the file it points to, and an
// existing file keeps its permissions. On failure `problem` names `path` and the reason, and the
// temporary file is removed.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& problem);

// True for the names writeFileAtomically gives its temporary files (".NAME.partial-XXXXXX"); a run that
// was killed outright may leave one behind.
bool isTemporaryFileName(std::string_view name);
