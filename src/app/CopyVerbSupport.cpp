#include "CopyVerbSupport.h"

#include "OVFDrives.h"

#include <cstdio>
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

std::string LocalPathProblem(const std::string& strTyped, bool* pbSkip)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(strTyped, error);
    *pbSkip = true;
    if (fs::is_symlink(status))
        return strTyped + ": symbolic link";
    if (error || !fs::exists(status))
        return {};
    std::string strWindows;
    const std::string strName = fs::path(strTyped).lexically_normal().filename().string();
    if (strName.find_first_of(":\\") != std::string::npos || !LocalWindowsPath(strTyped, &strWindows))
        return strTyped + ": the host cannot hold this name";
    *pbSkip = false;
    if (!fs::is_regular_file(status) && !fs::is_directory(status))
        return "not a regular file: " + strTyped;
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
    // Each item that failed or was left out has had its own line; the summary counts them.
    if (outcome.nFilesFailed != 0 || outcome.nItemsSkipped != 0) {
        std::fprintf(stderr, "vantry %s: %llu file(s) copied, %llu failed, %llu skipped\n", run.window.Verb().c_str(),
                     static_cast<unsigned long long>(outcome.nFilesCopied),
                     static_cast<unsigned long long>(outcome.nFilesFailed),
                     static_cast<unsigned long long>(outcome.nItemsSkipped));
        return;
    }
    // A session that stops for another reason (a lost connection) says so itself as it closes.
    if (outcome.bStopped && !run.window.FailureShown() && run.session.StopReason() == kStopUserClosed)
        run.window.Fail("the copy was cancelled");
}
