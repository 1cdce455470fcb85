#pragma once

#include <string>
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

// Writes `values` as the GeoTIFF `name` in `folder` (created if missing), no-data `summaryNoData`,
// through a temporary name: a reader, or a run rewriting its summary, never finds a half-written file.
// False, with the reason in `problem`, when it cannot be written.
bool writeSummaryRaster(const std::string& folder, const std::string& name, const RasterFrame& frame,
                        const std::vector<float>& values, std::string& problem);

// Writes `text` as the file `name` in `folder` (created if missing) through a temporary name.
bool writeSummaryText(const std::string& folder, const std::string& name, const std::string& text,
                      std::string& problem);
