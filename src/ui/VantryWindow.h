// The Vantry window: the local pane above, the remote pane below, the File and View menus, Help
// and Close. It is the guest session's window (IVantryWindow): the engines reach the user
// through it, and it owns the copy engine that its commands start.
#pragma once

#include "Dialog.h"
#include "FilePicker.h"
#include "StatusWindow.h"
#include "WaitDialogs.h"
#include "VantryWindowInterface.h"
#include "copyrtl.h"

#include <QPointer>

#include <array>
#include <map>

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;
class TRemoteFilePicker;

class CZulVntr : public TDialog, public IVantryWindow {
    Q_OBJECT
public:
    // Command ids of the menu.
    enum ECommand : int {
        kCmdRemove = 1003,
        kCmdCreateLocalFolder = 1005,
        kCmdCreateRemoteFolder = 1006,
        kCmdCopy = 1022,
        kCmdCopyCompanion = 1023,
        kCmdHelpContents = 1027,
        kCmdDone = 1032,
        kCmdViewList = 40018,
        kCmdViewDetails = 40019,
        kCmdSortName = 40022,
        kCmdSortSize = 40023,
        kCmdSortModified = 40024,
        kCmdAscending = 40025,
        kCmdDescending = 40026,
        kCmdClose = 40027,
        kCmdRefresh = 40030,
        kCmdUpFolder = 40031,
    };
    static constexpr int kHelpWindowContext = 1503;
    static constexpr int kHelpCommandContext = 1510;
    static constexpr int kButtonMargin = 7;
    static constexpr int kButtonBottom = 4;

    // The panes start in these folders (pane paths); an empty remote folder is the host's first volume.
    CZulVntr(TVantryGuestSession& session, const QString& localFolder, const QString& remoteFolder,
             QWidget* parent = nullptr);
    ~CZulVntr() override;

    TFilePicker* LocalPane() const { return m_local; }
    TRemoteFilePicker* RemotePane() const { return m_remote; }
    QAction* Action(int id) const;
    QMenuBar* MenuBar() const { return m_menuBar; }
    QPushButton* HelpButton() const { return m_help; }
    QPushButton* CloseButton() const { return m_close; }
    TStatusWindow* StatusWindow() const { return m_status; }
    bool IsInitialised() const { return m_initialised; }
    TCopyEngine& Engine() { return m_engine; }
    // Sets the menu's enabled and checked states as on the opening of a menu.
    void UpdateMenu();

    // Commands.
    void OnCopy();
    void OnRemove();
    void OnDone();
    // Rows of the other pane dropped on `target` at `row` (-1: not on a row).
    void OnDrop(TFilePicker* target, int row);
    // Files of another program dropped on the remote pane: uploaded folder by folder.
    void OnFilesDropped(TFilePicker* target, int row, const QStringList& posixPaths);

    // IVantryWindow
    int MessageBoxText(const std::string& sText, const std::string& sCaption, unsigned nStyle) override;
    int PaneMessageBox(const std::string& sText) override;
    int AskReplace(const std::string& sName, bool bReadOnly) override;
    bool OpenStatus() override;
    void CloseStatus() override;
    void SetStatusTitle(const std::string& sTitle) override;
    void SetStatusText(const std::string& sText) override;
    void SetStatusTotal(std::uint64_t nTotal) override;
    void UpdateStatus(std::uint64_t nDone) override;
    void EnterBusy() override;
    void LeaveBusy() override;
    bool IsBusy() const override { return m_busy; }
    void SetWaitCursor(bool bWait) override;
    std::string LocalFolder() const override;
    std::string RemoteFolder() const override;
    void SetRemoteFolder(const std::string& sFolder) override;
    void RestorePreviousRemoteDrive() override;
    void RemoteListingDone() override;
    void RefreshLocalPane() override;
    void RefreshRemotePane() override;
    void ShowAdmitWait() override;
    void CloseAdmitWait() override;
    void CloseScanWait() override;
    bool WaitingForSize() const override { return false; }
    void TakeRemoteItemInfo(std::int16_t, const std::uint8_t*) override {}
    void EndCopyOnClose() override;
    void RemoteRemoveDone() override;
    void RemoteNewFolderDone(bool bMade) override;

public slots:
    void accept() override;
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    QAction* AddCommand(QMenu* menu, int id, const QString& text, const QKeySequence& key = {});
    void CompleteTheInitialization();
    void OnFilePickSetFocus(TFilePicker* pane);
    std::array<TFilePicker*, 2> Panes() const;
    TFilePicker* FocusedPane() const;
    TFilePicker* ActivePane() const;
    bool Confirm(const QString& text, const QString& caption);
    void ShowStringBox(int id);
    void StartCopy(bool fromLocal, const std::vector<TPickEntry>& entries, const QString& sourceFolder,
                   const QString& destFolder, TCopyEngine::TCopyDone onDone = nullptr);
    // The destination of a drop at `row` of the target pane: a folder row, else the pane's folder.
    QString DropDestination(TFilePicker* target, int row) const;
    // Whether the session may copy toward the pane; says why not when it may not.
    bool MayCopyInto(TFilePicker* target);
    void RemoveLocalSelItems(const std::vector<TPickEntry>& entries);
    void LayOutChildren();
    // Greys both panes, Help, Close and the commands while an operation runs.
    void SetBusy(bool busy);

    TVantryGuestSession& m_session;
    TCopyEngine m_engine;
    TFilePicker* m_local = nullptr;
    TRemoteFilePicker* m_remote = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QMenu* m_sortMenu = nullptr;
    std::map<int, QAction*> m_actions;
    QPushButton* m_help = nullptr;
    QPushButton* m_close = nullptr;
    QPointer<TStatusWindow> m_status;
    QPointer<TScanWaitDialog> m_scanWait;
    QPointer<TAdmitWaitDialog> m_admitWait;
    QString m_startLocal;
    bool m_initialised = false;
    bool m_busy = false;
    bool m_waitCursor = false;
    bool m_closing = false;
    bool m_firstShow = true;
    int m_firstPaneWidth = 0;
};
