#include "ServeDrives.h"

#include "OVFCodePages.h"
#include "OVFDrives.h"
#include "OVFUploads.h"
#include "ServeLog.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {
// The last name of a folder's path ("Documents" of "/home/alice/Documents/"); empty for "/".
std::string FolderName(const std::string& strDir)
{
    std::filesystem::path path = std::filesystem::path(strDir).lexically_normal();
    if (!path.has_filename())
        path = path.parent_path();
    return path.filename().string();
}
} // namespace

std::string InstallServeDrives(const TServeConfig& config)
{
    OVF_ClearDrives();
    if (config.nOemCodePage != 0) {
        const std::string strPage = "CP" + std::to_string(config.nOemCodePage);
        if (OVF_SetOemCodePage(strPage.c_str()) != 0)
            return "unknown OEM code page " + std::to_string(config.nOemCodePage);
    }
    for (const TShareConfig& share : config.shares) {
        // Without a label of its own a drive is named after its folder, so that guests see
        // "c: (Documents)" rather than empty parentheses.
        const std::string strLabel = share.strLabel.empty() ? FolderName(share.strDir) : share.strLabel;
        const int nError = OVF_SetDrive(share.cLetter, share.strDir.c_str(), static_cast<OVFDriveKind>(share.nKind),
                                        strLabel.c_str());
        if (nError != 0)
            return std::string("cannot share ") + share.strDir + " as " + share.cLetter + ": " + std::strerror(nError);
        OVF_HideDotNames(share.cLetter, !share.bDotNames);
    }
    if (const int nError = OVF_SetDesktopFolder(config.strDesktopDir.c_str()))
        return "cannot offer " + config.strDesktopDir + " as the desktop: " + std::strerror(nError);
    OVF_HideDesktopDotNames(!config.bDesktopDotNames);
    // Uploads that a host which is gone left half-written, and the empty files made for them.
    std::vector<std::string> removed;
    if (OVF_RemoveUploadLeftovers(&removed) > 0) {
        ServeLog("removed " + std::to_string(removed.size()) +
                 " leftovers of uploads that a host which ended without cleaning up left unfinished:");
        for (const std::string& strPath : removed)
            ServeLog("  removed " + LogSafe(strPath, std::string::npos));
    }
    return {};
}
