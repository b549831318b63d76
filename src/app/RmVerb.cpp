// `vantry rm LOCATION...`: removes remote files and whole folders, one request each.
#include "GuestRunner.h"
#include "Verbs.h"

#include "StringTable.h"

#include <cstdio>

namespace {
const char kRmUsage[] =
    "Usage: vantry rm [OPTIONS] LOCATION...\n"
    "\n"
    "Removes remote files and folders (a folder with everything in it) on one host. Needs the\n"
    "host's remove privilege.\n"
    "\n";

// Removes locations[nIndex..] one after the other, then ends the run.
void RemoveFrom(TGuestRun& run, const std::vector<TGuestLocation>& locations, std::size_t nIndex)
{
    if (nIndex == locations.size()) {
        run.Finish();
        return;
    }
    const TGuestLocation& location = locations[nIndex];
    run.session.ListRemoteFolder(location.strParent, [&run, &locations, nIndex] {
        const TGuestLocation& item = locations[nIndex];
        const std::vector<TRemoteEntry> entries = run.session.RemoteListing().CurrentEntries();
        const TRemoteEntry* pEntry = run.session.m_nPaneResult == kFTP_resOK ? FindListedEntry(entries, item.strName) : nullptr;
        if (!pEntry) {
            run.window.Fail(item.strFolder + ": no such file or folder on the host");
            RemoveFrom(run, locations, nIndex + 1);
            return;
        }
        const bool bFolder = (pEntry->wAttributes & kRemoteAttrFolder) != 0 || pEntry->dwFolder != 0;
        run.window.onRemoveDone = [&run, &locations, nIndex] { RemoveFrom(run, locations, nIndex + 1); };
        run.session.StartRemoteRemove({{item.strName, bFolder ? 1 : 0}});
    });
}
} // namespace

int RunRmVerb(int argc, char** argv, const TVerbArguments& args)
{
    const TGuestOptions options = ParseGuestOptions(args, false);
    if (options.bHelp) {
        std::fputs(kRmUsage, stdout);
        std::fputs(kGuestOptionsHelp, stdout);
        std::fputs(kExitStatusHelp, stdout);
        return 0;
    }
    if (!options.strError.empty())
        return UsageError("rm", options.strError);
    if (options.operands.empty())
        return UsageError("rm", "a LOCATION is needed");
    std::vector<TGuestLocation> locations(options.operands.size());
    for (std::size_t i = 0; i < locations.size(); ++i) {
        if (const std::string strError = ParseGuestLocation(options.operands[i], &locations[i]); !strError.empty())
            return UsageError("rm", strError);
        if (locations[i].strName.empty())
            return UsageError("rm", options.operands[i] + " names no file or folder");
        if (!SameHost(locations[i], locations[0]))
            return UsageError("rm", "every LOCATION must be on the same host");
    }
    return RunGuestSession(argc, argv, "rm", options, locations[0], {}, [&](TGuestRun& run) {
        if (!run.session.MayRemoveOnRemote()) {
            run.window.Fail(LoadStringId(IDS_NO_REMOVE_PRIVILEGE));
            run.Finish();
            return;
        }
        RemoveFrom(run, locations, 0);
    });
}
