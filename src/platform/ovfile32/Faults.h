// Injected failures (internal).
#pragma once

#include "OVFTesting.h"

#include <string>

namespace ovf {

// The error injected for op on the path with this fault key, or 0.
int InjectedFault(OVFOp op, const std::string& strKey);

} // namespace ovf
