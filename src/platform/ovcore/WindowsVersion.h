// The system kind the module adapts to.
#pragma once

// Always 2 here: a system with long names, whose desktop folder comes from configuration.
inline constexpr int kOVWindowsVersionLongNames = 2;
int OVFindWindowsVersion();
