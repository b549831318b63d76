// `vantry put LOCAL_PATH... LOCATION`: copies local files and folder trees into a remote folder.
#include "CopyVerbSupport.h"
#include "Verbs.h"

#include "LFN.h"
#include "StringTable.h"

#include <cstdio>

namespace {
const char kPutUsage[] =
    "Usage: vantry put [OPTIONS] LOCAL_PATH... LOCATION\n"
    "\n"
    "Copies local files, and folders with everything in them, into the remote folder LOCATION.\n"
    "Needs the host's write privilege (and its remove privilege to replace files).\n"
    "\n";

struct TPutItem {
    std::string strFolder;
    TCopyItem item;
    std::string strTyped; // as the user named it
};

// Copies items[nIndex..] one after the other, then ends the run.
void PutFrom(TGuestRun& run, const std::vector<TPutItem>& items, const std::string& strDest, std::size_t nIndex)
{
    if (nIndex == items.size()) {
        ReportCopyTotals(run);
        run.Finish();
        return;
    }
    const TPutItem& put = items[nIndex];
    const bool bStarted = run.window.Engine().StartCopy(
        ECopySource::Local, {put.item}, put.strFolder, strDest, [&run, &items, &strDest, nIndex](const TCopyOutcome& outcome) {
            std::vector<std::string> later;
            for (std::size_t i = nIndex + 1; outcome.bStopped && i < items.size(); ++i)
                later.push_back(items[i].strTyped);
            ReportCopyOutcome(run, outcome, later);
            // An item that failed does not keep the next ones from going; a stopped copy does.
            PutFrom(run, items, strDest, outcome.bStopped ? items.size() : nIndex + 1);
        });
    if (!bStarted) {
        run.window.Fail("the copy could not be started");
        run.Finish();
    }
}
} // namespace

int RunPutVerb(int argc, char** argv, const TVerbArguments& args)
{
    const TGuestOptions options = ParseGuestOptions(args, VerbOption::kCopy | VerbOption::kRecursive | VerbOption::kVerbose);
    if (options.bHelp) {
        PrintGuestVerbHelp(kPutUsage, kCopyOptionsHelp);
        return 0;
    }
    if (!options.strError.empty())
        return UsageError("put", options.strError);
    if (options.operands.size() < 2)
        return UsageError("put", "a LOCAL_PATH and a LOCATION are needed");
    TGuestLocation location;
    if (const std::string strError = ParseGuestLocation(options.operands.back(), &location); !strError.empty())
        return UsageError("put", strError);
    if (location.strFolder.empty())
        return UsageError("put", options.operands.back() + " names no remote folder");
    std::vector<TPutItem> items;
    bool bSkipped = false;
    for (std::size_t i = 0; i + 1 < options.operands.size(); ++i) {
        const std::string& strTyped = options.operands[i];
        bool bSkip = false;
        if (const std::string strProblem = LocalPathProblem(strTyped, &bSkip); !strProblem.empty()) {
            std::fprintf(stderr, "vantry put: %s%s\n", bSkip ? "skipped " : "", strProblem.c_str());
            if (!bSkip)
                return kExitFailed;
            bSkipped = true;
            continue;
        }
        std::string strPath;
        TPutItem put;
        const int nKind = LocalWindowsPath(strTyped, &strPath) ? LFN_IsDirectory(strPath.c_str()) : -1;
        SplitWindowsPath(strPath, &put.strFolder, &put.item.sName);
        if (const std::string strProblem = LocalPathLengthProblem(options.operands[i]); !strProblem.empty()) {
            std::fprintf(stderr, "vantry put: %s: %s\n", options.operands[i].c_str(), strProblem.c_str());
            return 1;
        }
        if (nKind < 0 || put.item.sName.empty()) {
            std::fprintf(stderr, "vantry put: %s: no such file or folder\n", strTyped.c_str());
            return kExitFailed;
        }
        put.item.bFolder = nKind == 1;
        put.strTyped = strTyped;
        items.push_back(std::move(put));
    }
    if (items.empty())
        return kExitSkipped;
    const std::string strDest = location.strFolder;
    const int nStatus = RunGuestSession(argc, argv, "put", options, location, strDest, [&](TGuestRun& run) {
        if (!run.session.MayWriteToRemote()) {
            run.window.Fail(LoadStringId(IDS_NO_COPY_PRIVILEGE));
            run.Finish();
            return;
        }
        for (const TPutItem& put : items)
            run.window.AddLocalName(JoinLocalPath(put.strFolder, put.item.sName), put.strTyped);
        PutFrom(run, items, strDest, 0);
    });
    return nStatus == kExitDone && bSkipped ? kExitSkipped : nStatus;
}
