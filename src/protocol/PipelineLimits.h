// What a guest may have outstanding in a pipelined session. The host remembers at least this
// many of a session's creates (an upload there may take only a name its own create made), so a
// guest that creates no further ahead never finds one of its empty files forgotten.
#pragma once

#include <cstddef>

inline constexpr std::size_t kPipelinedCreatesAhead = 512;
