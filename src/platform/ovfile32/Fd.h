// An owned file descriptor (internal).
#pragma once

#include <memory>
#include <unistd.h>
#include <utility>

namespace ovf {

class TFd {
public:
    TFd() = default;
    explicit TFd(int fd) : m_fd(fd) {}
    TFd(TFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    TFd& operator=(TFd&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() { Reset(); }

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    int Release() { return std::exchange(m_fd, -1); }
    void Reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

// A descriptor that several holders may share (a resolved folder that is kept for the next
// resolution too); closed when the last holder lets it go.
class TSharedFd {
public:
    TSharedFd() = default;
    explicit TSharedFd(TFd&& fd) : m_p(fd.Valid() ? std::make_shared<TFd>(std::move(fd)) : nullptr) {}
    int Get() const { return m_p ? m_p->Get() : -1; }
    bool Valid() const { return Get() >= 0; }
    void Reset(int fd = -1) { m_p = fd >= 0 ? std::make_shared<TFd>(fd) : nullptr; }

private:
    std::shared_ptr<TFd> m_p;
};

} // namespace ovf
