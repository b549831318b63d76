#include "KnownHosts.h"

#include "ConfigPaths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

std::string DefaultKnownHostsFile()
{
    const std::string strDir = VantryConfigDir();
    return strDir.empty() ? std::string() : strDir + "/known_hosts";
}

std::string KnownHostKey(const std::string& strHost, unsigned nPort)
{
    const bool bV6 = strHost.find(':') != std::string::npos;
    return (bV6 ? "[" + strHost + "]" : strHost) + ":" + std::to_string(nPort);
}

TKnownHost LookUpKnownHost(const std::string& strFile, const std::string& strHostKey,
                           const std::string& strFingerprint)
{
    TKnownHost result;
    std::ifstream in(strFile);
    std::string strLine;
    for (int nLine = 1; std::getline(in, strLine); ++nLine) {
        std::istringstream words(strLine.substr(0, strLine.find('#')));
        std::string strKey;
        std::string strPinned;
        if (!(words >> strKey >> strPinned) || strKey != strHostKey)
            continue;
        if (strPinned == strFingerprint)
            return TKnownHost{TKnownHost::EState::Matches, strPinned, nLine};
        // A matching line anywhere wins; the first differing one is what is reported.
        if (result.eState == TKnownHost::EState::Unknown)
            result = TKnownHost{TKnownHost::EState::Changed, strPinned, nLine};
    }
    return result;
}

std::string AddKnownHost(const std::string& strFile, const std::string& strHostKey,
                         const std::string& strFingerprint)
{
    const std::filesystem::path path(strFile);
    if (path.has_parent_path())
        if (std::string strError = MakePrivateDir(path.parent_path().string()); !strError.empty())
            return strError;
    const int nFd = ::open(strFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (nFd < 0)
        return "cannot write " + strFile + ": " + std::strerror(errno);
    const std::string strLine = strHostKey + " " + strFingerprint + "\n";
    const bool bWritten = ::write(nFd, strLine.data(), strLine.size()) == static_cast<ssize_t>(strLine.size());
    const int nError = errno;
    ::close(nFd);
    return bWritten ? std::string() : "cannot write " + strFile + ": " + std::strerror(nError);
}
