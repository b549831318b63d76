// The options every guest verb takes, and the words that are not options.
#pragma once

#include "Verbs.h"

#include <string>
#include <vector>

enum class EReplaceMode { Ask, All, None };

// The options a verb takes beyond the common ones (a mask of these).
namespace VerbOption {
inline constexpr unsigned kCopy = 0x01;      // --replace, --translate-text
inline constexpr unsigned kRecursive = 0x02; // -r, -R, --recursive
inline constexpr unsigned kParents = 0x04;   // -p, --parents
inline constexpr unsigned kJson = 0x08;      // --json
inline constexpr unsigned kVerbose = 0x10;   // -v, --verbose
} // namespace VerbOption

struct TGuestOptions {
    std::vector<std::string> operands;
    std::string strPasswordFile;
    bool bSsh = false;
    std::string strSshCommand = "ssh"; // split at blanks
    bool bProtocol7 = false;
    bool bAcceptNewHost = false;
    std::string strFingerprint;
    bool bInsecurePlain = false;
    EReplaceMode eReplace = EReplaceMode::Ask; // Ask falls back to None away from a terminal
    bool bTranslateText = false;
    bool bRecursive = false;
    bool bParents = false;
    bool bJson = false;
    bool bQuiet = false;
    bool bVerbose = false;
    bool bHelp = false;
    std::string strError;
};

// nAccepted: the VerbOption bits this verb takes besides the common options.
TGuestOptions ParseGuestOptions(const TVerbArguments& args, unsigned nAccepted);

// The lines of the copy verbs' own options (get, put).
extern const char kCopyOptionsHelp[];
// A guest verb's --help: its usage text, the location form and the common options, the verb's
// own option lines, then the exit statuses.
void PrintGuestVerbHelp(const char* pszUsage, const char* pszOwnOptions);
