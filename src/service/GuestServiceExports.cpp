#include "GuestServiceExports.h"

#include "ModuleState.h"
#include "OVGuest.h"
#include "OpenBlocks.h"
#include "StringTable.h"
#include "Vntrgst.h"

#include <exception>

int OpenGuestServiceSession(const OVGuestConnectionRequest* pRequest)
{
    if (TVantryGuestSession* pCurrent = CurrentGuestSession()) {
        if (IVantryWindow* pWindow = pCurrent->Window())
            pWindow->MessageBoxText(FixedText::kOneSessionOnly, std::string(),
                                    MessageBoxStyle::kTaskModal | MessageBoxStyle::kIconStop);
        return 1;
    }
    if (!pRequest || pRequest->hHost == 0)
        return 1;
    OVGuestEntry* pEntry = OVGuestAllocateEntry(pRequest->hHost, kOVGuestEntryKindFileTransfer);
    if (!pEntry)
        return 1;

    TVantryGuestSession* pSession = nullptr;
    int nResult = 1;
    try {
        pSession = new TVantryGuestSession();
        if (TVantryGuestSession::IsValidSession(pSession) && pSession->Attach(pEntry) == 0 &&
            (nResult = OVGuestSetupConnection(pEntry, 0, 0, 0)) == 0) {
            WriteHostWord(pEntry->openResponse, OpenBlock::kRespBufferSize,
                          ReadNetWord(pEntry->openResponse, OpenBlock::kRespBufferSize));
            nResult = pSession->Start();
            if (nResult == 0) {
                SetCurrentGuestSession(pSession);
                Module().pGuestSession = pSession;
                return 0;
            }
        }
    } catch (const std::exception&) {
        nResult = 1;
    }
    if (nResult == 0)
        nResult = 1;
    OVGuestCloseConnection(pEntry);
    delete pSession;
    return nResult;
}

int CloseGuestServiceSession(void* hSession)
{
    if (!TVantryGuestSession::IsValidSession(hSession))
        return 0;
    auto* pSession = static_cast<TVantryGuestSession*>(hSession);
    try {
        pSession->Close();
    } catch (const std::exception&) {
        // The session is destroyed all the same.
    }
    delete pSession;
    if (CurrentGuestSession() == pSession) {
        SetCurrentGuestSession(nullptr);
        Module().pGuestSession = nullptr;
    }
    return 0;
}
