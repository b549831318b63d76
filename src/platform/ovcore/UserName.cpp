#include "OVCore.h"

#include <cstring>
#include <pwd.h>
#include <unistd.h>

int OVGetUserName(char* pBuffer)
{
    std::memset(pBuffer, 0, kOVUserNameSize);
    const passwd* pw = getpwuid(geteuid());
    const char* pszName = pw ? pw->pw_name : nullptr;
    if (!pszName || !*pszName)
        return 1;
    std::strncpy(pBuffer, pszName, kOVUserNameSize - 1);
    return 0;
}
