// A temporary drive for the file-layer tests: drive C: is a fresh folder, with a sibling
// folder "outside" that no request may reach. TZ is fixed; faults and switches are reset.
#pragma once

#include "OVFile32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs_test {

namespace stdfs = std::filesystem;

inline std::string ReadPosixFile(const stdfs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WritePosixFile(const stdfs::path& path, const std::string& strContent)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << strContent;
}

class TDriveFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        char szTemplate[] = "/tmp/vantry-fs-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_base = szTemplate;
        m_drive = m_base / "drive";
        m_outside = m_base / "outside";
        stdfs::create_directories(m_drive);
        stdfs::create_directories(m_outside);
        WritePosixFile(m_outside / "secret.txt", "secret");
        OVF_ClearDrives();
        OVF_ClearFaults();
        OVF_ForceResolveFallback(false);
        OVF_KeepResolvedFolders(0);
        OVF_DisableAttributeStore(false);
        OVF_ForceAttributeReadByPath(false);
        ASSERT_EQ(OVF_SetAnsiCodePage("UTF-8"), 0);
        ASSERT_EQ(OVF_SetOemCodePage("CP437"), 0);
        ASSERT_EQ(OVF_SetDrive('C', m_drive.c_str(), OVFDriveKind::fixed, "Work"), 0);
    }

    void TearDown() override
    {
        OVF_KeepResolvedFolders(0);
        OVF_ClearDrives();
        OVF_ClearFaults();
        OVF_ForceResolveFallback(false);
        OVF_ForceAttributeReadByPath(false);
        OVF_SetAnsiCodePage("UTF-8");
        std::error_code ec;
        stdfs::permissions(m_base, stdfs::perms::owner_all, stdfs::perm_options::add, ec);
        stdfs::remove_all(m_base, ec);
    }

    // Writes a file under the drive's folder (a POSIX path relative to it).
    void Put(const std::string& strRelative, const std::string& strContent = "x")
    {
        const stdfs::path path = m_drive / strRelative;
        stdfs::create_directories(path.parent_path());
        WritePosixFile(path, strContent);
    }

    // Reads a whole file through the library; "" with bOk false when it cannot be opened.
    std::string ReadAll(const char* pszPath, bool* pOk = nullptr)
    {
        DWORD dwError = 0;
        const DWORD h = Open32(pszPath, kOVF_modeRead, &dwError);
        if (pOk)
            *pOk = h != kOVF_invalid;
        if (h == kOVF_invalid)
            return "";
        std::string str;
        char buf[4096];
        for (;;) {
            const DWORD n = Read32(h, buf, sizeof buf, &dwError);
            if (n == 0 || n == kOVF_invalid)
                break;
            str.append(buf, n);
        }
        Close32(h, &dwError);
        return str;
    }

    stdfs::path m_base;
    stdfs::path m_drive;
    stdfs::path m_outside;
};

} // namespace fs_test
