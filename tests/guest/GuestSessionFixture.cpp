#include "GuestSessionFixture.h"

#include "MessageCodes.h"
#include "OpenBlocks.h"

#include <cstring>

int TRecordingWindow::MessageBoxText(const std::string& sText, const std::string& sCaption, unsigned nStyle)
{
    boxes.push_back({sText, sCaption, nStyle});
    return 1;
}

int TRecordingWindow::PaneMessageBox(const std::string& sText) { return MessageBoxText(sText, "VanTry", 0x30); }

void TRecordingEngine::Await(EAwaitedReply eKind, const std::string& sName)
{
    TAwaitedReply reply;
    reply.eKind = eKind;
    reply.pOwner = this;
    reply.onResult = [this, sName](std::int16_t nResult) { steps.push_back(sName + " " + std::to_string(nResult)); };
    reply.onInfo = [this, sName](std::int16_t nResult, const std::uint8_t* pRecord) {
        steps.push_back(sName + " " + std::to_string(nResult) + " size " +
                        std::to_string((pRecord[24] << 24) | (pRecord[25] << 16) | (pRecord[26] << 8) | pRecord[27]));
    };
    reply.onData = [this, sName](const std::uint8_t* pData, std::uint16_t nLength) {
        steps.push_back(sName + " data " + std::to_string(nLength));
        forkData.insert(forkData.end(), pData, pData + nLength);
    };
    reply.onForkEnd = [this, sName](EForkEnd eEnd, std::int16_t nResult) {
        const char* pszEnd = eEnd == EForkEnd::EndData ? "end" : eEnd == EForkEnd::Abort ? "abort" : "result";
        steps.push_back(sName + " " + pszEnd + " " + std::to_string(nResult));
    };
    reply.onReached = [this, sName] { steps.push_back(sName + " reached"); };
    m_session.AwaitReply(std::move(reply));
}

void TGuestSessionTest::SetUp()
{
    app.Reset();
    guestWindow.messages.clear();
    entry = OVGuestEntry{};
    nConnectionsClosed = nEntriesDeleted = 0;
    OVSetGuestHost(this);
    std::strcpy(entry.address.szName, "far.example");
    SetVantryWindowFactory([this](TVantryGuestSession&) -> std::unique_ptr<IVantryWindow> {
        if (bNoWindow)
            return nullptr;
        auto pWindow = std::make_unique<TRecordingWindow>(boxes, events);
        pWindow->sRemoteFolder = sRemoteFolder;
        m_pWindow = pWindow.get();
        return pWindow;
    });
}

void TGuestSessionTest::TearDown()
{
    boxes.clear();
    events.clear();
    if (TVantryGuestSession* pCurrent = CurrentGuestSession())
        CloseGuestServiceSession(pCurrent);
    SetVantryWindowFactory(nullptr);
    OVSetGuestHost(nullptr);
    EXPECT_FALSE(app.Misused());
}

int TGuestSessionTest::Open(const THostAnswer& hostAnswer)
{
    answer = hostAnswer;
    const OVGuestConnectionRequest request{42};
    const int nResult = OpenGuestServiceSession(&request);
    m_pSession = CurrentGuestSession();
    return nResult;
}

void TGuestSessionTest::CloseAsHostApp()
{
    ASSERT_FALSE(guestWindow.messages.empty());
    CloseGuestServiceSession(guestWindow.messages.back().lParam);
    m_pSession = nullptr;
}

void TGuestSessionTest::ListVolumes(const Bytes& avolReplies)
{
    Session().ListRemoteVolumes(nullptr);
    app.Run();
    app.TakeWritten();
    Reply(Concat({avolReplies, Bytes{0x96}}));
}

OVGuestEntry* TGuestSessionTest::AllocateEntry(std::uintptr_t hHost, int nKind)
{
    EXPECT_EQ(hHost, 42u);
    EXPECT_EQ(nKind, kOVGuestEntryKindFileTransfer);
    return &entry;
}

int TGuestSessionTest::SetupConnection(OVGuestEntry* pEntry, std::uintptr_t, std::uintptr_t, std::uintptr_t)
{
    pEntry->hConnection = app.Connection();
    WriteHostWord(pEntry->openResponse, OpenBlock::kRespVersion, answer.nVersion);
    WriteHostWord(pEntry->openResponse, OpenBlock::kRespPrivileges, answer.nPrivileges);
    pEntry->openResponse[OpenBlock::kRespPathMode] = answer.nPathMode;
    WriteNetWord(pEntry->openResponse, OpenBlock::kRespBufferSize, 4096);
    pEntry->bLargeSizes = answer.bLargeSizes;
    pEntry->bPipelining = answer.bPipelining;
    return answer.nSetupResult;
}

int TGuestSessionTest::GetPtrAddress(const OVAddressRecord*, HostServiceTable** ppTable)
{
    *ppTable = &app;
    return 0;
}

Bytes ResultReply(std::int16_t nValue)
{
    const auto n = static_cast<std::uint16_t>(nValue);
    return {CodeByte(kFTP_msgResult), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

Bytes AVolReply(std::uint16_t nVolume, std::uint8_t nFlags, const std::string& sName, bool bLong)
{
    Bytes b{CodeByte(kFTP_msgAVol), static_cast<std::uint8_t>(nVolume), static_cast<std::uint8_t>(nVolume >> 8), 1,
            nFlags, 0xFF, 0xFF, 0xFF, 0xFF};
    if (bLong) {
        const Bytes tail{7, 9, 0x01, 0x04, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00};
        b.insert(b.end(), tail.begin(), tail.end());
    }
    b.push_back(static_cast<std::uint8_t>(sName.size()));
    b.insert(b.end(), sName.begin(), sName.end());
    return b;
}

Bytes AFileReply(bool bFolder, std::uint32_t nSize, std::uint8_t nAttributes, const std::string& sName, bool bLong,
                 std::uint32_t dwModTime)
{
    Bytes b{CodeByte(kFTP_msgAFile), 0, 0, 0, static_cast<std::uint8_t>(bFolder ? 1 : 0), '?', '?', '?', '?',
            static_cast<std::uint8_t>(nSize >> 24), static_cast<std::uint8_t>(nSize >> 16),
            static_cast<std::uint8_t>(nSize >> 8), static_cast<std::uint8_t>(nSize), 0, 0, 0, 0, nAttributes, 0};
    b.push_back(static_cast<std::uint8_t>(sName.size()));
    b.insert(b.end(), sName.begin(), sName.end());
    if (bLong) {
        for (int nShift = 24; nShift >= 0; nShift -= 8)
            b.push_back(static_cast<std::uint8_t>(dwModTime >> nShift));
    }
    return b;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
