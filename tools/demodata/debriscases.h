#pragma once

#include <QString>
#include <string>
#include <vector>

// A debris-flow case study: where its folders lie, the fixed viewpoint it opens at, and its marks.
struct DebrisCase {
    std::string name;
    std::string terrainFile;  // below the case folder
    std::string playFolder;   // prepared frames, below the case folder
    double eye[3];
    double center[3];  // far along the line of sight: a view direction
    double up[3];
    std::string gullyName;  // text mark over the gully; none when empty
    unsigned seed;
    // Where the gully begins, where its fan begins and where the ground rises again beyond the fan,
    // metres along the fall line from the point the view looks at (uphill negative): the view is to show
    // the gully's head and the whole fan, on which the debris comes to rest.
    double headAt;
    double fanAt;
    double basinAt;
};

// "七盘泥石流" and "文家泥石流", in the order of the scene list.
std::vector<DebrisCase> debrisCases();

// Writes the case's folder: a synthetic slope where its viewpoint looks (terrain model, grid and breach
// file in "Disaster_Data"), its configuration, its marks, and the frames of its debris flow computed by
// vantorel-batch (`batch`) into the play folder. Runs `seconds` of simulated time.
bool buildDebrisCase(const DebrisCase& debrisCase, const QString& folder, const QString& batch, int seconds);
