#pragma once

#include <string>

// The seven inputs of a landslide run, in the order of the landslide form's list.
struct LandslideInputs {
    std::string deposit;     // 堆积体: greater than 0 where the slide material lies after the slide
    std::string path;        // 滑坡道: between 0 and 10000 (exclusive) on the slide path
    std::string body;        // 滑坡体: thickness of the slide mass before the slide, m
    std::string image;       // 灾后影像: the ground's colours after the slide (bands 1 to 3 = RGB)
    std::string centreline;  // 中心线: any value but no-data on the slide's centreline
    std::string mosaic;      // 镶嵌后dem: ground before the slide, the grid the run works on
    std::string postDem;     // 灾后dem: ground after the slide, taken to lie on the mosaic's grid
};

// What the landslide form hands over to start a run: its seven inputs and the output format.
struct LandslideRunRequest {
    LandslideInputs inputs;
    std::string format = ".ive";
};
