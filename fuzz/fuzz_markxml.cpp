// "mark.xml" of a case study.
#include <QString>
#include <cstdint>
#include <iostream>

#include "fuzzfiles.h"
#include "scenemarks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = writeFuzzFile("mark.xml", data, size);
    std::cout.setstate(std::ios::failbit);
    readSceneMarks(QString::fromStdString(file));
    std::cout.clear();
    return 0;
}
