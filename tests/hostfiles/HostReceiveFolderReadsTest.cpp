// Receiving files into a large folder reads the folder once, not once per file: the host's own
// creates, temporaries and renames keep the folder's index current, whatever the kind of names.
#include "FolderNameKinds.h"
#include "HostFilesFixture.h"

#include "OVFTesting.h"

using HostReceiveFolderReads = THostFilesFixture;

TEST_F(HostReceiveFolderReads, ReceivedFilesDoNotMakeTheHostReadTheFolderAgain)
{
    constexpr unsigned kPresent = 600;
    constexpr unsigned kReceived = 200;
    OpenSession(9);
    for (std::size_t nKind = 0; nKind < name_kinds::Kinds().size(); ++nKind) {
        const name_kinds::TNameKind& kind = name_kinds::Kinds()[nKind];
        SCOPED_TRACE(kind.pszKind);
        const std::string strFolder = "k" + std::to_string(nKind);
        for (unsigned i = 0; i < kPresent; ++i)
            WriteFile(Drive('C') / strFolder / kind.Name(2 * i), "");
        const std::string strDir = "\\" + strFolder + "\\";

        // Received in descending order, so that new names also come before present ones.
        const std::uint64_t nReadsBefore = OVF_GetIndexStats().nBuilds;
        for (unsigned i = 2 * kReceived; i-- > 0;) {
            if (i % 2 == 0)
                continue;
            const std::string name = kind.Name(i);
            Send(Concat({NamesRequestOnVolume(0x8B, 3, name, strDir), NamesRequestOnVolume(0x8D, 3, name, strDir),
                         ForkDataPacket("data " + name), Bytes{0x96}}));
            ASSERT_EQ(m_app.TakeWritten(), Concat({Result(0), Result(0)})) << name;
        }
        // The first reading, and one more where it came within a tick of the files written above.
        EXPECT_LE(OVF_GetIndexStats().nBuilds - nReadsBefore, 2u);
        EXPECT_EQ(ReadFile(Drive('C') / strFolder / kind.Name(1)), "data " + kind.Name(1));
        EXPECT_EQ(Entries(Drive('C') / strFolder).size(), kPresent + kReceived) << "no temporary left";
    }
    EXPECT_FALSE(StopRequested());
}
