#include "ServeProcess.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TServeProcess::TServeProcess(const std::vector<std::string>& args, bool bStdio)
{
    int errPipe[2];
    int inPipe[2] = {-1, -1};
    int outPipe[2] = {-1, -1};
    ::pipe2(errPipe, O_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    if (bStdio) {
        ::pipe2(inPipe, O_CLOEXEC);
        ::pipe2(outPipe, O_CLOEXEC);
        posix_spawn_file_actions_adddup2(&actions, inPipe[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    }
    std::vector<std::string> all = {VANTRY_EXECUTABLE, "serve"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& str : all)
        argv.push_back(str.data());
    argv.push_back(nullptr);
    posix_spawn(&m_nPid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(errPipe[1]);
    m_nStderr = errPipe[0];
    if (bStdio) {
        ::close(inPipe[0]);
        ::close(outPipe[1]);
        m_nStdin = inPipe[1];
        m_nStdout = outPipe[0];
    }
    m_reader = std::thread([this] {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_nStderr, buffer, sizeof buffer)) > 0) {
            std::lock_guard lock(m_mutex);
            m_strLog.append(buffer, static_cast<std::size_t>(n));
            m_changed.notify_all();
        }
    });
}

TServeProcess::~TServeProcess()
{
    if (m_nExitStatus == -1 && m_nPid > 0) {
        ::kill(m_nPid, SIGKILL);
        ::waitpid(m_nPid, nullptr, 0);
    }
    for (int fd : {m_nStdin, m_nStdout})
        if (fd >= 0)
            ::close(fd);
    if (m_reader.joinable())
        m_reader.join();
    ::close(m_nStderr);
}

bool TServeProcess::WaitForLog(const std::string& strText, int nMilliseconds)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(nMilliseconds),
                              [&] { return m_strLog.find(strText) != std::string::npos; });
}

std::string TServeProcess::Log()
{
    std::lock_guard lock(m_mutex);
    return m_strLog;
}

std::uint16_t TServeProcess::Port()
{
    if (!WaitForLog("listening on "))
        return 0;
    std::smatch match;
    const std::string strLog = Log();
    if (!std::regex_search(strLog, match, std::regex("listening on [^\\s]*:(\\d+)")))
        return 0;
    return static_cast<std::uint16_t>(std::stoi(match[1]));
}

