#include "GuestOptions.h"

const char kGuestOptionsHelp[] =
    "Locations are written vantry://[USER@]HOST[:PORT]/DRIVE/path, DRIVE being a drive letter\n"
    "or Desktop; vantry://HOST alone names the host's volumes.\n"
    "\n"
    "Options:\n"
    "  --password-file FILE   the password is the file's first line (else $VANTRY_PASSWORD,\n"
    "                         else it is asked for on a terminal)\n"
    "  --ssh                  reach the host through `ssh [-p PORT] [-l USER] HOST vantry serve\n"
    "                         --stdio`: the location's port and user are ssh's; the remote\n"
    "                         vantry serves what its $XDG_CONFIG_HOME/vantry/serve.conf says,\n"
    "                         else the remote home folder read-only\n"
    "  --ssh-command CMD      run CMD instead of ssh (split at blanks), e.g. \"ssh -J jump\"\n"
    "  -v, --verbose          show the remote host's log lines (with --ssh)\n"
    "  --accept-new-host      trust a host not met before and pin its certificate in\n"
    "                         $XDG_CONFIG_HOME/vantry/known_hosts (else asked on a terminal)\n"
    "  --fingerprint SHA256:… accept only the host certificate with this fingerprint\n"
    "  --insecure-plain       connect without TLS (the host must serve so too): the files and\n"
    "                         the password proof cross the network readable by anyone\n"
    "  --protocol 7           ask the host for protocol version 7 instead of 9\n"
    "  -h, --help             show this help and exit\n";

const char kCopyOptionsHelp[] =
    "  --replace ask|all|none what to do with items that exist at the destination (default:\n"
    "                         ask on a terminal, else none)\n"
    "  --translate-text       give TEXT files received CR LF line ends\n"
    "\n"
    "A progress line is shown on a terminal; Ctrl-C cancels the copy, leaving no partial file.\n";

TGuestOptions ParseGuestOptions(const TVerbArguments& args, bool bCopyOptions)
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
        if (strArg == "-h" || strArg == "--help") {
            options.bHelp = true;
        } else if (strArg == "--password-file") {
            if (!value(&options.strPasswordFile))
                return options;
        } else if (strArg == "--ssh") {
            options.bSsh = true;
        } else if (strArg == "--ssh-command") {
            if (!value(&options.strSshCommand))
                return options;
            if (options.strSshCommand.find_first_not_of(" \t") == std::string::npos) {
                options.strError = "--ssh-command wants a command";
                return options;
            }
        } else if (strArg == "-v" || strArg == "--verbose") {
            options.bVerbose = true;
        } else if (strArg == "--accept-new-host") {
            options.bAcceptNewHost = true;
        } else if (strArg == "--insecure-plain") {
            options.bInsecurePlain = true;
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
        } else if (bCopyOptions && strArg == "--replace") {
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
        } else if (bCopyOptions && strArg == "--translate-text") {
            options.bTranslateText = true;
        } else if (strArg == "--") {
            options.operands.insert(options.operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (strArg.size() > 1 && strArg[0] == '-') {
            options.strError = "unknown option " + strArg;
            return options;
        } else {
            options.operands.push_back(args[i]);
        }
    }
    return options;
}
