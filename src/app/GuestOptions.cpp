#include "GuestOptions.h"

#include <array>
#include <cstdio>

namespace {
const char kGuestOptionsHelp[] =
    "Locations are written vantry://[USER@]HOST[:PORT]/DRIVE/path, DRIVE being a drive letter\n"
    "or Desktop; vantry://HOST alone names the host's volumes. An IPv6 address goes in brackets\n"
    "(vantry://[::1]:7420); write %XX for a byte that a URL cannot hold (%20 a blank, %25 a %).\n"
    "\n"
    "Options:\n"
    "  --password-file FILE   the password is the file's first line (else $VANTRY_PASSWORD,\n"
    "                         else it is asked for on a terminal)\n"
    "  --ssh                  reach the host through `ssh [-p PORT] [-l USER] HOST vantry serve\n"
    "                         --stdio`: the location's port and user are ssh's; the remote\n"
    "                         vantry serves what its $XDG_CONFIG_HOME/vantry/serve.conf says,\n"
    "                         else the remote home folder read-only; -v shows its log lines\n"
    "  --ssh-command CMD      run CMD instead of ssh (split at blanks), e.g. \"ssh -J jump\"\n"
    "  --accept-new-host      trust a host not met before and pin its certificate in\n"
    "                         $XDG_CONFIG_HOME/vantry/known_hosts (else asked on a terminal)\n"
    "  --fingerprint SHA256:… accept only the host certificate with this fingerprint\n"
    "  --insecure-plain       connect without TLS (the host must serve so too): the files and\n"
    "                         the password proof cross the network readable by anyone\n"
    "  --protocol 7|9         the protocol version to ask the host for (default 9)\n"
    "  -q, --quiet            show no progress and no notices, only errors\n"
    "  -h, --help             show this help and exit\n";

const char kExitStatusHelp[] =
    "\n"
    "Exit status:\n"
    "  0  all done\n"
    "  1  something failed (each failure is named on standard error)\n"
    "  2  usage error\n"
    "  3  done, but items were skipped (each is named on standard error)\n"
    "  130  interrupted by Ctrl-C\n";
} // namespace

const char kCopyOptionsHelp[] =
    "  -r, -R, --recursive    accepted for habit's sake: folders are always copied whole\n"
    "  -v, --verbose          name each file as it is copied\n"
    "  --replace MODE         what to do with items that exist at the destination: ask, all\n"
    "                         (replace; a folder where a file is to go is removed with all\n"
    "                         in it) or none (skip); default: ask on a terminal, else none\n"
    "  --translate-text       translate the line ends of TEXT files: in received ones a CR\n"
    "                         alone becomes CR LF, and ones sent to a host that names folders\n"
    "                         by number lose their line feeds\n"
    "\n"
    "On a terminal a progress line shows the bytes copied and to copy, the rate and the time\n"
    "remaining, and a summary stays when the copy ends. Ctrl-C cancels the copy, leaving no\n"
    "partial file. A copy that stops early (Ctrl-C, a lost connection) names the file it was in\n"
    "the middle of and the items it did not reach.\n";

void PrintGuestVerbHelp(const char* pszUsage, const char* pszOwnOptions)
{
    std::fputs(pszUsage, stdout);
    std::fputs(kGuestOptionsHelp, stdout);
    std::fputs(pszOwnOptions, stdout);
    std::fputs(kExitStatusHelp, stdout);
}

