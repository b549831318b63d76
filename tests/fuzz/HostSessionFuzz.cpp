// The host session after an accepted open, fed any bytes as the guest's requests (seeded with
// request sequences of the host tests). The first byte picks the protocol version, the name
// mode, the privileges, how the bytes are split and whether the session pipelines; every run serves a fresh temporary share
// holding a file and a folder, beside a folder no request may reach. Stops on a crash, a broken
// table rule, a buffer or stream left over, or any change outside the share.
#include "FuzzFixture.h"
#include "HostFilesFixture.h"
#include "OpenBlocks.h"

#include <cstddef>
#include <cstdint>

namespace {
constexpr std::uint16_t kVersions[] = {5, 7, 9};
constexpr std::uint16_t kPrivileges[] = {kPrivilegeAll,
                                         PrivilegeMask(kPrivilegeBitRead) | PrivilegeMask(kPrivilegeBitWrite),
                                         PrivilegeMask(kPrivilegeBitRead), 0};
constexpr std::size_t kSplits[] = {4096, 1, 3, 600};

// The first byte: version (bits 0-1), OEM names (bit 2), privileges (bits 3-4), split (bits 5-6),
// pipelining (bit 7).
constexpr std::uint8_t kConfigs[] = {2, 0 | 4, 1, 2 | 8 | 0x20, 2 | 4 | 0x10, 2 | 0x80, 2 | 0x40 | 0x80};

TSeeds MakeSeeds()
{
    const Bytes kEnd{0x96};
    const std::vector<Bytes> sequences = {
        {0x94},
        Concat({ListFilesRequest(3, "\\"), ListFilesRequest(3, "\\Folder\\")}),
        Concat({NamesRequestOnVolume(0x90, 3, "Report.txt", "\\"), NamesRequestOnVolume(0x8E, 3, "Report.txt", "\\")}),
        Concat({NamesRequestOnVolume(0x8E, 3, "Inner.dat", "\\Folder\\"), {0x95}, {0x84}}),
        Concat({NamesRequestOnVolume(0x8B, 3, "New.txt", "\\"), SetInfoRequest("New.txt", 0xB0000000),
                NamesRequestOnVolume(0x8D, 3, "New.txt", "\\"), ForkDataPacket("new data"), kEnd}),
        Concat({NamesRequestOnVolume(0x8D, 3, "A.BIN", "\\"), ForkDataPacket("a"),
                NamesRequestOnVolume(0x8D, 3, "B.BIN", "\\"), ForkDataPacket("b"), kEnd}),
        Concat({NamesRequestOnVolume(0x8B, 3, "REPORT", "\\"), SetInfoRequest("REPORT", 0xB0000000),
                NamesRequestOnVolume(0x8D, 3, "REPORT", "\\"), ForkDataPacket("x"), kEnd}),
        Concat({NamesRequestOnVolume(0x8A, 3, "Report.txt", "\\"), NamesRequestOnVolume(0x88, 3, "New Folder", "\\"),
                NamesRequestOnVolume(0x8A, 3, "Folder", "\\")}),
        Concat({NamesRequestOnVolume(0x8E, 3, "Inner.dat", "\\Folder\\"), NamesRequestOnVolume(0x90, 3, "Report.txt", "\\"),
                {0x95}, NamesRequestOnVolume(0x8B, 3, "A.TXT", "\\"), NamesRequestOnVolume(0x8B, 3, "B.TXT", "\\"),
                SetInfoRequest("A.TXT", 0xB0000000), NamesRequestOnVolume(0x8D, 3, "A.TXT", "\\"), ForkDataPacket("a"),
                kEnd, {0x95}}),
        Concat({{0x87, 0x10, 0x00},
                {0x85, 1, 0, 0, 0, 0, 0, 0},
                NamesRequestOnVolume(0x8E, 3, "..\\..\\secret.txt", "\\")}),
    };
    TSeeds seeds;
    for (const Bytes& sequence : sequences)
        for (const std::uint8_t nConfig : kConfigs) {
            seeds.push_back({nConfig});
            seeds.back().insert(seeds.back().end(), sequence.begin(), sequence.end());
        }
    return seeds;
}

class THostRun : public TFuzzRun<THostFilesFixture> {
public:
    void Populate()
    {
        WriteFile(Drive('C') / "Report.txt", "twelve bytes");
        WriteFile(Drive('C') / "Folder" / "Inner.dat", std::string(5000, 'x'));
        WriteFile(m_root / "outside" / "secret.txt", "secret");
    }
    // Only the share, the upload journal and the untouched outside folder may be there.
    bool OutsideUntouched() const
    {
        std::vector<std::string> names = Entries(m_root);
        std::erase(names, "journal");
        return names == std::vector<std::string>{"C", "outside"} &&
               Entries(m_root / "outside") == std::vector<std::string>{"secret.txt"} &&
               ReadFile(m_root / "outside" / "secret.txt") == "secret";
    }
    void Run(const Bytes& requests, std::uint8_t nConfig)
    {
        OpenSession(kVersions[(nConfig & 3) % 3], (nConfig & 0x04) != 0, kPrivileges[(nConfig >> 3) & 3]);
        m_pSession->SetPipelining((nConfig & 0x80) != 0);
        Send(requests, kSplits[(nConfig >> 5) & 3]);
        AnswerStops();
    }
};
} // namespace

VANTRY_FUZZ_SEEDS(MakeSeeds)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    if (nSize < 1)
        return 0;
    {
        THostRun run;
        run.Populate();
        run.Run(Bytes(pData + 1, pData + nSize), pData[0]);
        if (!run.OutsideUntouched()) {
            std::fprintf(stderr, "a request changed something outside the share\n");
            std::abort();
        }
    }
    AbortOnAssertionFailures();
    return 0;
}
