#include "HostFilesFixture.h"

#include "LFN.h"
#include "OVFDrives.h"

#include <sys/xattr.h>

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

TEST_F(HostChanges, RemoveWithAnEmptyNameRemovesNothing)
{
    WriteFile(Drive('C') / "sub" / "f.txt", "f");
    OpenSession();
    for (const char* pszDir : {"\\", "\\sub\\"}) {
        SCOPED_TRACE(pszDir);
        Send(NamesRequestOnVolume(0x8A, 3, "", pszDir));
        EXPECT_EQ(m_app.TakeWritten(), Result(2));
        EXPECT_EQ(ReadFile(Drive('C') / "sub" / "f.txt"), "f");
    }
}

// Another name of a file outside the share is only a name: removing it, or replacing it with an
// upload, leaves the file itself as it was.
TEST_F(HostChanges, RemovingANameLeavesTheFileItNamesAlone)
{
    const fs::path outside = m_root / "outside.txt";
    const auto prepare = [&] {
        WriteFile(outside, "outside");
        fs::permissions(outside, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::create_directories(Drive('C') / "dir");
        fs::create_hard_link(outside, Drive('C') / "dir" / "link.txt");
        fs::create_hard_link(outside, Drive('C') / "link.txt");
    };
    const struct {
        Bytes request;
        const char* pszGone; // the name the request takes away
    } cases[] = {
        {NamesRequestOnVolume(0x8A, 3, "dir", "\\"), "dir"},
        {Concat({NamesRequestOnVolume(0x8D, 3, "link.txt", "\\"), ForkDataPacket("new"), {0x96}}), nullptr},
    };
    for (const auto& c : cases) {
        ClearDrive('C');
        fs::remove(outside);
        prepare();
        Restart();
        OpenSession();
        Send(c.request);
        EXPECT_EQ(m_app.TakeWritten(), Result(0));
        EXPECT_EQ(fs::status(outside).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        EXPECT_EQ(getxattr(outside.c_str(), "user.DOSATTRIB", nullptr, 0), -1) << "no attribute record";
        EXPECT_EQ(ReadFile(outside), "outside");
        if (c.pszGone) {
            EXPECT_FALSE(fs::exists(Drive('C') / c.pszGone));
        } else {
            EXPECT_EQ(ReadFile(Drive('C') / "link.txt"), "new");
        }
    }
}
