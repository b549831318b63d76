// Module-wide state: one copy per loaded module.
#pragma once

#include <cstdint>
#include <vector>

// A service icon: square RGBA pixels, drawn by the module.
struct TServiceIcon {
    int nResourceId;
    int nSize;
    std::vector<std::uint32_t> pixels;
};

inline constexpr int kSmallIconId = 6000;
inline constexpr int kLargeIconId = 6001;
inline constexpr int kUserNameSize = 67;

struct TModuleState {
    TServiceIcon* pSmallIcon = nullptr;
    TServiceIcon* pLargeIcon = nullptr;
    char szUserName[kUserNameSize] = {};
    void* pGuestSession = nullptr; // the single guest session, null when none
};

TModuleState& Module();

// Loads one of the module's icon resources; null for an unknown id.
TServiceIcon* LoadServiceIcon(int nResourceId);
