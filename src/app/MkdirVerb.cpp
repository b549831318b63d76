// `vantry mkdir LOCATION`: makes a remote folder.
#include "GuestRunner.h"
#include "Verbs.h"

#include <cstdio>

namespace {
const char kMkdirUsage[] =
    "Usage: vantry mkdir [OPTIONS] LOCATION\n"
    "\n"
    "Makes a folder on the host; the folder above it must exist.\n"
    "\n";
} // namespace

int RunMkdirVerb(int argc, char** argv, const TVerbArguments& args)
{
    const TGuestOptions options = ParseGuestOptions(args, false);
    if (options.bHelp) {
        std::fputs(kMkdirUsage, stdout);
        std::fputs(kGuestOptionsHelp, stdout);
        std::fputs(kExitStatusHelp, stdout);
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
    return RunGuestSession(argc, argv, "mkdir", options, location, location.strParent, [&](TGuestRun& run) {
        // The session shows the message when the host refuses.
        run.window.onNewFolderDone = [&run](bool) { run.Finish(); };
        run.session.CreateRemoteFolder(location.strName);
    });
}
