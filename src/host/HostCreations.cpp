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
        ForgetOldest();
    m_entries[pszPath] = TEntry{identity, false, ++m_nSerial};
    m_order.emplace_back(pszPath, m_nSerial);
    // Pairs of forgotten entries go once they outnumber the live ones.
    if (m_order.size() > 2 * kRemembered)
        std::erase_if(m_order, [this](const auto& created) { return !IsLive(created); });
    return kFTP_resOK;
}

bool THostCreations::IsLive(const std::pair<std::string, std::uint64_t>& created) const
{
    const auto it = m_entries.find(created.first);
    return it != m_entries.end() && it->second.nSerial == created.second;
}

void THostCreations::ForgetOldest()
{
    while (!m_order.empty()) {
        const auto created = std::move(m_order.front());
        m_order.pop_front();
        if (IsLive(created)) {
            m_entries.erase(created.first);
            return;
        }
    }
}

const OVFFileIdentity* THostCreations::Ours(const std::string& strPath)
{
    const auto it = m_entries.find(strPath);
    return it != m_entries.end() && OVF_IsPlaceholder(strPath.c_str(), it->second.identity) ? &it->second.identity
                                                                                             : nullptr;
}

std::optional<OVFFileIdentity> THostCreations::Created(const std::string& strPath) const
{
    const auto it = m_entries.find(strPath);
    return it == m_entries.end() ? std::nullopt : std::optional<OVFFileIdentity>(it->second.identity);
}

std::string THostCreations::Named(const std::string& strName) const
{
    for (auto it = m_order.rbegin(); it != m_order.rend(); ++it) {
        const std::string& strPath = it->first;
        const std::size_t nSlash = strPath.rfind('\\');
        if (nSlash != std::string::npos && strPath.compare(nSlash + 1, std::string::npos, strName) == 0 && IsLive(*it))
            return strPath;
    }
    return std::string();
}

void THostCreations::Complete(const std::string& strPath)
{
    if (const auto it = m_entries.find(strPath); it != m_entries.end()) {
        it->second.bComplete = true;
        OVF_SettlePlaceholder(it->second.identity);
    }
}

void THostCreations::Forget(const std::string& strPath, bool bRemove)
{
    const auto it = m_entries.find(strPath);
    if (it == m_entries.end())
        return;
    if (bRemove)
        RemoveIfOurs(strPath, it->second);
    m_entries.erase(it);
}

void THostCreations::Sweep()
{
    for (const auto& [strPath, entry] : m_entries)
        if (!entry.bComplete)
            RemoveIfOurs(strPath, entry);
    std::erase_if(m_entries, [](const auto& item) { return !item.second.bComplete; });
    std::erase_if(m_order, [this](const auto& created) { return !IsLive(created); });
}

void THostCreations::RemoveIfOurs(const std::string& strPath, const TEntry& entry)
{
    if (OVF_IsPlaceholder(strPath.c_str(), entry.identity))
        TFile::TryRemove(strPath.c_str());
}
