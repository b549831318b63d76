// The service's two icons, drawn rather than stored: a folder with an arrow across it.
#include "ModuleState.h"

namespace {
constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kFolder = 0xFF3FA7E8; // ARGB
constexpr std::uint32_t kFolderEdge = 0xFF1F6FA8;
constexpr std::uint32_t kArrow = 0xFFFFFFFF;

TServiceIcon* DrawIcon(int nResourceId, int nSize)
{
    auto* pIcon = new TServiceIcon{nResourceId, nSize, std::vector<std::uint32_t>(std::size_t(nSize) * nSize, kClear)};
    const int nTop = nSize / 4;
    for (int y = nTop; y < nSize - 1; ++y) {
        for (int x = 1; x < nSize - 1; ++x) {
            const bool bEdge = y == nTop || y == nSize - 2 || x == 1 || x == nSize - 2;
            pIcon->pixels[std::size_t(y) * nSize + x] = bEdge ? kFolderEdge : kFolder;
        }
    }
    for (int x = 1; x < nSize / 2; ++x) // the tab
        pIcon->pixels[std::size_t(nTop - 1) * nSize + x] = kFolderEdge;
    const int nMid = (nTop + nSize) / 2;
    for (int x = nSize / 4; x < nSize * 3 / 4; ++x) // the arrow's shaft and head
        pIcon->pixels[std::size_t(nMid) * nSize + x] = kArrow;
    for (int d = 1; d <= nSize / 8; ++d) {
        pIcon->pixels[std::size_t(nMid - d) * nSize + nSize * 3 / 4 - 1 - d] = kArrow;
        pIcon->pixels[std::size_t(nMid + d) * nSize + nSize * 3 / 4 - 1 - d] = kArrow;
    }
    return pIcon;
}
} // namespace

TServiceIcon* LoadServiceIcon(int nResourceId)
{
    switch (nResourceId) {
    case kSmallIconId: return DrawIcon(nResourceId, 16);
    case kLargeIconId: return DrawIcon(nResourceId, 32);
    default: return nullptr;
    }
}
