#include "OVCore.h"

#include <cstring>

void Pascal2C(unsigned char* pSource, char* pDest)
{
    const std::size_t nLen = pSource[0];
    std::memmove(pDest, pSource + 1, nLen);
    pDest[nLen] = '\0';
}

void C2Pascal(char* pSource, unsigned char* pDest)
{
    std::size_t nLen = std::strlen(pSource);
    if (nLen > 255)
        nLen = 255;
    std::memmove(pDest + 1, pSource, nLen);
    pDest[0] = static_cast<unsigned char>(nLen);
}
