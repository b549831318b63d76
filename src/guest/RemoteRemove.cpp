// Remote remove, one item per request, and the new remote folder.
#include "Vntrgst.h"

#include "LocalCopyFiles.h"
#include "StringTable.h"

void TVantryGuestSession::StartRemoteRemove(std::vector<TRemoveItem> items)
{
    m_remove = {};
    m_remove.items = std::move(items);
    RemoveRemoteSelItems();
}

void TVantryGuestSession::RemoveRemoteSelItems()
{
    ++m_remove.nIndex;
    IssueCodeRead();
    if (m_remove.nIndex > 0 && m_remove.nResult != kFTP_resOK && m_pWindow) {
        // The window says nothing of a general failure (1); a front end that names each failed
        // item hears of it all the same.
        const TRemoveItem& failed = m_remove.items[static_cast<std::size_t>(m_remove.nIndex - 1)];
        m_pWindow->ReportTransfer(
            {ETransferEventKind::Failed, ETransferCause::HostCannotRemove, JoinLocalPath(ListedRemotePath(), failed.sName),
             true, {}},
            m_remove.nResult == kFTP_resFailure ? std::string() : FormatStringId(IDS_REMOVE_ERROR, failed.sName),
            std::string(), MessageBoxStyle::kTaskModal | MessageBoxStyle::kIconStop);
    }
    if (static_cast<std::size_t>(m_remove.nIndex) < m_remove.items.size()) {
        // Folders go by the same single request: the host removes their contents.
        const TRemoveItem& item = m_remove.items[static_cast<std::size_t>(m_remove.nIndex)];
        m_remove.nResult = 0;
        SendNamesRequest(kFTP_msgRemove, CurrentRemoteFolder(), item.sName,
                         TAwaitedReply::ForResult(this, [this](std::int16_t nResult) {
                             m_remove.nResult = nResult;
                             RemoveRemoteSelItems();
                         }));
        return;
    }
    m_remove = {};
    if (m_pWindow)
        m_pWindow->RemoteRemoveDone();
}

void TVantryGuestSession::CreateRemoteFolder(const std::string& sName)
{
    m_newFolder = {sName};
    if (m_pWindow)
        m_pWindow->SetWaitCursor(true);
    const TRemoteFolderRef folder = CurrentRemoteFolder();
    SendNamesRequest(kFTP_msgMakeFolder, folder, m_newFolder.sName,
                     TAwaitedReply::ForResult(this, [this](std::int16_t nResult) { FinishNewFolder(nResult); }));
}

void TVantryGuestSession::FinishNewFolder(std::int16_t nResult)
{
    const bool bMade = nResult == kFTP_resOK;
    if (m_pWindow && !bMade) {
        ETransferCause eCause = ETransferCause::FolderNotMade;
        if (nResult == kFTP_resDuplicate)
            eCause = ETransferCause::FolderExists;
        else if (!MayWriteToRemote())
            eCause = ETransferCause::NoWritePrivilege;
        const std::string& sName = m_newFolder.sName;
        const std::string sFolder = m_sListedPath.empty() || m_sListedPath.back() == '\\' ? m_sListedPath + sName
                                                                                         : m_sListedPath + '\\' + sName;
        m_pWindow->ReportTransfer({ETransferEventKind::Failed, eCause, sFolder, true, {}},
                                  FormatStringId(IDS_CANNOT_CREATE_FOLDER, sName), std::string(),
                                  MessageBoxStyle::kTaskModal | MessageBoxStyle::kIconStop);
    }
    m_newFolder = {};
    if (m_pWindow)
        m_pWindow->SetWaitCursor(false);
    IssueCodeRead();
    if (m_pWindow)
        m_pWindow->RemoteNewFolderDone(bMade);
}
