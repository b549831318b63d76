// `vantry ls LOCATION`: the host's volumes, a remote folder's entries or one remote file, one a
// line sorted by name, or one JSON object a line with --json.
#include "GuestRunner.h"
#include "ListingFormat.h"
#include "Verbs.h"

#include <algorithm>
#include <cstdio>

namespace {
const char kLsUsage[] =
    "Usage: vantry ls [OPTIONS] LOCATION\n"
    "\n"
    "Lists the volumes of a host (vantry://HOST), the entries of a remote folder, or a remote file,\n"
    "one a line sorted by name: kind (volume, folder, file), size in bytes (free bytes for a\n"
    "volume), modification time in ISO 8601 with its zone (\"-\" when the host sends none), then\n"
    "the name, control characters and backslashes written as C escapes (\\n, \\\\, \\x1b).\n"
    "\n";
const char kLsOptions[] =
    "  --json                 one JSON object a line instead: name, kind, size (bytes),\n"
    "                         modified (ISO 8601 in UTC, or null) and attributes (a list of\n"
    "                         read-only, hidden, system, archive)\n"
    "  -v, --verbose          show the remote host's log lines (with --ssh)\n";

TListedItem ItemOfEntry(const TRemoteEntry& entry)
{
    TListedItem item;
    item.strName = RemoteEntryName(entry);
    const bool bFolder = (entry.wAttributes & kRemoteAttrFolder) != 0 || entry.dwFolder != 0;
    item.eKind = bFolder ? EListedKind::Folder : EListedKind::File;
    item.nSize = bFolder ? 0 : RemoteEntrySize(entry);
    item.modified = MomentOfListedMacTime(entry.dwModTime);
    item.nAttributes = static_cast<std::uint8_t>(entry.wAttributes & 0x27);
    return item;
}

void Print(std::vector<TListedItem> items, bool bJson)
{
    std::sort(items.begin(), items.end(),
              [](const TListedItem& a, const TListedItem& b) { return a.strName < b.strName; });
    for (const TListedItem& item : items)
        std::printf("%s\n", (bJson ? ListingJson(item) : ListingLine(item)).c_str());
    std::fflush(stdout);
}

std::vector<TListedItem> ListedItems(TGuestRun& run)
{
    std::vector<TListedItem> items;
    for (const TRemoteEntry& entry : run.session.RemoteListing().CurrentEntries())
        items.push_back(ItemOfEntry(entry));
    return items;
}
} // namespace

int RunLsVerb(int argc, char** argv, const TVerbArguments& args)
{
    const TGuestOptions options = ParseGuestOptions(args, VerbOption::kJson | VerbOption::kVerbose);
    if (options.bHelp) {
        PrintGuestVerbHelp(kLsUsage, kLsOptions);
        return 0;
    }
    if (!options.strError.empty())
        return UsageError("ls", options.strError);
    if (options.operands.size() != 1)
        return UsageError("ls", "one LOCATION is needed");
    TGuestLocation location;
    if (const std::string strError = ParseGuestLocation(options.operands[0], &location); !strError.empty())
        return UsageError("ls", strError);

    // Below a root the folder above is listed first: the location may name a file.
    const std::string strListFirst = location.strName.empty() ? location.strFolder : location.strParent;
    return RunGuestSession(argc, argv, "ls", options, location, strListFirst, [&](TGuestRun& run) {
        if (location.strFolder.empty()) {
            std::vector<TListedItem> volumes;
            for (const TRemoteVolume& volume : run.session.RemoteVolumes())
                volumes.push_back({volume.sName, EListedKind::Volume, RemoteVolumeFreeSpace(volume.record), std::nullopt, 0});
            Print(std::move(volumes), options.bJson);
            run.Finish();
            return;
        }
        if (location.strName.empty()) {
            Print(ListedItems(run), options.bJson);
            run.Finish();
            return;
        }
        const std::vector<TRemoteEntry> entries = run.session.RemoteListing().CurrentEntries();
        // A host lists a folder that does not exist as an empty one: the folder above tells.
        const TRemoteEntry* pEntry = FindListedEntry(entries, location.strName);
        if (!pEntry) {
            run.window.Fail(RemoteDisplayPath(location.strFolder) + ": no such file or folder on the host");
            run.Finish();
            return;
        }
        const TListedItem item = ItemOfEntry(*pEntry);
        if (item.eKind == EListedKind::File) {
            Print({item}, options.bJson);
            run.Finish();
            return;
        }
        run.session.ListRemoteFolder(location.strFolder, [&run, &location, &options] {
            if (run.session.m_nPaneResult != kFTP_resOK || run.session.ListedRemotePath() != location.strFolder)
                run.window.Fail(RemoteDisplayPath(location.strFolder) + ": the host cannot list this folder");
            else
                Print(ListedItems(run), options.bJson);
            run.Finish();
        });
    });
}