namespace {
struct TFlag {
    const char* pszShort; // null: none
    const char* pszLong;
    unsigned nOption;     // 0: every verb takes it
    bool TGuestOptions::*pField;
};

constexpr std::array kFlags{
    TFlag{"-h", "--help", 0, &TGuestOptions::bHelp},
    TFlag{"-q", "--quiet", 0, &TGuestOptions::bQuiet},
    TFlag{nullptr, "--ssh", 0, &TGuestOptions::bSsh},
    TFlag{nullptr, "--accept-new-host", 0, &TGuestOptions::bAcceptNewHost},
    TFlag{nullptr, "--insecure-plain", 0, &TGuestOptions::bInsecurePlain},
    TFlag{"-v", "--verbose", VerbOption::kVerbose, &TGuestOptions::bVerbose},
    TFlag{"-r", "--recursive", VerbOption::kRecursive, &TGuestOptions::bRecursive},
    TFlag{"-R", nullptr, VerbOption::kRecursive, &TGuestOptions::bRecursive},
    TFlag{"-p", "--parents", VerbOption::kParents, &TGuestOptions::bParents},
    TFlag{nullptr, "--json", VerbOption::kJson, &TGuestOptions::bJson},
    TFlag{nullptr, "--translate-text", VerbOption::kCopy, &TGuestOptions::bTranslateText},
};

// The flag the word names among those the verb takes, or null.
const TFlag* FindFlag(const std::string& strArg, unsigned nAccepted)
{
    for (const TFlag& flag : kFlags) {
        const bool bNamed = (flag.pszShort && strArg == flag.pszShort) || (flag.pszLong && strArg == flag.pszLong);
        if (bNamed && (flag.nOption == 0 || (flag.nOption & nAccepted) != 0))
            return &flag;
    }
    return nullptr;
}

// "-rqv" is "-r -q -v" when every letter is a flag the verb takes.
bool ExpandBundle(const std::string& strArg, unsigned nAccepted, std::vector<const TFlag*>* pFlags)
{
    if (strArg.size() < 3 || strArg[0] != '-' || strArg[1] == '-')
        return false;
    for (std::size_t i = 1; i < strArg.size(); ++i) {
        const TFlag* pFlag = FindFlag(std::string{'-', strArg[i]}, nAccepted);
        if (!pFlag)
            return false;
        pFlags->push_back(pFlag);
    }
    return true;
}
} // namespace

TGuestOptions ParseGuestOptions(const TVerbArguments& args, unsigned nAccepted)
{
    TGuestOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string strArg = args[i];
        std::string strValue;
        bool bHasValue = false;
        if (strArg.rfind("--", 0) == 0) {
            if (const std::size_t nEq = strArg.find('='); nEq != std::string::npos) {
                strValue = strArg.substr(nEq + 1);
                strArg.resize(nEq);
                bHasValue = true;
            }
        }
        auto value = [&](std::string* pValue) {
            if (bHasValue) {
                *pValue = strValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                options.strError = strArg + " needs a value";
                return false;
            }
            *pValue = args[++i];
            return true;
        };
        std::vector<const TFlag*> bundle;
        if (const TFlag* pFlag = bHasValue ? nullptr : FindFlag(strArg, nAccepted)) {
            options.*(pFlag->pField) = true;
        } else if (ExpandBundle(strArg, nAccepted, &bundle)) {
            for (const TFlag* pBundled : bundle)
                options.*(pBundled->pField) = true;
        } else if (strArg == "--password-file") {
            if (!value(&options.strPasswordFile))
                return options;
        } else if (strArg == "--ssh-command") {
            if (!value(&options.strSshCommand))
                return options;
            if (options.strSshCommand.find_first_not_of(" \t") == std::string::npos) {
                options.strError = "--ssh-command wants a command";
                return options;
            }
        } else if (strArg == "--fingerprint") {
            if (!value(&options.strFingerprint))
                return options;
            if (options.strFingerprint.rfind("SHA256:", 0) != 0 || options.strFingerprint.size() < 8) {
                options.strError = "--fingerprint wants SHA256: and the fingerprint that the host printed";
                return options;
            }
        } else if (strArg == "--protocol") {
            std::string strVersion;
            if (!value(&strVersion))
                return options;
            if (strVersion != "7" && strVersion != "9") {
                options.strError = "--protocol wants 7 or 9";
                return options;
            }
            options.bProtocol7 = strVersion == "7";
        } else if ((nAccepted & VerbOption::kCopy) != 0 && strArg == "--replace") {
            std::string strMode;
            if (!value(&strMode))
                return options;
            if (strMode == "ask")
                options.eReplace = EReplaceMode::Ask;
            else if (strMode == "all")
                options.eReplace = EReplaceMode::All;
            else if (strMode == "none")
                options.eReplace = EReplaceMode::None;
            else {
                options.strError = "--replace wants ask, all or none";
                return options;
            }
        } else if (strArg == "--") {
            options.operands.insert(options.operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (strArg.size() > 1 && strArg[0] == '-') {
            options.strError = "unknown option " + args[i];
            return options;
        } else {
            options.operands.push_back(args[i]);
        }
    }
    if (options.bQuiet && options.bVerbose)
        options.strError = "-q and -v cannot go together";
    return options;
}
