// "configXML.xml" of the current scene, as the program asks for its categories.
#include <cstdint>
#include <iostream>

#include "configreader.h"
#include "fuzzfiles.h"
#include "scenelist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    writeFuzzFile("configXML.xml", data, size);
    std::cout.setstate(std::ios::failbit);
    SceneCatalog catalog;
    catalog.scenes = {{"fuzz", QString::fromStdString(fuzzPath("")).chopped(1), "1"}};
    catalog.currentScene = "fuzz";
    SceneConfigReader reader(catalog);
    // One category of each kind of entry: "strPath" of every entry, the camera triples, "path" entries.
    for (const char* category : {"Path", "Camera", "Othershp"}) {
        reader.readConfigValues(reader.path, category);
    }
    std::cout.clear();
    return 0;
}
