#pragma once

#include <QString>
#include <string>
#include <vector>

#include "syntheticvalley.h"

// The landslide case studies. Both tell the story of a slide that dams the valley of the flood case
// "danba flood" (the flood their presentation hands over to), at its dam: the same valley, without the
// dam, is the terrain before the slide, and the slide's deposit builds the dam. One slide comes down the
// north wall, the other the south wall.
struct LandslideCaseDesign {
    std::string name;
    int side = 1;  // +1: the slide comes down the north wall, -1: the south wall
    // The earlier disasters at the site, as (text, metres east of the toe, metres up the slope).
    struct History {
        std::string text;
        double east;
        double upSlope;
    };
    std::vector<History> history;
    std::string structureNote;  // the geological-structure label
    std::string boundaryName;   // the label of the slide area's outline
    std::string rainText;       // the rainfall that set the slide off
    std::string lakeName;       // the barrier lake's label
};

std::vector<LandslideCaseDesign> landslideCases();

// Writes the case folder: the terrain before the slide, the seven rasters of the slide, its 101 result
// frames computed by `batch` (vantorel-batch landslide), the outline, geological lines, slide point and
// barrier-lake files, and "LandslideXML.xml". `valley` is the design of the dammed valley. With a
// `frameStep` above 1 the folder keeps only every frameStep-th frame of the slide and its final state,
// numbered on from 1: the same slide in fewer frames. False, with a message on standard error, when
// something cannot be written or the run fails.
bool buildLandslideCase(const LandslideCaseDesign& design, const ValleyDesign& valley, const QString& folder,
                        const QString& batch, int frameStep = 1);
