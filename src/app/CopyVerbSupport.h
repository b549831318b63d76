// What `vantry get` and `vantry put` share: local paths in the file layer's namespace and the
// report of a finished copy.
#pragma once

#include "GuestRunner.h"

#include <string>
#include <vector>

// The Windows-style path of a local POSIX path (made absolute). False when it cannot be named.
bool LocalWindowsPath(const std::string& strPosix, std::string* pWindows);
// Why a local path is too long to be named on this machine (the whole path, or one name in it),
// in the verb's words; empty when its length is fine.
std::string LocalPathLengthProblem(const std::string& strPosix);
// Why a local path named on the command line cannot be sent, in the verb's words naming the
// path as typed; empty when it can (or when it does not exist, which the caller tells). *pbSkip:
// the path is left out (a symbolic link, a name the host cannot hold) rather than failed.
std::string LocalPathProblem(const std::string& strTyped, bool* pbSkip);
// Splits "C:\dir\name" into "C:\dir" and "name"; "C:\" has no name.
void SplitWindowsPath(const std::string& strPath, std::string* pFolder, std::string* pName);
// Turns a copy that did not go through into a failure of the run (unless a message said so already).
// Names what a copy left, and adds it to the run's totals: `more` are items the verb itself did
// not start after a stop, as the user typed them.
void ReportCopyOutcome(TGuestRun& run, const TCopyOutcome& outcome, const std::vector<std::string>& more = {});
// The one summary line of a run whose copies failed, skipped or stopped: once all are done.
void ReportCopyTotals(const TGuestRun& run);
