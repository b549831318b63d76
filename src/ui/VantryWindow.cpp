#include "VantryWindow.h"

#include "ConfirmReplaceDialog.h"
#include "DialogHost.h"
#include "LocalFolders.h"
#include "MessageBoxes.h"
#include "OVCore.h"
#include "OpenBlocks.h"
#include "RemoteFilePicker.h"
#include "StatusWindow.h"
#include "StringTable.h"
#include "TreeList.h"
#include "Vntrgst.h"
#include "WaitDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int kPaneMargin = 6;
constexpr int kRemoteShorter = 10;
constexpr int kWindowWidthUnits = 318;
constexpr int kWindowHeightUnits = 230;

QString Ansi(const char* text) { return FromAnsi(text); }
std::string ToAnsiString(const QString& text)
{
    std::string ansi;
    ToAnsi(text, ansi);
    return ansi;
}
} // namespace

CZulVntr::CZulVntr(TVantryGuestSession& session, const QString& localFolder, const QString& remoteFolder,
                   QWidget* parent)
    : TDialog(parent), m_session(session), m_engine(session), m_startLocal(localFolder)
{
    setWindowTitle(tr("Vantry Files with ") + Ansi(session.HostName()));
    setWindowIcon(QIcon(QStringLiteral(":/vantry/icons/20104.png")));
    m_nIDHelp = kHelpWindowContext;
    setModal(false);
    m_session.m_bRemotePaneActive = 0;

    m_local = new TFilePicker(this);
    m_local->setObjectName(QStringLiteral("localPane"));
    m_remote = new TRemoteFilePicker(session, *this, this);
    m_remote->setObjectName(QStringLiteral("remotePane"));
    m_remote->SetPathOnly(remoteFolder);
    for (TFilePicker* pane : Panes()) {
        connect(pane, &TFilePicker::focusGained, this, &CZulVntr::OnFilePickSetFocus);
        connect(pane, &TFilePicker::selectionChanged, this, [this] { UpdateMenu(); });
        connect(pane, &TFilePicker::rowsDropped, this, &CZulVntr::OnDrop);
    }

    // Rows are dragged to the other pane's lists; local rows also to other programs as files.
    for (TTreeList* list : m_local->Lists()) {
        list->EnableDrag(true, {m_remote->Lists()[0], m_remote->Lists()[1]});
        list->SetPosixPathMapper(LocalPosixPath);
    }
    for (TTreeList* list : m_remote->Lists()) {
        list->EnableDrag(true, {m_local->Lists()[0], m_local->Lists()[1]});
        list->AcceptFileDrops(true);
    }
    connect(m_remote, &TFilePicker::filesDropped, this, &CZulVntr::OnFilesDropped);
    for (TFilePicker* pane : Panes())
        for (TTreeList* list : pane->Lists()) {
            list->SetDeleteNotify(true);
            connect(list, &TTreeList::deletePressed, this, &CZulVntr::OnRemove);
        }

    m_help = new QPushButton(tr("Help"), this);
    SetControlId(m_help, kHelpButtonId);
    m_help->setAutoDefault(false);
    m_close = new QPushButton(tr("Close"), this);
    m_close->setAutoDefault(false);
    connect(m_close, &QPushButton::clicked, this, &CZulVntr::OnDone);
    BuildMenus();

    resize(DialogUnits(0, 0, kWindowWidthUnits, kWindowHeightUnits).size());
    // The panes are filled once the window shows.
    QTimer::singleShot(0, this, &CZulVntr::CompleteTheInitialization);
}

CZulVntr::~CZulVntr()
{
    m_closing = true;
    // The panes' last focus changes, as the window goes, reach no half-destroyed window.
    for (TFilePicker* pane : Panes())
        pane->disconnect(this);
    delete m_scanWait;
    delete m_admitWait;
    delete m_status;
    SetWaitCursor(false);
}

