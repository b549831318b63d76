#include "HostForkSend.h"

#include "Exceptions.h"

bool THostForkSend::Begin(const char* pszPath)
{
    End();
    if (!m_file.TryOpen(pszPath, CFile::modeRead | CFile::shareDenyWrite) &&
        !m_file.TryOpen(pszPath, CFile::modeRead | CFile::shareDenyNone))
        return false;
    m_eState = EState::Sending;
    m_strPath = pszPath;
    m_nSent = 0;
    return true;
}

UINT THostForkSend::ReadBlock(void* pBuffer, UINT nRoom)
{
    if (m_eState != EState::Sending)
        return 0;
    try {
        const UINT nRead = m_file.Read(pBuffer, nRoom);
        m_nSent += nRead;
        return nRead;
    } catch (const CFileException&) {
        // A short fork must not end as a complete one: the guest would keep a truncated file.
        m_eState = EState::ReadFailed;
        return 0;
    }
}

THostForkSend::EEnd THostForkSend::End()
{
    const EState eState = m_eState;
    if (m_eState != EState::Idle)
        m_file.TryClose();
    m_eState = EState::Idle;
    switch (eState) {
    case EState::Aborting: return EEnd::Aborted;
    case EState::ReadFailed: return EEnd::ReadFailed;
    case EState::Idle:
    case EState::Sending: break;
    }
    return EEnd::Complete;
}

void THostForkSend::RequestAbort()
{
    if (m_eState == EState::Sending)
        m_eState = EState::Aborting;
}
