// The window against a host that lists no volume until its user admits the guest (the scripted
// host application answers for the host).
#include "GuestSessionFixture.h"
#include "OVFDrives.h"
#include "RemoteFilePicker.h"
#include "VantryWindow.h"
#include "WaitDialogs.h"

#include <QApplication>
#include <QTest>

#include <filesystem>

namespace {
class AdmitWaitTest : public TGuestSessionTest {
protected:
    void SetUp() override
    {
        TGuestSessionTest::SetUp();
        char szTemplate[] = "/tmp/vantry-admit-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_local = szTemplate;
        OVF_ClearDrives();
        ASSERT_EQ(OVF_SetDrive('C', m_local.c_str(), OVFDriveKind::fixed, "Local"), 0);
        SetVantryWindowFactory([this](TVantryGuestSession& session) -> std::unique_ptr<IVantryWindow> {
            auto window = std::make_unique<CZulVntr>(session, QStringLiteral("C:\\"), QString());
            m_window = window.get();
            window->show();
            return window;
        });
    }
    void TearDown() override
    {
        TGuestSessionTest::TearDown();
        OVF_ClearDrives();
        std::error_code error;
        std::filesystem::remove_all(m_local, error);
    }
    // Runs the window's events and the host application's completions until nothing is left.
    void Settle()
    {
        for (int i = 0; i < 10; ++i) {
            QApplication::processEvents();
            app.Run();
        }
    }
    TAdmitWaitDialog* AdmitWait() const { return m_window->findChild<TAdmitWaitDialog*>(); }

    std::filesystem::path m_local;
    CZulVntr* m_window = nullptr;
};
} // namespace

TEST_F(AdmitWaitTest, ShownOnceWhileTheHostListsNoVolumeAndGoneWhenOneComes)
{
    ASSERT_EQ(Open(), 0);
    ASSERT_NE(m_window, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_window->IsInitialised(); }, 5000));
    Settle();
    const Bytes opening = app.TakeWritten();
    ASSERT_FALSE(opening.empty());
    EXPECT_EQ(opening.back(), 0x94) << "the volumes are asked for";
    EXPECT_EQ(AdmitWait(), nullptr);

    Reply({0x96}); // no volume yet
    Settle();
    ASSERT_NE(AdmitWait(), nullptr);
    EXPECT_TRUE(AdmitWait()->isVisible());
    EXPECT_EQ(app.TakeWritten(), Bytes{0x94}) << "and asked for again";
    EXPECT_FALSE(m_window->Action(CZulVntr::kCmdCopy)->isEnabled()) << "no command while the guest waits";

    Reply({0x96}); // still none: the same dialog stays
    Settle();
    EXPECT_EQ(m_window->findChildren<TAdmitWaitDialog*>().size(), 1);
    EXPECT_EQ(app.TakeWritten(), Bytes{0x94});

    Reply(Concat({AVolReply(3, 0x02, "c:", true), Bytes{0x96}})); // admitted
    Settle();
    EXPECT_EQ(AdmitWait(), nullptr);
    const Bytes listing = app.TakeWritten();
    ASSERT_FALSE(listing.empty());
    EXPECT_EQ(listing.front(), 0x92) << "then the first volume's folder is listed";
    Reply({0x96});
    Settle();
    EXPECT_EQ(m_window->RemotePane()->CurrentFolder().toLower(), QStringLiteral("c:\\"));
    EXPECT_FALSE(m_window->IsBusy());
}
