#include "OVGuest.h"

namespace {
IOVGuestHost* g_pGuestHost = nullptr;
}

void OVSetGuestHost(IOVGuestHost* pHost) { g_pGuestHost = pHost; }
IOVGuestHost* OVGetGuestHost() { return g_pGuestHost; }

OVGuestEntry* OVGuestAllocateEntry(std::uintptr_t hHost, int nKind)
{
    return g_pGuestHost ? g_pGuestHost->AllocateEntry(hHost, nKind) : nullptr;
}

int OVGuestSetupConnection(OVGuestEntry* pEntry, std::uintptr_t n1, std::uintptr_t n2, std::uintptr_t n3)
{
    return g_pGuestHost ? g_pGuestHost->SetupConnection(pEntry, n1, n2, n3) : 1;
}

void OVGuestCloseConnection(OVGuestEntry* pEntry)
{
    if (g_pGuestHost)
        g_pGuestHost->CloseConnection(pEntry);
}

void OVGuestDeleteEntry(OVGuestEntry* pEntry)
{
    if (g_pGuestHost)
        g_pGuestHost->DeleteEntry(pEntry);
}

int OVNAPIGetPtrAddress(const OVAddressRecord* pAddress, HostServiceTable** ppTable)
{
    return g_pGuestHost ? g_pGuestHost->GetPtrAddress(pAddress, ppTable) : 1;
}

const char* OVGetAddressName(const OVAddressRecord* pAddress)
{
    return g_pGuestHost ? g_pGuestHost->GetAddressName(pAddress) : nullptr;
}

void OVGetGuestWindow(IOVWindow** ppWindow)
{
    *ppWindow = g_pGuestHost ? g_pGuestHost->GetGuestWindow() : nullptr;
}

std::uint32_t OVGetOV2TranslateCRLF(EOVTranslateDirection eDirection)
{
    return g_pGuestHost ? g_pGuestHost->GetTranslateCRLF(eDirection) : 0;
}
