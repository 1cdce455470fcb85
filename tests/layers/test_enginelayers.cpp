// The computation of every hazard runs without a display: the batch command, the fuzzers and the engines'
// own tests link the engine libraries alone. This program links every object of them and nothing else,
// and looks at the shared libraries the loader mapped into it.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "cafloodnew.h"
#include "debrisrun.h"
#include "landsliderun.h"

namespace {

std::set<std::string> mappedLibraries() {
    std::set<std::string> libraries;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const std::size_t slash = line.rfind('/');
        if (slash != std::string::npos && line.find(".so", slash) != std::string::npos) {
            libraries.insert(line.substr(slash + 1));
        }
    }
    return libraries;
}

}  // namespace

TEST(EngineLayers, EnginesRunWithoutSceneGraphOrGuiLibraries) {
    // Each engine refuses missing inputs: they work without anything above them.
    CAFlood flood;
    EXPECT_FALSE(
        flood.loadInputs({"/nonexistent/roughness.asc", "/nonexistent/dem.asc", "/nonexistent/outbreak.txt"}));
    DebrisRun debris;
    std::string problem;
    EXPECT_FALSE(debris.setup(std::vector<double>(DebrisRun::parameterCount, 1.0), "/nonexistent/dem.asc",
                              "/nonexistent/breach.txt", problem));
    LandslideRun landslide;
    EXPECT_FALSE(landslide.prepare(LandslideInputs(), problem));

    const std::set<std::string> libraries = mappedLibraries();
    // The check sees the libraries the engines do need, so an empty map cannot pass it.
    const auto mapped = [&libraries](const char* pattern) {
        const std::regex name(pattern);
        for (const std::string& library : libraries) {
            if (std::regex_search(library, name)) {
                return library;
            }
        }
        return std::string();
    };
    EXPECT_NE(mapped("^libgdal\\.so"), "");
    EXPECT_NE(mapped("^libQt5Core\\.so"), "");
    for (const char* display : {"^libosg", "^libOpenThreads", "^libQt5Gui", "^libQt5Widgets", "^libQt5OpenGL",
                                "^libGL\\.so", "^libGLX", "^libOpenGL"}) {
        EXPECT_EQ(mapped(display), "") << display;
    }
}
