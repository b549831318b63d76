#include "RemoteFilePicker.h"

#include "IconIds.h"
#include "LocalFolders.h"
#include "MacTime.h"
#include "StringTable.h"
#include "TreeList.h"
#include "TreeListFlags.h"
#include "Vntrgst.h"

#include <QComboBox>
#include <QPushButton>
#include <QToolButton>

namespace {
constexpr int kToolNewFolder = 1;
constexpr int kToolDetails = 3;
constexpr QLatin1StringView kDesktop("Desktop");

QString EntryName(const TRemoteEntry& entry) { return FromAnsi(std::string(RemoteEntryName(entry)).c_str()); }
} // namespace

TRemoteFilePicker::TRemoteFilePicker(TVantryGuestSession& session, IVantryWindow& window, QWidget* parent)
    : TFilePicker(parent), m_session(session), m_window(window)
{
    SetDriveLabel(tr("Remote Drives:"));
    // The rows of the current folder come from what the session has listed.
    for (TTreeList* list : {ActiveList(), OtherList()})
        list->SetFolderReader([this](const QString&, std::vector<TListingEntry>& entries) {
            if (m_session.ListedRemotePath().empty())
                return false;
            for (const TRemoteEntry& remote : m_session.RemoteListing().CurrentEntries()) {
                TListingEntry entry;
                entry.name = EntryName(remote);
                entry.attributes = remote.dwFolder != 0 ? kOVF_attrDirectory : kOVF_attrNormal;
                entry.size = static_cast<qint64>(RemoteEntrySize(remote));
                if (remote.dwModTime != 0) {
                    FILETIME fileTime{};
                    OVConvertMacTimeToFileTime(OVMacTimeToWireOrder(remote.dwModTime), &fileTime);
                    entry.fileTime = (std::uint64_t{fileTime.dwHighDateTime} << 32) | fileTime.dwLowDateTime;
                }
                entries.push_back(entry);
            }
            return true;
        });
    UpdateButtons();
}

QString TRemoteFilePicker::VolumeRoot(const QString& volumeName)
{
    if (volumeName == kDesktop)
        return volumeName;
    if (volumeName.size() >= 2 && volumeName.at(1) == QLatin1Char(':'))
        return volumeName.left(2) + QLatin1Char('\\');
    return volumeName.left(1) + QStringLiteral(":\\");
}

void TRemoteFilePicker::SetOldHost(bool old)
{
    m_oldHost = old;
    if (old)
        SetView(EViewMode::List);
    UpdateButtons();
}

void TRemoteFilePicker::ListVolumesAndFolder()
{
    m_listing = true;
    m_window.EnterBusy();
    m_session.ListRemoteVolumes([this] {
        if (m_path.isEmpty() && !m_session.RemoteVolumes().empty()) {
            // No folder named: the root of the volume the host marks as its first.
            const auto& volume = m_session.RemoteVolumes()[static_cast<std::size_t>(m_session.CurrentVolumeIndex())];
            m_path = VolumeRoot(FromAnsi(volume.sName.c_str()));
            m_session.ListRemoteFolder(m_path.toStdString(), [this] { FinishUpDir(); });
            return;
        }
        FinishUpDir();
    });
}

void TRemoteFilePicker::Fill()
{
    if (m_listing)
        return;
    if (m_session.RemoteVolumes().empty()) {
        ListVolumesAndFolder();
        return;
    }
    m_listing = true;
    m_window.EnterBusy();
    std::string ansi;
    ToAnsi(m_path, ansi);
    m_session.ListRemoteFolder(ansi, [this] { FinishUpDir(); });
}

void TRemoteFilePicker::FinishUpDir()
{
    m_listing = false;
    const bool listed = m_session.m_nPaneResult == kFTP_resOK && !m_session.ListedRemotePath().empty();
    m_window.LeaveBusy();
    m_window.SetWaitCursor(false);
    m_window.CloseScanWait();
    if (!listed && !m_previousPath.isEmpty() && m_previousPath != m_path) {
        RestorePrevious();
        return;
    }
    ShowListing();
    if (m_focusAfterListing) {
        m_focusAfterListing = false;
        ActiveList()->setFocus();
    }
}