QAction* CZulVntr::AddCommand(QMenu* menu, int id, const QString& text, const QKeySequence& key)
{
    QAction* action = menu->addAction(text);
    if (!key.isEmpty()) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    m_actions[id] = action;
    return action;
}

void CZulVntr::BuildMenus()
{
    m_menuBar = new QMenuBar(this);
    QMenu* file = m_menuBar->addMenu(tr("&File"));
    connect(AddCommand(file, kCmdCopy, tr("C&opy..."), Qt::Key_F8), &QAction::triggered, this, &CZulVntr::OnCopy);
    connect(AddCommand(file, kCmdRemove, tr("Re&move..."), Qt::Key_Delete), &QAction::triggered, this,
            &CZulVntr::OnRemove);
    connect(AddCommand(file, kCmdCreateLocalFolder, tr("Create &Local Folder...")), &QAction::triggered, this, [this] {
        if (!m_busy)
            m_local->NewFolder();
    });
    connect(AddCommand(file, kCmdCreateRemoteFolder, tr("Create &Remote Folder...")), &QAction::triggered, this,
            [this] {
                if (!m_busy)
                    m_remote->NewFolder();
            });
    file->addSeparator();
    connect(AddCommand(file, kCmdClose, tr("&Close")), &QAction::triggered, this, &CZulVntr::OnDone);

    QMenu* view = m_menuBar->addMenu(tr("&View"));
    const auto onFocused = [this](auto&& act) {
        return [this, act] {
            if (!m_busy)
                act(FocusedPane());
        };
    };
    QAction* list = AddCommand(view, kCmdViewList, tr("&List"));
    QAction* details = AddCommand(view, kCmdViewDetails, tr("&Details"));
    list->setCheckable(true);
    details->setCheckable(true);
    connect(list, &QAction::triggered, this, onFocused([](TFilePicker* pane) { pane->SetView(EViewMode::List); }));
    connect(details, &QAction::triggered, this, onFocused([this](TFilePicker* pane) {
                if (pane != m_remote || !m_remote->IsOldHost())
                    pane->SetView(EViewMode::Details);
            }));
    m_sortMenu = view->addMenu(tr("Sort &By"));
    static constexpr int kSortIds[] = {kCmdSortName, kCmdSortSize, kCmdSortModified};
    static const char* const kSortTexts[] = {"&Name", "&Size", "&Modified"};
    for (int key = 0; key < 3; ++key) {
        QAction* sort = AddCommand(m_sortMenu, kSortIds[key], tr(kSortTexts[key]));
        sort->setCheckable(true);
        connect(sort, &QAction::triggered, this, onFocused([key](TFilePicker* pane) { pane->SortBy(key); }));
    }
    m_sortMenu->addSeparator();
    // Either direction sorts again by the current key, which flips the direction.
    for (const auto& [id, text] : {std::pair{kCmdAscending, "&Ascending"}, std::pair{kCmdDescending, "&Descending"}}) {
        QAction* direction = AddCommand(m_sortMenu, id, tr(text));
        direction->setCheckable(true);
        connect(direction, &QAction::triggered, this,
                onFocused([](TFilePicker* pane) { pane->SortBy(pane->View().sortKey); }));
    }
    view->addSeparator();
    connect(AddCommand(view, kCmdRefresh, tr("&Refresh"), Qt::Key_F5), &QAction::triggered, this,
            onFocused([](TFilePicker* pane) { pane->Fill(); }));
    connect(AddCommand(view, kCmdUpFolder, tr("&Up One Folder"), Qt::Key_Backspace), &QAction::triggered, this,
            onFocused([](TFilePicker* pane) { pane->UpOneFolder(); }));
    QMenu* help = m_menuBar->addMenu(tr("&Help"));
    connect(AddCommand(help, kCmdHelpContents, tr("&Contents")), &QAction::triggered, this,
            [] { DialogHost().ShowHelp(kHelpCommandContext); });

    for (QMenu* menu : {file, view, m_sortMenu, help})
        connect(menu, &QMenu::aboutToShow, this, &CZulVntr::UpdateMenu);
    // Shortcuts work without the menu being opened: the window keeps the states current.
    for (auto& [id, action] : m_actions)
        addAction(action);
}

