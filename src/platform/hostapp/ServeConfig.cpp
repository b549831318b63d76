#include "ServeConfig.h"

#include "ConfigPaths.h"
#include "OpenBlocks.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

const char kServeUsage[] =
    "Usage: vantry serve [OPTIONS]\n"
    "\n"
    "Serves this machine's folders to Vantry guests until interrupted (Ctrl-C or SIGTERM).\n"
    "\n"
    "Options:\n"
    "  --listen ADDR:PORT        address to listen on (default 127.0.0.1:7420; port 0 picks\n"
    "                            a free one); the address in use is printed on standard error\n"
    "  --share LETTER=DIR[,KIND[,LABEL]][,dotfiles]\n"
    "                            serve DIR as drive LETTER:, repeatable; KIND is fixed (default),\n"
    "                            remote, cdrom, removable or diskette; LABEL is the name guests\n"
    "                            see beside the letter (default: DIR's own name). Names\n"
    "                            beginning with \".\" (~/.ssh and the like) are neither listed\n"
    "                            nor reachable unless the share ends with \",dotfiles\". Without\n"
    "                            --share the home folder is drive C:\n"
    "  --desktop DIR[,dotfiles]  the folder offered as the Desktop volume, inside a share or\n"
    "                            not (default: the user's desktop folder; without one, no\n"
    "                            Desktop volume); its dot names are hidden as a share's are\n"
    "                            unless it ends with \",dotfiles\"\n"
    "  --allow LIST              what guests may do: comma-separated from read, write, remove\n"
    "                            (default read)\n"
    "  --password-file FILE      the password is the file's first line. Over TCP a password is\n"
    "                            always required: without this option one is made up, kept in\n"
    "                            $XDG_RUNTIME_DIR/vantry/password-PORT (readable by you alone)\n"
    "                            and shown only when standard error is a terminal\n"
    "  --config FILE             read settings from FILE: one per line, the option names\n"
    "                            without dashes (\"share D=/srv/data,fixed,Data\"); the file may\n"
    "                            also set \"handshake-timeout MS\" (default 5000). Command-line\n"
    "                            options add shares and replace the other settings\n"
    "  --log-level LEVEL         error, warning or info (default): the least severe lines written;\n"
    "                            the audit records of refused, failed or stopped operations are\n"
    "                            warnings, those of operations done are info\n"
    "  --stdio                   serve one guest over standard input and output, e.g. through\n"
    "                            `ssh host vantry serve --stdio`; without --config the settings\n"
    "                            of $XDG_CONFIG_HOME/vantry/serve.conf apply when it exists. No\n"
    "                            password and no TLS: ssh authenticates and encrypts\n"
    "  --host-key FILE           the TLS key and certificate (default\n"
    "                            $XDG_CONFIG_HOME/vantry/host-key.pem, made on the first start,\n"
    "                            readable by its owner alone); its fingerprint is printed at start\n"
    "  --insecure-plain          no TLS: everything, password proof included, crosses the\n"
    "                            network readable and alterable by anyone on the path; guests\n"
    "                            must ask for it too\n"
    "  --oem-codepage CP         the OEM code page for guests that name files in it (e.g. 437)\n"
    "  --idle-timeout SECONDS    close a guest's connection after this long without a byte\n"
    "                            either way (default 1800; 0 never)\n"
    "  --max-guests N            connections served at once, handshakes included (default 64);\n"
    "                            more are closed at once\n"
    "  -h, --help                show this help\n"
    "\n"
    "One line is written to standard error for each guest accepted, refused or ended. Upload\n"
    "temporaries are noted in $XDG_STATE_HOME/vantry/uploads (or ~/.local/state/vantry/uploads);\n"
    "without HOME or XDG_STATE_HOME the host does not start.\n";

