// The remote pane's requests and the replies that fill the volume table and the remote listing;
// remote remove and the new remote folder.
#include "GuestSessionFixture.h"

#include "StringTable.h"

#include <cstring>

namespace {
std::vector<std::string> EntryNames(TVantryGuestSession& session)
{
    std::vector<std::string> names;
    TRemoteListing& listing = session.RemoteListing();
    HList& levels = listing.Levels();
    HListBegin(&levels);
    HList& entries = HListAt<TRemoteLevel>(&levels, listing.CurrentLevel())->entries;
    HListBegin(&entries);
    for (std::uint32_t i = 0; i < entries.count; ++i)
        names.emplace_back(RemoteEntryName(*HListAt<TRemoteEntry>(&entries, i)));
    HListEnd(&entries);
    HListEnd(&levels);
    return names;
}

TRemoteEntry EntryAt(TVantryGuestSession& session, std::uint32_t nIndex)
{
    TRemoteListing& listing = session.RemoteListing();
    HList& levels = listing.Levels();
    HListBegin(&levels);
    HList& entries = HListAt<TRemoteLevel>(&levels, listing.CurrentLevel())->entries;
    HListBegin(&entries);
    const TRemoteEntry entry = *HListAt<TRemoteEntry>(&entries, nIndex);
    HListEnd(&entries);
    HListEnd(&levels);
    return entry;
}
} // namespace

class TRemoteBrowseTest : public TGuestSessionTest {
protected:
    void OpenAt(std::uint16_t nVersion, const std::string& sFolder)
    {
        sRemoteFolder = sFolder;
        ASSERT_EQ(Open({nVersion, 0xE0, 1, 0}), 0);
        app.Run();
        app.TakeWritten();
    }
    // Lists the volumes then the folder, and answers the folder's listing with the given entries.
    void ListWith(bool bLong, const Bytes& entries)
    {
        bool bDone = false;
        Session().ListRemoteVolumes([&bDone] { bDone = true; });
        app.Run();
        EXPECT_EQ(app.TakeWritten(), Bytes{0x94});
        Reply(Concat({AVolReply(0, 0, "Desktop", bLong), AVolReply(3, 0x02, "c: (System)", bLong),
                      AVolReply(4, 0x01, "d: (Net)", bLong), Bytes{0x96}}));
        listFilesRequest = app.TakeWritten();
        Reply(Concat({entries, Bytes{0x96}}));
        EXPECT_TRUE(bDone);
    }
    Bytes listFilesRequest;
};

TEST_F(TRemoteBrowseTest, VersionNineListsVolumesThenTheFolderWithTimes)
{
    OpenAt(9, "c:\\Work\\Docs");
    ListWith(true, Concat({AFileReply(false, 5000, 0x21, "A rather long report name.txt", true, 0xB0000000),
                           AFileReply(true, 0, 0x30, "Sub", true, 0xB0000001)}));
    ASSERT_EQ(Session().RemoteVolumes().size(), 3u);
    EXPECT_EQ(Session().RemoteVolumes()[1].sName, "c: (System)");
    EXPECT_EQ(Session().CurrentVolumeIndex(), 1);
    const Bytes expected = Concat({Bytes{0x92, 3, 0, 0x80, 0, 0, 0, 11}, Bytes{'\\', 'W', 'o', 'r', 'k', '\\', 'D', 'o', 'c', 's', '\\'}});
    EXPECT_EQ(listFilesRequest, expected);
    EXPECT_EQ(EntryNames(Session()), (std::vector<std::string>{"A rather long report name.txt", "Sub"}));
    const TRemoteEntry file = EntryAt(Session(), 0);
    EXPECT_EQ(file.dwSize, 5000u);
    EXPECT_EQ(file.dwModTime, 0xB0000000u);
    EXPECT_EQ(file.wAttributes, 0x21);
    EXPECT_EQ(EntryAt(Session(), 1).dwFolder, 1u);
    EXPECT_EQ(Session().RepliesAwaited(), 0u);
    EXPECT_EQ(Session().ListedRemotePath(), "c:\\Work\\Docs");
    EXPECT_TRUE(app.ReadPending());
    // The levels lead from the volume to the folder.
    EXPECT_EQ(Session().RemoteListing().LevelCount(), 3u);
    EXPECT_EQ(Session().RemoteListing().CurrentLevel(), 2u);
}

