// The journal of upload temporaries: a private folder of this user, entries written and read
// without following links, and no journal at all where the user has no state folder.
#include "FsFixture.h"

#include "OVFUploads.h"
#include "OVFile32.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

using namespace fs_test;

namespace {

class UploadJournal : public TDriveFixture {
protected:
    void SetUp() override
    {
        TDriveFixture::SetUp();
        for (const char* pszName : {"HOME", "XDG_STATE_HOME"}) {
            const char* pszValue = std::getenv(pszName);
            m_saved.emplace_back(pszName, pszValue ? std::optional<std::string>(pszValue) : std::nullopt);
        }
        OVF_SetUploadJournalFolder(nullptr);
    }
    void TearDown() override
    {
        for (const auto& [strName, value] : m_saved) {
            if (value)
                setenv(strName.c_str(), value->c_str(), 1);
            else
                unsetenv(strName.c_str());
        }
        OVF_SetUploadJournalFolder(nullptr);
        TDriveFixture::TearDown();
    }
    // Opens a temporary for C:\f.bin and discards it; its folder is noted in the journal.
    static void OneUpload()
    {
        std::string strToken;
        DWORD nError = 0;
        const DWORD h = OVF_OpenUploadTemp("C:\\f.bin", &strToken, &nError);
        ASSERT_NE(h, kOVF_invalid);
        Close32(h, &nError);
        OVF_DiscardUploadTemp(strToken);
    }