QAction* CZulVntr::Action(int id) const
{
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

void CZulVntr::CompleteTheInitialization()
{
    try {
        SetWaitCursor(true);
        if (!m_session.LongNames())
            m_remote->SetOldHost(true);
        char user[67] = {};
        m_local->SetTitle(QLatin1Char(' ') + (OVGetUserName(user) == 0 ? Ansi(user) : QString::fromLatin1(FixedText::kUnknownName)));
        m_remote->SetTitle(QLatin1Char(' ') + Ansi(m_session.HostName()));
        m_local->SetOffersDesktop(m_session.HostKind() == OpenBlock::kHostKindDesktop);
        m_local->SetFolder(m_startLocal);
        m_scanWait = new TScanWaitDialog(this);
        m_scanWait->SetHostName(Ansi(m_session.HostName()));
        connect(m_scanWait, &TWaitDialog::cancelled, this, &CZulVntr::OnDone);
        m_scanWait->CreateModeless();
        m_remote->ListVolumesAndFolder();
        m_initialised = true;
        SetWaitCursor(false);
        UpdateMenu();
    } catch (const std::exception&) {
        m_session.PostStopMessage(kStopSystemError);
    }
}

// --- Menu state --------------------------------------------------------------------------------

std::array<TFilePicker*, 2> CZulVntr::Panes() const { return {m_local, m_remote}; }

TFilePicker* CZulVntr::FocusedPane() const
{
    for (TFilePicker* pane : Panes())
        if (pane->ListHasFocus())
            return pane;
    for (TFilePicker* pane : Panes())
        if (pane->DriveListHasFocus())
            return pane;
    return m_session.m_bRemotePaneActive ? static_cast<TFilePicker*>(m_remote) : m_local;
}

TFilePicker* CZulVntr::ActivePane() const
{
    return m_session.m_bRemotePaneActive ? static_cast<TFilePicker*>(m_remote) : m_local;
}

void CZulVntr::UpdateMenu()
{
    static constexpr int kCommands[] = {kCmdCopy, kCmdCopyCompanion, kCmdRemove, kCmdCreateRemoteFolder,
                                        kCmdCreateLocalFolder, kCmdClose};
    const bool blocked = !m_initialised || m_admitWait || m_busy;
    for (const int id : kCommands)
        if (QAction* action = Action(id))
            action->setEnabled(!blocked);
    for (const int id : {kCmdViewList, kCmdViewDetails, kCmdRefresh, kCmdUpFolder})
        Action(id)->setEnabled(!blocked);
    if (blocked)
        return;
    const int selected = ActivePane()->SelectedCount();
    Action(kCmdCreateRemoteFolder)->setEnabled(m_session.MayWriteToRemote());

    const TFilePicker* focused = FocusedPane();
    const bool details = focused->View().mode == EViewMode::Details;
    Action(kCmdViewList)->setChecked(!details);
    Action(kCmdViewDetails)->setChecked(details);
    Action(kCmdViewDetails)->setEnabled(focused != m_remote || !m_remote->IsOldHost());
    m_sortMenu->setEnabled(details);
    const int key = focused->View().sortKey;
    Action(kCmdSortName)->setChecked(key != 1 && key != 2);
    Action(kCmdSortSize)->setChecked(key == 1);
    Action(kCmdSortModified)->setChecked(key == 2);
    Action(kCmdAscending)->setChecked(focused->View().ascending);
    Action(kCmdDescending)->setChecked(!focused->View().ascending);

    if (selected == 0) {
        Action(kCmdCopy)->setEnabled(false);
        Action(kCmdRemove)->setEnabled(false);
        return;
    }
    Action(kCmdCreateLocalFolder)->setEnabled(true);
    if (ActivePane() == m_local) {
        Action(kCmdCopy)->setEnabled(m_session.MayWriteToRemote());
        Action(kCmdRemove)->setEnabled(true);
    } else {
        Action(kCmdCopy)->setEnabled(m_session.MayCopyFromRemote());
        Action(kCmdRemove)->setEnabled(m_session.MayRemoveOnRemote());
    }
}

void CZulVntr::OnFilePickSetFocus(TFilePicker* pane)
{
    if (!m_initialised)
        return;
    m_session.m_bRemotePaneActive = pane == m_remote ? 1 : 0;
    UpdateMenu();
}

// --- Keys, closing, layout ---------------------------------------------------------------------

void CZulVntr::accept()
{
    // Enter opens the selected row of the pane that has the focus.
    if (m_busy)
        return;
    FocusedPane()->OpenRow();
}

void CZulVntr::reject()
{
    if (m_busy)
        return;
    for (TFilePicker* pane : Panes()) {
        if (pane->DriveCombo()->view()->isVisible()) {
            pane->DriveCombo()->hidePopup();
            return;
        }
    }
    OnDone();
}

void CZulVntr::closeEvent(QCloseEvent* event)
{
    // The session closes the window; the window never goes by itself.
    event->ignore();
    if (!m_busy)
        OnDone();
}

void CZulVntr::OnDone()
{
    if (!m_initialised || m_closing)
        return;
    m_closing = true;
    m_session.PostStopMessage(kStopUserClosed);
}

void CZulVntr::showEvent(QShowEvent* event)
{
    TDialog::showEvent(event);
    if (m_firstShow) {
        m_firstShow = false;
        // The window never becomes smaller than its first size.
        setMinimumSize(size());
        LayOutChildren();
    }
}

void CZulVntr::resizeEvent(QResizeEvent* event)
{
    TDialog::resizeEvent(event);
    LayOutChildren();
}

void CZulVntr::LayOutChildren()
{
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, width(), menuHeight);
    const QSize client(width(), height() - menuHeight);
    if (m_firstPaneWidth == 0)
        m_firstPaneWidth = client.width() - 2 * kPaneMargin;
    const TPaneLayout layout = LayOutPanes(client, kPaneMargin, m_firstPaneWidth);
    if (!layout.local.isEmpty()) {
        m_local->setGeometry(layout.local.translated(0, menuHeight));
        m_remote->setGeometry(layout.remote.translated(0, menuHeight).adjusted(0, 0, 0, -kRemoteShorter));
    }
    for (QPushButton* button : {m_help, m_close})
        button->resize(button->sizeHint());
    const int y = height() - (m_help->height() + kButtonBottom);
    m_help->move(kButtonMargin, y);
    m_close->move(width() - (m_close->width() + kButtonMargin), y);
}

