// The host application's calls for the guest side: connection entries, the connection table of
// a guest connection, the remote address's name, the guest window that receives stop requests,
// and the line-end options of the guest's commands.
//
// The host application installs its implementation (OVSetGuestHost) at start-up; tests install a
// scripted one. Without an implementation every call reports failure (null, non-zero).
#pragma once

#include "GuestEntry.h"
#include "OVCore.h"

#include <cstdint>

class HostServiceTable;

// The kind of entry that the guest session asks for.
inline constexpr int kOVGuestEntryKindFileTransfer = 3;

// Which line-end translation option OVGetOV2TranslateCRLF reports.
enum EOVTranslateDirection : int {
    kOVTranslateDownload = 0, // text files received get CR LF line ends
    kOVTranslateUpload = 1,   // text files sent lose their line feeds
};

class IOVGuestHost {
public:
    virtual ~IOVGuestHost() = default;
    // A new entry for the connection request hHost, or null.
    virtual OVGuestEntry* AllocateEntry(std::uintptr_t hHost, int nKind) = 0;
    // Connects the entry (handshake included); fills its open response, connection and address. 0: connected.
    virtual int SetupConnection(OVGuestEntry* pEntry, std::uintptr_t, std::uintptr_t, std::uintptr_t) = 0;
    virtual void CloseConnection(OVGuestEntry* pEntry) = 0;
    virtual void DeleteEntry(OVGuestEntry* pEntry) = 0;
    // The connection table serving the address; 0 on success.
    virtual int GetPtrAddress(const OVAddressRecord* pAddress, HostServiceTable** ppTable) = 0;
    // The remote address's name, or null when it has none.
    virtual const char* GetAddressName(const OVAddressRecord* pAddress) = 0;
    // The window that receives the guest session's stop request, or null.
    virtual IOVWindow* GetGuestWindow() = 0;
    virtual std::uint32_t GetTranslateCRLF(EOVTranslateDirection eDirection) = 0;
};

void OVSetGuestHost(IOVGuestHost* pHost);
IOVGuestHost* OVGetGuestHost();

OVGuestEntry* OVGuestAllocateEntry(std::uintptr_t hHost, int nKind);
int OVGuestSetupConnection(OVGuestEntry* pEntry, std::uintptr_t n1, std::uintptr_t n2, std::uintptr_t n3);
void OVGuestCloseConnection(OVGuestEntry* pEntry);
void OVGuestDeleteEntry(OVGuestEntry* pEntry);
int OVNAPIGetPtrAddress(const OVAddressRecord* pAddress, HostServiceTable** ppTable);
const char* OVGetAddressName(const OVAddressRecord* pAddress);
void OVGetGuestWindow(IOVWindow** ppWindow);
std::uint32_t OVGetOV2TranslateCRLF(EOVTranslateDirection eDirection);
