#include "HostForkSend.h"

bool THostForkSend::Begin(const char* pszPath)
{
    End();
    if (!m_file.TryOpen(pszPath, CFile::modeRead | CFile::shareDenyWrite) &&
        !m_file.TryOpen(pszPath, CFile::modeRead | CFile::shareDenyNone))
        return false;
    m_eState = EState::Sending;
    return true;
}

UINT THostForkSend::ReadBlock(void* pBuffer, UINT nRoom)
{
    return m_eState == EState::Sending ? m_file.TryRead(pBuffer, nRoom) : 0;
}

bool THostForkSend::End()
{
    const bool bAborted = m_eState == EState::Aborting;
    if (m_eState != EState::Idle)
        m_file.TryClose();
    m_eState = EState::Idle;
    return bAborted;
}

void THostForkSend::RequestAbort()
{
    if (m_eState == EState::Sending)
        m_eState = EState::Aborting;
}
