#include "Volumes.h"

#include "OVFile32.h"

int GetDriveKind(int nIndex) { return static_cast<int>(OVF_GetDriveKind(nIndex)); }

std::string GetDesktopPath() { return OVF_GetDesktopPath(); }
