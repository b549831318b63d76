#include "ConfigPaths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string UserConfigHome()
{
    if (const char* pszConfig = std::getenv("XDG_CONFIG_HOME"); pszConfig && *pszConfig == '/')
        return pszConfig;
    if (const char* pszHome = std::getenv("HOME"); pszHome && *pszHome)
        return std::string(pszHome) + "/.config";
    return {};
}

std::string VantryConfigDir()
{
    const std::string strConfig = UserConfigHome();
    return strConfig.empty() ? std::string() : strConfig + "/vantry";
}

std::string VantryRuntimeDir()
{
    const char* pszRuntime = std::getenv("XDG_RUNTIME_DIR");
    return pszRuntime && *pszRuntime == '/' ? std::string(pszRuntime) + "/vantry" : std::string();
}

std::string WritePrivateFile(const std::string& strFile, const std::string& strContent)
{
    const std::filesystem::path path(strFile);
    if (path.has_parent_path())
        if (std::string strError = MakePrivateDir(path.parent_path().string()); !strError.empty())
            return strError;
    const int nFd = ::open(strFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (nFd < 0)
        return "cannot write " + strFile + ": " + std::strerror(errno);
    // A file that was there before keeps its mode through O_CREAT: make it private now.
    const bool bWritten = ::fchmod(nFd, 0600) == 0 &&
                          ::write(nFd, strContent.data(), strContent.size()) == static_cast<ssize_t>(strContent.size());
    const int nError = errno;
    ::close(nFd);
    return bWritten ? std::string() : "cannot write " + strFile + ": " + std::strerror(nError);
}

std::string MakePrivateDir(const std::string& strDir)
{
    std::error_code ec;
    const std::filesystem::path dir(strDir);
    if (dir.has_parent_path())
        std::filesystem::create_directories(dir.parent_path(), ec);
    if (::mkdir(strDir.c_str(), 0700) != 0 && errno != EEXIST)
        return "cannot create the folder " + strDir + ": " + std::strerror(errno);
    return {};
}