// The field beside a file record's size carries the size's high word only where the handshake
// agreed on large sizes; otherwise it is not read.
TEST_F(TRemoteBrowseTest, HighWordOfASizeIsReadOnlyWithLargeSizes)
{
    for (bool bLarge : {false, true}) {
        SCOPED_TRACE(bLarge ? "large sizes" : "32-bit sizes");
        sRemoteFolder = "c:\\";
        THostAnswer hostAnswer;
        hostAnswer.bLargeSizes = bLarge;
        ASSERT_EQ(Open(hostAnswer), 0);
        app.Run();
        app.TakeWritten();
        Bytes big = AFileReply(false, 0x40000000, 0x20, "five.bin", true, 0xB0000000);
        big[1 + Packet::AFile::kSizeHigh + 3] = 1; // 5 GiB
        ListWith(true, big);
        EXPECT_EQ(RemoteEntrySize(EntryAt(Session(), 0)), bLarge ? 5ull << 30 : 0x40000000ull);
        std::uint64_t nBytes = 0;
        ZULGetSelectedRemoteFileInfo(Session().RemoteListing(), "five.bin", &nBytes);
        EXPECT_EQ(nBytes, bLarge ? 5ull << 30 : 0x40000000ull);
        CloseGuestServiceSession(CurrentGuestSession());
        m_pSession = nullptr;
        app.Reset();
    }
}

TEST_F(TRemoteBrowseTest, VersionSevenReadsShortRecordsAndGivesShortNameLimits)
{
    OpenAt(7, "d:\\");
    ListWith(false, AFileReply(false, 12, 0x20, "README.TXT", false));
    EXPECT_EQ(listFilesRequest, (Bytes{0x92, 4, 0, 0x80, 0, 0, 0, 1, '\\'}));
    EXPECT_EQ(EntryNames(Session()), std::vector<std::string>{"README.TXT"});
    EXPECT_STREQ(EntryAt(Session(), 0).szShortName, "README.TXT");
    EXPECT_EQ(EntryAt(Session(), 0).dwModTime, 0u);
    const TRemoteNameLimits limits = RemoteNameLimits(Session().RemoteVolumes()[2].record);
    EXPECT_EQ(limits.nFileSystem, 0);
    EXPECT_EQ(limits.nMaxTotal, 12);
    EXPECT_EQ(limits.nMaxBase, 8);
    EXPECT_EQ(limits.nMaxExtension, 4);
    EXPECT_EQ(RemoteVolumeFreeSpace(Session().RemoteVolumes()[2].record), 0xFFFFFFFFu);
}

TEST_F(TRemoteBrowseTest, DesktopFolderIsNamedWithoutItsPrefix)
{
    OpenAt(9, "Desktop\\Notes");
    ListWith(true, {});
    EXPECT_EQ(listFilesRequest, (Bytes{0x92, 0, 0, 0x80, 0, 0, 0, 7, '\\', 'N', 'o', 't', 'e', 's', '\\'}));
}

TEST_F(TRemoteBrowseTest, EmptyVolumeListWaitsForAdmissionAndAsksAgain)
{
    OpenAt(9, "");
    bool bDone = false;
    Session().ListRemoteVolumes([&bDone] { bDone = true; });
    app.Run();
    app.TakeWritten();
    Reply({0x96});
    EXPECT_EQ(Window().nAdmitWaitShown, 1);
    EXPECT_EQ(app.TakeWritten(), Bytes{0x94});
    Reply({0x96});
    EXPECT_EQ(Window().nAdmitWaitShown, 1);
    Reply(Concat({AVolReply(3, 0x02, "c:", true), Bytes{0x96}}));
    EXPECT_TRUE(bDone);
    EXPECT_EQ(Session().RemoteVolumes().size(), 1u);
}

TEST_F(TRemoteBrowseTest, DriveNotReadyShowsTheNoticeAndGoesBack)
{
    OpenAt(9, "d:\\");
    ListWith(true, Bytes{0x85});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].sText, "Unable to read from this disk drive");
    EXPECT_EQ(boxes[0].sCaption, "Orvalis Pro");
    EXPECT_EQ(boxes[0].nStyle, 0x2010u);
    EXPECT_EQ(Window().nDriveRestored, 1);
}

