#include "OV2Tools.h"

#include "ExtensionTable.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

struct TMappingIndex {
    std::unordered_map<std::string, const TExtensionMapping*> byExtension;
    std::unordered_map<std::uint64_t, const TExtensionMapping*> byTypeCreator;
    std::unordered_map<DWORD, const TExtensionMapping*> byType;
};

std::uint64_t TypeCreatorKey(DWORD type, DWORD creator) { return (std::uint64_t(type) << 32) | creator; }

const TMappingIndex& Index()
{
    static const TMappingIndex index = [] {
        TMappingIndex built;
        for (const TExtensionMapping& row : ExtensionTable()) {
            built.byExtension.emplace(row.pszExtension, &row);
            built.byTypeCreator.emplace(TypeCreatorKey(row.type, row.creator), &row);
            built.byType.emplace(row.type, &row); // emplace keeps the first, preferred row
        }
        return built;
    }();
    return index;
}

// The extension of the last path element, without its dot; empty when there is none.
std::string_view ExtensionOf(std::string_view name)
{
    const std::size_t nLeaf = name.find_last_of("\\/");
    if (nLeaf != std::string_view::npos)
        name.remove_prefix(nLeaf + 1);
    const std::size_t nDot = name.rfind('.');
    if (nDot == std::string_view::npos || nDot == 0)
        return {};
    return name.substr(nDot + 1);
}

const TExtensionMapping* FindExtension(std::string_view extension)
{
    if (extension.empty())
        return nullptr;
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const auto& map = Index().byExtension;
    const auto it = map.find(lower);
    return it == map.end() ? nullptr : it->second;
}

} // namespace

void InitFileMapping() { Index(); }

void SetTypeCreator(const char* pszFileName, DWORD* pType, DWORD* pCreator)
{
    const TExtensionMapping* pRow = pszFileName ? FindExtension(ExtensionOf(pszFileName)) : nullptr;
    *pType = pRow ? pRow->type : kTypeUnknown;
    *pCreator = pRow ? pRow->creator : kCreatorUnknown;
}

void SetFileNameExtension(char* pszFileName, DWORD type, DWORD creator)
{
    const TMappingIndex& index = Index();
    const TExtensionMapping* pWanted = nullptr;
    if (const auto it = index.byTypeCreator.find(TypeCreatorKey(type, creator)); it != index.byTypeCreator.end())
        pWanted = it->second;
    else if (const auto itType = index.byType.find(type); itType != index.byType.end())
        pWanted = itType->second;
    if (!pWanted)
        return;

    const TExtensionMapping* pCurrent = FindExtension(ExtensionOf(pszFileName));
    if (pCurrent && pCurrent->type == type)
        return;

    const std::size_t nLength = std::strlen(pszFileName);
    const std::size_t nExtension = std::strlen(pWanted->pszExtension);
    if (nLength + 1 + nExtension + 1 > MAX_PATH)
        return;
    pszFileName[nLength] = '.';
    std::memcpy(pszFileName + nLength + 1, pWanted->pszExtension, nExtension + 1);
}
