#include "ServiceExports.h"

#include "Exceptions.h"
#include "ModuleState.h"
#include "OV2Tools.h"
#include "OVCore.h"
#include "OpenBlocks.h"
#include "VantryHostSession.h"
#include "Vntrgst.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace {
constexpr char kServiceName[] = "Vantry";
constexpr int kServiceVersion = 9;

void CopyServiceName(char* pBuffer, std::uint16_t nLength)
{
    // strncpy semantics: a short buffer gets no terminator, a long one is padded with zeros.
    std::strncpy(pBuffer, kServiceName, nLength);
}
} // namespace

int ZULInit()
{
    try {
        InitFileMapping();
        char* pszUser = Module().szUserName;
        std::memset(pszUser, 0, kUserNameSize);
        if (OVGetUserName(pszUser) != 0)
            std::strncpy(pszUser, "Unknown", kUserNameSize);
    } catch (const std::exception&) {
        // The user name keeps what it had; an open guest session cannot go on without the tables.
        if (TVantryGuestSession* pGuest = CurrentGuestSession())
            pGuest->PostStopMessage(kStopConnectionFailed);
    }
    return 0;
}

int InitHostService()
{
    ZULInit();
    TModuleState& state = Module();
    state.pSmallIcon = LoadServiceIcon(kSmallIconId);
    state.pLargeIcon = LoadServiceIcon(kLargeIconId);
    if (!state.pSmallIcon || !state.pLargeIcon) {
        UninitHostService();
        return 1;
    }
    return 0;
}

int UninitHostService()
{
    TModuleState& state = Module();
    delete state.pSmallIcon;
    delete state.pLargeIcon;
    state.pSmallIcon = state.pLargeIcon = nullptr;
    return 0;
}

void* GetHostIcon(std::uintptr_t, int nWhich)
{
    switch (nWhich) {
    case 0: return Module().pSmallIcon;
    case 1: return Module().pLargeIcon;
    default: return nullptr;
    }
}

void GetHostServiceName(std::uintptr_t, char* pBuffer, std::uint16_t nLength) { CopyServiceName(pBuffer, nLength); }
void GetGuestServiceName(std::uintptr_t, char* pBuffer, std::uint16_t nLength) { CopyServiceName(pBuffer, nLength); }
int GetHostServiceVersion() { return kServiceVersion; }
int GetGuestServiceVersion() { return kServiceVersion; }
int GetMaxOpenRequestSize() { return static_cast<int>(kOpenBlockMax); }
int GetMaxOpenResponseSize() { return static_cast<int>(kOpenBlockMax); }
int RequireApproval(std::uintptr_t) { return 0; }
int FillInV6HostInfo(std::uintptr_t, std::uintptr_t, std::uintptr_t) { return 0; }
int FillInV7HostInfo(std::uintptr_t, std::uintptr_t, std::uintptr_t) { return 0; }

std::int16_t InitHostSession(HostServiceTable* pTable, const std::uint8_t* pRequest, std::uint8_t* pResponse,
                             TVantryHostSession** ppSession, std::uint16_t* pnResponseLength)
{
    TVantryHostSession* pSession = nullptr;
    try {
        *pnResponseLength = OpenBlock::kV7ResponseLength;
        pSession = new TVantryHostSession(pTable);
        pSession->SetPrivileges(ReadHostWord(pResponse, OpenBlock::kRespPrivileges));
        const std::int16_t nStatus = pSession->OpenFromRequest(pRequest, pResponse);
        if (ReadNetWord(pRequest, OpenBlock::kReqLength) >= OpenBlock::kReqLevelMinLength)
            pSession->SetLevel(pRequest[OpenBlock::kReqLevel]);
        if (nStatus != 0) {
            pSession->Stop(0); // gives back the read stream, if one was made
            delete pSession;
            return nStatus;
        }
        *ppSession = pSession;
        return 0;
    } catch (const std::exception&) {
        if (pSession) {
            try {
                pSession->Stop(0);
            } catch (const std::exception&) {
            }
        }
        delete pSession;
        return kInitFailed;
    }
}

int StartHostSession(HConnection hConnection, std::uintptr_t, TVantryHostSession* pSession)
{
    try {
        pSession->Start(hConnection);
        return 0;
    } catch (const std::exception&) {
        return 1;
    }
}

int StopHostSession(TVantryHostSession* pSession, std::int32_t nStopValue)
{
    try {
        pSession->Stop(nStopValue);
        delete pSession;
        return 0;
    } catch (const std::exception&) {
        return 1;
    }
}
