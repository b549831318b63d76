// `vantry ls LOCATION`: the host's volumes, or a remote folder's entries, one a line.
#include "GuestRunner.h"
#include "Verbs.h"

#include "MacTime.h"

#include <cstdio>
#include <ctime>

namespace {
const char kLsUsage[] =
    "Usage: vantry ls [OPTIONS] LOCATION\n"
    "\n"
    "Lists the volumes of a host (vantry://HOST) or the entries of a remote folder, one a line:\n"
    "kind (volume, folder, file), size in bytes (free bytes for a volume), modification date and\n"
    "time when the host sends one, then the name.\n"
    "\n";

// Mac times count seconds of local time since 1904; shown as they are.
std::string MacTimeText(std::uint32_t dwModTime)
{
    if (dwModTime < kMacTimeTo1970)
        return {};
    const std::time_t t = static_cast<std::time_t>(dwModTime - kMacTimeTo1970);
    std::tm fields{};
    if (!gmtime_r(&t, &fields))
        return {};
    char szText[32];
    std::strftime(szText, sizeof szText, "%Y-%m-%d %H:%M:%S", &fields);
    return szText;
}
} // namespace

int RunLsVerb(int argc, char** argv, const TVerbArguments& args)
{
    const TGuestOptions options = ParseGuestOptions(args, false);
    if (options.bHelp) {
        std::fputs(kLsUsage, stdout);
        std::fputs(kGuestOptionsHelp, stdout);
        std::fputs(kExitStatusHelp, stdout);
        return 0;
    }
    if (!options.strError.empty())
        return UsageError("ls", options.strError);
    if (options.operands.size() != 1)
        return UsageError("ls", "one LOCATION is needed");
    TGuestLocation location;
    if (const std::string strError = ParseGuestLocation(options.operands[0], &location); !strError.empty())
        return UsageError("ls", strError);

    return RunGuestSession(argc, argv, "ls", options, location, location.strFolder, [&](TGuestRun& run) {
        if (location.strFolder.empty()) {
            for (const TRemoteVolume& volume : run.session.RemoteVolumes())
                std::printf("volume %12u %19s  %s\n", RemoteVolumeFreeSpace(volume.record), "", volume.sName.c_str());
        } else {
            for (const TRemoteEntry& entry : run.session.RemoteListing().CurrentEntries()) {
                const bool bFolder = (entry.wAttributes & kRemoteAttrFolder) != 0 || entry.dwFolder != 0;
                std::printf("%-6s %12u %19s  %s\n", bFolder ? "folder" : "file", entry.dwSize,
                            MacTimeText(entry.dwModTime).c_str(), std::string(RemoteEntryName(entry)).c_str());
            }
        }
        std::fflush(stdout);
        run.Finish();
    });
}
