#include "GuestRunner.h"

#include "GuestConnection.h"
#include "GuestServiceExports.h"
#include "KeptFolders.h"
#include "KnownHosts.h"
#include "OVFDrives.h"
#include "OVFUploads.h"
#include "SignalWatcher.h"
#include "Vntrgst.h"

#include <QCoreApplication>

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {
// The password asked on a terminal.
void AskPasswordOnTerminal(const TGuestLocation& location, std::string* pPassword)
{
    std::fprintf(stderr, "Password for %s: ", location.strHost.c_str());
    std::fflush(stderr);
    termios saved{};
    const bool bTerminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (bTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::getline(std::cin, *pPassword);
    if (bTerminal)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fputc('\n', stderr);
}

// `ssh [-p PORT] [-l USER] HOST vantry serve --stdio`, with the command the options name.
std::vector<std::string> SshCommand(const TGuestOptions& options, const TGuestLocation& location)
{
    std::vector<std::string> command;
    std::istringstream words(options.strSshCommand);
    for (std::string strWord; words >> strWord;)
        command.push_back(strWord);
    if (location.nPort)
        command.insert(command.end(), {"-p", std::to_string(location.nPort)});
    if (!location.strUser.empty())
        command.insert(command.end(), {"-l", location.strUser});
    command.insert(command.end(), {location.strHost, "vantry", "serve", "--stdio"});
    if (!options.bVerbose)
        command.insert(command.end(), {"--log-level", "error"});
    return command;
}

// Asks on the terminal whether a host met for the first time may be trusted.
bool AskAboutNewHost(const std::string& strHost, const std::string& strFingerprint)
{
    std::fprintf(stderr,
                 "The host %s is not known yet. Its certificate's fingerprint is\n"
                 "  %s\n"
                 "Compare it with the fingerprint that `vantry serve` printed on the host.\n"
                 "Trust this host and remember its certificate (yes/no)? ",
                 strHost.c_str(), strFingerprint.c_str());
    std::fflush(stderr);
    std::string strAnswer;
    std::getline(std::cin, strAnswer);
    return strAnswer == "yes" || strAnswer == "y";
}
} // namespace

int UsageError(const char* pszVerb, const std::string& strError)
{
    std::fprintf(stderr, "vantry %s: %s\nTry 'vantry %s --help'.\n", pszVerb, strError.c_str(), pszVerb);
    return kExitUsage;
}

bool ReadGivenPassword(const TGuestOptions& options, std::string* pPassword, bool* pbGiven, std::string* pError)
{
    *pbGiven = true;
    if (!options.strPasswordFile.empty()) {
        std::ifstream in(options.strPasswordFile);
        if (!in) {
            *pError = "cannot read the password file " + options.strPasswordFile;
            return false;
        }
        std::getline(in, *pPassword);
        if (!pPassword->empty() && pPassword->back() == '\r')
            pPassword->pop_back();
        return true;
    }
    if (const char* pszPassword = std::getenv("VANTRY_PASSWORD")) {
        *pPassword = pszPassword;
        return true;
    }
    *pbGiven = false;
    return true;
}

void FillGuestTarget(const TGuestOptions& options, const TGuestLocation& location, TGuestTarget* pTarget)
{
    TGuestTarget& target = *pTarget;
    target.strHost = location.strHost;
    if (location.nPort)
        target.nPort = location.nPort;
    target.strUserName = location.strUser;
    if (options.bSsh)
        target.command = SshCommand(options, location);
    target.options.wProtocolSelector = options.bProtocol7 ? 8 : 0;
    target.bPlain = options.bInsecurePlain;
    target.strKnownHostsFile = DefaultKnownHostsFile();
    target.strFingerprint = options.strFingerprint;
    target.bAcceptNewHost = options.bAcceptNewHost;
    target.bTranslateDownload = options.bTranslateText;
    target.bTranslateUpload = options.bTranslateText;
}

const TRemoteEntry* FindListedEntry(const std::vector<TRemoteEntry>& entries, const std::string& strName)
{
    for (const TRemoteEntry& entry : entries) {
        if (strName == entry.szLongName || strName == entry.szShortName)
            return &entry;
    }
    // The host matches names without regard to letter case.
    const auto sameNoCase = [&strName](const char* pszName) {
        return std::equal(strName.begin(), strName.end(), pszName, pszName + std::strlen(pszName), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    };
    for (const TRemoteEntry& entry : entries) {
        if (sameNoCase(entry.szLongName) || sameNoCase(entry.szShortName))
            return &entry;
    }
    return nullptr;
}

int RunGuestSession(int argc, char** argv, const char* pszVerb, const TGuestOptions& options,
                    const TGuestLocation& location, const std::string& strListFirst,
                    std::function<void(TGuestRun& run)> fnWork)
{
    QCoreApplication app(argc, argv);
    TGuestTarget target;
    std::string strError;
    bool bGiven = false;
    if (!ReadGivenPassword(options, &target.strPassword, &bGiven, &strError)) {
        std::fprintf(stderr, "vantry %s: %s\n", pszVerb, strError.c_str());
        return 1;
    }
    if (!bGiven && !options.bSsh && ::isatty(STDIN_FILENO))
        AskPasswordOnTerminal(location, &target.strPassword);
    FillGuestTarget(options, location, &target);
    if (::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO))
        target.fnAskNewHost = AskAboutNewHost;

    bool bFailed = false;
    bool bSkipped = false;
    bool bClosed = false;
    bool bInterrupted = false;
    TGuestHostApp hostApp([&](void* hSession) {
        CloseGuestServiceSession(hSession);
        bClosed = true;
        QCoreApplication::quit();
    });
    OVSetGuestHost(&hostApp);
    OVF_UseLocalMachineDrives();
    // Downloads arrive in temporaries as uploads do on a host: a guest that was killed left its
    // own behind, which the next run takes away.
    OVF_RemoveUploadLeftovers();
    TTerminalWindow* pWindow = nullptr;
    SetVantryWindowFactory([&](TVantryGuestSession& session) -> std::unique_ptr<IVantryWindow> {
        auto window = std::make_unique<TTerminalWindow>(session, options, pszVerb, &bFailed, &bSkipped);
        window->SetRemoteFolder(strListFirst);
        pWindow = window.get();
        return window;
    });
    auto cleanUp = [] {
        SetVantryWindowFactory(nullptr);
        OVSetGuestHost(nullptr);
        OVF_EndUploads(); // this process's journal entry goes with it
    };

    const OVGuestConnectionRequest request{TGuestHostApp::Handle(target)};
    TVantryGuestSession* pSession = nullptr;
    if (OpenGuestServiceSession(&request) != 0 || !(pSession = CurrentGuestSession()) || !pWindow) {
        std::fprintf(stderr, "vantry %s: cannot open a session with %s: %s\n", pszVerb, location.strHost.c_str(),
                     hostApp.LastError().empty() ? "the session could not be started" : hostApp.LastError().c_str());
        cleanUp();
        return 1;
    }
    TGuestRun run(*pSession, *pWindow, [pSession] { pSession->PostStopMessage(kStopUserClosed); });
    TSignalWatcher interruptWatcher([&](int) {
        if (bClosed)
            return;
        bInterrupted = true;
        if (pWindow->Engine().InProgress()) {
            pWindow->Engine().Cancel(); // the copy ends cleanly and finishes the run
            return;
        }
        run.Finish();
    }, nullptr, ESecondSignal::EndProcess);
    pSession->ListRemoteVolumes([&] {
        if (!strListFirst.empty() && (pSession->m_nPaneResult != kFTP_resOK || pSession->ListedRemotePath() != strListFirst)) {
            // A folder the host cannot read has been reported already.
            if (!pWindow->FailureShown())
                pWindow->Fail("remote folder " + RemoteDisplayPath(strListFirst) + " does not exist");
            run.Finish();
            return;
        }
        fnWork(run);
    });
    if (!bClosed) {
        const TKeptFolders keptFolders; // a download of many files writes into one folder
        app.exec();
    }
    cleanUp();
    if (bInterrupted) {
        std::fprintf(stderr, "vantry %s: interrupted\n", pszVerb);
        return 130;
    }
    if (bFailed)
        return kExitFailed;
    return bSkipped ? kExitSkipped : kExitDone;
}
