#include "HostFilesFixture.h"

#include "LFN.h"
#include "OVFDrives.h"

using HostChanges = THostFilesFixture;

TEST_F(HostChanges, RemoveByKindAndProtection)
{
    WriteFile(Drive('C') / "plain.txt", "p");
    WriteFile(Drive('C') / ".hidden", "h");
    WriteFile(Drive('C') / "ro.txt", "r");
    WriteFile(Drive('C') / "sys.txt", "s");
    WriteFile(Drive('C') / "tree" / "a" / "b.txt", "b");
    WriteFile(Drive('C') / "tree" / "ro-inside.txt", "r");
    LFN_SetFileAttributes("C:\\ro.txt", 0x21);
    LFN_SetFileAttributes("C:\\sys.txt", 0x24);
    LFN_SetFileAttributes("C:\\tree\\ro-inside.txt", 0x21);
    // Without extended attributes (some tmpfs) a system bit has nowhere to live.
    BYTE nSystem = 0;
    const bool bSystemKept = LFN_GetFileAttributes("C:\\sys.txt", &nSystem) && (nSystem & 0x04);
    OpenSession();
    const struct {
        const char* pszName;
        std::int16_t nResult;
        bool bGone;
    } cases[] = {
        {"plain.txt", 0, true}, {".hidden", 0, true}, {"ro.txt", -45, false}, {"sys.txt", -45, false},
        {"tree", 0, true},      {"missing", 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        if (!bSystemKept && std::string(c.pszName) == "sys.txt")
            continue;
        Send(NamesRequestOnVolume(0x8A, 3, c.pszName, "\\"));
        EXPECT_EQ(m_app.TakeWritten(), Result(c.nResult));
        EXPECT_EQ(fs::exists(Drive('C') / c.pszName), !c.bGone);
    }
}

TEST_F(HostChanges, RemoveWithoutThePrivilegeIsDenied)
{
    WriteFile(Drive('C') / "plain.txt", "p");
    OpenSession(9, false, 0x60);
    Send(NamesRequestOnVolume(0x8A, 3, "plain.txt", "\\"));
    EXPECT_EQ(m_app.Written(), Result(-5000));
    EXPECT_TRUE(fs::exists(Drive('C') / "plain.txt"));
}

TEST_F(HostChanges, MakeFolder)
{
    WriteFile(Drive('C') / "file", "f");
    OpenSession();
    const struct {
        const char* pszName;
        const char* pszDir;
        std::int16_t nResult;
    } cases[] = {{"New", "\\", 0}, {"New", "\\", -48}, {"NEW", "\\", -48}, {"file", "\\", -48}, {"x", "\\missing\\", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        Send(NamesRequestOnVolume(0x88, 3, c.pszName, c.pszDir));
        EXPECT_EQ(m_app.TakeWritten(), Result(c.nResult));
    }
    EXPECT_TRUE(fs::is_directory(Drive('C') / "New"));
}

TEST_F(HostChanges, PathsComeFromEachRequestsOwnVolume)
{
    AddDrive('D', 2);
    fs::create_directories(Drive('C') / "Desktop");
    OVF_SetDesktopFolder((Drive('C') / "Desktop").c_str());
    OpenSession();
    Send(ListFilesRequest(0, "\\")); // a desktop listing changes nothing for later requests
    m_app.TakeWritten();
    Send(NamesRequestOnVolume(0x88, 4, "OnD", "\\"));
    Send(NamesRequestOnVolume(0x88, 0, "OnDesktop", "\\"));
    EXPECT_EQ(m_app.TakeWritten(), Concat({Result(0), Result(0)}));
    EXPECT_TRUE(fs::is_directory(Drive('D') / "OnD"));
    EXPECT_TRUE(fs::is_directory(Drive('C') / "Desktop" / "OnDesktop"));
}