// --- IVantryWindow -----------------------------------------------------------------------------

int CZulVntr::MessageBoxText(const std::string& sText, const std::string& sCaption, unsigned nStyle)
{
    if (sText.empty())
        return MessageBoxAnswer::kNone;
    const TMessageKind kind = (nStyle & MessageBoxStyle::kYesNo) ? TMessageKind::Question : TMessageKind::Stop;
    // The user answers with the normal cursor.
    const bool wait = m_waitCursor;
    SetWaitCursor(false);
    const int answer = ShowMessage(this, Ansi(sText.c_str()), kind, Ansi(sCaption.c_str()));
    SetWaitCursor(wait);
    return answer;
}

int CZulVntr::PaneMessageBox(const std::string& sText)
{
    return MessageBoxText(sText, LoadStringId(IDS_CAPTION_VANTRY), MessageBoxStyle::kIconExclamation);
}

int CZulVntr::AskReplace(const std::string& sName, bool bReadOnly)
{
    const bool wait = m_waitCursor;
    SetWaitCursor(false);
    TConfirmReplaceDialog dialog(this, {Ansi(sName.c_str())}, bReadOnly, m_status);
    const int answer = dialog.RunModal();
    SetWaitCursor(wait);
    return answer;
}

bool CZulVntr::OpenStatus()
{
    delete m_status;
    m_status = new TStatusWindow(this);
    connect(m_status, &TStatusWindow::cancelRequested, this, [this] {
        // The copy stops at its next step; its end closes this window.
        m_session.m_bStopRequested = 1;
        m_engine.Cancel();
    });
    m_status->setWindowTitle(Ansi(LoadStringId(IDS_STATUS_TITLE)) + Ansi(m_session.HostName()));
    m_status->CreateModeless();
    return m_status->isVisible();
}