TEST_F(TRemoteBrowseTest, UnknownVolumeIsNotAsked)
{
    OpenAt(9, "q:\\");
    bool bDone = false;
    Session().ListRemoteVolumes([&bDone] { bDone = true; });
    app.Run();
    app.TakeWritten();
    Reply(Concat({AVolReply(3, 0x02, "c:", true), Bytes{0x96}}));
    EXPECT_TRUE(bDone);
    EXPECT_TRUE(app.Written().empty());
    EXPECT_EQ(Session().m_nPaneResult, kFTP_resNotFound);
}

TEST_F(TRemoteBrowseTest, FailureAtEachStepOfAListingStopsTheSession)
{
    const Bytes conversation =
        Concat({AVolReply(3, 0x02, "c:", true), Bytes{0x96}, AFileReply(false, 1, 0x20, "x", true, 5), Bytes{0x96}});
    for (std::size_t nStep = 0; nStep < conversation.size(); ++nStep) {
        SCOPED_TRACE(nStep);
        TGuestSessionTest::TearDown();
        TGuestSessionTest::SetUp();
        OpenAt(9, "c:\\");
        Session().ListRemoteVolumes(nullptr);
        app.Run();
        app.FeedInPieces(Bytes(conversation.begin(), conversation.begin() + static_cast<std::ptrdiff_t>(nStep)), 1);
        if (!app.ReadPending())
            continue; // this byte is the last of a message part already read whole
        app.FailNextReadCompletion(-9);
        app.Run();
        EXPECT_TRUE(Session().Stopping());
        EXPECT_NE(Session().StopReason(), 0);
        CloseAsHostApp();
    }
}

class TRemoteChangeTest : public TRemoteBrowseTest {
protected:
    void SetUp() override
    {
        TRemoteBrowseTest::SetUp();
        OpenAt(9, "c:\\Work");
        ListWith(true, {});
        app.TakeWritten();
    }
    static Bytes RemoveRequest(const std::string& sName)
    {
        Bytes b{0x8A, 3, 0, 0x80, 0, 0, 0, static_cast<std::uint8_t>(sName.size())};
        b.insert(b.end(), sName.begin(), sName.end());
        const std::string sDir = "\\Work\\";
        b.push_back(static_cast<std::uint8_t>(sDir.size()));
        b.insert(b.end(), sDir.begin(), sDir.end());
        return b;
    }
};

TEST_F(TRemoteChangeTest, RemoveReportsOnlyRealFailuresBeforeGoingOn)
{
    Session().StartRemoteRemove({{"one.txt", 0}, {"two", 1}, {"three.txt", 0}});
    app.Run();
    EXPECT_EQ(app.TakeWritten(), RemoveRequest("one.txt"));
    EXPECT_EQ(Session().RepliesAwaited(), 1u);
    Reply(ResultReply(1)); // not found: no message
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(app.TakeWritten(), RemoveRequest("two"));
    Reply(ResultReply(3));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].sText, "An error occurred removing file two.");
    EXPECT_EQ(app.TakeWritten(), RemoveRequest("three.txt"));
    EXPECT_EQ(Window().nRemovesDone, 0);
    Reply(ResultReply(0));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(Window().nRemovesDone, 1);
    EXPECT_EQ(Session().RepliesAwaited(), 0u);
    EXPECT_TRUE(app.ReadPending());
}

TEST_F(TRemoteChangeTest, NewFolderReportsANameInUse)
{
    struct TCase {
        std::int16_t nResult;
        bool bMade;
    };
    for (const TCase& c : {TCase{0, true}, TCase{-48, false}, TCase{1, false}}) {
        SCOPED_TRACE(c.nResult);
        boxes.clear();
        Window().newFolders.clear();
        Session().CreateRemoteFolder("New Folder");
        app.Run();
        const std::string sName = "New Folder";
        Bytes expected{0x88, 3, 0, 0x80, 0, 0, 0, static_cast<std::uint8_t>(sName.size())};
        expected.insert(expected.end(), sName.begin(), sName.end());
        const Bytes dir{6, '\\', 'W', 'o', 'r', 'k', '\\'};
        expected.insert(expected.end(), dir.begin(), dir.end());
        EXPECT_EQ(app.TakeWritten(), expected);
        Reply(ResultReply(c.nResult));
        EXPECT_EQ(Window().newFolders, std::vector<bool>{c.bMade});
        if (c.bMade) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].sText, "Unable to create the folder New Folder.");
        }
        EXPECT_FALSE(Window().bWaitCursor);
        EXPECT_EQ(Session().RepliesAwaited(), 0u);
        EXPECT_TRUE(app.ReadPending());
    }
}
