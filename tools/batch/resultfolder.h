#pragma once

#include <string>

class ResultFolderLock;

// Whether a run writes a summary folder beside its result folder.
enum class RunSummary { beside, none };

// The output folder of a batch run. Creates it when missing and locks it for the run (`lock` holds the
// lock until it goes), so that a second run into the same folder is refused. A folder that holds results
// of an earlier run (numbered result files, or temporary files of an interrupted one) is refused, since
// old and new frames would mix; with `overwrite` those files, and no others, are removed first. With a
// summary beside, its folder must be one the run can make, and its summary files are removed as well:
// they describe results that are no longer there. False, with the reason in `problem`, when the folder or its summary
// folder cannot be made, the folder is in use, or it cannot be cleared (a folder named like a result is
// refused before anything is removed).
bool prepareResultFolder(const std::string& folder, bool overwrite, RunSummary summary,
                         ResultFolderLock& lock, std::string& problem);
