#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The readers under fuzzing take paths: each input is written to a file of a folder the fuzzing process
// keeps to itself (under /dev/shm when there is one, so that the disk is not worn).

// The path of `name` in that folder.
std::string fuzzPath(const std::string& name);
// Writes the input to `name` in that folder and returns its path.
std::string writeFuzzFile(const std::string& name, const std::uint8_t* data, std::size_t size);
std::string writeFuzzFile(const std::string& name, const std::string& text);

// Leaves GDAL only the drivers named (by short name, such as "GTiff") and sends any network request it
// might still make (a source such as "/vsicurl/http://...") to a closed port of this machine: a fuzzing
// input must never reach out, and the readers under fuzzing take local files only.
void restrictGdal(const std::vector<std::string>& drivers);

// Writes the input to `path`, a GDAL file name ("/vsimem/..." for a file held in memory).
void writeGdalFile(const std::string& path, const std::uint8_t* data, std::size_t size);
