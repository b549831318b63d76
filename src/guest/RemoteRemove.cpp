// Remote remove, one item per request, and the new remote folder.
#include "Vntrgst.h"

#include "LocalCopyFiles.h"
#include "StringTable.h"

void TVantryGuestSession::StartRemoteRemove(std::vector<TRemoveItem> items)
{
    m_removeItems = std::move(items);
    m_nRemoveIndex = -1;
    m_nRemoveResult = 0;
    RemoveRemoteSelItems();
}

void TVantryGuestSession::RemoveRemoteSelItems()
{
    ++m_nRemoveIndex;
    IssueCodeRead();
    if (m_nRemoveIndex > 0 && m_nRemoveResult != kFTP_resOK && m_pWindow) {
        // The window says nothing of a general failure (1); a front end that names each failed
        // item hears of it all the same.
        const TRemoveItem& failed = m_removeItems[static_cast<std::size_t>(m_nRemoveIndex - 1)];
        m_pWindow->ReportTransfer(
            {ETransferEventKind::Failed, ETransferCause::HostCannotRemove, JoinLocalPath(ListedRemotePath(), failed.sName),
             true, {}},
            m_nRemoveResult == kFTP_resFailure ? std::string() : FormatStringId(IDS_REMOVE_ERROR, failed.sName), std::string(),
            MessageBoxStyle::kTaskModal | MessageBoxStyle::kIconStop);
    }
    if (static_cast<std::size_t>(m_nRemoveIndex) < m_removeItems.size()) {
        // Folders go by the same single request: the host removes their contents.
        const TRemoveItem& item = m_removeItems[static_cast<std::size_t>(m_nRemoveIndex)];
        m_nRemoveResult = 0;
        m_pOperationResult = &m_nRemoveResult;
        m_nPhase = kPhaseRemove;
        SendNamesRequest(kFTP_msgRemove, CurrentRemoteFolder(), item.sName);
        return;
    }
    m_pOperationResult = &m_nOperationResult;
    m_removeItems.clear();
    m_nPhase = kPhaseIdle;
    if (m_pWindow)
        m_pWindow->RemoteRemoveDone();
}

void TVantryGuestSession::CreateRemoteFolder(const std::string& sName)
{
    m_sNewFolderName = sName;
    if (m_pWindow)
        m_pWindow->SetWaitCursor(true);
    const TRemoteFolderRef folder = CurrentRemoteFolder();
    m_nNewFolderResult = 0;
    m_nPhase = kPhaseNewFolder;
    SendNamesRequest(kFTP_msgMakeFolder, folder, m_sNewFolderName);
}

void TVantryGuestSession::FinishNewFolder()
{
    const bool bMade = m_nNewFolderResult == kFTP_resOK;
    if (m_pWindow && m_nPhase == kPhaseNewFolder && !bMade) {
        ETransferCause eCause = ETransferCause::FolderNotMade;
        if (m_nNewFolderResult == kFTP_resDuplicate)
            eCause = ETransferCause::FolderExists;
        else if (!MayWriteToRemote())
            eCause = ETransferCause::NoWritePrivilege;
        const std::string sFolder = m_sListedPath.empty() || m_sListedPath.back() == '\\' ? m_sListedPath + m_sNewFolderName
                                                                                         : m_sListedPath + '\\' + m_sNewFolderName;
        m_pWindow->ReportTransfer({ETransferEventKind::Failed, eCause, sFolder, true, {}},
                                  FormatStringId(IDS_CANNOT_CREATE_FOLDER, m_sNewFolderName), std::string(),
                                  MessageBoxStyle::kTaskModal | MessageBoxStyle::kIconStop);
    }
    m_nPhase = kPhaseIdle;
    if (m_pWindow)
        m_pWindow->SetWaitCursor(false);
    IssueCodeRead();
    if (m_pWindow)
        m_pWindow->RemoteNewFolderDone(bMade);
}
