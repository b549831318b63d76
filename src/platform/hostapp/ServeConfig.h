// The settings of `vantry serve`: from the command line and from a config file that may hold
// the same settings (one per line, "name value" or "name = value", the option names without
// their dashes, '#' starts a comment).
#pragma once

#include "ServeLog.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::uint16_t kDefaultServePort = 7420;
inline constexpr const char* kDefaultServeHost = "127.0.0.1";
inline constexpr int kDefaultHandshakeTimeoutMs = 5000;
inline constexpr int kDefaultIdleTimeoutSeconds = 30 * 60;
inline constexpr int kDefaultMaxGuests = 64;

// Drive kinds as the file layer counts them.
enum EShareKind : int {
    kShareRemovable = 1,
    kShareFixed = 2,
    kShareRemote = 3,
    kShareCDROM = 4,
    kShareDiskette = 5,
};

struct TShareConfig {
    char cLetter = 'C';     // upper case
    std::string strDir;
    int nKind = kShareFixed;
    std::string strLabel;   // empty: the file layer's own label
    bool bDotNames = false; // names beginning with "." are served too
};

struct TServeConfig {
    std::string strListenHost = kDefaultServeHost;
    std::uint16_t nPort = kDefaultServePort; // 0: any free port
    std::vector<TShareConfig> shares;
    std::string strDesktopDir;               // empty: no desktop folder
    bool bDesktopGiven = false;
    bool bDesktopDotNames = false;           // names beginning with "." are served on the desktop too
    std::uint16_t nPrivileges = 0;           // privilege word of every open response
    bool bAllowGiven = false;
    std::string strPasswordFile;
    std::string strPassword;                 // filled from the password file, or made up
    bool bPasswordMadeUp = false;
    bool bStdio = false;
    std::string strHostKeyFile;              // empty: the default file in the config folder
    bool bInsecurePlain = false;             // TCP without TLS
    ELogLevel eLogLevel = ELogLevel::Info;
    int nOemCodePage = 0;                    // 0: the file layer's default
    int nHandshakeTimeoutMs = kDefaultHandshakeTimeoutMs; // config file only: "handshake-timeout MS"
    int nIdleTimeoutSeconds = kDefaultIdleTimeoutSeconds;  // 0: connections may stay silent for ever
    int nMaxGuests = kDefaultMaxGuests;                    // connections served at once
};

struct TServeArguments {
    TServeConfig config;
    bool bHelp = false;
    std::string strError; // empty when the arguments are good
};

// The arguments after the verb. A --config file is read first; the command line then adds
// shares and replaces every other setting.
TServeArguments ParseServeArguments(const std::vector<std::string>& args);

// Fills the defaults that depend on the machine (the home folder as drive C: when no share is
// given, the user's desktop folder, read permission, the password from its file) and checks the
// folders. Returns an error text, empty on success. Does not make up a password.
std::string CompleteServeConfig(TServeConfig& config, const std::string& strHome);

// $XDG_CONFIG_HOME/vantry/serve.conf: what `--stdio` serves when no --config is given.
std::string DefaultServeConfigFile();

// The user's desktop folder as the desktop settings name it, or home/Desktop; empty when the
// folder does not exist.
std::string DefaultDesktopDir(const std::string& strHome);

// The privilege word as --allow spells it ("read,write"); "none" when it grants nothing.
std::string PrivilegeNames(std::uint16_t nPrivileges);

extern const char kServeUsage[];
