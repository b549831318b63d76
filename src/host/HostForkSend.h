// The fork being sent: the file open for reading, how much of it went out, and whether the guest
// asked to end it early or the file could not be read to its end.
#pragma once

#include "TFile.h"

#include <cstdint>
#include <string>

class THostForkSend {
public:
    enum class EState {
        Idle,       // no fork is going out
        Sending,    // blocks go out one write after the other
        Aborting,   // a kFTP_msgAbort came in: the next block decision ends the fork
        ReadFailed, // the file could not be read to its end: the fork ends short, as a failure
    };
    // How a fork ended, as its last code tells the guest.
    enum class EEnd { Complete, Aborted, ReadFailed };

    // Opens the file for reading (others denied writing, else nothing denied); false when it
    // cannot be opened.
    bool Begin(const char* pszPath);
    // Up to nRoom bytes of the fork; 0 at its end, once an abort came in, or when a read fails.
    UINT ReadBlock(void* pBuffer, UINT nRoom);
    // Ends the fork (its file closed) and says how it ended.
    EEnd End();
    void RequestAbort();
    bool Sending() const { return m_eState != EState::Idle; }
    bool AbortRequested() const { return m_eState == EState::Aborting; }
    const std::string& Path() const { return m_strPath; }
    std::uint64_t BytesSent() const { return m_nSent; }

private:
    EState m_eState = EState::Idle;
    TFile m_file;
    std::string m_strPath;
    std::uint64_t m_nSent = 0;
};
