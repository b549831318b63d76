// `vantry get LOCATION... LOCAL_PATH`: copies remote files and folder trees into a local folder,
// or one remote item to a local path that names the copy.
#include "CopyVerbSupport.h"
#include "ListingFormat.h"
#include "Verbs.h"

#include "LFN.h"
#include "OVFUploads.h"
#include "StringTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {
namespace fs = std::filesystem;

const char kGetUsage[] =
    "Usage: vantry get [OPTIONS] LOCATION... LOCAL_PATH\n"
    "\n"
    "Copies remote files, and remote folders with everything in them, into the local folder\n"
    "LOCAL_PATH. A location that names a drive copies the drive's whole contents. With one\n"
    "LOCATION naming a file or folder and a LOCAL_PATH that is not a folder, the copy gets that\n"
    "name (as cp does). A file arrives under a temporary name and replaces an earlier one only\n"
    "when complete. Needs the host's read privilege.\n"
    "\n";

// A copy that is to get a name of its own arrives in a hidden folder beside its destination, and
// is renamed into place once there: the destination folder never sees the remote name.
struct TNamedCopy {
    fs::path target;  // as the user wrote it
    fs::path staging; // the hidden folder; empty when copying into a folder
    bool bSkipped = false;

    ~TNamedCopy()
    {
        std::error_code error;
        if (!staging.empty())
            fs::remove_all(staging, error);
    }
    // Moves what arrived in the staging folder to the target; an error text, empty on success.
    std::string Place() const
    {
        std::error_code error;
        fs::directory_iterator arrived(staging, error);
        if (error || arrived == fs::directory_iterator())
            return {}; // nothing arrived whole: the copy's own failure says why
        fs::rename(arrived->path(), target, error);
        return error ? target.string() + ": " + error.message() : std::string();
    }
};

// Copies locations[nIndex..] one after the other into strLocalDir, then ends the run.
void GetFrom(TGuestRun& run, const std::vector<TGuestLocation>& locations, const std::string& strLocalDir,
             TNamedCopy& named, std::size_t nIndex)
{
    if (nIndex == locations.size()) {
        ReportCopyTotals(run);
        run.Finish();
        return;
    }
    const TGuestLocation& location = locations[nIndex];
    const std::string strSource = location.strName.empty() ? location.strFolder : location.strParent;
    run.session.ListRemoteFolder(strSource, [&run, &locations, &strLocalDir, &named, nIndex, strSource] {
        const TGuestLocation& item = locations[nIndex];
        auto next = [&run, &locations, &strLocalDir, &named, nIndex] { GetFrom(run, locations, strLocalDir, named, nIndex + 1); };
        if (run.session.m_nPaneResult != kFTP_resOK || run.session.ListedRemotePath() != strSource) {
            // A folder the host cannot read has been reported already.
            if (!run.window.FailureShown())
                run.window.Fail("remote folder " + RemoteDisplayPath(strSource) + " does not exist");
            next();
            return;
        }
        const std::vector<TRemoteEntry> entries = run.session.RemoteListing().CurrentEntries();
        std::vector<TCopyItem> items;
        const auto add = [&items](const TRemoteEntry& entry) {
            items.push_back({std::string(RemoteEntryName(entry)), (entry.wAttributes & kRemoteAttrFolder) != 0 || entry.dwFolder != 0});
        };
        if (item.strName.empty()) {
            std::for_each(entries.begin(), entries.end(), add);
        } else if (const TRemoteEntry* pEntry = FindListedEntry(entries, item.strName)) {
            add(*pEntry);
        } else {
            run.window.Fail(RemoteDisplayPath(item.strFolder) + ": no such file or folder on the host");
            next();
            return;
        }
        if (items.empty()) {
            next();
            return;
        }
        if (!named.staging.empty()) {
            std::error_code error;
            const fs::file_status existing = fs::symlink_status(named.target, error);
            if (items[0].bFolder && fs::exists(existing)) {
                run.window.Fail(named.target.string() + ": exists and is not a folder");
                next();
                return;
            }
            if (fs::exists(existing)) {
                const int nAnswer = run.window.AskReplace(EscapedName(named.target.string()), false);
                if (nAnswer == ReplaceAnswer::kCancel) {
                    run.window.Fail("cancelled");
                    next();
                    return;
                }
                if (nAnswer == ReplaceAnswer::kNo) {
                    std::fprintf(stderr, "vantry get: skipped %s: exists (use --replace all)\n",
                                 EscapedName(named.target.string()).c_str());
                    named.bSkipped = true;
                    next();
                    return;
                }
            }
        }
        run.window.Engine().StartCopy(ECopySource::Remote, std::move(items), strSource, strLocalDir,
                                      [&run, &locations, &named, nIndex, next](const TCopyOutcome& outcome) {
                                          std::vector<std::string> later;
                                          for (std::size_t i = nIndex + 1; outcome.bStopped && i < locations.size(); ++i)
                                              later.push_back(RemoteDisplayPath(locations[i].strFolder));
                                          ReportCopyOutcome(run, outcome, later);
                                          if (!named.staging.empty()) {
                                              if (const std::string strError = named.Place(); !strError.empty())
                                                  run.window.Fail(strError);
                                          }
                                          // An item that failed does not keep the next ones from going; a stopped copy does.
                                          if (outcome.bStopped) {
                                              ReportCopyTotals(run);
                                              run.Finish();
                                          } else {
                                              next();
                                          }
                                      });
    });
}
} // namespace

