#include "File.h"

std::string CFile::GetFileName() const
{
    const auto nSlash = m_strFileName.find_last_of("\\/:");
    return nSlash == std::string::npos ? m_strFileName : m_strFileName.substr(nSlash + 1);
}

std::string CFile::GetFileTitle() const
{
    std::string strName = GetFileName();
    const auto nDot = strName.rfind('.');
    if (nDot != std::string::npos && nDot != 0)
        strName.erase(nDot);
    return strName;
}
