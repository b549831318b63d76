#include "ServeDrives.h"

#include "OVFCodePages.h"
#include "OVFDrives.h"
#include "OVFUploads.h"

#include <cstring>
#include <string>

std::string InstallServeDrives(const TServeConfig& config)
{
    OVF_ClearDrives();
    if (config.nOemCodePage != 0) {
        const std::string strPage = "CP" + std::to_string(config.nOemCodePage);
        if (OVF_SetOemCodePage(strPage.c_str()) != 0)
            return "unknown OEM code page " + std::to_string(config.nOemCodePage);
    }
    for (const TShareConfig& share : config.shares) {
        const int nError = OVF_SetDrive(share.cLetter, share.strDir.c_str(), static_cast<OVFDriveKind>(share.nKind),
                                        share.strLabel.c_str());
        if (nError != 0)
            return std::string("cannot share ") + share.strDir + " as " + share.cLetter + ": " + std::strerror(nError);
        OVF_HideDotNames(share.cLetter, !share.bDotNames);
    }
    if (const int nError = OVF_SetDesktopFolder(config.strDesktopDir.c_str()))
        return "cannot offer " + config.strDesktopDir + " as the desktop: " + std::strerror(nError);
    OVF_HideDesktopDotNames(!config.bDesktopDotNames);
    // Uploads that a host which is gone left half-written.
    OVF_RemoveUploadLeftovers();
    return {};
}
