// Injected failures (internal).
#pragma once

#include "OVFTesting.h"
#include "WinPath.h"

#include <string>

namespace ovf {

// The error injected for op on the path with this fault key, or 0.
int InjectedFault(OVFOp op, const std::string& strKey);
// The same for a path, whose key is made only when some fault is set.
int InjectedFault(OVFOp op, const TWinPath& path);

} // namespace ovf
