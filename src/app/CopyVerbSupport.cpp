#include "CopyVerbSupport.h"

#include "OVFDrives.h"

#include <filesystem>

bool LocalWindowsPath(const std::string& strPosix, std::string* pWindows)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(strPosix, error).lexically_normal();
    if (error)
        return false;
    std::string strPath = path.string();
    while (strPath.size() > 1 && strPath.back() == '/')
        strPath.pop_back();
    OVF_UseLocalMachineDrives();
    return OVF_PosixToWindowsPath(strPath, *pWindows);
}

void SplitWindowsPath(const std::string& strPath, std::string* pFolder, std::string* pName)
{
    const std::size_t nSlash = strPath.rfind('\\');
    if (nSlash == std::string::npos || nSlash + 1 == strPath.size()) {
        *pFolder = strPath;
        pName->clear();
        return;
    }
    *pFolder = strPath.substr(0, nSlash == 2 ? 3 : nSlash); // "C:\" keeps its backslash
    *pName = strPath.substr(nSlash + 1);
}

void ReportCopyOutcome(TGuestRun& run, const TCopyOutcome& outcome)
{
    run.window.Progress().CountCopied(outcome.nFilesCopied);
    if (run.window.FailureShown())
        return;
    if (outcome.bStopped)
        run.window.Fail("the copy was cancelled");
    else if (outcome.nFilesFailed != 0)
        run.window.Fail(std::to_string(outcome.nFilesFailed) + " file(s) could not be copied");
}
