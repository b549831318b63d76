// The guest's pinned host certificates, one line per host and port, as ssh keeps its host
// keys: "HOST:PORT SHA256:<base64>" ('#' starts a comment).
#pragma once

#include <string>

struct TKnownHost {
    enum class EState { Unknown, Matches, Changed };
    EState eState = EState::Unknown;
    std::string strPinned; // the fingerprint on file when it changed
    int nLine = 0;         // its line
};

// The default file: VantryConfigDir() + "/known_hosts"; empty when no folder is known.
std::string DefaultKnownHostsFile();
// "HOST:PORT", with an IPv6 address in brackets.
std::string KnownHostKey(const std::string& strHost, unsigned nPort);

// What the file says about the host; a missing file knows no host.
TKnownHost LookUpKnownHost(const std::string& strFile, const std::string& strHostKey,
                           const std::string& strFingerprint);
// Appends the host's line (making the file and its folder, private to their owner). Returns an
// error text, empty on success.
std::string AddKnownHost(const std::string& strFile, const std::string& strHostKey,
                         const std::string& strFingerprint);
