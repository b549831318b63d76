// Downloading files into a large local folder reads the folder once, not once per file: the
// check for an earlier file, the temporary and its rename keep the folder's index current,
// whatever the kind of names.
#include "CopyEngineFixture.h"
#include "FolderNameKinds.h"

#include "LFN.h"
#include "LocalCopyFiles.h"
#include "OVFTesting.h"

class TReceivedFileFolderReadsTest : public TCopyEngineTest {};

TEST_F(TReceivedFileFolderReadsTest, ReceivedFilesDoNotMakeTheGuestReadTheFolderAgain)
{
    constexpr unsigned kPresent = 600;
    constexpr unsigned kReceived = 200;
    for (std::size_t nKind = 0; nKind < name_kinds::Kinds().size(); ++nKind) {
        const name_kinds::TNameKind& kind = name_kinds::Kinds()[nKind];
        SCOPED_TRACE(kind.pszKind);
        const std::string sFolder = "k" + std::to_string(nKind);
        for (unsigned i = 0; i < kPresent; ++i)
            WriteLocal(sFolder + "/" + kind.Name(2 * i), "");

        // Received in descending order, so that new names also come before present ones.
        const std::uint64_t nReadsBefore = OVF_GetIndexStats().nBuilds;
        for (unsigned i = 2 * kReceived; i-- > 0;) {
            if (i % 2 == 0)
                continue;
            const std::string sPath = "C:\\" + sFolder + "\\" + kind.Name(i);
            ASSERT_FALSE(LFN_FileExists(sPath.c_str())) << sPath;
            TReceivedFile file;
            ASSERT_TRUE(file.Open(sPath, false));
            file.Write("data", 4);
            EXPECT_TRUE(file.Stamp(0xB0000000, 0x20));
            ASSERT_EQ(file.Commit(), TReceivedFile::ECommit::Done);
        }
        // The first reading, and one more where it came within a tick of the files written above.
        EXPECT_LE(OVF_GetIndexStats().nBuilds - nReadsBefore, 2u);
        EXPECT_EQ(ReadLocal(sFolder + "/" + kind.Name(1)), "data");
        EXPECT_EQ(LocalNames(sFolder).size(), kPresent + kReceived) << "no temporary left";
    }
}
