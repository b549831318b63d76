#include "WindowFixture.h"

#include "GuestServiceExports.h"
#include "KnownHosts.h"
#include "MessageBoxes.h"
#include "OVFDrives.h"
#include "RemoteFilePicker.h"
#include "TreeList.h"
#include "Vntrgst.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>


void TWindowFixture::SetUp()
{
    setenv("TZ", "UTC", 1);
    tzset();
    char szTemplate[] = "/tmp/vantry-window-XXXXXX";
    ASSERT_NE(mkdtemp(szTemplate), nullptr);
    m_root = szTemplate;
    fs::create_directories(Share());
    fs::create_directories(Local());
    WriteFile(m_root / "password", "open sesame\n");
    setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
    SetMessagePresenter([this](QWidget*, const QString& text, TMessageKind kind) {
        m_messages.push_back({text, kind == TMessageKind::Question});
        return kind == TMessageKind::Question ? m_nAnswer : 1;
    });
}

void TWindowFixture::TearDown()
{
    m_answerEach.reset();
    if (m_window)
        Close();
    SetMessagePresenter(nullptr);
    SetDialogHost(nullptr);
    m_dialogHost.reset();
    SetVantryWindowFactory(nullptr);
    OVSetGuestHost(nullptr);
    m_hostApp.reset();
    OVF_ClearDrives();
    StopServe();
    std::error_code error;
    fs::remove_all(m_root, error);
}

void TWindowFixture::StartServe(const std::string& strAllow, const std::vector<std::string>& extra)
{
    std::vector<std::string> args = {VANTRY_EXECUTABLE, "serve", "--listen", "127.0.0.1:0", "--share",
                                     "C=" + Share().string(), "--allow", strAllow, "--password-file",
                                     (m_root / "password").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const fs::path log = m_root / "serve.log";
    const int nLog = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    m_nServe = fork();
    if (m_nServe == 0) {
        dup2(nLog, 1);
        dup2(nLog, 2);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(nLog);
    const std::string strWhere = "listening on 127.0.0.1:";
    const std::string strKey = "host key fingerprint ";
    // The host tells its port and its certificate's fingerprint once it listens.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadAll(log).find(strWhere) != std::string::npos; }, 10000))
        << ReadAll(log);
    const std::string strLog = ReadAll(log);
    m_nPort = std::atoi(strLog.c_str() + strLog.find(strWhere) + strWhere.size());
    const std::size_t nAt = strLog.find(strKey);
    ASSERT_NE(nAt, std::string::npos) << strLog;
    const std::string strFingerprint = strLog.substr(nAt + strKey.size(), strLog.find('\n', nAt) - nAt - strKey.size());
    WriteFile(DefaultKnownHostsFile(), "127.0.0.1:" + std::to_string(m_nPort) + " " + strFingerprint + "\n");
}

void TWindowFixture::StopServe()
{
    if (m_nServe <= 0)
        return;
    kill(m_nServe, SIGTERM);
    int nStatus = 0;
    waitpid(m_nServe, &nStatus, 0);
    m_nServe = -1;
}

void TWindowFixture::Open(const QString& remoteFolder, int nProtocol)
{
    OVF_ClearDrives();
    ASSERT_EQ(OVF_SetDrive('C', Local().c_str(), OVFDriveKind::fixed, "Local"), 0);
    m_target = {};
    m_target.strHost = "127.0.0.1";
    m_target.nPort = static_cast<std::uint16_t>(m_nPort);
    m_target.strPassword = "open sesame";
    m_target.strKnownHostsFile = DefaultKnownHostsFile();
    m_target.options.wProtocolSelector = nProtocol == 7 ? 8 : 0;
    m_hostApp = std::make_unique<TGuestHostApp>([this](void* hSession) {
        if (TVantryGuestSession* pSession = CurrentGuestSession())
            m_nStopReason = pSession->StopReason();
        m_window = nullptr;
        CloseGuestServiceSession(hSession);
        m_bClosed = true;
    });
    OVSetGuestHost(m_hostApp.get());
    m_dialogHost = std::make_unique<TWindowDialogHost>([this](bool bHold) { m_hostApp->HoldDeliveries(bHold); });
    SetDialogHost(m_dialogHost.get());
    SetVantryWindowFactory([this, remoteFolder](TVantryGuestSession& session) -> std::unique_ptr<IVantryWindow> {
        auto window = std::make_unique<CZulVntr>(session, QStringLiteral("C:\\"), remoteFolder);
        m_window = window.get();
        window->show();
        return window;
    });
    const OVGuestConnectionRequest request{TGuestHostApp::Handle(m_target)};
    ASSERT_EQ(OpenGuestServiceSession(&request), 0) << m_hostApp->LastError();
    ASSERT_NE(m_window, nullptr);
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
    ASSERT_TRUE(QTest::qWaitFor([this] {
        return m_window && m_window->IsInitialised() && !m_window->IsBusy() &&
               !m_window->RemotePane()->CurrentFolder().isEmpty();
    }, 20000));
}

void TWindowFixture::Close()
{
    ASSERT_NE(m_window, nullptr);
    ASSERT_TRUE(WaitIdle());
    m_window->OnDone();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_bClosed; }, 10000));
}

bool TWindowFixture::WaitIdle(int nMs)
{
    return QTest::qWaitFor([this] { return !m_window || (!m_window->IsBusy() && !m_window->Engine().InProgress()); }, nMs);
}

TVantryGuestSession* TWindowFixture::Session() const { return CurrentGuestSession(); }

void TWindowFixture::Select(TFilePicker* pane, const QStringList& names)
{
    // The offscreen platform gives the activation back to no window after a dialog closes.
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window));
    pane->ActiveList()->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    pane->SelectRows(names);
    // The window follows the pane that has the focus.
    Session()->m_bRemotePaneActive = pane == m_window->RemotePane() ? 1 : 0;
    m_window->UpdateMenu();
}

bool TWindowFixture::HasRow(TFilePicker* pane, const QString& name) const
{
    return pane->ActiveList()->Model()->FindRow(name) >= 0;
}

void TWindowFixture::AnswerEachModal(std::function<void(QWidget*)> answer)
{
    m_answerEach.reset(new QTimer);
    m_answerEach->setInterval(10);
    QObject::connect(m_answerEach.get(), &QTimer::timeout, m_answerEach.get(), [answer] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible())
            answer(modal);
    });
    m_answerEach->start();
}

void TWindowFixture::AnswerModal(std::function<void(QWidget*)> answer)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}
