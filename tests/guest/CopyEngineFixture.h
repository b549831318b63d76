// Drives the copy engines through a guest session on the scripted host application, with drive
// C: of the file layer on a temporary folder. The window owns the engine, as a front end does.
#pragma once

#include "GuestSessionFixture.h"
#include "copyrtl.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class TCopyWindow : public TRecordingWindow {
public:
    TCopyWindow(std::vector<TShownBox>& shown, std::vector<TTransferEvent>& reported, TVantryGuestSession& session,
                std::deque<int>& answers, std::vector<std::string>& asked)
        : TRecordingWindow(shown, reported), engine(session), m_answers(answers), m_asked(asked) {}
    int AskReplace(const std::string& sName, bool) override;
    void SetStatusTotal(std::uint64_t nTotal) override { nStatusTotal = nTotal; }
    void UpdateStatus(std::uint64_t nDone) override { nStatusDone = nDone; }
    void SetStatusText(const std::string& sText) override { statusTexts.push_back(sText); }

    TCopyEngine engine;
    std::uint64_t nStatusTotal = 0;
    std::uint64_t nStatusDone = 0;
    std::vector<std::string> statusTexts;

private:
    std::deque<int>& m_answers;
    std::vector<std::string>& m_asked;
};

// The host's answer to kFTP_msgGetInfo.
struct TInfo {
    std::int16_t nResult = 0;
    std::uint32_t nSize = 0;
    const char* pszType = "????";
    bool bFolder = false;
    std::uint32_t dwModTime = 0xB0000000; // big-endian on the wire
    std::uint8_t nAttributes = 0x20;
};
Bytes FileInfoReply(const TInfo& info);
// kFTP_msgForkData packets of the data, cut into pieces of at most nChunk bytes.
Bytes ForkDataReplies(const std::string& sData, std::size_t nChunk = 4096);

class TCopyEngineTest : public TGuestSessionTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a session whose remote pane shows sRemote and lists the volumes and that folder
    // with the given kFTP_msgAFile replies.
    void OpenAt(const std::string& sRemote, const Bytes& entries, const THostAnswer& hostAnswer = {});
    TCopyWindow& CopyWindow() { return static_cast<TCopyWindow&>(Window()); }
    TCopyEngine& Engine() { return CopyWindow().engine; }
    // Starts a copy whose end is recorded in `outcome`.
    bool Start(ECopySource eSource, std::vector<TCopyItem> items, const std::string& sSource, const std::string& sDest);
    // The requests written since the last call, one per write.
    std::vector<Bytes> Requests();
    // The code bytes of the requests written since the last call.
    std::vector<std::uint8_t> RequestCodes();
    // Answers the copy's closing re-listing of the remote pane's folder.
    void AnswerRelisting(const Bytes& entries = {});

    // Files of the temporary drive C:.
    std::filesystem::path LocalPath(const std::string& sRelative) const { return m_root / "c" / sRelative; }
    void WriteLocal(const std::string& sRelative, const std::string& sData) const;
    std::string ReadLocal(const std::string& sRelative) const;
    // Every name in a local folder, sorted.
    std::vector<std::string> LocalNames(const std::string& sRelative) const;

    std::uint32_t GetTranslateCRLF(EOVTranslateDirection eDirection) override
    {
        return eDirection == kOVTranslateDownload ? bTranslateDownload : bTranslateUpload;
    }

    bool bTranslateDownload = false;
    bool bTranslateUpload = false;
    std::deque<int> answers;
    std::vector<std::string> asked;
    std::optional<TCopyOutcome> outcome;

private:
    std::filesystem::path m_root;
};

// A copy with times in UTC; a download goes into C:\dest.
class TUtcCopyTest : public TCopyEngineTest {
protected:
    void SetUp() override;
};
