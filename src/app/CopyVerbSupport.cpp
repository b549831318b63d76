#include "CopyVerbSupport.h"

#include "OVFDrives.h"

#include <cstdio>
#include <filesystem>

namespace {
// A stopped copy names this many of the items it did not reach, then counts the rest.
constexpr std::size_t kNotReachedNamed = 10;

// The absolute form of a local path, without a trailing slash; empty when it has none. The
// folders above its last element are taken where the system finds them (a home folder may be a
// link to another disk); the last element itself is not followed.
std::string AbsolutePath(const std::string& strPosix)
{
    std::error_code error;
    std::string strPath = std::filesystem::absolute(strPosix, error).lexically_normal().string();
    if (error)
        return {};
    while (strPath.size() > 1 && strPath.back() == '/')
        strPath.pop_back();
    const std::filesystem::path path(strPath);
    if (path == path.root_path())
        return strPath;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(path.parent_path(), error);
    return error ? strPath : (folder / path.filename()).string();
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

namespace {
// A stop names what it left: the file it was in the middle of, and some of the items it did not
// reach (the copy's own, as pane paths, then those of `more`, as the user typed them).
void ReportNotCopied(TGuestRun& run, const TCopyOutcome& outcome, const std::vector<std::string>& more)
{
    const char* pszVerb = run.window.Verb().c_str();
    if (!outcome.sInterrupted.empty())
        std::fprintf(stderr, "vantry %s: %s: not copied, the copy stopped in the middle of it\n", pszVerb,
                     run.window.ShownPath(outcome.sInterrupted, outcome.bRemoteSource).c_str());
    const std::size_t nCount = outcome.notReached.size() + more.size();
    if (nCount == 0)
        return;
    std::string strNames;
    std::size_t nNamed = 0;
    for (std::size_t i = 0; i < nCount && nNamed < kNotReachedNamed; ++i, ++nNamed) {
        const bool bOwn = i < outcome.notReached.size();
        strNames += (nNamed ? ", " : "") + (bOwn ? run.window.ShownPath(outcome.notReached[i], outcome.bRemoteSource)
                                                 : more[i - outcome.notReached.size()]);
    }
    if (nCount > nNamed)
        strNames += " and " + std::to_string(nCount - nNamed) + " more";
    std::fprintf(stderr, "vantry %s: not reached, the copy stopped before them: %s\n", pszVerb, strNames.c_str());
}
} // namespace

void ReportCopyOutcome(TGuestRun& run, const TCopyOutcome& outcome, const std::vector<std::string>& more)
{
    run.window.Progress().CountCopied(outcome.nFilesCopied);
    // A session that stops for another reason (a lost connection) says so itself as it closes.
    if (outcome.bStopped && !run.window.FailureShown() && run.session.StopReason() == kStopUserClosed)
        run.window.Fail("the copy was cancelled");
    const std::size_t nNotCopied =
        outcome.bStopped ? outcome.notReached.size() + more.size() + (outcome.sInterrupted.empty() ? 0 : 1) : 0;
    if (nNotCopied != 0)
        ReportNotCopied(run, outcome, more);
    TCopyTotals& totals = run.totals;
    totals.nFilesCopied += outcome.nFilesCopied;
    totals.nFilesFailed += outcome.nFilesFailed;
    totals.nItemsSkipped += outcome.nItemsSkipped;
    totals.nNotCopied += nNotCopied;
    totals.bStopped = totals.bStopped || outcome.bStopped;
}

void ReportCopyTotals(const TGuestRun& run)
{
    // Each item that failed or was left out has had its own line; the summary counts them. A
    // copy that stopped has it too, also when nothing is left to name (a stop after the last file).
    const TCopyTotals& totals = run.totals;
    if (totals.nFilesFailed == 0 && totals.nItemsSkipped == 0 && !totals.bStopped)
        return;
    std::fprintf(stderr, "vantry %s: %llu file(s) copied, %llu failed, %llu skipped", run.window.Verb().c_str(),
                 static_cast<unsigned long long>(totals.nFilesCopied),
                 static_cast<unsigned long long>(totals.nFilesFailed),
                 static_cast<unsigned long long>(totals.nItemsSkipped));
    if (totals.nNotCopied != 0)
        std::fprintf(stderr, ", %zu not copied as the copy stopped", totals.nNotCopied);
    std::fputc('\n', stderr);
}
