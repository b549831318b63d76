// Drives a guest session through the service exports and the scripted host application: the
// host's guest-side calls, a recording window and a recording copy engine.
#pragma once

#include "GuestServiceExports.h"
#include "OVGuest.h"
#include "ScriptedHostApp.h"
#include "Vntrgst.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct TShownBox {
    std::string sText;
    std::string sCaption;
    unsigned nStyle;
};

class TRecordingWindow : public IVantryWindow {
public:
    // Boxes and events are kept by the test, since the window goes with its session.
    TRecordingWindow(std::vector<TShownBox>& shown, std::vector<TTransferEvent>& reported)
        : boxes(shown), events(reported) {}
    int MessageBoxText(const std::string& sText, const std::string& sCaption, unsigned nStyle) override;
    int PaneMessageBox(const std::string& sText) override;
    void ReportTransfer(const TTransferEvent& event, const std::string& sText, const std::string& sCaption,
                        unsigned nStyle) override
    {
        events.push_back(event);
        IVantryWindow::ReportTransfer(event, sText, sCaption, nStyle);
    }
    int AskReplace(const std::string&, bool) override { return 2; }
    bool OpenStatus() override { return true; }
    void CloseStatus() override {}
    void SetStatusTitle(const std::string&) override {}
    void SetStatusText(const std::string&) override {}
    void SetStatusTotal(std::uint64_t) override {}
    void UpdateStatus(std::uint64_t) override {}
    void EnterBusy() override { bBusy = true; }
    void LeaveBusy() override { bBusy = false; }
    bool IsBusy() const override { return bBusy; }
    void SetWaitCursor(bool bWait) override { bWaitCursor = bWait; }
    std::string LocalFolder() const override { return "C:\\"; }
    std::string RemoteFolder() const override { return sRemoteFolder; }
    void SetRemoteFolder(const std::string& sFolder) override { sRemoteFolder = sFolder; }
    void RestorePreviousRemoteDrive() override { ++nDriveRestored; }
    void RemoteListingDone() override { ++nListingsDone; }
    void RefreshLocalPane() override {}
    void RefreshRemotePane() override {}
    void ShowAdmitWait() override { ++nAdmitWaitShown; }
    void CloseAdmitWait() override {}
    void CloseScanWait() override {}
    bool WaitingForSize() const override { return bWaitingForSize; }
    void TakeRemoteItemInfo(std::int16_t nResult, const std::uint8_t*) override { sizeResults.push_back(nResult); }
    void EndCopyOnClose() override { ++nCopiesEnded; }
    void RemoteRemoveDone() override { ++nRemovesDone; }
    void RemoteNewFolderDone(bool bMade) override { newFolders.push_back(bMade); }

    std::vector<TShownBox>& boxes;
    std::vector<TTransferEvent>& events;
    std::string sRemoteFolder;
    bool bBusy = false;
    bool bWaitCursor = false;
    bool bWaitingForSize = false;
    int nDriveRestored = 0;
    int nListingsDone = 0;
    int nAdmitWaitShown = 0;
    int nCopiesEnded = 0;
    int nRemovesDone = 0;
    std::vector<std::int16_t> sizeResults;
    std::vector<bool> newFolders;
};

// Stands for a copy engine: awaits replies as a chain does and records what each step was given.
class TRecordingEngine : public IGuestTransferEngine {
public:
    explicit TRecordingEngine(TVantryGuestSession& session) : m_session(session) {}
    void DecideToContinue() override { steps.push_back("decide"); }
    void CloseForStop() override { steps.push_back("close for stop"); }

    // Queues an awaited reply of the kind given whose step records what it receives, under the name.
    void Await(EAwaitedReply eKind, const std::string& sName);

    std::vector<std::string> steps;
    Bytes forkData;

private:
    TVantryGuestSession& m_session;
};

// The response a host gives when the guest connects.
struct THostAnswer {
    std::uint16_t nVersion = 9;
    std::uint16_t nPrivileges = 0xE0; // read, write, remove
    std::uint8_t nPathMode = 1;
    int nSetupResult = 0;
    bool bLargeSizes = false; // the handshake agreed on sizes beyond 32 bits
    bool bPipelining = false; // the handshake agreed on requests in flight across files
};

class TGuestSessionTest : public ::testing::Test, public IOVGuestHost {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the guest session through the service export; returns its result.
    int Open(const THostAnswer& answer = {});
    TVantryGuestSession& Session() { return *m_pSession; }
    TRecordingWindow& Window() { return *m_pWindow; }
    // The host's bytes, one at a time, the loop run after each.
    void Reply(const Bytes& bytes) { app.FeedInPieces(bytes, 1); }
    // Closes the session as the host application does when the stop request arrives.
    void CloseAsHostApp();
    // Lists the volumes (and the window's remote folder when it has one) from the given replies.
    void ListVolumes(const Bytes& avolReplies);

    // IOVGuestHost
    OVGuestEntry* AllocateEntry(std::uintptr_t hHost, int nKind) override;
    int SetupConnection(OVGuestEntry* pEntry, std::uintptr_t, std::uintptr_t, std::uintptr_t) override;
    void CloseConnection(OVGuestEntry*) override { ++nConnectionsClosed; }
    void DeleteEntry(OVGuestEntry*) override { ++nEntriesDeleted; }
    int GetPtrAddress(const OVAddressRecord*, HostServiceTable** ppTable) override;
    const char* GetAddressName(const OVAddressRecord* pAddress) override { return pAddress->szName; }
    IOVWindow* GetGuestWindow() override { return &guestWindow; }
    std::uint32_t GetTranslateCRLF(EOVTranslateDirection) override { return 0; }

    TScriptedHostApp app;
    TScriptedWindow guestWindow;
    OVGuestEntry entry;
    THostAnswer answer;
    int nConnectionsClosed = 0;
    int nEntriesDeleted = 0;
    bool bNoWindow = false;
    std::vector<TShownBox> boxes;
    std::vector<TTransferEvent> events;
    std::string sRemoteFolder;
    TVantryGuestSession* m_pSession = nullptr;
    TRecordingWindow* m_pWindow = nullptr;
};

// Packet builders for the host's replies.
Bytes ResultReply(std::int16_t nValue);
Bytes AVolReply(std::uint16_t nVolume, std::uint8_t nFlags, const std::string& sName, bool bLong);
Bytes AFileReply(bool bFolder, std::uint32_t nSize, std::uint8_t nAttributes, const std::string& sName,
                 bool bLong, std::uint32_t dwModTime = 0);
Bytes Concat(std::initializer_list<Bytes> parts);
