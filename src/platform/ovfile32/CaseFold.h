// Letter-case folding of names (internal). A fixed table, the same on every system: ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic capitals fold to their small letters.
#pragma once

#include <string>

namespace ovf {

char32_t FoldChar(char32_t c);
// The folded form of a UTF-8 name; bytes that are not valid UTF-8 are kept as they are.
std::string FoldName(const std::string& strUtf8);

} // namespace ovf
