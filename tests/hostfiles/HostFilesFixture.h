// A host session serving temporary folders as drives.
#pragma once

#include "HostSessionFixture.h"

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

class THostFilesFixture : public THostSessionFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A drive's folder: C is set up by SetUp; others on demand.
    fs::path Drive(char cLetter) const { return m_root / std::string(1, cLetter); }
    void AddDrive(char cLetter, int nKind, const char* pszLabel = "");
    // Empties a drive's folder (between the cases of one test).
    void ClearDrive(char cLetter);
    static void WriteFile(const fs::path& path, const std::string& content);
    static std::string ReadFile(const fs::path& path);
    // Names in a folder, temporaries included.
    static std::vector<std::string> Entries(const fs::path& folder);
    // How many file descriptors this process holds.
    static std::size_t OpenDescriptors();

    fs::path m_root;
};

// A packet as the host wrote it, split off the stream.
struct THostPacket {
    std::uint8_t nCode;
    Bytes body;
};
// Splits host output into packets; nVersion decides the record sizes.
std::vector<THostPacket> SplitHostPackets(const Bytes& bytes, std::uint16_t nVersion);

// Requests.
Bytes ListFilesRequest(std::uint16_t nVolume, const std::string& dir);
Bytes NamesRequestOnVolume(std::uint8_t nCode, std::uint16_t nVolume, const std::string& name, const std::string& dir);
Bytes SetInfoRequest(const std::string& name, std::uint32_t nMacTime, std::uint8_t nAttributes = 0x20, bool bLocked = false);
Bytes ForkDataPacket(const std::string& data);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Result(std::int16_t nValue);
std::string AsString(const Bytes& bytes);
