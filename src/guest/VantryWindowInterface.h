// What the guest session and its engines ask of the Vantry window. The Qt window and the
// terminal front end implement it; the engines never touch a widget.
#pragma once

#include "TransferEvent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TVantryGuestSession;

class IVantryWindow {
public:
    virtual ~IVantryWindow() = default;

    // Message boxes. A box for a string id shows the table's text (FormatStringId and friends fill
    // its placeholders before the call); an id without text shows nothing and answers 0.
    // nStyle carries the platform's style bits (MessageBoxStyle); the answer is a MessageBoxAnswer.
    virtual int MessageBoxText(const std::string& sText, const std::string& sCaption, unsigned nStyle) = 0;
    // The remote pane's box: caption "VanTry", exclamation icon.
    virtual int PaneMessageBox(const std::string& sText) = 0;
    // An item that failed or was left out, or the end of the session, with the box the window
    // shows for it (none when sText is empty). A front end that words events itself overrides it.
    virtual void ReportTransfer(const TTransferEvent& /*event*/, const std::string& sText, const std::string& sCaption,
                                unsigned nStyle)
    {
        if (!sText.empty())
            MessageBoxText(sText, sCaption, nStyle);
    }

    // The replace prompt (a ReplaceAnswer); bReadOnly asks whether to delete a read-only file.
    virtual int AskReplace(const std::string& sName, bool bReadOnly) = 0;

    // The transfer status window, open for the length of a copy.
    virtual bool OpenStatus() = 0;
    virtual void CloseStatus() = 0;
    virtual void SetStatusTitle(const std::string& sTitle) = 0;
    virtual void SetStatusText(const std::string& sText) = 0;
    virtual void SetStatusTotal(std::uint64_t nTotal) = 0;
    virtual void UpdateStatus(std::uint64_t nDone) = 0;

    // Busy keeps user commands from overlapping a running operation.
    virtual void EnterBusy() = 0;
    virtual void LeaveBusy() = 0;
    virtual bool IsBusy() const = 0;
    virtual void SetWaitCursor(bool bWait) = 0;

    // The panes' current folders: "X:\" for a root, "X:\dir" below it, "Desktop\dir" on the
    // desktop volume; the remote pane's folder is empty while it shows the volume list alone.
    virtual std::string LocalFolder() const = 0;
    virtual std::string RemoteFolder() const = 0;
    virtual void SetRemoteFolder(const std::string& sFolder) = 0;
    // The host could not read the drive the remote pane asked for: the pane goes back to the one it showed before.
    virtual void RestorePreviousRemoteDrive() = 0;
    // The remote listing has been delivered to the session's remote listing: the pane redraws.
    virtual void RemoteListingDone() = 0;
    virtual void RefreshLocalPane() = 0;
    virtual void RefreshRemotePane() = 0;

    // Waiting dialogs: admit-wait while the host user has not yet admitted the guest, scan-wait
    // during the first remote listing.
    virtual void ShowAdmitWait() = 0;
    virtual void CloseAdmitWait() = 0;
    virtual void CloseScanWait() = 0;

    // A remote item's size asked for by the window itself: a kFTP_msgFileInfo that no request of a chain awaits.
    virtual bool WaitingForSize() const = 0;
    virtual void TakeRemoteItemInfo(std::int16_t nResult, const std::uint8_t* pRecord) = 0;

    // Ends a copy under way because the session is closing.
    virtual void EndCopyOnClose() = 0;
    // The remote remove chain and the new remote folder have finished.
    virtual void RemoteRemoveDone() = 0;
    virtual void RemoteNewFolderDone(bool bMade) = 0;
};

// Creates the window of a session that has just started; installed by the front end.
using TVantryWindowFactory = std::function<std::unique_ptr<IVantryWindow>(TVantryGuestSession& session)>;
void SetVantryWindowFactory(TVantryWindowFactory factory);
const TVantryWindowFactory& GetVantryWindowFactory();
