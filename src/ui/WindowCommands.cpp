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
#include "OVFDrives.h"
#include "Vntrgst.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <memory>

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
                         const QString& destFolder, TCopyEngine::TCopyDone onDone)
{
    std::vector<TCopyItem> items;
    for (const TPickEntry& entry : entries)
        if (entry.kind != 2)
            items.push_back({ToAnsiString(entry.name), entry.kind == 1, 0});
    m_engine.StartCopy(fromLocal ? ECopySource::Local : ECopySource::Remote, std::move(items),
                       ToAnsiString(sourceFolder), ToAnsiString(destFolder), std::move(onDone));
}

bool CZulVntr::MayCopyInto(TFilePicker* target)
{
    if (target == m_remote ? m_session.MayWriteToRemote() : m_session.MayCopyFromRemote())
        return true;
    ShowStringBox(IDS_NO_COPY_PRIVILEGE);
    return false;
}

QString CZulVntr::DropDestination(TFilePicker* target, int row) const
{
    // A folder row takes the items; a file row or empty space, the pane's current folder.
    const TTreeListModel* model = target->ActiveList()->Model();
    if (row >= 0 && model->RowType(row) == kRowFolder)
        return JoinFolder(target->CurrentFolder(), model->RowText(row));
    return target->CurrentFolder();
}

void CZulVntr::OnDrop(TFilePicker* target, int row)
{
    if (m_busy || !m_initialised || !MayCopyInto(target))
        return;
    const bool toRemote = target == m_remote;
    TFilePicker* source = toRemote ? m_local : static_cast<TFilePicker*>(m_remote);
    const std::vector<TPickEntry> entries = source->GetSelItems();
    if (!entries.empty())
        StartCopy(toRemote, entries, source->CurrentFolder(), DropDestination(target, row));
}

void CZulVntr::OnFilesDropped(TFilePicker* target, int row, const QStringList& posixPaths)
{
    if (m_busy || !m_initialised || !MayCopyInto(target))
        return;
    // One copy per source folder, one after the other, in the order the folders first appear.
    auto groups = std::make_shared<std::vector<std::pair<QString, std::vector<TPickEntry>>>>();
    for (const QString& posix : posixPaths) {
        std::string windows;
        if (!OVF_PosixToWindowsPath(QFileInfo(posix).absoluteFilePath().toStdString(), windows)) {
            ShowMessage(this, QString::fromStdString(FormatStringId(IDS_CANNOT_COPY_FILE, posix.toStdString())),
                        TMessageKind::Stop);
            continue;
        }
        const QString path = FromAnsi(windows.c_str());
        const QString folder = ParentFolder(path);
        TPickEntry entry;
        entry.name = path.mid(folder.size() + (folder.endsWith(QLatin1Char('\\')) ? 0 : 1));
        entry.kind = QFileInfo(posix).isDir() ? 1 : 0;
        auto group = std::find_if(groups->begin(), groups->end(), [&](const auto& g) { return g.first == folder; });
        if (group == groups->end())
            group = groups->insert(groups->end(), {folder, {}});
        group->second.push_back(entry);
    }
    const QString destination = DropDestination(target, row);
    auto next = std::make_shared<std::function<void(std::size_t)>>();
    // Each running copy keeps the chain alive; the chain itself holds no reference to itself.
    *next = [this, groups, destination, weakNext = std::weak_ptr(next)](std::size_t index) {
        const auto self = weakNext.lock();
        if (!self || index >= groups->size())
            return;
        const auto& [folder, entries] = (*groups)[index];
        StartCopy(true, entries, folder, destination, [self, index, this](const TCopyOutcome& outcome) {
            // The copy that follows starts from the loop, once this one has wound down.
            if (!outcome.bStopped)
                QTimer::singleShot(0, this, [self, index] { (*self)(index + 1); });
        });
    };
    (*next)(0);
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
