// `vantry connect [LOCATION]`: the Vantry window, with the local machine in the upper pane and
// the host in the lower one. The only verb that needs a display.
#include "GuestRunner.h"
#include "KeptFolders.h"
#include "OVFDrives.h"
#include "OVFUploads.h"
#include "SignalWatcher.h"
#include "GuestServiceExports.h"
#include "WindowDialogHost.h"
#include "VantryWindow.h"
#include "Verbs.h"
#include "Vntrgst.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace {
const char kConnectHelp[] =
    "Usage: vantry connect [OPTIONS] [vantry://[USER@]HOST[:PORT][/DRIVE/path]]\n"
    "\n"
    "Opens the Vantry window on a host: this machine's folders above, the host's below. Copy\n"
    "with File > Copy (F8) or by dragging rows from one pane to the other (or files from the\n"
    "desktop's file manager onto the host's pane), remove with File > Remove (Delete), and make\n"
    "folders on either side; what the host allows depends on the privileges it grants. The host's\n"
    "pane starts in the folder the location names (DRIVE is a drive letter or Desktop), else at\n"
    "the root of the host's first volume. F5 lists the focused pane again, Backspace goes up one\n"
    "folder, Escape or Close ends the session (so do Ctrl-C and SIGTERM sent to this command; a\n"
    "second one ends it at once). Without a location a dialog asks for one.\n"
    "Needs a display (X11 or Wayland).\n"
    "\n"
    "Options:\n"
    "  --local DIR            the folder the local pane starts in (default: the current folder)\n"
    "  --password-file FILE   the password is the file's first line (else $VANTRY_PASSWORD,\n"
    "                         else a password dialog asks for it)\n"
    "  --ssh                  reach the host through `ssh [-p PORT] [-l USER] HOST vantry serve\n"
    "                         --stdio`: the location's port and user are ssh's; without a\n"
    "                         terminal ssh asks through its askpass program or uses keys, and\n"
    "                         its error is shown in a message box when it cannot connect\n"
    "  --ssh-command CMD      run CMD instead of ssh (split at blanks), e.g. \"ssh -J jump\"\n"
    "  --accept-new-host      trust a host not met before and pin its certificate in\n"
    "                         $XDG_CONFIG_HOME/vantry/known_hosts (else a dialog shows the\n"
    "                         certificate's fingerprint and asks)\n"
    "  --fingerprint SHA256:… accept only the host certificate with this fingerprint\n"
    "  --insecure-plain       connect without TLS (the host must serve so too): the files and\n"
    "                         the password proof cross the network readable by anyone\n"
    "  --protocol 7|9         the protocol version to ask the host for (default 9)\n"
    "  -v, --verbose          show the remote host's log lines (with --ssh)\n"
    "  -q, --quiet            accepted as by the other commands; the window shows no notices\n"
    "                         on the terminal in any case\n"
    "  -h, --help             show this help and exit\n"
    "\n"
    "Exit status:\n"
    "  0  the window was closed\n"
    "  1  the session could not be opened, or it ended on a lost connection or an error\n"
    "  2  usage error\n";

// Takes "--local DIR" (or "--local=DIR") out of the arguments.
std::string TakeLocalOption(TVerbArguments& args, std::string* pError)
{
    std::string strLocal;
    for (auto it = args.begin(); it != args.end();) {
        if (*it == "--local") {
            if (it + 1 == args.end()) {
                *pError = "--local needs a folder";
                return {};
            }
            strLocal = *(it + 1);
            it = args.erase(it, it + 2);
        } else if (it->rfind("--local=", 0) == 0) {
            strLocal = it->substr(8);
            it = args.erase(it);
        } else {
            ++it;
        }
    }
    return strLocal;
}

// Asks about a host met for the first time, showing its certificate's fingerprint.
bool AskAboutNewHost(const std::string& strHost, const std::string& strFingerprint)
{
    const QString text = QObject::tr("The host %1 is not known yet. Its certificate's fingerprint is\n\n%2\n\n"
                                     "Compare it with the fingerprint that `vantry serve` printed on the host.\n"
                                     "Trust this host and remember its certificate?")
                             .arg(QString::fromStdString(strHost), QString::fromStdString(strFingerprint));
    return QMessageBox::question(nullptr, QObject::tr("Vantry: new host"), text) == QMessageBox::Yes;
}
} // namespace

