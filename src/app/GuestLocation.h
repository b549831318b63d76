// Remote locations of the guest verbs: vantry://[USER@]HOST[:PORT]/DRIVE/path, where DRIVE is a
// drive letter or "Desktop"; vantry://HOST alone names the host's volume list. An IPv6 address
// is written in brackets (vantry://[::1]:7420); the user, host and path are percent-decoded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TGuestLocation {
    std::string strUser;     // empty: the login name
    std::string strHost;
    std::uint16_t nPort = 0; // 0: the default port
    std::string strFolder;   // the pane form: "C:\dir\sub", "C:\", "Desktop\dir"; empty for the volume list
    // The last element and the folder above it ("C:\dir" and "sub"); the name is empty at a root.
    std::string strParent;
    std::string strName;
};

// Decodes %XX escapes into *pDecoded; returns an error text (a malformed escape), empty on success.
std::string PercentDecoded(std::string_view text, std::string* pDecoded);
// Parses a location; returns an error text, empty on success.
std::string ParseGuestLocation(const std::string& strText, TGuestLocation* pLocation);
// True when both name the same host, port and user.
bool SameHost(const TGuestLocation& a, const TGuestLocation& b);
// A remote pane path as the verbs name it to the user: "c:\dir\sub" is "C/dir/sub", "C:\" is "C",
// "Desktop\f" is "Desktop/f".
std::string RemoteDisplayPath(const std::string& strFolder);