namespace {
using TSetter = std::function<std::string(TServeConfig&, const std::string&)>;

std::string Trim(const std::string& str)
{
    const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    auto first = std::find_if_not(str.begin(), str.end(), isSpace);
    auto last = std::find_if_not(str.rbegin(), str.rend(), isSpace).base();
    return first < last ? std::string(first, last) : std::string();
}

std::vector<std::string> Split(const std::string& str, char cSeparator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(str);
    while (std::getline(in, part, cSeparator))
        parts.push_back(part);
    if (!str.empty() && str.back() == cSeparator)
        parts.emplace_back();
    return parts;
}

bool ParseNumber(const std::string& str, long nMin, long nMax, long& nValue)
{
    const char* pEnd = str.data() + str.size();
    auto [p, ec] = std::from_chars(str.data(), pEnd, nValue);
    return ec == std::errc() && p == pEnd && !str.empty() && nValue >= nMin && nValue <= nMax;
}

std::string SetListen(TServeConfig& config, const std::string& strValue)
{
    const auto nColon = strValue.rfind(':');
    long nPort = 0;
    if (nColon == std::string::npos || nColon == 0 || !ParseNumber(strValue.substr(nColon + 1), 0, 65535, nPort))
        return "--listen wants ADDR:PORT, e.g. 127.0.0.1:7420";
    std::string strHost = strValue.substr(0, nColon);
    if (strHost.size() > 2 && strHost.front() == '[' && strHost.back() == ']')
        strHost = strHost.substr(1, strHost.size() - 2);
    config.strListenHost = strHost;
    config.nPort = static_cast<std::uint16_t>(nPort);
    return {};
}

std::string SetShare(TServeConfig& config, const std::string& strValue)
{
    const std::string strForm = "--share wants LETTER=DIR[,KIND[,LABEL]][,dotfiles]";
    if (strValue.size() < 3 || strValue[1] != '=' || !std::isalpha(static_cast<unsigned char>(strValue[0])))
        return strForm;
    TShareConfig share;
    share.cLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(strValue[0])));
    // DIR[,KIND[,LABEL]]: the label may itself hold commas.
    std::vector<std::string> fields = Split(strValue.substr(2), ',');
    if (fields.size() > 1 && fields.back() == "dotfiles") {
        share.bDotNames = true;
        fields.pop_back();
    }
    static const std::map<std::string, int> kKinds = {{"fixed", kShareFixed},         {"remote", kShareRemote},
                                                      {"cdrom", kShareCDROM},         {"removable", kShareRemovable},
                                                      {"diskette", kShareDiskette}};
    share.strDir = fields.empty() ? std::string() : fields[0];
    if (share.strDir.empty())
        return strForm;
    if (fields.size() > 1) {
        const auto it = kKinds.find(fields[1]);
        if (it == kKinds.end())
            return "--share: unknown drive kind '" + fields[1] + "' (fixed, remote, cdrom, removable, diskette)";
        share.nKind = it->second;
    }
    for (std::size_t i = 2; i < fields.size(); ++i)
        share.strLabel += (i > 2 ? "," : "") + fields[i];
    for (const TShareConfig& other : config.shares) {
        if (other.cLetter == share.cLetter)
            return std::string("--share: drive ") + share.cLetter + ": is given twice";
    }
    config.shares.push_back(share);
    return {};
}

const std::map<std::string, int> kPrivilegeBits = {
    {"read", kPrivilegeBitRead}, {"write", kPrivilegeBitWrite}, {"remove", kPrivilegeBitRemove}};

// DIR[,dotfiles], as a share ends.
std::string SetDesktop(TServeConfig& config, const std::string& strValue)
{
    constexpr std::string_view kDotNames = ",dotfiles";
    config.bDesktopDotNames = strValue.ends_with(kDotNames);
    config.strDesktopDir = config.bDesktopDotNames ? strValue.substr(0, strValue.size() - kDotNames.size()) : strValue;
    config.bDesktopGiven = true;
    return config.strDesktopDir.empty() ? "--desktop wants DIR[,dotfiles]" : std::string();
}

std::string SetAllow(TServeConfig& config, const std::string& strValue)
{
    const auto& kBits = kPrivilegeBits;
    std::uint16_t nPrivileges = 0;
    if (Trim(strValue).empty())
        return "--allow wants a comma-separated list of read, write, remove";
    for (const std::string& strWord : Split(strValue, ',')) {
        const auto it = kBits.find(Trim(strWord));
        if (it == kBits.end())
            return "--allow wants a comma-separated list of read, write, remove";
        nPrivileges |= PrivilegeMask(it->second);
    }
    config.nPrivileges = nPrivileges;
    config.bAllowGiven = true;
    return {};
}

// A setting that is a whole number within a range.
TSetter NumberSetter(int TServeConfig::*pField, long nMin, long nMax, const char* pszError)
{
    return [=](TServeConfig& config, const std::string& strValue) {
        long nValue = 0;
        if (!ParseNumber(strValue, nMin, nMax, nValue))
            return std::string(pszError);
        config.*pField = static_cast<int>(nValue);
        return std::string();
    };
}

std::string SetLogLevel(TServeConfig& config, const std::string& strValue)
{
    static const std::map<std::string, ELogLevel> kLevels = {
        {"error", ELogLevel::Error}, {"warning", ELogLevel::Warning}, {"info", ELogLevel::Info}};
    const auto it = kLevels.find(strValue);
    if (it == kLevels.end())
        return "--log-level wants error, warning or info";
    config.eLogLevel = it->second;
    return {};
}

