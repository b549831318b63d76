// An owned file descriptor (internal).
#pragma once

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

} // namespace ovf
