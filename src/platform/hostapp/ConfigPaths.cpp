#include "ConfigPaths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

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
