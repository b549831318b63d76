// The Vantry window's commands that copy and remove: Copy, a drop between the panes, Remove.
#include "VantryWindow.h"

#include "ConfirmReplaceDialog.h"
#include "LFN.h"
#include "LocalFolders.h"
#include "MessageBoxes.h"
#include "RemoteFilePicker.h"
#include "StringTable.h"
#include "TreeList.h"
#include "TreeListFlags.h"
#include "TreeOperations.h"
#include "Vntrgst.h"

namespace {
QStringList Names(const std::vector<TPickEntry>& entries)
{
    QStringList names;
    for (const TPickEntry& entry : entries)
        names << entry.name;
    return names;
}

std::string ToAnsiString(const QString& text)
{
    std::string ansi;
    ToAnsi(text, ansi);
    return ansi;
}
} // namespace

bool CZulVntr::Confirm(const QString& text, const QString& caption)
{
    return ShowMessage(this, text, TMessageKind::Question, caption) == MessageBoxAnswer::kYes;
}

void CZulVntr::ShowStringBox(int id) { ShowMessage(this, TableString(id), TMessageKind::Stop); }

void CZulVntr::OnCopy()
{
    if (m_busy || !m_initialised)
        return;
    const bool fromLocal = m_session.m_bRemotePaneActive == 0;
    TFilePicker* source = fromLocal ? m_local : static_cast<TFilePicker*>(m_remote);
    TFilePicker* dest = fromLocal ? static_cast<TFilePicker*>(m_remote) : m_local;
    const std::vector<TPickEntry> entries = source->GetSelItems();
    if (entries.empty()) {
        ShowStringBox(IDS_NO_VALID_SELECTIONS);
        return;
    }
    if (!(fromLocal ? m_session.MayWriteToRemote() : m_session.MayCopyFromRemote())) {
        ShowStringBox(IDS_NO_COPY_PRIVILEGE);
        return;
    }
    if (!Confirm(CopyConfirmText(fromLocal, Names(entries), dest->CurrentFolder()), CopyConfirmCaption(fromLocal)))
        return;
    StartCopy(fromLocal, entries, source->CurrentFolder(), dest->CurrentFolder());
}

void CZulVntr::StartCopy(bool fromLocal, const std::vector<TPickEntry>& entries, const QString& sourceFolder,
                         const QString& destFolder)
{
    std::vector<TCopyItem> items;
    for (const TPickEntry& entry : entries)
        if (entry.kind != 2)
            items.push_back({ToAnsiString(entry.name), entry.kind == 1, 0});
    m_engine.StartCopy(fromLocal ? ECopySource::Local : ECopySource::Remote, std::move(items),
                       ToAnsiString(sourceFolder), ToAnsiString(destFolder));
}

void CZulVntr::OnDrop(TFilePicker* target, int row)
{
    if (m_busy || !m_initialised)
        return;
    const bool toRemote = target == m_remote;
    if (!(toRemote ? m_session.MayWriteToRemote() : m_session.MayCopyFromRemote())) {
        ShowStringBox(IDS_NO_COPY_PRIVILEGE);
        return;
    }
    TFilePicker* source = toRemote ? m_local : static_cast<TFilePicker*>(m_remote);
    const std::vector<TPickEntry> entries = source->GetSelItems();
    if (entries.empty())
        return;
    // A folder row takes the items; a file row or empty space, the pane's current folder.
    QString destination = target->CurrentFolder();
    const TTreeListModel* model = target->ActiveList()->Model();
    if (row >= 0 && model->RowType(row) == kRowFolder)
        destination = JoinFolder(destination, model->RowText(row));
    StartCopy(toRemote, entries, source->CurrentFolder(), destination);
}

void CZulVntr::OnRemove()
{
    if (m_busy || !m_initialised)
        return;
    const bool local = m_session.m_bRemotePaneActive == 0;
    if (!local && !m_session.MayRemoveOnRemote()) {
        ShowStringBox(IDS_NO_REMOVE_PRIVILEGE);
        return;
    }
    TFilePicker* pane = local ? m_local : static_cast<TFilePicker*>(m_remote);
    const std::vector<TPickEntry> entries = pane->GetSelItems();
    if (entries.empty()) {
        ShowStringBox(IDS_NO_VALID_SELECTIONS);
        return;
    }
    if (!Confirm(RemoveConfirmText(local, Names(entries)), RemoveConfirmCaption(local)))
        return;
    EnterBusy();
    if (local) {
        SetWaitCursor(true);
        RemoveLocalSelItems(entries);
        RefreshLocalPane();
        SetWaitCursor(false);
        LeaveBusy();
        return;
    }
    std::vector<TRemoveItem> items;
    for (const TPickEntry& entry : entries)
        items.push_back({ToAnsiString(entry.name), entry.kind == 1 ? 1 : 0});
    m_session.StartRemoteRemove(std::move(items));
}

void CZulVntr::RemoveLocalSelItems(const std::vector<TPickEntry>& entries)
{
    bool yesToAll = false;
    for (const TPickEntry& entry : entries) {
        const QString path = JoinFolder(m_local->CurrentFolder(), entry.name);
        std::string ansi;
        BYTE attributes = 0;
        bool failed = !ToAnsi(path, ansi) || ansi.size() >= MAX_PATH || !LFN_GetFileAttributes(ansi.c_str(), &attributes);
        if (!failed && entry.kind == 1) {
            failed = DeleteTree(ansi.c_str()) != kTreeOk;
        } else if (!failed) {
            if (!yesToAll && (attributes & kOVF_attrReadOnly)) {
                SetWaitCursor(false);
                TConfirmReplaceDialog question(this, {entry.name}, true);
                const int answer = question.RunModal();
                SetWaitCursor(true);
                if (answer == TConfirmReplaceDialog::kCancel)
                    return;
                if (answer == TConfirmReplaceDialog::kNo)
                    continue;
                yesToAll = answer == TConfirmReplaceDialog::kYesToAll;
            }
            // A file that could not be removed is still there.
            failed = DeleteLocalFile(ansi.c_str()) != kTreeOk || LFN_FileExists(ansi.c_str());
        }
        if (failed)
            ShowMessage(this, QString::fromStdString(FormatStringId(IDS_REMOVE_ERROR, ToAnsiString(entry.name))),
                        TMessageKind::Stop);
    }
}