int RunGetVerb(int argc, char** argv, const TVerbArguments& args)
{
    const TGuestOptions options = ParseGuestOptions(args, VerbOption::kCopy | VerbOption::kRecursive | VerbOption::kVerbose);
    if (options.bHelp) {
        PrintGuestVerbHelp(kGetUsage, kCopyOptionsHelp);
        return 0;
    }
    if (!options.strError.empty())
        return UsageError("get", options.strError);
    if (options.operands.size() < 2)
        return UsageError("get", "a LOCATION and a LOCAL_PATH are needed");
    std::vector<TGuestLocation> locations(options.operands.size() - 1);
    for (std::size_t i = 0; i < locations.size(); ++i) {
        if (const std::string strError = ParseGuestLocation(options.operands[i], &locations[i]); !strError.empty())
            return UsageError("get", strError);
        if (locations[i].strFolder.empty())
            return UsageError("get", options.operands[i] + " names no drive, file or folder");
        if (!SameHost(locations[i], locations[0]))
            return UsageError("get", "every LOCATION must be on the same host");
    }
    const std::string& strLocal = options.operands.back();
    if (const std::string strProblem = LocalPathLengthProblem(strLocal); !strProblem.empty()) {
        std::fprintf(stderr, "vantry get: %s: %s\n", strLocal.c_str(), strProblem.c_str());
        return 1;
    }
    TNamedCopy named;
    std::string strLocalDir;
    std::error_code error;
    if (!fs::is_directory(strLocal, error)) {
        // One item to a path that is not a folder: the copy takes that path's name.
        const fs::path parent = fs::path(strLocal).has_parent_path() ? fs::path(strLocal).parent_path() : fs::path(".");
        if (locations.size() != 1 || locations[0].strName.empty() || strLocal.back() == '/' || !fs::is_directory(parent, error)) {
            std::fprintf(stderr, "vantry get: %s is not a folder\n", EscapedName(strLocal).c_str());
            return 1;
        }
        std::string strStaging = (parent / ".vantry-get-XXXXXX").string();
        if (!::mkdtemp(strStaging.data())) {
            std::fprintf(stderr, "vantry get: cannot write in %s: %s\n", EscapedName(parent.string()).c_str(),
                         std::strerror(errno));
            return 1;
        }
        named.staging = strStaging;
        named.target = strLocal;
        OVF_NoteStagingFolder(fs::absolute(strStaging).c_str()); // a guest killed meanwhile leaves it to the next sweep
    }
    // A destination named through a link to a folder is that folder, as cp takes it.
    std::error_code linkError;
    const std::string strInto =
        named.staging.empty() ? fs::weakly_canonical(strLocal, linkError).string() : named.staging.string();
    if (linkError || !LocalWindowsPath(strInto, &strLocalDir) || LFN_IsDirectory(strLocalDir.c_str()) != 1) {
        std::fprintf(stderr, "vantry get: %s is not a folder\n", EscapedName(strLocal).c_str());
        return 1;
    }
    const int nStatus = RunGuestSession(argc, argv, "get", options, locations[0], {}, [&](TGuestRun& run) {
        // Items copied under a new name are reported where they arrive, beside that name.
        run.window.AddLocalName(strLocalDir, named.staging.empty() ? strLocal : named.target.parent_path().string());
        if (!run.session.MayCopyFromRemote()) {
            run.window.Fail(LoadStringId(IDS_NO_COPY_PRIVILEGE));
            run.Finish();
            return;
        }
        GetFrom(run, locations, strLocalDir, named, 0);
    });
    return nStatus == 0 && named.bSkipped ? 3 : nStatus;
}
