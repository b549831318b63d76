#include "HostListing.h"

bool THostListing::Begin(const char* pszPattern)
{
    Reset();
    m_hFind = LFN_FindFirstFile(pszPattern, &m_entry);
    return m_hFind != 0;
}

bool THostListing::Next()
{
    if (m_hFind && LFN_FindNextFile(m_hFind, &m_entry))
        return true;
    Reset();
    return false;
}

void THostListing::Reset()
{
    if (m_hFind)
        LFN_FindClose(m_hFind);
    m_hFind = 0;
}
