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
};

// Copies items[nIndex..] one after the other, then ends the run.
void PutFrom(TGuestRun& run, const std::vector<TPutItem>& items, const std::string& strDest, std::size_t nIndex)
{
    if (nIndex == items.size()) {
        run.Finish();
        return;
    }
    const TPutItem& put = items[nIndex];
    const bool bStarted = run.window.Engine().StartCopy(
        ECopySource::Local, {put.item}, put.strFolder, strDest, [&run, &items, &strDest, nIndex](const TCopyOutcome& outcome) {
            ReportCopyOutcome(run, outcome);
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
    const TGuestOptions options = ParseGuestOptions(args, true);
    if (options.bHelp) {
        std::fputs(kPutUsage, stdout);
        std::fputs(kGuestOptionsHelp, stdout);
        std::fputs(kCopyOptionsHelp, stdout);
        std::fputs(kExitStatusHelp, stdout);
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
    for (std::size_t i = 0; i + 1 < options.operands.size(); ++i) {
        std::string strPath;
        TPutItem put;
        const int nKind = LocalWindowsPath(options.operands[i], &strPath) ? LFN_IsDirectory(strPath.c_str()) : -1;
        SplitWindowsPath(strPath, &put.strFolder, &put.item.sName);
        if (nKind < 0 || put.item.sName.empty()) {
            std::fprintf(stderr, "vantry put: %s: no such file or folder\n", options.operands[i].c_str());
            return 1;
        }
        put.item.bFolder = nKind == 1;
        items.push_back(std::move(put));
    }
    const std::string strDest = location.strFolder;
    return RunGuestSession(argc, argv, "put", options, location, strDest, [&](TGuestRun& run) {
        if (!run.session.MayWriteToRemote()) {
            run.window.Fail(LoadStringId(IDS_NO_COPY_PRIVILEGE));
            run.Finish();
            return;
        }
        for (std::size_t i = 0; i < items.size(); ++i)
            run.window.AddLocalName(JoinLocalPath(items[i].strFolder, items[i].item.sName), options.operands[i]);
        PutFrom(run, items, strDest, 0);
    });
}
