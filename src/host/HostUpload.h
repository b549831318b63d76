// The upload in progress, from kFTP_msgOpenFork to its kFTP_msgEndData: the data goes into a
// temporary file beside the destination, which takes the destination's name only once it is
// complete, so a half-received file never survives and no earlier file is lost to a failed one.
#pragma once

#include "OVFUploads.h"
#include "TFile.h"

#include <cstdint>
#include <optional>
#include <string>

class THostUpload {
public:
    enum class EState {
        Idle,      // no fork is open for writing
        Receiving, // the data fork goes into the temporary
        Dropping,  // a resource fork: its data is read and dropped, its end answers 0
        Failed,    // the data is read and dropped, and the end answers Failure()
    };

    THostUpload() = default;
    ~THostUpload() { Reset(); }
    THostUpload(const THostUpload&) = delete;
    THostUpload& operator=(const THostUpload&) = delete;

    enum class EBegin {
        Begun,
        NotHeld, // the placeholder no longer holds the name
        Failed,  // the temporary cannot be made
    };
    // Opens the temporary for strFinal. With a placeholder, the upload may take the name only
    // while that placeholder holds it: checked at the commit, and with AtOpenAndCommit here too.
    EBegin Begin(const std::string& strFinal, std::optional<OVFFileIdentity> placeholder,
                 OVFHoldCheck eCheck = OVFHoldCheck::AtOpenAndCommit);
    void BeginDropping();
    // The data so far is discarded; the rest is dropped and the end answers nResult.
    void Fail(std::int16_t nResult);
    // Writes incoming data; throws CFileException.
    void Write(const void* pData, UINT nLength)
    {
        m_file.Write(pData, nLength);
        m_nReceived += nLength;
    }
    // Closes the temporary: 0, or what a failed close answers (-34 the disk is full, else 256).
    std::int16_t Close();
    // Gives the closed temporary the final name; false when it cannot (the temporary is gone).
    // Either way Reset() ends the upload.
    bool Commit();
    // Back to Idle: an open temporary is discarded.
    void Reset();

    EState State() const { return m_eState; }
    bool Receiving() const { return m_eState == EState::Receiving; }
    std::int16_t Failure() const { return m_nFailure; }
    const std::string& FinalPath() const { return m_strFinal; }
    bool HasPlaceholder() const { return m_placeholder.has_value(); }
    DWORD Handle() const { return m_file.m_hFile32; }
    std::uint64_t BytesReceived() const { return m_nReceived; }

private:
    EState m_eState = EState::Idle;
    TFile m_file;
    std::string m_strToken;
    std::string m_strFinal; // the name the upload takes at its end
    std::optional<OVFFileIdentity> m_placeholder;
    std::int16_t m_nFailure = 0;
    std::uint64_t m_nReceived = 0;
};
