#include "CopyEngineFixture.h"

#include "OVFDrives.h"
#include "OVFUploads.h"
#include "StringTable.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

int TCopyWindow::AskReplace(const std::string& sName, bool)
{
    m_asked.push_back(sName);
    if (m_answers.empty())
        return ReplaceAnswer::kCancel;
    const int nAnswer = m_answers.front();
    m_answers.pop_front();
    return nAnswer;
}

Bytes FileInfoReply(const TInfo& info)
{
    Bytes b(Packet::FileInfo::kLength, 0);
    b[0] = CodeByte(kFTP_msgFileInfo);
    b[1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(info.nResult) >> 8);
    b[2] = static_cast<std::uint8_t>(info.nResult);
    std::uint8_t* pRecord = b.data() + Packet::FileInfo::kRecord;
    pRecord[Packet::FileInfo::kAttributes] = info.nAttributes;
    std::copy_n(info.pszType, 4, pRecord + Packet::FileInfo::kType);
    for (int i = 0; i < 4; ++i) {
        const int nShift = 24 - 8 * i;
        pRecord[Packet::FileInfo::kModified + i] = static_cast<std::uint8_t>(info.dwModTime >> nShift);
        pRecord[Packet::FileInfo::kSize + i] = static_cast<std::uint8_t>(info.nSize >> nShift);
    }
    pRecord[Packet::FileInfo::kIsFolder + 3] = info.bFolder ? 1 : 0;
    return b;
}

Bytes ForkDataReplies(const std::string& sData, std::size_t nChunk)
{
    Bytes b;
    for (std::size_t i = 0; i < sData.size(); i += nChunk) {
        const std::size_t n = std::min(nChunk, sData.size() - i);
        b.push_back(CodeByte(kFTP_msgForkData));
        b.push_back(static_cast<std::uint8_t>(n >> 8));
        b.push_back(static_cast<std::uint8_t>(n));
        b.insert(b.end(), sData.begin() + static_cast<std::ptrdiff_t>(i), sData.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    return b;
}

void TCopyEngineTest::SetUp()
{
    TGuestSessionTest::SetUp();
    char szTemplate[] = "/tmp/vantry-copy-XXXXXX";
    ASSERT_NE(mkdtemp(szTemplate), nullptr);
    m_root = szTemplate;
    std::filesystem::create_directories(m_root / "c");
    std::filesystem::create_directories(m_root / "journal");
    ASSERT_EQ(OVF_SetDrive('C', (m_root / "c").c_str(), OVFDriveKind::fixed), 0);
    OVF_SetUploadJournalFolder((m_root / "journal").c_str());
    SetVantryWindowFactory([this](TVantryGuestSession& session) -> std::unique_ptr<IVantryWindow> {
        auto pWindow = std::make_unique<TCopyWindow>(boxes, events, session, answers, asked);
        pWindow->sRemoteFolder = sRemoteFolder;
        m_pWindow = pWindow.get();
        return pWindow;
    });
}

void TCopyEngineTest::TearDown()
{
    TGuestSessionTest::TearDown();
    OVF_ClearDrives();
    std::error_code error;
    std::filesystem::remove_all(m_root, error);
}

void TCopyEngineTest::OpenAt(const std::string& sRemote, const Bytes& entries, const THostAnswer& hostAnswer)
{
    sRemoteFolder = sRemote;
    ASSERT_EQ(Open(hostAnswer), 0);
    app.Run();
    app.TakeWritten();
    const bool bLong = hostAnswer.nVersion >= 9;
    Session().ListRemoteVolumes(nullptr);
    app.Run();
    Reply(Concat({AVolReply(3, 0x02, "c: (System)", bLong), Bytes{CodeByte(kFTP_msgEndData)}}));
    Reply(Concat({entries, Bytes{CodeByte(kFTP_msgEndData)}}));
    ASSERT_EQ(Session().ListedRemotePath(), sRemote);
    app.TakeWritten();
}

bool TCopyEngineTest::Start(ECopySource eSource, std::vector<TCopyItem> items, const std::string& sSource,
                            const std::string& sDest)
{
    outcome.reset();
    const bool bStarted = Engine().StartCopy(eSource, std::move(items), sSource, sDest,
                                             [this](const TCopyOutcome& result) { outcome = result; });
    app.Run();
    return bStarted;
}

std::vector<Bytes> TCopyEngineTest::Requests()
{
    std::vector<Bytes> writes = app.Writes();
    app.TakeWritten();
    return writes;
}

std::vector<std::uint8_t> TCopyEngineTest::RequestCodes()
{
    std::vector<std::uint8_t> codes;
    for (const Bytes& request : Requests())
        codes.push_back(request.at(0));
    return codes;
}

void TCopyEngineTest::AnswerRelisting(const Bytes& entries)
{
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{CodeByte(kFTP_msgListFiles)}));
    Reply(Concat({entries, Bytes{CodeByte(kFTP_msgEndData)}}));
}

void TCopyEngineTest::WriteLocal(const std::string& sRelative, const std::string& sData) const
{
    std::filesystem::create_directories(LocalPath(sRelative).parent_path());
    std::ofstream(LocalPath(sRelative), std::ios::binary) << sData;
}

std::string TCopyEngineTest::ReadLocal(const std::string& sRelative) const
{
    std::ifstream in(LocalPath(sRelative), std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

std::vector<std::string> TCopyEngineTest::LocalNames(const std::string& sRelative) const
{
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(LocalPath(sRelative)))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void TUtcCopyTest::SetUp()
{
    setenv("TZ", "UTC", 1);
    tzset();
    TCopyEngineTest::SetUp();
    std::filesystem::create_directories(LocalPath("dest"));
}
