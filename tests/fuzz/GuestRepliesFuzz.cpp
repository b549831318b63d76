// The guest session reading any bytes as a host's answers: to a listing of the volumes (and of
// the folder the window shows), to the download of a file or a folder, and to the upload of a
// file or a folder. The first byte picks the case, the agreed protocol version and the host's
// path mode; the rest arrives byte by byte. Stops on a crash, a broken table rule, or a change
// to the upload's local sources.
#include "CopyEngineFixture.h"
#include "FuzzFixture.h"

#include <cstddef>
#include <cstdint>

namespace {
enum class ECase { ListVolumes, DownloadFile, DownloadFolder, UploadFile, UploadFolder, Count };
constexpr std::uint16_t kVersions[] = {5, 7, 9};

// The first byte: case (bits 0-2), version (bits 3-4), path mode (bit 5).
TSeeds MakeSeeds()
{
    const Bytes kEnd{CodeByte(kFTP_msgEndData)};
    TSeeds seeds;
    for (const std::uint8_t nVersionBits : {0x00, 0x08, 0x10}) {
        const bool bLong = nVersionBits == 0x10;
        const Bytes relisting = Concat({AFileReply(false, 10, 0x20, "Report.dat", bLong), kEnd});
        const std::vector<std::pair<ECase, Bytes>> cases = {
            {ECase::ListVolumes,
             Concat({AVolReply(3, 0x02, "c: (System)", bLong), AVolReply(4, 0x00, "d: (Data)", bLong), kEnd,
                     AFileReply(true, 0, 0x10, "Sub", bLong), relisting})},
            {ECase::DownloadFile, Concat({FileInfoReply({0, 10, "TEXT", false, 0xB0000000, 0x21}),
                                          ForkDataReplies("0123456789", 4), kEnd, relisting})},
            {ECase::DownloadFile, Concat({FileInfoReply({-43}), ResultReply(-43), relisting})},
            {ECase::DownloadFolder,
             Concat({FileInfoReply({0, 0, "????", true}), AFileReply(false, 3, 0x20, "a.txt", bLong), kEnd,
                     FileInfoReply({0, 3}), ForkDataReplies("abc"), kEnd, relisting})},
            {ECase::UploadFile,
             Concat({ResultReply(0), ResultReply(0), ResultReply(0), FileInfoReply({0, 10}), relisting})},
            {ECase::UploadFile, Concat({ResultReply(-48), ResultReply(-5000), relisting})},
            {ECase::UploadFolder, Concat({ResultReply(0), ResultReply(0), ResultReply(0), ResultReply(0),
                                          ResultReply(0), FileInfoReply({0, 3000}), relisting})},
        };
        for (const auto& [eCase, replies] : cases)
            for (const std::uint8_t nPathMode : {0x00, 0x20}) {
                seeds.push_back({static_cast<std::uint8_t>(static_cast<int>(eCase) | nVersionBits | nPathMode)});
                seeds.back().insert(seeds.back().end(), replies.begin(), replies.end());
            }
    }
    return seeds;
}

class TGuestRun : public TFuzzRun<TCopyEngineTest> {
public:
    void Run(ECase eCase, const THostAnswer& hostAnswer, const Bytes& replies)
    {
        const bool bLong = hostAnswer.nVersion >= 9;
        WriteLocal("src/Notes.txt", "local data");
        WriteLocal("src/Tree/Inner/deep.bin", std::string(3000, 'd'));
        std::filesystem::create_directories(LocalPath("dest"));
        switch (eCase) {
        case ECase::ListVolumes:
            sRemoteFolder = "c:\\Src";
            if (Open(hostAnswer) != 0)
                return;
            app.Run();
            Session().ListRemoteVolumes(nullptr);
            app.Run();
            break;
        case ECase::DownloadFile:
        case ECase::DownloadFolder:
            OpenAt("c:\\Src",
                   Concat({AFileReply(false, 10, 0x20, "Report.dat", bLong), AFileReply(true, 0, 0x10, "Sub", bLong)}),
                   hostAnswer);
            Start(ECopySource::Remote,
                  {{eCase == ECase::DownloadFile ? "Report.dat" : "Sub", eCase == ECase::DownloadFolder}}, "c:\\Src",
                  "C:\\dest");
            break;
        default:
            OpenAt("c:\\Dst", {}, hostAnswer);
            Start(ECopySource::Local,
                  {{eCase == ECase::UploadFile ? "Notes.txt" : "Tree", eCase == ECase::UploadFolder}}, "C:\\src",
                  "c:\\Dst");
            break;
        }
        app.TakeWritten();
        Reply(replies);
    }
    // The upload's sources are as they were.
    bool SourcesUntouched() const
    {
        return ReadLocal("src/Notes.txt") == "local data" &&
               ReadLocal("src/Tree/Inner/deep.bin") == std::string(3000, 'd');
    }
};
} // namespace

VANTRY_FUZZ_SEEDS(MakeSeeds)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 1)
        return 0;
    const std::uint8_t nConfig = pData[0];
    THostAnswer hostAnswer;
    hostAnswer.nVersion = kVersions[((nConfig >> 3) & 3) % 3];
    hostAnswer.nPathMode = (nConfig >> 5) & 1;
    {
        TGuestRun run;
        run.Run(static_cast<ECase>((nConfig & 7) % static_cast<int>(ECase::Count)), hostAnswer,
                Bytes(pData + 1, pData + nSize));
        if (!run.SourcesUntouched()) {
            std::fprintf(stderr, "a host's answers changed the upload's sources\n");
            std::abort();
        }
    }
    AbortOnAssertionFailures();
    return 0;
}