void TRemoteFilePicker::ShowListing()
{
    m_listing = false;
    if (!m_session.ListedRemotePath().empty())
        m_path = FromAnsi(m_session.ListedRemotePath().c_str());
    TFilePicker::Fill();
}

void TRemoteFilePicker::RestorePrevious()
{
    m_path = m_previousPath;
    m_previousPath.clear();
    Fill();
}

bool TRemoteFilePicker::ListRows()
{
    TTreeList* list = ActiveList();
    return list->ListFolder(kOVF_attrDirectory, QStringLiteral("*.*"), list->Flags(), m_path) == 0;
}

void TRemoteFilePicker::FillDriveCombo()
{
    m_fillingCombo = true;
    TTreeListModel* model = DriveTree()->Model();
    model->Clear();
    int selected = -1;
    const QString prefix = m_path.section(QLatin1Char('\\'), 0, 0);
    for (const TRemoteVolume& volume : m_session.RemoteVolumes()) {
        TTreeRow row;
        row.text = FromAnsi(volume.sName.c_str());
        row.type = kRowOther;
        row.icon = row.text == kDesktop ? kIconDesktop : kIconFixedDrive;
        model->AddRow(row);
        if (VolumeRoot(row.text).section(QLatin1Char('\\'), 0, 0).compare(prefix, Qt::CaseInsensitive) == 0) {
            AddPathRows(0);
            selected = model->rowCount() - 1;
        }
    }
    DriveCombo()->setCurrentIndex(selected);
    m_fillingCombo = false;
}

void TRemoteFilePicker::DriveChosen(int index)
{
    const TTreeListModel* model = DriveTree()->Model();
    const TTreeRow row = model->Row(index);
    QStringList names{row.level == 0 ? VolumeRoot(row.text) : row.text};
    int level = row.level;
    for (int i = index - 1; i >= 0 && level > 0; --i) {
        const TTreeRow above = model->Row(i);
        if (above.level < level) {
            names.prepend(above.level == 0 ? VolumeRoot(above.text).section(QLatin1Char('\\'), 0, 0) : above.text);
            level = above.level;
        }
    }
    m_focusAfterListing = true;
    SetFolder(names.size() == 1 ? names.front() : names.join(QLatin1Char('\\')));
}

void TRemoteFilePicker::UpdateButtons()
{
    TFilePicker::UpdateButtons();
    ToolButton(kToolNewFolder)->setEnabled(!m_disabled && m_session.MayWriteToRemote());
    ToolButton(kToolDetails)->setEnabled(!m_disabled && !m_oldHost);
    for (int key = 0; key < 3; ++key)
        Header(key)->setEnabled(!m_disabled && !m_oldHost);
}

void TRemoteFilePicker::NewFolder()
{
    if (m_disabled || !m_session.MayWriteToRemote())
        return;
    TNewFolderDialog dialog(*this, window());
    dialog.RunModal();
}

int TRemoteFilePicker::NamingKind() const
{
    TRemoteLevel level{};
    if (!ZULGetCurrentRemoteDirInfo(m_session.RemoteListing(), m_session.RemoteListing().CurrentLevel(), &level, nullptr))
        return 0;
    return RemoteNameLimits(level.volumeRecord).nFileSystem;
}

QStringList TRemoteFilePicker::CurrentEntries() const
{
    QStringList names;
    for (const TRemoteEntry& entry : m_session.RemoteListing().CurrentEntries())
        names << EntryName(entry);
    return names;
}

void TRemoteFilePicker::CreateRemoteFolder(const QString& name)
{
    std::string ansi;
    if (!ToAnsi(name, ansi))
        return;
    m_window.EnterBusy();
    m_session.CreateRemoteFolder(ansi);
}
