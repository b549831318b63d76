#include "HostUpload.h"

#include "Exceptions.h"
#include "MessageCodes.h"

#include <cerrno>
#include <exception>
#include <utility>

THostUpload::EBegin THostUpload::Begin(const std::string& strFinal, std::optional<OVFFileIdentity> placeholder,
                                       OVFHoldCheck eCheck)
{
    Reset();
    DWORD nOsError = 0;
    const DWORD hFile =
        OVF_OpenUploadTemp(strFinal.c_str(), &m_strToken, &nOsError, placeholder ? &*placeholder : nullptr, eCheck);
    if (hFile == kOVF_invalid)
        return placeholder && nOsError == EEXIST ? EBegin::NotHeld : EBegin::Failed;
    m_file.m_hFile32 = hFile;
    m_file.m_strName = strFinal;
    m_strFinal = strFinal;
    m_placeholder = placeholder;
    m_eState = EState::Receiving;
    return EBegin::Begun;
}

void THostUpload::BeginDropping()
{
    Reset();
    m_eState = EState::Dropping;
}

void THostUpload::Fail(std::int16_t nResult)
{
    Reset();
    m_eState = EState::Failed;
    m_nFailure = nResult;
}

std::int16_t THostUpload::Close()
{
    std::int16_t nResult = kFTP_resCannotCreate;
    try {
        m_file.Close();
        return kFTP_resOK;
    } catch (const CFileException& error) {
        // The last data reaches the disk only here.
        if (error.m_cause == CFileException::diskFull)
            nResult = kFTP_resDiskFull;
    } catch (const std::exception&) {
    }
    m_file.TryAbort();
    m_file.m_hFile32 = TFile::kNoFile;
    return nResult;
}

bool THostUpload::Commit()
{
    DWORD nOsError = 0;
    const bool bDone = OVF_CommitUploadTemp(m_strToken, m_strFinal.c_str(), &nOsError,
                                            m_placeholder ? &*m_placeholder : nullptr);
    m_strToken.clear(); // the temporary has its name, or is gone
    return bDone;
}

void THostUpload::Reset()
{
    if (m_file.m_hFile32 != TFile::kNoFile)
        m_file.TryAbort();
    m_file.m_hFile32 = TFile::kNoFile;
    if (!m_strToken.empty())
        OVF_DiscardUploadTemp(std::exchange(m_strToken, std::string()));
    m_strFinal.clear();
    m_placeholder.reset();
    m_nFailure = 0;
    m_nReceived = 0;
    m_eState = EState::Idle;
}
