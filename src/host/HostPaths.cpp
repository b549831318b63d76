// Paths of requests and the privileges that the host application granted.
#include "VantryHostSession.h"

#include "OpenBlocks.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"
#include "Volumes.h"

#include <cstring>

// The prefix comes from the request's own volume number, so one request or session never
// changes how another builds its paths.
bool TVantryHostSession::FormPath(std::uint16_t nVolume, const char* pszDir, const char* pszName)
{
    std::string strPath;
    if (nVolume == 0) {
        strPath = GetDesktopPath();
        if (strPath.empty())
            return false;
        if (strPath.back() == '\\' && pszDir[0] == '\\')
            strPath.pop_back();
    } else if (nVolume <= 26) {
        strPath = {static_cast<char>('A' + nVolume - 1), ':'};
    } else {
        return false;
    }
    strPath += pszDir;
    strPath += pszName;
    // A path that does not fit is refused, never cut short into another path.
    if (strPath.size() >= MAX_PATH)
        return false;
    std::memcpy(m_szPath, strPath.c_str(), strPath.size() + 1);
    return true;
}

std::uint16_t TVantryHostSession::BlockVolume(std::size_t nPacketOffset) const
{
    return TPacketReader(Block(), m_request.body.size()).WordLE(Packet::InBlock(nPacketOffset));
}

std::string TVantryHostSession::RequestPath(std::size_t nVolumeOffset)
{
    if (FormPath(BlockVolume(nVolumeOffset), Dir(), Name()))
        return m_szPath;
    return std::string(Dir()) + Name();
}

bool TVantryHostSession::May(int nPrivilegeBit) const
{
    return (m_nPrivileges & PrivilegeMask(nPrivilegeBit)) != 0;
}
