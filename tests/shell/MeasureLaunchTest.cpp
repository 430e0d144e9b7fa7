// The measuring launchers from the start screen's measure command: without a
// sensor (a head that does not answer, a scheme that cannot be loaded, the
// record data cancelled, the gauges' measuring screen that opens at once), and
// with a simulated head whose settings cannot be used.

#include "screens/MeasureDlg.h"
#include "screens/RecordInfoDlg.h"
#include "screens/SeriesDlg.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/SimProcess.h"

using qtest::FrontDialog;
using qtest::Then;

namespace {

class Launchers : public qtest::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        root.MakeFolder(u"\\SDMMC\\Autorun\\DB");
        const std::string scheme = qtest::ReadSourceFile("data/Schemes/Car 4 axles.sch");
        root.WriteFile(u"\\SDMMC\\Autorun\\Schemes\\Car 4 axles.sch", scheme);
    }
    void Settings(int deviceType, int measureMode, const char16_t* scheme)
    {
        qtest::WriteParams(root, [&](ParamBlock& b) {
            b.deviceType = static_cast<BYTE>(deviceType);
            b.measureMode = static_cast<BYTE>(measureMode);
            qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, scheme);
            qplat::CopyField(b.qavJournalName, PARAM_NAME_CHARS, u"launch");
        });
    }
    // Starts the program and sends the measure command; what the road
    // showed first, as the text of its message or the screen that opened.
    void Measure(const std::function<void()>& inside)
    {
        ASSERT_NE(Start(), nullptr);
        Then(inside);
        SendMessageW(main, WM_COMMAND, CMD_MEASURE, 0);
    }
    bool JournalWritten() const { return root.Exists(u"\\SDMMC\\Autorun\\DB\\launch.qav"); }
};

TEST_F(Launchers, HeadThatDoesNotAnswerEndsTheRoadWithItsMessage)
{
    Settings(1, 1, u"Car 4 axles");
    std::u16string text;
    bool measuringScreen = true;
    int activeBehindTheMessage = 0;
    Measure([&] {
        measuringScreen = CMeasureDlg::Current() != nullptr;
        activeBehindTheMessage = g_mainScreenActive;
        text = qtest::WindowText(GetDlgItem(FrontDialog(), qtest::kBoxTextId));
        qtest::Press(FrontDialog(), qtest::kBoxFirstButton);
    });
    EXPECT_FALSE(measuringScreen);
    EXPECT_EQ(text, qtest::LanguageText(50008));
    EXPECT_EQ(activeBehindTheMessage, 1) << "the start screen draws its buttons behind the message";
}

// The head answers its identification, but its settings are of no use (the
// first sample's word reads negative): the road ends with the settings'
// message, no screen opens, and the next launch reads them again.
TEST_F(Launchers, HeadWhoseSettingsCannotBeUsedEndsTheRoadWithTheirMessage)
{
    qtest::WriteParams(root, [](ParamBlock& b) {
        b.deviceType = 1;
        b.measureMode = 1;
        qtest::PairSensor(b, 1, u"00126fa00b7d", u"LX412 12345");
    });
    // Word 11 lies in registers 0x38 and 0x39: its sign bit set.
    qtest::SimProcess sim({"--root", root.Path(), "--kind", "wheel", "--address", "00:12:6f:a0:0b:7d", "--name",
                           "LX412 12345", "--register", "0x39=0x80"});
    ASSERT_EQ(0u, sim.Path().find("/dev/")) << "the simulator did not start";
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(qtest::PumpUntil([] { return g_linkMonitor.m_connected.load() == 1; }, 60000)) << "no link";
    std::u16string text;
    bool measuringScreen = true;
    Then([&] {
        measuringScreen = CMeasureDlg::Current() != nullptr;
        text = qtest::WindowText(GetDlgItem(FrontDialog(), qtest::kBoxTextId));
        qtest::Press(FrontDialog(), qtest::kBoxFirstButton);
    });
    SendMessageW(main, WM_COMMAND, CMD_MEASURE, 0);
    EXPECT_FALSE(measuringScreen);
    EXPECT_EQ(text, qtest::LanguageText(50001));
    EXPECT_FALSE(g_measureController.m_head1SettingsRead) << "read again at the next launch";
    EXPECT_FALSE(JournalWritten());
}

TEST_F(Launchers, SchemeNamingNoFileShowsItsMessageAndOpensNoScreen)
{
    Settings(2, 0, u"No such scheme");
    std::u16string text;
    bool recordScreen = true;
    Measure([&] {
        recordScreen = CRecordInfoDlg::Current() != nullptr;
        text = qtest::WindowText(GetDlgItem(FrontDialog(), qtest::kBoxTextId));
        qtest::Press(FrontDialog(), qtest::kBoxFirstButton);
    });
    EXPECT_FALSE(recordScreen);
    EXPECT_EQ(text, qtest::LanguageText(50053));
}

TEST_F(Launchers, CancelledRecordDataOpensNoSeriesAndStoresNothing)
{
    Settings(2, 0, u"Car 4 axles");
    bool recordScreen = false, seriesAfter = true;
    std::u16string wheel;
    Measure([&] {
        CRecordInfoDlg* r = CRecordInfoDlg::Current();
        recordScreen = r != nullptr;
        if (r) wheel = qtest::WindowText(GetDlgItem(r->m_hWnd, 290));
        // Whatever runs after the record data would run this next.
        Then([&] { seriesAfter = CSeriesDlg::Current() != nullptr; });
        qtest::Press(FrontDialog(), CRecordInfoDlg::kBackId);
    });
    qtest::PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(recordScreen);
    EXPECT_EQ(wheel, u"1") << "the record data of the scheme's first position";
    EXPECT_FALSE(seriesAfter);
    EXPECT_FALSE(JournalWritten());
}

TEST_F(Launchers, GaugesSingleMeasurementOpensTheMeasuringScreenAtOnce)
{
    for (int type : {2, 3}) {
        SCOPED_TRACE(type);
        Settings(type, 1, u"");
        bool measuringScreen = false;
        int measuring = -1;
        Measure([&] {
            CMeasureDlg* m = CMeasureDlg::Current();
            measuringScreen = m != nullptr;
            if (!m) return;
            measuring = m->m_measuring;
            qtest::Press(m->m_hWnd, CMeasureDlg::kCloseId);
        });
        EXPECT_TRUE(measuringScreen) << "no exchange with a gauge before its screen";
        EXPECT_EQ(measuring, 0) << "a single measurement waits for the button";
        EXPECT_EQ(g_measureController.m_port, g_linkMonitor.m_comPort.load());
        Close();
    }
}

}  // namespace
