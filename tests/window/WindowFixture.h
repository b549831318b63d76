// A Vantry window in this process, connected to a `vantry serve` child on 127.0.0.1 that
// shares a temporary folder; the local pane's drive C: is another temporary folder.
#pragma once

#include "GuestConnection.h"
#include "WindowDialogHost.h"
#include "TestFiles.h"
#include "VantryWindow.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

class TTreeList;

// A message box the window showed, and what it was answered.
struct TShownMessage {
    QString text;
    bool question = false;
};

class TWindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    fs::path Share() const { return m_root / "share"; }
    fs::path Local() const { return m_root / "local"; }

    // Starts the host with these privileges (its --allow) and extra arguments.
    void StartServe(const std::string& strAllow = "read,write,remove", const std::vector<std::string>& extra = {});
    // Opens the session and its window, the remote pane on remoteFolder; waits until both panes are listed.
    void Open(const QString& remoteFolder = {}, int nProtocol = 9);
    // Closes the session as the Close button does and waits for the window to go.
    void Close();
    bool WaitIdle(int nMs = 30000);

    // Gives the pane's list the focus and selects the rows of these names.
    void Select(TFilePicker* pane, const QStringList& names);
    bool HasRow(TFilePicker* pane, const QString& name) const;
    // Answers the next modal dialog (run by its own exec()) through `answer`, from a timer.
    void AnswerModal(std::function<void(QWidget*)> answer);
    // Answers every modal dialog through `answer` until the test ends.
    void AnswerEachModal(std::function<void(QWidget*)> answer);

    CZulVntr* Window() const { return m_window; }
    TVantryGuestSession* Session() const;

    TGuestHostApp* HostApp() const { return m_hostApp.get(); }
    // The window's dialog host, as `vantry connect` installs it: help, and the session held
    // while a modal dialog is open.
    TWindowDialogHost* DialogHostOfWindow() const { return m_dialogHost.get(); }

    fs::path m_root;
    pid_t m_nServe = -1;
    int m_nPort = 0;
    std::vector<TShownMessage> m_messages;
    int m_nAnswer = 6; // what questions are answered (6 yes, 7 no)
    bool m_bClosed = false;
    std::int32_t m_nStopReason = 0;

private:
    void StopServe();

    TGuestTarget m_target;
    std::unique_ptr<TGuestHostApp> m_hostApp;
    std::unique_ptr<TWindowDialogHost> m_dialogHost;
    CZulVntr* m_window = nullptr;
    std::unique_ptr<QTimer> m_answerEach;
};