int RunConnectVerb(int argc, char** argv, const TVerbArguments& arguments)
{
    TVerbArguments args = arguments;
    std::string strError;
    const std::string strLocal = TakeLocalOption(args, &strError);
    const TGuestOptions options = ParseGuestOptions(args, VerbOption::kVerbose);
    if (options.bHelp) {
        std::fputs(kConnectHelp, stdout);
        return 0;
    }
    if (strError.empty())
        strError = options.strError;
    if (!strError.empty())
        return UsageError("connect", strError);
    if (options.operands.size() > 1)
        return UsageError("connect", "at most one LOCATION");
    TGuestLocation location;
    if (!options.operands.empty())
        if (const std::string strWhy = ParseGuestLocation(options.operands[0], &location); !strWhy.empty())
            return UsageError("connect", strWhy);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantry"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vantry/icons/20104.png")));
    // Started without a location (from the desktop's menu): asked for in a dialog.
    while (options.operands.empty() && location.strHost.empty()) {
        bool bOk = false;
        const QString text = QInputDialog::getText(nullptr, QObject::tr("Vantry"),
                                                   QObject::tr("Host to connect to (vantry://HOST[:PORT][/DRIVE/path]):"),
                                                   QLineEdit::Normal, QStringLiteral("vantry://"), &bOk);
        if (!bOk)
            return 1;
        if (const std::string strWhy = ParseGuestLocation(text.trimmed().toStdString(), &location); !strWhy.empty())
            QMessageBox::critical(nullptr, QObject::tr("Vantry"), QString::fromStdString(strWhy));
    }
    OVF_UseLocalMachineDrives();
    OVF_RemoveUploadLeftovers();
    std::error_code error;
    const std::filesystem::path localDir =
        std::filesystem::absolute(strLocal.empty() ? std::filesystem::current_path(error) : std::filesystem::path(strLocal), error);
    std::string strLocalFolder;
    if (!std::filesystem::is_directory(localDir, error) || !OVF_PosixToWindowsPath(localDir.string(), strLocalFolder)) {
        std::fprintf(stderr, "vantry connect: %s is not a folder\n", localDir.c_str());
        return 1;
    }

    const auto fail = [](const std::string& strWhy) {
        std::fprintf(stderr, "vantry connect: %s\n", strWhy.c_str());
        QMessageBox::critical(nullptr, QObject::tr("Vantry"), QString::fromStdString(strWhy));
        return 1;
    };
    TGuestTarget target;
    bool bGiven = false;
    if (!ReadGivenPassword(options, &target.strPassword, &bGiven, &strError))
        return fail(strError);
    if (!bGiven && !options.bSsh) {
        bool bOk = false;
        const QString password = QInputDialog::getText(
            nullptr, QObject::tr("Vantry"), QObject::tr("Password for %1:").arg(QString::fromStdString(location.strHost)),
            QLineEdit::Password, {}, &bOk);
        if (!bOk)
            return 1;
        target.strPassword = password.toStdString();
    }
    FillGuestTarget(options, location, &target);
    target.fnAskNewHost = AskAboutNewHost;
    // ssh's complaint belongs in the message box: the window may have no terminal.
    target.bKeepCommandErrors = true;

    std::int32_t nStopReason = kStopUserClosed;
    bool bClosed = false;
    TGuestHostApp hostApp([&](void* hSession) {
        if (TVantryGuestSession* pSession = CurrentGuestSession())
            nStopReason = pSession->StopReason();
        CloseGuestServiceSession(hSession);
        bClosed = true;
        QApplication::quit();
    });
    TWindowDialogHost dialogHost([&hostApp](bool bHold) { hostApp.HoldDeliveries(bHold); });
    SetDialogHost(&dialogHost);
    // Ctrl-C in the terminal that started the window, or SIGTERM, ends the session as Close does.
    TSignalWatcher stopSignals(
        [](int) {
            if (TVantryGuestSession* pSession = CurrentGuestSession())
                pSession->PostStopMessage(kStopUserClosed);
            else
                QApplication::quit();
        },
        nullptr, ESecondSignal::EndProcess);
    OVSetGuestHost(&hostApp);
    SetVantryWindowFactory([&](TVantryGuestSession& session) -> std::unique_ptr<IVantryWindow> {
        auto window = std::make_unique<CZulVntr>(session, QString::fromLocal8Bit(strLocalFolder.c_str()),
                                                 QString::fromStdString(location.strFolder));
        window->show();
        return window;
    });
    const OVGuestConnectionRequest request{TGuestHostApp::Handle(target)};
    int nStatus = 0;
    if (OpenGuestServiceSession(&request) != 0 || !CurrentGuestSession()) {
        nStatus = fail("cannot open a session with " + location.strHost + ": " +
                       (hostApp.LastError().empty() ? "the session could not be started" : hostApp.LastError()));
    } else {
        if (!bClosed) {
            const TKeptFolders keptFolders; // a copy of many files works in one folder
            app.exec();
        }
        nStatus = nStopReason == kStopUserClosed ? 0 : 1;
    }
    SetVantryWindowFactory(nullptr);
    OVSetGuestHost(nullptr);
    SetDialogHost(nullptr);
    OVF_EndUploads();
    return nStatus;
}