struct TSetting {
    bool bTakesValue;
    bool bFileOnly;
    TSetter fnSet;
};

const std::map<std::string, TSetting>& Settings()
{
    static const std::map<std::string, TSetting> kSettings = {
        {"listen", {true, false, SetListen}},
        {"share", {true, false, SetShare}},
        {"desktop", {true, false, SetDesktop}},
        {"allow", {true, false, SetAllow}},
        {"password-file", {true, false, [](TServeConfig& c, const std::string& v) {
                               c.strPasswordFile = v;
                               return std::string();
                           }}},
        {"stdio", {false, false, [](TServeConfig& c, const std::string&) {
                       c.bStdio = true;
                       return std::string();
                   }}},
        {"oem-codepage", {true, false, NumberSetter(&TServeConfig::nOemCodePage, 1, 65535,
                                                    "--oem-codepage wants a code page number, e.g. 437")}},
        {"handshake-timeout", {true, true, NumberSetter(&TServeConfig::nHandshakeTimeoutMs, 1, 600000,
                                                        "handshake-timeout wants milliseconds (1 to 600000)")}},
        {"idle-timeout", {true, false, NumberSetter(&TServeConfig::nIdleTimeoutSeconds, 0, 7 * 24 * 3600,
                                                    "--idle-timeout wants seconds (0 to 604800; 0 never)")}},
        {"max-guests", {true, false, NumberSetter(&TServeConfig::nMaxGuests, 1, 100000,
                                                  "--max-guests wants a number of connections (1 to 100000)")}},
        {"log-level", {true, false, SetLogLevel}},
        {"host-key", {true, false, [](TServeConfig& c, const std::string& v) {
                          c.strHostKeyFile = v;
                          return std::string();
                      }}},
        {"insecure-plain", {false, false, [](TServeConfig& c, const std::string&) {
                                c.bInsecurePlain = true;
                                return std::string();
                            }}},
    };
    return kSettings;
}

std::string ReadConfigFile(TServeConfig& config, const std::string& strPath)
{
    std::ifstream in(strPath);
    if (!in)
        return "cannot read config file " + strPath;
    std::string strLine;
    for (int nLine = 1; std::getline(in, strLine); ++nLine) {
        const auto nHash = strLine.find('#');
        strLine = Trim(nHash == std::string::npos ? strLine : strLine.substr(0, nHash));
        if (strLine.empty())
            continue;
        const auto nSplit = strLine.find_first_of(" \t=");
        const std::string strName = strLine.substr(0, nSplit);
        std::string strValue = nSplit == std::string::npos ? std::string() : Trim(strLine.substr(nSplit));
        if (!strValue.empty() && strValue.front() == '=')
            strValue = Trim(strValue.substr(1));
        const std::string strWhere = strPath + ":" + std::to_string(nLine) + ": ";
        const auto it = Settings().find(strName);
        if (it == Settings().end() || strName == "config")
            return strWhere + "unknown setting '" + strName + "'";
        if (!it->second.bTakesValue && !strValue.empty() && strValue != "true" && strValue != "yes")
            return strWhere + strName + " takes no value";
        if (it->second.bTakesValue && strValue.empty())
            return strWhere + strName + " needs a value";
        if (std::string strError = it->second.fnSet(config, strValue); !strError.empty())
            return strWhere + strError;
    }
    return {};
}
} // namespace

