// The host application's core library: byte order, Pascal strings, windows and the user's name.
// Further calls (times, character sets, guest entries) are declared beside their implementations.
#pragma once

#include <cstdint>

// Byte reversal between host and wire order.
std::uint16_t OVSwapWord(std::uint16_t w);
std::uint32_t OVSwapDWord(std::uint32_t dw);

// In-place conversion between a Pascal string (length byte first) and a terminated string.
// The buffer must hold the longer of the two forms (length + 1 bytes).
void Pascal2C(unsigned char* pSource, char* pDest);
void C2Pascal(char* pSource, unsigned char* pDest);

// A window of the host application: the module posts its stop requests to it.
class IOVWindow {
public:
    virtual ~IOVWindow() = default;
    // Queues a message for the window's owner; false when it cannot be posted.
    virtual bool PostMessage(std::uint32_t nMessage, std::uintptr_t wParam, void* lParam) = 0;
};

inline constexpr std::uint32_t WM_USER = 0x400;

// The host application's main window, or null when it has none.
void OVGetHostWindow(IOVWindow** ppWindow);
// Installed by the host application (and by tests) at start-up.
void OVSetHostWindow(IOVWindow* pWindow);

// Fills a 67-byte buffer with the local user's login name; 0 on success, non-zero on failure.
int OVGetUserName(char* pBuffer);
inline constexpr int kOVUserNameSize = 67;