void CZulVntr::CloseStatus()
{
    if (!m_status)
        return;
    delete m_status;
    m_status = nullptr;
    // The keys go to this window again.
    activateWindow();
}

void CZulVntr::SetStatusTitle(const std::string& sTitle)
{
    if (m_status)
        m_status->SetTitle(Ansi(sTitle.c_str()));
}

void CZulVntr::SetStatusText(const std::string& sText)
{
    if (m_status)
        m_status->SetFile(Ansi(sText.c_str()));
}

void CZulVntr::SetStatusTotal(std::uint64_t nTotal)
{
    if (m_status)
        m_status->Start(nTotal);
}

void CZulVntr::UpdateStatus(std::uint64_t nDone)
{
    if (!m_status || m_session.m_nBytesToCopy == 0)
        return;
    m_status->SetPercent(static_cast<int>(nDone * 100 / m_session.m_nBytesToCopy));
    m_status->Update(nDone);
}

void CZulVntr::EnterBusy() { SetBusy(true); }

void CZulVntr::LeaveBusy() { SetBusy(false); }

void CZulVntr::SetBusy(bool busy)
{
    m_busy = busy;
    for (TFilePicker* pane : Panes())
        pane->SetPaneEnabled(!busy);
    m_help->setEnabled(!busy);
    m_close->setEnabled(!busy);
    SetWaitCursor(busy);
    UpdateMenu();
}

void CZulVntr::SetWaitCursor(bool bWait)
{
    if (bWait == m_waitCursor)
        return;
    m_waitCursor = bWait;
    if (bWait)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

std::string CZulVntr::LocalFolder() const { return ToAnsiString(m_local->CurrentFolder()); }

std::string CZulVntr::RemoteFolder() const { return ToAnsiString(m_remote->CurrentFolder()); }

void CZulVntr::SetRemoteFolder(const std::string& sFolder) { m_remote->SetPathOnly(Ansi(sFolder.c_str())); }

// The remote pane goes back to the folder it showed before on any listing that fails
// (FinishUpDir), this one included.
void CZulVntr::RestorePreviousRemoteDrive() {}

void CZulVntr::RemoteListingDone() { m_remote->ShowListing(); }

void CZulVntr::RefreshLocalPane() { m_local->Fill(); }

void CZulVntr::RefreshRemotePane() { m_remote->Fill(); }

void CZulVntr::ShowAdmitWait()
{
    if (m_admitWait)
        return;
    m_admitWait = new TAdmitWaitDialog(this);
    m_admitWait->SetHostName(Ansi(m_session.HostName()));
    connect(m_admitWait, &TWaitDialog::cancelled, this, [this] {
        m_initialised = true;
        OnDone();
    });
    m_admitWait->CreateModeless();
    UpdateMenu();
}

void CZulVntr::CloseAdmitWait()
{
    delete m_admitWait;
    m_admitWait = nullptr;
    activateWindow();
    UpdateMenu();
}

void CZulVntr::CloseScanWait()
{
    if (!m_scanWait)
        return;
    delete m_scanWait;
    m_scanWait = nullptr;
    activateWindow();
}

void CZulVntr::EndCopyOnClose() { CloseStatus(); }

void CZulVntr::RemoteRemoveDone()
{
    LeaveBusy();
    m_remote->Fill();
}

void CZulVntr::RemoteNewFolderDone(bool)
{
    LeaveBusy();
    m_remote->Fill();
}
