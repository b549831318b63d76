#include "CopyVerbSupport.h"

#include "OVFDrives.h"

#include <filesystem>

namespace {
// The absolute form of a local path, without a trailing slash; empty when it has none.
std::string AbsolutePath(const std::string& strPosix)
{
    std::error_code error;
    std::string strPath = std::filesystem::absolute(strPosix, error).lexically_normal().string();
    if (error)
        return {};
    while (strPath.size() > 1 && strPath.back() == '/')
        strPath.pop_back();
    return strPath;
}
} // namespace

bool LocalWindowsPath(const std::string& strPosix, std::string* pWindows)
{
    const std::string strPath = AbsolutePath(strPosix);
    OVF_UseLocalMachineDrives();
    return !strPath.empty() && OVF_PosixToWindowsPath(strPath, *pWindows);
}

std::string LocalPathLengthProblem(const std::string& strPosix)
{
    const std::string strPath = AbsolutePath(strPosix);
    OVF_UseLocalMachineDrives();
    // The file layer's form is one character longer: "C:" stands for the leading "/".
    if (strPath.size() + 2 >= OVF_PathLimit())
        return "the path is longer than " + std::to_string(OVF_PathLimit() - 3) + " characters";
    for (const auto& name : std::filesystem::path(strPath)) {
        if (name.string().size() >= MAX_ELEMENT)
            return "a name in it is longer than " + std::to_string(MAX_ELEMENT - 1) + " characters";
    }
    return {};
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
