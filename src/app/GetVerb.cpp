// `vantry get LOCATION LOCAL_DIR`: copies a remote file or folder tree into a local folder.
#include "CopyVerbSupport.h"
#include "Verbs.h"

#include "LFN.h"
#include "StringTable.h"

#include <cstdio>

namespace {
const char kGetUsage[] =
    "Usage: vantry get [OPTIONS] LOCATION LOCAL_DIR\n"
    "\n"
    "Copies a remote file, or a remote folder with everything in it, into LOCAL_DIR. A location\n"
    "that names a drive copies the drive's whole contents. A file arrives under a temporary name\n"
    "and replaces an earlier one only when complete. Needs the host's read privilege.\n"
    "\n";
} // namespace

int RunGetVerb(int argc, char** argv, const TVerbArguments& args)
{
    const TGuestOptions options = ParseGuestOptions(args, true);
    if (options.bHelp) {
        std::fputs(kGetUsage, stdout);
        std::fputs(kGuestOptionsHelp, stdout);
        std::fputs(kCopyOptionsHelp, stdout);
        std::fputs(kExitStatusHelp, stdout);
        return 0;
    }
    if (!options.strError.empty())
        return UsageError("get", options.strError);
    if (options.operands.size() != 2)
        return UsageError("get", "a LOCATION and a LOCAL_DIR are needed");
    TGuestLocation location;
    if (const std::string strError = ParseGuestLocation(options.operands[0], &location); !strError.empty())
        return UsageError("get", strError);
    if (location.strFolder.empty())
        return UsageError("get", options.operands[0] + " names no drive, file or folder");
    std::string strLocalDir;
    if (!LocalWindowsPath(options.operands[1], &strLocalDir) || LFN_IsDirectory(strLocalDir.c_str()) != 1) {
        std::fprintf(stderr, "vantry get: %s is not a folder\n", options.operands[1].c_str());
        return 1;
    }
    const std::string strSource = location.strName.empty() ? location.strFolder : location.strParent;
    return RunGuestSession(argc, argv, "get", options, location, strSource, [&](TGuestRun& run) {
        run.window.AddLocalName(strLocalDir, options.operands[1]);
        if (!run.session.MayCopyFromRemote()) {
            run.window.Fail(LoadStringId(IDS_NO_COPY_PRIVILEGE));
            run.Finish();
            return;
        }
        std::vector<TCopyItem> items;
        for (const TRemoteEntry& entry : run.session.RemoteListing().CurrentEntries()) {
            const std::string strName(RemoteEntryName(entry));
            const bool bFolder = (entry.wAttributes & kRemoteAttrFolder) != 0 || entry.dwFolder != 0;
            if (location.strName.empty() || strName == location.strName || location.strName == entry.szShortName)
                items.push_back({strName, bFolder});
            if (!location.strName.empty() && !items.empty())
                break;
        }
        if (items.empty()) {
            if (!location.strName.empty())
                run.window.Fail(location.strFolder + ": no such file or folder on the host");
            run.Finish();
            return;
        }
        run.window.Engine().StartCopy(ECopySource::Remote, std::move(items), strSource, strLocalDir,
                                      [&run](const TCopyOutcome& outcome) {
                                          ReportCopyOutcome(run, outcome);
                                          run.Finish();
                                      });
    });
}
