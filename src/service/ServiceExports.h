// The module's exported entry points: start-up, names and icons, host sessions, guest session.
#pragma once

#include "HostServiceTable.h"

#include <cstdint>

class TVantryHostSession;

int ZULInit();
int InitHostService();
int UninitHostService();
void* GetHostIcon(std::uintptr_t nUnused, int nWhich);
void GetHostServiceName(std::uintptr_t nUnused, char* pBuffer, std::uint16_t nLength);
void GetGuestServiceName(std::uintptr_t nUnused, char* pBuffer, std::uint16_t nLength);
int GetHostServiceVersion();
int GetGuestServiceVersion();
int GetMaxOpenRequestSize();
int GetMaxOpenResponseSize();
int RequireApproval(std::uintptr_t nUnused);
int FillInV6HostInfo(std::uintptr_t, std::uintptr_t, std::uintptr_t);
int FillInV7HostInfo(std::uintptr_t, std::uintptr_t, std::uintptr_t);

// The host application writes the privilege word it grants into the response block before the
// call; the session keeps it. Returns 0, -12001 (version refused) or -108 (set-up failed).
std::int16_t InitHostSession(HostServiceTable* pTable, const std::uint8_t* pRequest, std::uint8_t* pResponse,
                             TVantryHostSession** ppSession, std::uint16_t* pnResponseLength);
int StartHostSession(HConnection hConnection, std::uintptr_t nUnused, TVantryHostSession* pSession);
int StopHostSession(TVantryHostSession* pSession, std::int32_t nStopValue);

inline constexpr std::int16_t kInitVersionRefused = -12001;
inline constexpr std::int16_t kInitFailed = -108;