TServeArguments ParseServeArguments(const std::vector<std::string>& args)
{
    TServeArguments result;
    // Split "--name=value" and pair each option with its value first, so that the config file
    // can be read before the command line is applied.
    std::vector<std::pair<std::string, std::string>> options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& strArg = args[i];
        if (strArg == "-h" || strArg == "--help") {
            result.bHelp = true;
            return result;
        }
        if (strArg.rfind("--", 0) != 0) {
            result.strError = "unexpected argument '" + strArg + "'";
            return result;
        }
        const auto nEquals = strArg.find('=');
        std::string strName = strArg.substr(2, nEquals == std::string::npos ? std::string::npos : nEquals - 2);
        const auto it = Settings().find(strName);
        if (strName != "config" && (it == Settings().end() || it->second.bFileOnly)) {
            result.strError = "unknown option '--" + strName + "'";
            return result;
        }
        const bool bTakesValue = strName == "config" || it->second.bTakesValue;
        std::string strValue;
        if (nEquals != std::string::npos) {
            if (!bTakesValue) {
                result.strError = "--" + strName + " takes no value";
                return result;
            }
            strValue = strArg.substr(nEquals + 1);
        } else if (bTakesValue) {
            if (i + 1 >= args.size()) {
                result.strError = "--" + strName + " needs a value";
                return result;
            }
            strValue = args[++i];
        }
        options.emplace_back(std::move(strName), std::move(strValue));
    }
    bool bConfigGiven = false;
    bool bStdio = false;
    for (const auto& [strName, strValue] : options) {
        bStdio |= strName == "stdio";
        bConfigGiven |= strName == "config";
        if (strName == "config")
            result.strError = ReadConfigFile(result.config, strValue);
        if (!result.strError.empty())
            return result;
    }
    // Over ssh the remote user's own file says what is served.
    if (const std::string strDefault = DefaultServeConfigFile();
        bStdio && !bConfigGiven && !strDefault.empty() && std::filesystem::exists(strDefault))
        result.strError = ReadConfigFile(result.config, strDefault);
    if (!result.strError.empty())
        return result;
    // The command line's shares are added to the file's; a letter given on both is an error.
    for (const auto& [strName, strValue] : options) {
        if (strName != "config")
            result.strError = Settings().at(strName).fnSet(result.config, strValue);
        if (!result.strError.empty())
            return result;
    }
    return result;
}

std::string DefaultServeConfigFile()
{
    const std::string strDir = VantryConfigDir();
    return strDir.empty() ? std::string() : strDir + "/serve.conf";
}

std::string PrivilegeNames(std::uint16_t nPrivileges)
{
    std::string strNames;
    // In the order that --help lists them, not the table's.
    for (const char* pszName : {"read", "write", "remove"}) {
        if (nPrivileges & PrivilegeMask(kPrivilegeBits.at(pszName)))
            strNames += (strNames.empty() ? "" : ",") + std::string(pszName);
    }
    return strNames.empty() ? "none" : strNames;
}

std::string DefaultDesktopDir(const std::string& strHome)
{
    namespace fs = std::filesystem;
    std::string strDesktop = strHome + "/Desktop";
    // The desktop settings file holds a line XDG_DESKTOP_DIR="$HOME/Name".
    const char* pszConfigHome = std::getenv("XDG_CONFIG_HOME");
    const std::string strDirs = (pszConfigHome && *pszConfigHome ? std::string(pszConfigHome) : strHome + "/.config") +
                                "/user-dirs.dirs";
    std::ifstream in(strDirs);
    std::string strLine;
    const std::string strKey = "XDG_DESKTOP_DIR=";
    while (std::getline(in, strLine)) {
        strLine = Trim(strLine);
        if (strLine.rfind(strKey, 0) != 0)
            continue;
        std::string strValue = strLine.substr(strKey.size());
        if (strValue.size() >= 2 && strValue.front() == '"' && strValue.back() == '"')
            strValue = strValue.substr(1, strValue.size() - 2);
        if (strValue.rfind("$HOME", 0) == 0)
            strValue = strHome + strValue.substr(5);
        if (!strValue.empty() && strValue.front() == '/')
            strDesktop = strValue;
    }
    std::error_code ec;
    return fs::is_directory(strDesktop, ec) ? strDesktop : std::string();
}

std::string CompleteServeConfig(TServeConfig& config, const std::string& strHome)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (config.shares.empty()) {
        if (strHome.empty())
            return "no --share given and no home folder known";
        config.shares.push_back(TShareConfig{'C', strHome, kShareFixed, {}});
    }
    for (TShareConfig& share : config.shares) {
        if (!fs::is_directory(share.strDir, ec))
            return std::string("drive ") + share.cLetter + ": " + share.strDir + " is not a folder";
        share.strDir = fs::canonical(share.strDir, ec).string();
    }
    if (!config.bDesktopGiven)
        config.strDesktopDir = DefaultDesktopDir(strHome);
    else if (!fs::is_directory(config.strDesktopDir, ec))
        return "--desktop: " + config.strDesktopDir + " is not a folder";
    if (!config.strDesktopDir.empty())
        config.strDesktopDir = fs::canonical(config.strDesktopDir, ec).string();
    if (!config.bAllowGiven)
        config.nPrivileges = PrivilegeMask(kPrivilegeBitRead);
    if (!config.strPasswordFile.empty()) {
        std::ifstream in(config.strPasswordFile, std::ios::binary);
        if (!in)
            return "cannot read password file " + config.strPasswordFile;
        std::string strLine;
        std::getline(in, strLine);
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        if (strLine.empty())
            return "password file " + config.strPasswordFile + " starts with an empty line";
        config.strPassword = strLine;
    }
    return {};
}
