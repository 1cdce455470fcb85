#pragma once

#include <string>

// The output folder of a batch run. Creates it when missing. A folder that holds results of an earlier
// run (numbered result files, or temporary files of an interrupted one) is refused, since old and new
// frames would mix; with `overwrite` those files, and no others, are removed first. False, with the
// reason in `problem`, when the folder cannot be made or cleared.
bool prepareResultFolder(const std::string& folder, bool overwrite, std::string& problem);
