// vantorel-modelcheck: parses the model files the window is about to read, in a process of its own, so
// that a plug-in crashing or looping on a damaged file ends or holds this process and not the window.
// Requests come on standard input and answers go to standard output (modelparse.h); it ends at the end
// of its input. An argument, when given, is the memory in megabytes a model may take beyond its file's
// sixteen-fold (1024 otherwise). Standard error is the window's to discard: the window parses an accepted
// file again and its plug-in says the same things there.
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <osgDB/Registry>
#include <string>

#include "modelparse.h"

#if defined(__SANITIZE_ADDRESS__)
#define MODELCHECK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MODELCHECK_ASAN 1
#endif
#endif

#ifdef MODELCHECK_ASAN
// A damaged length makes the plug-in ask for many gigabytes, which the sanitizer's allocator would hand
// out and the plug-in fill: such a file ends the checker instead. Its reports go nowhere, so they are
// not symbolised.
extern "C" const char* __asan_default_options() {
    return "max_allocation_size_mb=1024:symbolize=0";
}
extern "C" const char* __ubsan_default_options() {
    return "symbolize=0";
}
#endif

namespace {

// A damaged length makes the plug-in ask for many gigabytes, which the system hands out untouched and the
// plug-in then fills: the checker's address space is bounded to what a model of `fileBytes` may need
// beyond what it holds already, so that such an allocation fails (std::bad_alloc) instead of taking the
// machine's memory. The sanitizer reserves terabytes of address space up front, and bounds instead each
// allocation (above).
void boundMemory(std::size_t fileBytes, rlim_t headroom) {
#ifndef MODELCHECK_ASAN
    std::size_t pages = 0;
    if (std::FILE* status = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(status, "%zu", &pages) != 1) {
            pages = 0;
        }
        std::fclose(status);
    }
    rlimit bound{};
    if (pages > 0 && ::getrlimit(RLIMIT_AS, &bound) == 0) {
        const rlim_t wanted = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + headroom +
                              16 * static_cast<rlim_t>(fileBytes);
        bound.rlim_cur = bound.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, bound.rlim_max);
        ::setrlimit(RLIMIT_AS, &bound);
    }
#else
    (void)fileBytes;
    (void)headroom;
#endif
}

// Reads `size` bytes from standard input into `data`, or writes them from it to standard output.
bool transferAll(bool reading, char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t moved = reading ? ::read(0, data, size) : ::write(1, data, size);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            return false;
        }
        data += moved;
        size -= static_cast<std::size_t>(moved);
    }
    return true;
}

bool readAll(void* data, std::size_t size) {
    return transferAll(true, static_cast<char*>(data), size);
}

bool writeAll(const void* data, std::size_t size) {
    return transferAll(false, const_cast<char*>(static_cast<const char*>(data)), size);
}

bool readField(std::string& field, std::uint64_t longest) {
    std::uint64_t size = 0;
    if (!readAll(&size, sizeof size) || size > longest) {
        return false;
    }
    field.resize(size);
    return readAll(field.data(), field.size());
}

}  // namespace

int main(int argc, char** argv) {
    const long headroomMegabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1024;
    if (headroomMegabytes <= 0) {
        return 2;
    }
    const rlim_t headroom = static_cast<rlim_t>(headroomMegabytes) << 20;
    // The plug-ins are loaded before the first file, under no bound yet: a restarted checker then answers
    // its first file as fast as the next.
    for (const char* extension : {"ive", "osg"}) {
        osgDB::Registry::instance()->getReaderWriterForExtension(extension);
    }
    const std::uint8_t ready = checkerReady;
    if (!writeAll(&ready, 1)) {
        return 1;
    }
    std::string extension;
    std::string folder;
    std::string bytes;
    while (readField(extension, longestNameField) && readField(folder, longestNameField) &&
           readField(bytes, UINT64_MAX)) {
        boundMemory(bytes.size(), headroom);
        std::string problem;
        const bool read = parseModelBytes(bytes, extension, folder, problem).valid();
        problem.resize(std::min<std::size_t>(problem.size(), longestNameField));
        const std::uint8_t status = read ? checkedModel : checkedNoModel;
        const std::uint64_t size = problem.size();
        if (!writeAll(&status, 1) || !writeAll(&size, sizeof size) ||
            !writeAll(problem.data(), problem.size())) {
            return 1;
        }
    }
    return 0;
}
