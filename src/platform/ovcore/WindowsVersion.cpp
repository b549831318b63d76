#include "WindowsVersion.h"

int OVFindWindowsVersion() { return kOVWindowsVersionLongNames; }
