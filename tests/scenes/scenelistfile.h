#pragma once

#include <gtest/gtest.h>
#include <QProcess>
#include <QString>
#include <list>

#include "scenelist.h"
#include "testfiles.h"

inline bool operator==(const FileManage& a, const FileManage& b) {
    return a.name == b.name && a.path == b.path && a.type == b.type;
}

inline void PrintTo(const FileManage& scene, std::ostream* out) {
    *out << "{" << scene.name.toStdString() << ", " << scene.path.toStdString() << ", "
         << scene.type.toStdString() << "}";
}

// The scene list as an independent JSON reader (python3's json module) sees it: one line per record,
// its keys in file order followed by its values, tab-separated. Fails the test when python3 cannot
// parse the file.
inline QStringList recordsSeenByPython(const QString& file) {
    const char* script = R"(
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    document = json.load(f, object_pairs_hook=list)
assert [key for key, _ in document] == ["test"], document
for record in document[0][1]:
    print("\t".join([key for key, _ in record] + [value for _, value in record]))
)";
    QProcess python;
    python.start("python3", {"-c", script, file});
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

inline QString pythonLine(const FileManage& scene) {
    return QString("name\tpath\ttype\t%1\t%2\t%3").arg(scene.name, scene.path, scene.type);
}
