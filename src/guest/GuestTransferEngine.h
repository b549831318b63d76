// The copy engines' side of the reply routing: the guest session hands each step of an upload or
// a download to the engine registered with it. Without an engine those steps stop the session.
#pragma once

#include <cstdint>

class IGuestTransferEngine {
public:
    virtual ~IGuestTransferEngine() = default;

    // A routed step of the upload chain: routes 0, 6, 7, 11 to 15 and 18 (EGuestRoute).
    virtual void RunRoute(int nRoute) = 0;
    // A kFTP_msgFileInfo reply in an upload or download phase (9, 19, 22, 23): the result value
    // (already in host order) and the 46-byte record.
    virtual void TakeFileInfo(int nPhase, std::int16_t nResult, const std::uint8_t* pRecord) = 0;
    // The write of a data packet has completed.
    virtual void DecideToContinue() = 0;
    // Download: the result that ended a fork (in the session's window result word).
    virtual void FromRemoteRespondToResult() = 0;
    // Download: the 2-byte length of a kFTP_msgForkData is in the receive buffer.
    virtual void ReadForkSize() = 0;
    // Download: the data of a kFTP_msgForkData is in the receive buffer.
    virtual void ProcessForkData() = 0;
    // Download: kFTP_msgEndData ended the fork.
    virtual void ForkEnded() = 0;
    // The host sent kFTP_msgAbort.
    virtual void RespondToAbort() = 0;
    // The session is closing: close and remove a partly written download, end the copy.
    virtual void CloseForStop() = 0;
};
