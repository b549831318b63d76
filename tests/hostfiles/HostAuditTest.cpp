// The audit log's records of a host session's operations: what the session reports through the
// host application's table, written as the log writes it.
#include "HostFilesFixture.h"

#include "AuditRecord.h"

#include <map>
#include <optional>

namespace {
constexpr std::uint32_t kMacTime = 2082844800u + 1600000000u;
constexpr std::uint16_t kReadOnly = 0x20;
constexpr std::uint16_t kAll = 0xE0;

const TAuditGuest kGuest{"192.0.2.7:40000", "ann", 5};

// The fields of a record as a log tool would read them: key=value pairs, a value bare or in
// double quotes with C escapes. Nothing when the line does not read that way.
std::optional<std::map<std::string, std::string>> ParseRecord(const std::string& strLine)
{
    std::map<std::string, std::string> fields;
    std::size_t i = 0;
    while (i < strLine.size()) {
        const std::size_t nEquals = strLine.find('=', i);
        if (nEquals == std::string::npos || nEquals == i)
            return std::nullopt;
        const std::string strKey = strLine.substr(i, nEquals - i);
        if (strKey.find_first_of(" \"") != std::string::npos)
            return std::nullopt;
        std::string strValue;
        i = nEquals + 1;
        if (i < strLine.size() && strLine[i] == '"') {
            for (++i;; ++i) {
                if (i >= strLine.size())
                    return std::nullopt;
                if (strLine[i] == '"')
                    break;
                if (strLine[i] != '\\') {
                    strValue += strLine[i];
                    continue;
                }
                const char c = strLine.at(++i);
                static const std::map<char, char> kEscapes = {{'n', '\n'}, {'r', '\r'}, {'t', '\t'}, {'"', '"'}, {'\\', '\\'}};
                if (c == 'x') {
                    strValue += static_cast<char>(std::stoi(strLine.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else if (kEscapes.count(c)) {
                    strValue += kEscapes.at(c);
                } else {
                    return std::nullopt;
                }
            }
            ++i;
        } else {
            const std::size_t nEnd = std::min(strLine.find(' ', i), strLine.size());
            strValue = strLine.substr(i, nEnd - i);
            i = nEnd;
        }
        if (i < strLine.size() && strLine[i++] != ' ')
            return std::nullopt;
        if (!fields.emplace(strKey, strValue).second)
            return std::nullopt;
    }
    return fields;
}

Bytes Upload(const std::string& name, const std::string& data, bool bCreate)
{
    Bytes bytes = bCreate ? NamesRequestOnVolume(0x8B, 3, name, "\\") : Bytes{};
    return Concat({bytes, SetInfoRequest(name, kMacTime), NamesRequestOnVolume(0x8D, 3, name, "\\"),
                   ForkDataPacket(data), {0x96}});
}
} // namespace

TEST(AuditRecord, AwkwardValuesAreQuotedWithEscapesAndReadBackWhole)
{
    const struct {
        std::string strValue;
        std::string strWritten;
    } cases[] = {
        {"plain", "plain"},
        {"C:\\dir\\a.txt", "C:\\dir\\a.txt"}, // a bare value keeps its backslashes as they are
        {"", "\"\""},
        {"two words", "\"two words\""},
        {"a=b", "\"a=b\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\a b", "\"C:\\\\a b\""},
        {"line\nbreak\r\ttab", "\"line\\nbreak\\r\\ttab\""},
        {std::string("nul\0bell\a", 9), "\"nul\\x00bell\\x07\""},
        {"\x7F" "del", "\"\\x7Fdel\""},
        {"caf\xE9", "\"caf\\xE9\""},
        {"\\\"", "\"\\\\\\\"\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strWritten);
        EXPECT_EQ(AuditValue(c.strValue), c.strWritten);
        const std::string strLine = TAuditRecord("test").Add("value", c.strValue).Add("after", "x").Text();
        const auto fields = ParseRecord(strLine);
        ASSERT_TRUE(fields) << strLine;
        EXPECT_EQ(fields->at("value"), c.strValue);
        EXPECT_EQ(fields->at("after"), "x");
    }
}

using HostAudit = THostFilesFixture;

TEST_F(HostAudit, EachOperationOfASessionIsOneParseableRecord)
{
    WriteFile(Drive('C') / "a.txt", "hello");
    WriteFile(Drive('C') / "ro.txt", "r");
    LFN_SetFileAttributes("C:\\ro.txt", 0x21);
    const std::string strWho = " guest=192.0.2.7:40000 user=ann session=5 ";
    const struct {
        std::uint16_t nPrivileges;
        Bytes request;
        std::vector<std::string> records;
    } steps[] = {
        {kAll, ListFilesRequest(3, "\\"), {"event=list outcome=done" + strWho + "path=C:\\"}},
        {kAll, NamesRequestOnVolume(0x8E, 3, "a.txt", "\\"), {"event=download outcome=done" + strWho + "path=C:\\a.txt bytes=5"}},
        {kAll, Upload("new file.txt", "12345678", true),
         {"event=upload outcome=done" + strWho + "path=\"C:\\\\new file.txt\" bytes=8 replaced=no"}},
        {kAll, Upload("a.txt", "abc", false), {"event=upload outcome=done" + strWho + "path=C:\\a.txt bytes=3 replaced=yes"}},
        {kAll, NamesRequestOnVolume(0x88, 3, "dir", "\\"), {"event=mkdir outcome=done" + strWho + "path=C:\\dir"}},
        {kAll, NamesRequestOnVolume(0x88, 3, "dir", "\\"),
         {"event=mkdir outcome=refused" + strWho + "path=C:\\dir result=-48 cause=\"the name is in use\""}},
        {kAll, NamesRequestOnVolume(0x8A, 3, "dir", "\\"), {"event=remove outcome=done" + strWho + "path=C:\\dir kind=tree"}},
        {kAll, NamesRequestOnVolume(0x8A, 3, "a.txt", "\\"), {"event=remove outcome=done" + strWho + "path=C:\\a.txt kind=file"}},
        {kAll, NamesRequestOnVolume(0x8A, 3, "ro.txt", "\\"),
         {"event=remove outcome=refused" + strWho + "path=C:\\ro.txt result=-45 cause=\"a read-only or system file\""}},
        {kAll, NamesRequestOnVolume(0x8E, 3, "gone.txt", "\\"),
         {"event=download outcome=refused" + strWho + "path=C:\\gone.txt bytes=0 cause=\"no such file, or it cannot be read\""}},
        {kAll, Concat({NamesRequestOnVolume(0x8D, 3, "cut.bin", "\\"), ForkDataPacket("1234"), {0x95}}),
         {"event=upload outcome=aborted" + strWho + "path=C:\\cut.bin bytes=4 replaced=no result=0 cause=\"stopped by the guest\""}},
        {kAll, NamesRequestOnVolume(0x8E, 27, "x", "\\"),
         {"event=download outcome=refused" + strWho + "path=\\x bytes=0 cause=\"no such volume, or the path is too long\""}},
        {kReadOnly, NamesRequestOnVolume(0x8A, 3, "new file.txt", "\\"),
         {"event=remove outcome=refused" + strWho + "path=\"C:\\\\new file.txt\" result=-5000 cause=\"no remove privilege\""}},
        {kReadOnly, NamesRequestOnVolume(0x88, 3, "d2", "\\"),
         {"event=mkdir outcome=refused" + strWho + "path=C:\\d2 result=1 cause=\"no write privilege\""}},
        {kReadOnly, Upload("up.txt", "x", false),
         {"event=setinfo outcome=refused" + strWho + "path=\\up.txt result=0 cause=\"no write privilege\"",
          "event=upload outcome=refused" + strWho + "path=C:\\up.txt bytes=0 replaced=no result=256 cause=\"no write privilege\""}},
        {0x60, Upload("new file.txt", "replacement", false),
         {"event=upload outcome=refused" + strWho +
          "path=\"C:\\\\new file.txt\" bytes=0 replaced=no result=256 cause=\"no remove privilege to replace an existing file\""}},
        {0, NamesRequestOnVolume(0x8E, 3, "new file.txt", "\\"),
         {"event=download outcome=refused" + strWho + "path=\"C:\\\\new file.txt\" bytes=0 cause=\"no read privilege\""}},
    };
    std::uint16_t nPrivileges = kAll;
    OpenSession(9, false, nPrivileges);
    for (const auto& step : steps) {
        SCOPED_TRACE(step.records.front());
        if (step.nPrivileges != nPrivileges) {
            nPrivileges = step.nPrivileges;
            Restart();
            OpenSession(9, false, nPrivileges);
        }
        Send(step.request, 7);
        std::vector<std::string> records;
        for (const TReportedOperation& reported : m_app.TakeOperations()) {
            records.push_back(OperationRecord(reported.View(), kGuest));
            EXPECT_TRUE(ParseRecord(records.back())) << records.back();
        }
        EXPECT_EQ(records, step.records);
        EXPECT_FALSE(StopRequested());
    }
}

TEST_F(HostAudit, TransfersCutByTheEndOfTheSessionAreRecordedWithWhatWasMoved)
{
    WriteFile(Drive('C') / "big.bin", std::string(100000, 'b'));
    for (bool bDownload : {true, false}) {
        SCOPED_TRACE(bDownload ? "download" : "upload");
        Restart();
        OpenSession();
        if (bDownload) {
            m_app.HoldWrites(true); // the send stops after its first packet
            Send(NamesRequestOnVolume(0x8E, 3, "big.bin", "\\"));
        } else {
            Send(Concat({NamesRequestOnVolume(0x8D, 3, "up.bin", "\\"), ForkDataPacket(std::string(3000, 'u'))}));
        }
        m_pSession->PostStopMessage(0);
        AnswerStops();
        const auto operations = m_app.TakeOperations();
        ASSERT_EQ(operations.size(), 1u);
        const THostOperation operation = operations.front().View();
        EXPECT_EQ(operation.eOperation, bDownload ? EHostOperation::Download : EHostOperation::Upload);
        EXPECT_EQ(operation.eOutcome, EHostOutcome::Aborted);
        EXPECT_EQ(operation.strCause, "the session stopped");
        EXPECT_EQ(operation.nBytes, bDownload ? 4093u : 3000u);
    }
}
