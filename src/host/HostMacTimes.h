// Times as the host puts them on the wire.
#pragma once

#include "OVFTypes.h"

// The Mac time of a file time, in wire order; a zero file time stands for 1980-01-01 00:00 local.
DWORD WireMacTime(const FILETIME& fileTime);
