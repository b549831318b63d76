#include "HostFilesFixture.h"

#include "OVFDrives.h"
#include "OVFTesting.h"
#include "OVFUploads.h"
#include "PacketLayout.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <unistd.h>

void THostFilesFixture::SetUp()
{
    setenv("TZ", "UTC", 1);
    tzset();
    char szTemplate[] = "/tmp/vantry-hostfiles-XXXXXX";
    m_root = mkdtemp(szTemplate);
    OVF_ClearDrives();
    OVF_ClearFaults();
    OVF_SetUploadJournalFolder((m_root / "journal").c_str());
    AddDrive('C', static_cast<int>(OVFDriveKind::fixed), "System");
    THostSessionFixture::SetUp();
}

void THostFilesFixture::TearDown()
{
    THostSessionFixture::TearDown();
    OVF_ClearFaults();
    OVF_ClearDrives();
    std::error_code error;
    fs::remove_all(m_root, error);
}

void THostFilesFixture::AddDrive(char cLetter, int nKind, const char* pszLabel)
{
    fs::create_directories(Drive(cLetter));
    ASSERT_EQ(OVF_SetDrive(cLetter, Drive(cLetter).c_str(), static_cast<OVFDriveKind>(nKind), pszLabel), 0);
}

void THostFilesFixture::ClearDrive(char cLetter)
{
    for (const auto& entry : fs::directory_iterator(Drive(cLetter)))
        fs::remove_all(entry.path());
}

void THostFilesFixture::WriteFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string THostFilesFixture::ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> THostFilesFixture::Entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::size_t THostFilesFixture::OpenDescriptors()
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

std::vector<THostPacket> SplitHostPackets(const Bytes& bytes, std::uint16_t nVersion)
{
    using namespace Packet;
    std::vector<THostPacket> packets;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t nCode = bytes[i];
        std::size_t nLength = 1;
        switch (static_cast<std::int8_t>(nCode)) {
        case kFTP_msgResult: nLength = Result::kLength; break;
        case kFTP_msgFileInfo: nLength = FileInfo::kLength; break;
        case kFTP_msgForkData: nLength = ForkData::kHeader + ((bytes[i + 1] << 8) | bytes[i + 2]); break;
        case kFTP_msgAVol: {
            const std::size_t nName = 1 + (nVersion >= 9 ? AVol::kRecordLong : AVol::kRecordShort);
            nLength = nName + 1 + bytes[i + nName];
            break;
        }
        case kFTP_msgAFile: nLength = AFile::kName + 1 + bytes[i + AFile::kName] + (nVersion >= 9 ? 4 : 0); break;
        default: break;
        }
        EXPECT_LE(i + nLength, bytes.size()) << "packet cut short";
        nLength = std::min(nLength, bytes.size() - i);
        packets.push_back({nCode, Bytes(bytes.begin() + i + 1, bytes.begin() + i + nLength)});
        i += nLength;
    }
    return packets;
}

Bytes ListFilesRequest(std::uint16_t nVolume, const std::string& dir)
{
    Bytes bytes{0x92, static_cast<std::uint8_t>(nVolume), static_cast<std::uint8_t>(nVolume >> 8), 0x80, 0, 0, 0,
                static_cast<std::uint8_t>(dir.size())};
    bytes.insert(bytes.end(), dir.begin(), dir.end());
    return bytes;
}

Bytes NamesRequestOnVolume(std::uint8_t nCode, std::uint16_t nVolume, const std::string& name, const std::string& dir)
{
    const std::uint8_t lo = static_cast<std::uint8_t>(nVolume), hi = static_cast<std::uint8_t>(nVolume >> 8);
    switch (nCode) {
    case 0x8B: return NamesRequest(nCode, 14, name, dir, {0, 0, 0, 0, 0, 0, 0, 0, lo, hi, 0x80});
    case 0x8D:
    case 0x8E: return NamesRequest(nCode, 8, name, dir, {0, 0, lo, hi, 0x80});
    default: return NamesRequest(nCode, 6, name, dir, {lo, hi, 0x80});
    }
}

Bytes SetInfoRequest(const std::string& name, std::uint32_t nMacTime, std::uint8_t nAttributes, bool bLocked)
{
    Bytes block(52, 0);
    block[0] = bLocked ? 1 : 0;
    block[2] = nAttributes;
    std::memcpy(block.data() + 4, "TEXTttxt", 8);
    for (int i = 0; i < 4; ++i)
        block[16 + i] = static_cast<std::uint8_t>(nMacTime >> (24 - 8 * i));
    return NamesRequest(0x89, 52, name, "\\", block);
}

Bytes ForkDataPacket(const std::string& data)
{
    Bytes bytes{0x8C, static_cast<std::uint8_t>(data.size() >> 8), static_cast<std::uint8_t>(data.size())};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Result(std::int16_t nValue)
{
    return {0x97, static_cast<std::uint8_t>(static_cast<std::uint16_t>(nValue) >> 8), static_cast<std::uint8_t>(nValue)};
}

std::string AsString(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}
