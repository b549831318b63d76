// Lexical form of a Windows-style path (internal).
#pragma once

#include <string>
#include <vector>

namespace ovf {

// The desktop folder is a volume of its own beside the drives, named "Desktop:\..." in paths.
inline constexpr int kDesktopDrive = 26;
inline constexpr char kDesktopVolumeName[] = "Desktop:";

struct TWinPath {
    int nDrive = -1;                    // 0 = A .. 25 = Z; kDesktopDrive
    std::vector<std::string> parts;     // ANSI elements; never "", "." or ".."
};

// Parses a path (any of the forms the library accepts) against the current directory.
// Returns 0, EINVAL (a '/' or ':' in a name, a bad drive), ENAMETOOLONG, or ENOENT (empty path,
// or a relative path with no current directory).
int ParseWinPath(const char* pszPath, TWinPath& path);
// "X:\a\b", or "X:\" for a root ("Desktop:\a\b" on the desktop).
std::string FormatWinPath(const TWinPath& path);
// The same, upper-cased (ASCII), as the key that injected faults are matched on.
std::string FaultKey(const TWinPath& path);

} // namespace ovf
