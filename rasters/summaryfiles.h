#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "georaster.h"

// The files of a run's summary folder, shared by the flood and the debris-flow summaries.

// The no-data value of the summary rasters: cells the flow never reached.
constexpr float summaryNoData = -9999.0f;

// "<result folder>_summary": beside the result folder rather than in it, because the replay counts the
// entries of a result folder.
std::string summaryFolderOf(const std::string& resultFolder);

// Creates `folder` and its parents when missing. False, with the reason in `problem`, when it is not a
// folder afterwards.
bool makeSummaryFolder(const std::string& folder, std::string& problem);

// Whether the summary folder of `resultFolder` can take a summary: its name fits the file system and
// leads nowhere through a link, and nothing other than a folder is in its place. Checked before a run
// computes anything, so that a run does not end in "cannot create the summary folder". False, naming
// the folder, otherwise.
bool checkSummaryFolder(const std::string& resultFolder, std::string& problem);

// Whether `name` is a file a summary writes ("volume.csv", "maxDepth.tif", "monitor_3.png", ...), or a
// temporary file of one that an interrupted write left.
bool isSummaryFileName(std::string_view name);

// Removes the summary files (isSummaryFileName) of the summary folder of `resultFolder`, and nothing
// else: the results of that folder are being cleared, and an earlier run's monitor record or plots
// must not stand beside the new results. False, naming the file, when one cannot be removed.
bool removeSummaryFiles(const std::string& resultFolder, std::string& problem);

// Writes `values` as the GeoTIFF `name` in `folder` (created if missing), no-data `summaryNoData`,
// through a temporary name: a reader, or a run rewriting its summary, never finds a half-written file,
// and a link planted under the name is replaced rather than written through. False, with the reason
// in `problem`, when it cannot be written; a folder this call created stays only with a file in it.
bool writeSummaryRaster(const std::string& folder, const std::string& name, const RasterFrame& frame,
                        const std::vector<float>& values, std::string& problem);

// Writes `text` as the file `name` in `folder` (created if missing) in the same way.
bool writeSummaryText(const std::string& folder, const std::string& name, const std::string& text,
                      std::string& problem);
