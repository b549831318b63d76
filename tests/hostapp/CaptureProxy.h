// A TCP relay on 127.0.0.1 that keeps every byte it passes, in both directions, to check what
// crosses the network. One connection at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class TCaptureProxy {
public:
    explicit TCaptureProxy(std::uint16_t nTargetPort);
    ~TCaptureProxy();
    TCaptureProxy(const TCaptureProxy&) = delete;
    TCaptureProxy& operator=(const TCaptureProxy&) = delete;

    std::uint16_t Port() const { return m_nPort; }
    std::string Captured();

private:
    void Run();
    void Relay(int nGuestFd);

    std::uint16_t m_nTargetPort;
    int m_nListenFd = -1;
    std::uint16_t m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::string m_strCaptured;
    std::thread m_thread;
};
