#include "HostSessionFixture.h"

#include "OpenBlocks.h"
#include "ServiceExports.h"

#include <vector>

void THostSessionFixture::SetUp()
{
    OVSetHostWindow(&m_window);
}

void THostSessionFixture::TearDown()
{
    if (m_pSession)
        StopHostSession(m_pSession, 0);
    m_pSession = nullptr;
    OVSetHostWindow(nullptr);
    EXPECT_EQ(m_app.BuffersOutstanding(), 0u);
    EXPECT_EQ(m_app.StreamsOutstanding(), 0u);
    EXPECT_FALSE(m_app.Misused());
}

void THostSessionFixture::Restart()
{
    // Only the session and its connection start over; what a derived fixture set up stays.
    THostSessionFixture::TearDown();
    m_app.Reset();
    m_window.messages.clear();
    m_window.bRefuse = false;
    THostSessionFixture::SetUp();
}

void THostSessionFixture::OpenSession(std::uint16_t nVersion, bool bOEMNames, std::uint16_t nPrivileges, std::uint8_t nLevel)
{
    std::vector<std::uint8_t> request(508), response(508);
    WriteNetWord(request.data(), OpenBlock::kReqLength, OpenBlock::kV7RequestLength);
    request[OpenBlock::kReqLevel] = nLevel;
    request[OpenBlock::kReqPlatform] = bOEMNames ? 0 : 1;
    WriteNetWord(request.data(), OpenBlock::kReqVersion, nVersion);
    WriteHostWord(response.data(), OpenBlock::kRespPrivileges, nPrivileges);
    std::uint16_t nLength = 0;
    ASSERT_EQ(InitHostSession(&m_app, request.data(), response.data(), &m_pSession, &nLength), 0);
    ASSERT_EQ(StartHostSession(m_app.Connection(), 0, m_pSession), 0);
    m_app.Run();
}

void THostSessionFixture::AnswerStops()
{
    for (const auto& message : m_window.messages) {
        ASSERT_EQ(message.nMessage, kHostStopMessage);
        ASSERT_EQ(message.wParam, kHostStopWParam);
        ASSERT_EQ(message.lParam, m_pSession);
    }
    if (!m_window.messages.empty() && m_pSession) {
        StopHostSession(m_pSession, m_pSession->StopValue());
        m_pSession = nullptr;
    }
    m_window.messages.clear();
}

Bytes NamesRequest(std::uint8_t nCode, std::size_t nBlock, const std::string& name, const std::string& dir, const Bytes& block)
{
    Bytes bytes{nCode};
    Bytes fixed = block;
    fixed.resize(nBlock, 0);
    bytes.insert(bytes.end(), fixed.begin(), fixed.end());
    bytes.push_back(static_cast<std::uint8_t>(name.size()));
    bytes.insert(bytes.end(), name.begin(), name.end());
    bytes.push_back(static_cast<std::uint8_t>(dir.size()));
    bytes.insert(bytes.end(), dir.begin(), dir.end());
    return bytes;
}