int TServeProcess::WaitExit(int nMilliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int nStatus = 0;
        if (::waitpid(m_nPid, &nStatus, WNOHANG) == m_nPid) {
            m_nExitStatus = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
            return m_nExitStatus;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

int TServeProcess::StopWith(int nSignal)
{
    ::kill(m_nPid, nSignal);
    return WaitExit(5000);
}

long TServeProcess::ResidentKiB() const
{
    std::ifstream in("/proc/" + std::to_string(m_nPid) + "/status");
    std::string strLine;
    while (std::getline(in, strLine)) {
        if (strLine.rfind("VmRSS:", 0) == 0)
            return std::stol(strLine.substr(6));
    }
    return -1;
}

TRawGuest TRawGuest::Tcp(std::uint16_t nPort)
{
    const int nFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(nPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(nFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return TRawGuest(nFd, nFd, true);
}

TRawGuest::TRawGuest(int nReadFd, int nWriteFd, bool bOwned)
    : m_nReadFd(nReadFd), m_nWriteFd(nWriteFd), m_bOwned(bOwned),
      m_pChannel(std::make_unique<TBlockingChannel>(nReadFd, nWriteFd, std::chrono::steady_clock::now()))
{
    std::signal(SIGPIPE, SIG_IGN);
}

TRawGuest::TRawGuest(TRawGuest&& other) noexcept
    : m_nReadFd(other.m_nReadFd), m_nWriteFd(other.m_nWriteFd), m_bOwned(other.m_bOwned),
      m_pChannel(std::move(other.m_pChannel)), m_lastProof(other.m_lastProof)
{
    other.m_bOwned = false;
}

TRawGuest::~TRawGuest() { Close(); }

void TRawGuest::Close()
{
    m_pChannel.reset();
    if (!m_bOwned)
        return;
    ::close(m_nReadFd);
    if (m_nWriteFd != m_nReadFd)
        ::close(m_nWriteFd);
    m_bOwned = false;
}

void TRawGuest::Send(const TBytes& bytes, std::size_t nSplit)
{
    const std::size_t nStep = nSplit ? nSplit : bytes.size();
    m_pChannel->SetDeadline(std::chrono::steady_clock::now() + std::chrono::seconds(5));
    for (std::size_t i = 0; i < bytes.size(); i += nStep) {
        m_pChannel->Write(bytes.data() + i, std::min(nStep, bytes.size() - i));
        if (nSplit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TBytes TRawGuest::Receive(std::size_t nLength, int nMilliseconds)
{
    TBytes bytes(nLength);
    m_pChannel->SetDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds));
    bytes.resize(m_pChannel->ReadSome(bytes.data(), nLength));
    return bytes;
}

bool TRawGuest::ClosedByHost(int nMilliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
    m_pChannel->SetDeadline(deadline);
    std::uint8_t c = 0;
    return m_pChannel->ReadSome(&c, 1) == 0 && std::chrono::steady_clock::now() < deadline;
}

std::optional<Handshake::TGreeting> TRawGuest::Greet()
{
    const TBytes bytes = Receive(Handshake::kGreetingSize);
    auto greeting = Handshake::DecodeGreeting(bytes.data(), bytes.size());
    if (greeting && (greeting->nFlags & Handshake::kFlagTlsFollows)) {
        static TSslContext s_pContext = NewClientContext();
        std::string strError;
        m_pChannel->SetDeadline(std::chrono::steady_clock::now() + std::chrono::seconds(5));
        if (!m_pChannel->StartTlsClient(s_pContext.get(), strError))
            return std::nullopt;
    }
    return greeting;
}

Handshake::TNonce TRawGuest::Nonce()
{
    const TBytes bytes = Receive(Handshake::kNonceSize);
    Handshake::TNonce nonce{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), nonce.size()), nonce.begin());
    return nonce;
}

TBytes TRawGuest::Binding() const { return m_pChannel->Tls() ? ExportBinding(m_pChannel->Tls()) : TBytes(); }

std::string TRawGuest::HostFingerprint() const
{
    return m_pChannel->Tls() ? PeerFingerprint(m_pChannel->Tls()) : std::string();
}

std::int16_t TRawGuest::Answer(TBytes* pResponse)
{
    const TBytes answer = Receive(Handshake::kAnswerHeader);
    if (answer.size() != Handshake::kAnswerHeader)
        return 2;
    const TBytes response = Receive(Handshake::NetWord(answer.data() + 2));
    if (pResponse)
        *pResponse = response;
    return static_cast<std::int16_t>(Handshake::NetWord(answer.data()));
}

std::int16_t TRawGuest::Handshake(const std::string& strPassword, std::uint16_t nVersion, TBytes* pResponse,
                                  const std::string& strUser, std::uint16_t nGuestFlags)
{
    const auto greeting = Greet();
    if (!greeting)
        return 1;
    const Handshake::TNonce nonce = Nonce();
    Handshake::TGuestHello guest;
    guest.request = OpenRequest(nVersion);
    guest.strUserName = strUser;
    guest.nFlags = nGuestFlags;
    if (greeting->nFlags & Handshake::kFlagPasswordRequired)
        guest.proof = Handshake::ComputeProof(strPassword, nonce, guest.nFlags, guest.request, Binding());
    m_lastProof = guest.proof;
    Send(Handshake::EncodeGuestHello(guest));
    return Answer(pResponse);
}

TBytes OpenRequest(std::uint16_t nVersion)
{
    TBytes request(176, 0);
    request[1] = 176;
    request[3] = 34;
    request[148] = 1;
    request[150] = static_cast<std::uint8_t>(nVersion >> 8);
    request[151] = static_cast<std::uint8_t>(nVersion);
    return request;
}
