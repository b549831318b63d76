// The fork being sent: the file open for reading and whether the guest asked to end it early.
#pragma once

#include "TFile.h"

class THostForkSend {
public:
    enum class EState {
        Idle,     // no fork is going out
        Sending,  // blocks go out one write after the other
        Aborting, // a kFTP_msgAbort came in: the next block decision ends the fork
    };

    // Opens the file for reading (others denied writing, else nothing denied); false when it
    // cannot be opened.
    bool Begin(const char* pszPath);
    // Up to nRoom bytes of the fork; 0 at its end or once an abort came in.
    UINT ReadBlock(void* pBuffer, UINT nRoom);
    // Ends the fork (its file closed); true when it was aborted.
    bool End();
    void RequestAbort();
    bool Sending() const { return m_eState != EState::Idle; }
    bool AbortRequested() const { return m_eState == EState::Aborting; }

private:
    EState m_eState = EState::Idle;
    TFile m_file;
};
