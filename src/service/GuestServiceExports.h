// The guest session's exports: the host application opens the one guest session with a
// connection request and closes it when the session asks to stop.
#pragma once

#include <cstdint>

// The host application's record of a request to reach a host; hHost is zero when it names none.
struct OVGuestConnectionRequest {
    std::uintptr_t hHost = 0;
};

// 0 on success; non-zero when a session is open already or the session cannot be opened.
int OpenGuestServiceSession(const OVGuestConnectionRequest* pRequest);
// Closes and destroys the session whose handle the stop request carried. Returns 0.
int CloseGuestServiceSession(void* hSession);
