#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The readers under fuzzing take paths: each input is written to a file of a folder the fuzzing process
// keeps to itself (under /dev/shm when there is one, so that the disk is not worn).

// The path of `name` in that folder.
std::string fuzzPath(const std::string& name);
// Writes the input to `name` in that folder and returns its path.
std::string writeFuzzFile(const std::string& name, const std::uint8_t* data, std::size_t size);
std::string writeFuzzFile(const std::string& name, const std::string& text);
