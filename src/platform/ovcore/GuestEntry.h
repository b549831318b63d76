// The host application's record of one outgoing guest connection: what the module's guest side
// reads of it when a session opens.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kOpenBlockMax = 508;

// Options of the connection request that the guest's open request is built from.
struct OVConnectionOptions {
    // 8 asks an old host for protocol version 7; anything else asks for 9.
    std::uint16_t wProtocolSelector = 0;
};

// The address that a guest connection reaches.
struct OVAddressRecord {
    char szName[256] = {}; // the name the user gave for the host; empty when none
};

struct OVGuestEntry {
    OVConnectionOptions* pOptions = nullptr;
    std::uint8_t openRequest[kOpenBlockMax] = {};
    std::uint16_t nOpenRequestLength = 0;
    std::uint8_t openResponse[kOpenBlockMax] = {};
    std::uint16_t nOpenResponseLength = 0;
    void* pGuestSession = nullptr; // the guest session's handle, stored by the session
    void* hConnection = nullptr;   // the connection, once set up
    OVAddressRecord address;       // the remote address
    bool bLargeSizes = false;      // the handshake agreed on sizes beyond 32 bits
    bool bPipelining = false;      // the handshake agreed on requests in flight across files
};
