// "TreeMeta.json": the scene list read at the start, and a binding saved back into the same file.
#include <cstdint>

#include "fuzzfiles.h"
#include "scenelist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString file = QString::fromStdString(writeFuzzFile("TreeMeta.json", data, size));
    std::list<FileManage> scenes = readSceneList(file);
    if (scenes.empty()) {
        return 0;
    }
    // As the binding dialog does: every record of the name takes the folder.
    const QString name = scenes.front().name;
    for (FileManage& scene : scenes) {
        if (scene.name == name) {
            scene.path = "/bound/by/fuzzing";
        }
    }
    if (saveSceneBinding(file, scenes, name)) {
        // What was saved reads back with the new folder.
        const std::list<FileManage> reread = readSceneList(file);
        bool found = false;
        for (const FileManage& scene : reread) {
            found = found || (scene.name == name && scene.path == "/bound/by/fuzzing");
        }
        if (!found) {
            __builtin_trap();
        }
    }
    return 0;
}