    static std::vector<std::string> Entries(const stdfs::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : stdfs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

} // namespace

TEST_F(UploadJournal, TheFolderIsPrivateAndOwnedOrRefused)
{
    setenv("XDG_STATE_HOME", (m_base / "state").c_str(), 1);
    const stdfs::path folder = m_base / "state" / "vantry" / "uploads";
    EXPECT_EQ(OVF_CheckUploadJournal(), "");
    struct stat st {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, geteuid());

    // A folder others may write is made private; a link in its place is refused.
    chmod(folder.c_str(), 0777);
    EXPECT_EQ(OVF_CheckUploadJournal(), "");
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    stdfs::remove(folder);
    stdfs::create_directories(m_base / "elsewhere");
    stdfs::create_directory_symlink(m_base / "elsewhere", folder);
    EXPECT_NE(OVF_CheckUploadJournal().find(folder.string()), std::string::npos);
    OneUpload();
    EXPECT_TRUE(stdfs::is_empty(m_base / "elsewhere")) << "nothing is written through the link";
}

TEST_F(UploadJournal, AnEntryReplacedByALinkIsNotFollowed)
{
    const stdfs::path folder = m_base / "journal";
    OVF_SetUploadJournalFolder(folder.c_str());
    ASSERT_EQ(OVF_CheckUploadJournal(), "");
    WritePosixFile(m_base / "target.txt", "target");
    stdfs::create_symlink(m_base / "target.txt", folder / std::to_string(getpid()));
    OneUpload();
    EXPECT_EQ(ReadPosixFile(m_base / "target.txt"), "target");
}

TEST_F(UploadJournal, WithoutAStateFolderThereIsNoJournal)
{
    unsetenv("HOME");
    unsetenv("XDG_STATE_HOME");
    EXPECT_NE(OVF_CheckUploadJournal().find("neither HOME nor XDG_STATE_HOME"), std::string::npos);
    OneUpload(); // still works, with nothing noted anywhere
    EXPECT_EQ(OVF_RemoveUploadLeftovers(), 0);
}

TEST_F(UploadJournal, AnEmptyFileForAnUploadIsMadeOnlyWhereNothingAnswersToTheName)
{
    WritePosixFile(m_drive / "Report.txt", "kept");
    WritePosixFile(m_drive / "A Long Name Indeed.txt", "kept");
    WritePosixFile(m_base / "target.txt", "target");
    stdfs::create_symlink(m_base / "target.txt", m_drive / "link.txt");
    char szAlias[MAX_PATH] = {};
    ASSERT_GT(GetShortPathName32("C:\\A Long Name Indeed.txt", szAlias, sizeof szAlias), 0u);
    const struct {
        const char* pszPath;
        int nError; // 0: made
    } cases[] = {
        {"C:\\new.txt", 0},
        {"C:\\Report.txt", EEXIST},
        {"C:\\REPORT.TXT", EEXIST},       // another case
        {szAlias, EEXIST},                // its short alias
        {"C:\\new.txt", EEXIST},          // made a moment ago
        {"C:\\link.txt", ELOOP},          // a link is neither followed nor taken for a free name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszPath);
        OVFFileIdentity identity;
        DWORD nError = 0;
        EXPECT_EQ(OVF_CreatePlaceholder(c.pszPath, &identity, &nError) != FALSE, c.nError == 0);
        EXPECT_EQ(static_cast<int>(nError), c.nError);
    }
    EXPECT_EQ(ReadPosixFile(m_drive / "Report.txt"), "kept");
    EXPECT_EQ(ReadPosixFile(m_drive / "A Long Name Indeed.txt"), "kept");
    EXPECT_EQ(ReadPosixFile(m_base / "target.txt"), "target");
    EXPECT_EQ(Entries(m_drive), (std::vector<std::string>{"A Long Name Indeed.txt", "Report.txt", "link.txt", "new.txt"}));
}

TEST_F(UploadJournal, WhatADeadProcessLeftGoesUnlessItWasTakenChangedOrComplete)
{
    const stdfs::path folder = m_base / "journal";
    OVF_SetUploadJournalFolder(folder.c_str());
    ASSERT_EQ(OVF_CheckUploadJournal(), "");
    ASSERT_EQ(mkdir32("C:\\sub"), 0);
    const auto create = [](const char* pszPath) {
        OVFFileIdentity identity;
        DWORD nError = 0;
        EXPECT_TRUE(OVF_CreatePlaceholder(pszPath, &identity, &nError)) << pszPath;
        return identity;
    };
    create("C:\\abandoned.txt");
    create("C:\\sub\\abandoned.txt");
    const OVFFileIdentity taken = create("C:\\taken.txt");
    OVF_SettlePlaceholder(create("C:\\empty upload.txt"));
    create("C:\\written by another.txt");
    std::string strToken;
    DWORD nError = 0;
    const DWORD h = OVF_OpenUploadTemp("C:\\taken.txt", &strToken, &nError);
    ASSERT_NE(h, kOVF_invalid);
    ASSERT_EQ(Write32(h, "data", 4, &nError), 4u);
    ASSERT_TRUE(Close32(h, &nError));
    ASSERT_TRUE(OVF_CommitUploadTemp(strToken, "C:\\taken.txt", &nError, &taken));
    std::ofstream(m_drive / "written by another.txt", std::ios::app) << "theirs";
    // Folders that held copies until they were moved into place: one empty, one holding what
    // arrived complete.
    const stdfs::path staging = stdfs::canonical(m_base) / "staging";
    for (const char* pszName : {"empty", "holding"}) {
        stdfs::create_directories(staging / pszName);
        OVF_NoteStagingFolder((staging / pszName).c_str());
    }
    WritePosixFile(staging / "holding" / "arrived.txt", "complete");

    // The process dies: its journal entry now names one that is gone.
    OVF_CloseUploadJournal();
    const pid_t nDead = fork();
    if (nDead == 0)
        _exit(0);
    ASSERT_GT(nDead, 0);
    waitpid(nDead, nullptr, 0);
    stdfs::rename(folder / std::to_string(getpid()), folder / std::to_string(nDead));

    std::vector<std::string> removed;
    EXPECT_EQ(OVF_RemoveUploadLeftovers(&removed), 3);
    std::sort(removed.begin(), removed.end());
    const stdfs::path drive = stdfs::canonical(m_drive);
    std::vector<std::string> expected{drive / "abandoned.txt", drive / "sub" / "abandoned.txt", staging / "empty"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(removed, expected) << "each removed item is named";
    EXPECT_EQ(ReadPosixFile(staging / "holding" / "arrived.txt"), "complete");
    EXPECT_EQ(Entries(m_drive), (std::vector<std::string>{"empty upload.txt", "sub", "taken.txt", "written by another.txt"}));
    EXPECT_TRUE(stdfs::is_empty(m_drive / "sub"));
    EXPECT_EQ(ReadPosixFile(m_drive / "taken.txt"), "data");
    EXPECT_EQ(ReadPosixFile(m_drive / "written by another.txt"), "theirs");
}
