// "LandslideXML.xml", the landslide scenario file of the current scene, as the program asks for its
// categories.
#include <cstdint>
#include <iostream>

#include "configreader.h"
#include "fuzzfiles.h"
#include "scenelist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    writeFuzzFile("LandslideXML.xml", data, size);
    std::cout.setstate(std::ios::failbit);
    SceneCatalog catalog;
    catalog.scenes = {{"fuzz", QString::fromStdString(fuzzPath("")).chopped(1), "3"}};
    catalog.currentScene = "fuzz";
    SceneConfigReader reader(catalog);
    // One category of each kind: "strPath" of every entry, camera triples, entries of several tags and
    // attribute names, and a category the file may not have.
    for (const char* category : {"Path", "Camera2", "landslide", "DoubleArrow2", "BendArrow", "none"}) {
        reader.readLandslideValues(reader.path, category);
    }
    std::cout.clear();
    return 0;
}
