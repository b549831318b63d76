#include "LibraryState.h"

#include "FolderIndex.h"

namespace ovf {

TLibraryState& State()
{
    static TLibraryState* pState = [] {
        auto* p = new TLibraryState;   // never destroyed: handles may outlive static destruction
        LoadCodePage("UTF-8", p->ansiPage);
        LoadCodePage("CP437", p->oemPage);
        LoadCodePage("MACINTOSH", p->macPage);
        return p;
    }();
    return *pState;
}

const TDrive* Drive(int nDrive)
{
    if (nDrive < 0 || nDrive > kDesktopDrive)
        return nullptr;
    const TDrive& drive = nDrive == kDesktopDrive ? State().desktop : State().drives[nDrive];
    return drive.bUsed ? &drive : nullptr;
}

void DropFolderIndexes() { DropAllIndexes(); }

} // namespace ovf
