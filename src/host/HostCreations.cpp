#include "HostCreations.h"

#include "MessageCodes.h"
#include "TFile.h"

#include <algorithm>
#include <cerrno>

std::int16_t THostCreations::Create(const char* pszPath)
{
    OVFFileIdentity identity;
    DWORD nOsError = 0;
    if (!OVF_CreatePlaceholder(pszPath, &identity, &nOsError))
        return nOsError == EEXIST ? kFTP_resDuplicate : kFTP_resCannotCreate;
    Forget(pszPath, false);
    if (m_entries.size() == kRemembered)
        m_entries.pop_front();
    m_entries.push_back({pszPath, identity, false});
    return kFTP_resOK;
}

std::deque<THostCreations::TEntry>::iterator THostCreations::Find(const std::string& strPath)
{
    return std::find_if(m_entries.begin(), m_entries.end(), [&](const TEntry& entry) { return entry.strPath == strPath; });
}

const OVFFileIdentity* THostCreations::Ours(const std::string& strPath)
{
    const auto it = Find(strPath);
    return it != m_entries.end() && OVF_IsPlaceholder(strPath.c_str(), it->identity) ? &it->identity : nullptr;
}

std::string THostCreations::Named(const std::string& strName) const
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        const std::size_t nSlash = it->strPath.rfind('\\');
        if (nSlash != std::string::npos && it->strPath.compare(nSlash + 1, std::string::npos, strName) == 0)
            return it->strPath;
    }
    return std::string();
}

void THostCreations::Complete(const std::string& strPath)
{
    if (const auto it = Find(strPath); it != m_entries.end())
        it->bComplete = true;
}

void THostCreations::Forget(const std::string& strPath, bool bRemove)
{
    const auto it = Find(strPath);
    if (it == m_entries.end())
        return;
    if (bRemove)
        RemoveIfOurs(*it);
    m_entries.erase(it);
}

void THostCreations::Sweep()
{
    for (const TEntry& entry : m_entries)
        if (!entry.bComplete)
            RemoveIfOurs(entry);
    std::erase_if(m_entries, [](const TEntry& entry) { return !entry.bComplete; });
}

void THostCreations::RemoveIfOurs(const TEntry& entry)
{
    if (OVF_IsPlaceholder(entry.strPath.c_str(), entry.identity))
        TFile::TryRemove(entry.strPath.c_str());
}
