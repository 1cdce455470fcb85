#pragma once

#include <osg/Geode>
#include <osg/Node>
#include <osg/Vec4>
#include <osg/ref_ptr>
#include <string>
#include <vector>

#include "debrissurface.h"
#include "terrainheights.h"

class DebrisHud;
class DebrisRun;

// What a debris-flow run paints its surface with.
struct DebrisTickSettings {
    osg::Vec4 shallowColour = debrisShallowColour;
    osg::Vec4 deepColour = debrisDeepColour;
};

// Sets `run` up from the fifteen run parameters, the terrain grid and the breach file, and reads the
// terrain heights its surface is lifted by into `heights`. False, with the reason in `problem`, when
// the run refuses its inputs or the heights do not cover the grid line by line; `run` and `heights` are
// then left empty.
bool startDebrisRun(DebrisRun& run, TerrainHeights& heights, const std::vector<double>& values,
                    const std::string& gridPath, const std::string& breachPath, std::string& problem);

// One tick of a debris-flow run, shared by the window's live run and the headless run: one model step;
// when the step's frame is due, the frame's figures into `hud` and its debris surface (null on the other
// ticks); then the clock moves on. The caller ends the run once `run.finished()`.
osg::ref_ptr<osg::Geode> advanceDebrisTick(DebrisRun& run, const TerrainHeights& heights, DebrisHud& hud,
                                           const DebrisTickSettings& settings);

// Writes frame `number` into `folder`: the surface as `number` + `format` (".ive" or ".3ds"; no model
// for an empty format) and the figures as `number` + ".txt". False, naming the file in `failedFile`
// (and in `problem`, when given, with the reason: "cannot write "FILE": REASON"), when a file could not
// be written.
bool writeDebrisFrame(const std::string& folder, int number, const std::string& format,
                      const osg::Node& surface, const DebrisHud& hud, std::string& failedFile,
                      std::string* problem = nullptr);
