// `vantry mkdir [-p] LOCATION`: makes a remote folder (with -p, every missing folder on its way).
#include "GuestRunner.h"
#include "Verbs.h"

#include <cstdio>

namespace {
const char kMkdirUsage[] =
    "Usage: vantry mkdir [OPTIONS] LOCATION\n"
    "\n"
    "Makes a folder on the host; the folder above it must exist. Needs the host's write privilege.\n"
    "\n";
const char kMkdirOptions[] =
    "  -p, --parents          make the missing folders above it too; a folder that exists\n"
    "                         already is no error\n"
    "  -v, --verbose          name each folder made\n";

struct TFolderStep {
    std::string strParent; // pane form
    std::string strName;
    std::string strFolder;
};

// The folders from the drive's root down to the location's ("C:\a", "C:\a\b", ...).
std::vector<TFolderStep> StepsDown(const TGuestLocation& location)
{
    std::vector<TFolderStep> steps;
    const std::string& strFolder = location.strFolder;
    std::size_t nStart = strFolder.find('\\');
    std::string strParent = strFolder.substr(0, nStart + (strFolder[nStart - 1] == ':' ? 1 : 0));
    while (nStart != std::string::npos && nStart + 1 < strFolder.size()) {
        const std::size_t nEnd = strFolder.find('\\', nStart + 1);
        const std::string strName = strFolder.substr(nStart + 1, nEnd == std::string::npos ? nEnd : nEnd - nStart - 1);
        const std::string strHere = strFolder.substr(0, nEnd);
        steps.push_back({strParent, strName, strHere});
        strParent = strHere;
        nStart = nEnd;
    }
    return steps;
}

// Makes steps[nIndex..]; with -p a folder that exists is passed by.
void MakeFrom(TGuestRun& run, const TGuestOptions& options, const std::vector<TFolderStep>& steps, std::size_t nIndex)
{
    if (nIndex == steps.size()) {
        run.Finish();
        return;
    }
    run.session.ListRemoteFolder(steps[nIndex].strParent, [&run, &options, &steps, nIndex] {
        const TFolderStep& step = steps[nIndex];
        if (run.session.m_nPaneResult != kFTP_resOK || run.session.ListedRemotePath() != step.strParent) {
            run.window.Fail("cannot create folder " + RemoteDisplayPath(step.strFolder) + ": its parent cannot be listed");
            run.Finish();
            return;
        }
        if (options.bParents) {
            const std::vector<TRemoteEntry> entries = run.session.RemoteListing().CurrentEntries();
            if (const TRemoteEntry* pEntry = FindListedEntry(entries, step.strName)) {
                if ((pEntry->wAttributes & kRemoteAttrFolder) != 0 || pEntry->dwFolder != 0) {
                    MakeFrom(run, options, steps, nIndex + 1);
                } else {
                    run.window.Fail("cannot create folder " + RemoteDisplayPath(step.strFolder) + ": a file has that name");
                    run.Finish();
                }
                return;
            }
        }
        // The session shows the message when the host refuses.
        run.window.onNewFolderDone = [&run, &options, &steps, nIndex](bool bMade) {
            if (!bMade) {
                run.Finish();
                return;
            }
            if (options.bVerbose)
                std::printf("created %s\n", RemoteDisplayPath(steps[nIndex].strFolder).c_str());
            MakeFrom(run, options, steps, nIndex + 1);
        };
        run.session.CreateRemoteFolder(step.strName);
    });
}
} // namespace

int RunMkdirVerb(int argc, char** argv, const TVerbArguments& args)
{
    const TGuestOptions options = ParseGuestOptions(args, VerbOption::kParents | VerbOption::kVerbose);
    if (options.bHelp) {
        PrintGuestVerbHelp(kMkdirUsage, kMkdirOptions);
        return 0;
    }
    if (!options.strError.empty())
        return UsageError("mkdir", options.strError);
    if (options.operands.size() != 1)
        return UsageError("mkdir", "one LOCATION is needed");
    TGuestLocation location;
    if (const std::string strError = ParseGuestLocation(options.operands[0], &location); !strError.empty())
        return UsageError("mkdir", strError);
    if (location.strName.empty())
        return UsageError("mkdir", options.operands[0] + " names no folder");
    std::vector<TFolderStep> steps = StepsDown(location);
    if (!options.bParents)
        steps.erase(steps.begin(), steps.end() - 1);
    return RunGuestSession(argc, argv, "mkdir", options, location, steps.front().strParent,
                           [&](TGuestRun& run) { MakeFrom(run, options, steps, 0); });
}
