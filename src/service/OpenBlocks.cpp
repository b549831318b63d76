#include "OpenBlocks.h"

#include <cstring>
#include <utility>

std::uint16_t ReadHostWord(const std::uint8_t* pBlock, std::size_t nOffset)
{
    std::uint16_t n;
    std::memcpy(&n, pBlock + nOffset, sizeof n);
    return n;
}

void WriteHostWord(std::uint8_t* pBlock, std::size_t nOffset, std::uint16_t n)
{
    std::memcpy(pBlock + nOffset, &n, sizeof n);
}

std::uint16_t ReadNetWord(const std::uint8_t* pBlock, std::size_t nOffset)
{
    return static_cast<std::uint16_t>((pBlock[nOffset] << 8) | pBlock[nOffset + 1]);
}

void WriteNetWord(std::uint8_t* pBlock, std::size_t nOffset, std::uint16_t n)
{
    pBlock[nOffset] = static_cast<std::uint8_t>(n >> 8);
    pBlock[nOffset + 1] = static_cast<std::uint8_t>(n);
}

std::uint16_t RequestedProtocolVersion(const std::uint8_t* pRequest)
{
    return ReadNetWord(pRequest, OpenBlock::kReqVersion);
}

std::uint16_t AgreeProtocolVersion(std::uint16_t nAsked)
{
    if (nAsked < 5)
        return 0;
    if (nAsked > 9)
        return 9;
    if (nAsked == 6 || nAsked == 8)
        return static_cast<std::uint16_t>(nAsked - 1);
    return nAsked;
}

int SetupV7Request(const OVGuestEntry* pGuestContext, std::uint8_t* pRequest, std::uint16_t* pnLength)
{
    const bool bAskSeven = pGuestContext && pGuestContext->pOptions && pGuestContext->pOptions->wProtocolSelector == 8;
    WriteNetWord(pRequest, OpenBlock::kReqVersion, bAskSeven ? 7 : 9);
    *pnLength = OpenBlock::kV7RequestLength;
    return 0;
}

int SetupV6Request(const void*, const std::uint8_t* pSourceRequest, std::uint8_t* pV6Request)
{
    std::uint16_t nVersion = ReadHostWord(pSourceRequest, OpenBlock::kV6SourceVersion);
    if (nVersion >= 10)
        nVersion = 9;
    WriteNetWord(pV6Request, OpenBlock::kV6ReqVersion, nVersion);
    return 0;
}

int FillInV6OpenResponse(const void*, const std::uint8_t* pV7Response, std::uint8_t* pV6Response)
{
    std::memcpy(pV6Response + OpenBlock::kV6RespBufferSize, pV7Response + OpenBlock::kRespBufferSize, 2);
    const std::uint16_t nPrivileges = ReadHostWord(pV7Response, OpenBlock::kRespPrivileges);
    pV6Response[OpenBlock::kV6RespMayRead] = (nPrivileges & PrivilegeMask(kPrivilegeBitRead)) ? 1 : 0;
    pV6Response[OpenBlock::kV6RespMayWrite] = (nPrivileges & PrivilegeMask(kPrivilegeBitWrite)) ? 1 : 0;
    pV6Response[OpenBlock::kV6RespMayRemove] = (nPrivileges & PrivilegeMask(kPrivilegeBitRemove)) ? 1 : 0;
    return 0;
}

int TranslateV6Response(OVGuestEntry* pGuestContext, const void*, const std::uint8_t* pV6Response)
{
    std::uint8_t* pResponse = pGuestContext->openResponse;
    std::uint16_t nPrivileges = ReadHostWord(pResponse, OpenBlock::kRespPrivileges);
    const std::pair<std::size_t, int> grants[] = {
        {OpenBlock::kV6RespMayRead, kPrivilegeBitRead},
        {OpenBlock::kV6RespMayWrite, kPrivilegeBitWrite},
        {OpenBlock::kV6RespMayRemove, kPrivilegeBitRemove},
    };
    for (const auto& [nOffset, nBit] : grants) {
        if (pV6Response[nOffset])
            nPrivileges |= PrivilegeMask(nBit) | PrivilegeMask(kPrivilegeBitHost);
    }
    WriteHostWord(pResponse, OpenBlock::kRespPrivileges, nPrivileges);
    std::memcpy(pResponse + OpenBlock::kRespBufferSize, pV6Response + OpenBlock::kV6RespBufferSize, 2);
    return 0;
}

int CanBeAccessedWithPrivileges(const void*, std::uint16_t nPrivileges)
{
    return (nPrivileges & kPrivilegeAll) ? 1 : 0;
}

int HasMoreAccessWithPrivileges(const void*, std::uint16_t nPrivilegesA, std::uint16_t nPrivilegesB)
{
    return (nPrivilegesA & ~nPrivilegesB & kPrivilegeAll) ? 1 : 0;
}
