// The options every guest verb takes, and the words that are not options.
#pragma once

#include "Verbs.h"

#include <string>
#include <vector>

enum class EReplaceMode { Ask, All, None };

struct TGuestOptions {
    std::vector<std::string> operands;
    std::string strPasswordFile;
    bool bSsh = false;
    std::string strSshCommand = "ssh"; // split at blanks
    bool bVerbose = false;
    bool bProtocol7 = false;
    bool bAcceptNewHost = false;
    std::string strFingerprint;
    bool bInsecurePlain = false;
    EReplaceMode eReplace = EReplaceMode::Ask; // Ask falls back to None away from a terminal
    bool bTranslateText = false;
    bool bHelp = false;
    std::string strError;
};

// bCopyOptions: --replace and --translate-text are accepted.
TGuestOptions ParseGuestOptions(const TVerbArguments& args, bool bCopyOptions);

// The text shared by every guest verb's --help.
extern const char kGuestOptionsHelp[];
extern const char kCopyOptionsHelp[];
