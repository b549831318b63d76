// The Vantry window of the guest verbs, on a terminal: messages go to standard error, the
// replace prompt is asked on a terminal or answered from --replace, and a copy's progress goes
// to TProgressDisplay. It owns the session's copy engine.
#pragma once

#include "GuestOptions.h"
#include "ProgressDisplay.h"
#include "VantryWindowInterface.h"
#include "copyrtl.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

class TTerminalWindow : public IVantryWindow {
public:
    // *pFailed is set by every failure shown, *pSkipped by every item left out; both outlive the
    // window, which goes with its session.
    TTerminalWindow(TVantryGuestSession& session, const TGuestOptions& options, std::string strVerb, bool* pFailed,
                    bool* pSkipped);
    // Leaves the summary of the verb's copies on the screen.
    ~TTerminalWindow() override;

    TCopyEngine& Engine() { return m_engine; }
    TProgressDisplay& Progress() { return m_progress; }
    const std::string& Verb() const { return m_strVerb; }
    // True once a message about a failure has been shown.
    bool FailureShown() const { return *m_pFailed; }
    // Shows a message of the verb itself (standard error) and counts it as a failure.
    void Fail(const std::string& strText);
    // Local items are named as the user typed them: sTyped stands for the local path sWindows.
    void AddLocalName(const std::string& sWindows, const std::string& sTyped);
    // Called when the remote remove chain or a new remote folder has finished.
    std::function<void()> onRemoveDone;
    std::function<void(bool)> onNewFolderDone;

    int MessageBoxText(const std::string& sText, const std::string& sCaption, unsigned nStyle) override;
    int PaneMessageBox(const std::string& sText) override;
    // One line on standard error, in the verb's own words: "skipped PATH: REASON" or "PATH: REASON".
    void ReportTransfer(const TTransferEvent& event, const std::string& sText, const std::string& sCaption,
                        unsigned nStyle) override;
    int AskReplace(const std::string& sName, bool bReadOnly) override;
    bool OpenStatus() override { return true; }
    void CloseStatus() override;
    void SetStatusTitle(const std::string&) override {}
    void SetStatusText(const std::string& sText) override;
    void SetStatusTotal(std::uint64_t nTotal) override;
    void UpdateStatus(std::uint64_t nDone) override;
    void EnterBusy() override { m_bBusy = true; }
    void LeaveBusy() override { m_bBusy = false; }
    bool IsBusy() const override { return m_bBusy; }
    void SetWaitCursor(bool) override {}
    std::string LocalFolder() const override { return {}; }
    std::string RemoteFolder() const override { return m_strRemoteFolder; }
    void SetRemoteFolder(const std::string& sFolder) override { m_strRemoteFolder = sFolder; }
    void RestorePreviousRemoteDrive() override {}
    void RemoteListingDone() override {}
    void RefreshLocalPane() override {}
    void RefreshRemotePane() override {}
    void ShowAdmitWait() override;
    void CloseAdmitWait() override {}
    void CloseScanWait() override {}
    bool WaitingForSize() const override { return false; }
    void TakeRemoteItemInfo(std::int16_t, const std::uint8_t*) override {}
    void EndCopyOnClose() override {}
    void RemoteRemoveDone() override;
    void RemoteNewFolderDone(bool bMade) override;

    // A pane path as the user knows it: remote as DRIVE/path, local as typed or in POSIX form.
    std::string ShownPath(const std::string& sItem, bool bRemote) const { return ItemName({{}, {}, sItem, bRemote, {}}); }

private:
    std::string ItemName(const TTransferEvent& event) const;
    // A local item in the file layer's namespace, as the user typed it (or its POSIX path).
    std::string LocalName(const std::string& sItem) const;
    // The status line's file as the user knows it.
    std::string ShownName(const std::string& sText) const;
    std::string Describe(const TTransferEvent& event) const;

    TCopyEngine m_engine;
    TGuestOptions m_options;
    std::string m_strVerb;
    std::string m_strRemoteFolder;
    bool m_bBusy = false;
    bool* m_pFailed;
    bool* m_pSkipped;
    bool m_bSessionEndReported = false;
    std::vector<std::pair<std::string, std::string>> m_localNames; // Windows path, as typed
    bool m_bYesToAll = false;
    bool m_bAskOnTerminal = false;
    TProgressDisplay m_progress;
};
