// The date and time helpers and the set-clock screen: texts, month lengths,
// field stepping with the calendar's wrap and February's clamp, the press-and-
// hold repetition, and setting the clock.

#include "tests/support/Fields.h"
#include "tests/ui/ScreenTestSupport.h"
#include "ui/DateTimeUtil.h"

using namespace qtest;

namespace {

TEST(DateTimeUtil, TextsAndMonthLengths)
{
    CDateTimeUtil u;
    SYSTEMTIME t{2013, 3, 2, 5, 7, 4, 9, 0};
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(u.FormatDate(t), u"05/03/13"), FIELD_IS(u.FormatTime(t), u"07:04:09"),
                                 FIELD_IS(u.TwoDigits(u"7"), u"07"), FIELD_IS(u.TwoDigits(u"2024"), u"24"),
                                 FIELD_IS(u.TwoDigits(u"123"), u"123"), FIELD_IS(u.TwoDigits(u""), u""),
                                 FIELD_IS(u.DaysInMonth(2000, 2), 29), FIELD_IS(u.DaysInMonth(2100, 2), 28),
                                 FIELD_IS(u.DaysInMonth(2012, 2), 29), FIELD_IS(u.DaysInMonth(2013, 2), 28),
                                 FIELD_IS(u.DaysInMonth(2013, 4), 30), FIELD_IS(u.DaysInMonth(2013, 12), 31)));
}

TEST(DateTimeUtil, StepFieldWrapsAtBothEnds)
{
    EXPECT_EQ(CDateTimeDlg::StepField(2050, 2010, 2050, u"UP", 1), 2010);
    EXPECT_EQ(CDateTimeDlg::StepField(2010, 2010, 2050, u"DOWN", 1), 2050);
    EXPECT_EQ(CDateTimeDlg::StepField(23, 0, 23, u"UP", 1), 0);
    EXPECT_EQ(CDateTimeDlg::StepField(0, 0, 59, u"DOWN", 1), 59);
    EXPECT_EQ(CDateTimeDlg::StepField(5, 0, 59, u"UP", 1), 6);
}

TEST(DateTimeUtil, SetPickerToNowUsesTheLocalClock)
{
    qtest::TempDeviceRoot root;
    root.UseUtcZone();
    qtest::ManualClock clock(2021, 6, 15, 8, 30, 0);
    HWND owner = CreateWindowExW(0, u"STATIC", u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    HWND picker = CreateWindowExW(0, DATETIMEPICK_CLASSW, u"DateTime", WS_CHILD, 0, 0, 100, 20, owner, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(picker);
    g_dateTimeUtil.SetPickerToNow(picker);
    SYSTEMTIME got{};
    EXPECT_EQ(SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&got)), GDT_VALID);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(got.wYear, 2021), FIELD_IS(got.wMonth, 6), FIELD_IS(got.wDay, 15),
                                 FIELD_IS(got.wHour, 8)));
    DestroyWindow(owner);
}

class SetClock : public qtest::DialogFixture {
protected:
    // Runs the screen; `inside` runs in its modal loop with the dialog.
    int Run(CDateTimeDlg& dlg, std::function<void(HWND)> inside)
    {
        Then([inside] { inside(FrontDialog()); });
        return dlg.DoModal(nullptr, owner);
    }
    static std::u16string Field(HWND d, int id) { return WindowText(GetDlgItem(d, id)); }
    static void Command(HWND d, int id) { SendMessageW(d, WM_COMMAND, static_cast<WPARAM>(id), 0); }
};

TEST_F(SetClock, StepsFollowTheCalendar)
{
    qtest::ManualClock clock(2013, 3, 31, 23, 0, 0);
    CDateTimeDlg dlg;
    std::vector<std::u16string> seen;
    Run(dlg, [&](HWND d) {
        EXPECT_EQ(Field(d, 200), u"2013");
        EXPECT_EQ(Field(d, 205), u"31");
        EXPECT_EQ(Field(d, 206), u"-");
        Command(d, 190);  // month down: 31 March -> 28 February 2013
        seen.push_back(Field(d, 201) + u"/" + Field(d, 205));
        dlg.m_time.wYear = 2012;
        dlg.m_time.wMonth = 3;
        dlg.m_time.wDay = 31;
        Command(d, 190);  // 29 February 2012
        seen.push_back(Field(d, 201) + u"/" + Field(d, 205));
        Command(d, 189);  // year up: 28 February 2013
        seen.push_back(Field(d, 200) + u"/" + Field(d, 201) + u"/" + Field(d, 205));
        dlg.m_time.wYear = 2020;
        dlg.m_time.wMonth = 6;
        dlg.m_time.wDay = 15;
        Command(d, 189);  // 15 June 2021
        seen.push_back(Field(d, 200) + u"/" + Field(d, 201) + u"/" + Field(d, 205));
        dlg.m_time.wDay = 1;
        Command(d, 192);  // day 1 down: the last day of June
        seen.push_back(Field(d, 205));
        dlg.m_time.wYear = 2050;
        Command(d, 189);
        seen.push_back(Field(d, 200));
        Command(d, 188);
        seen.push_back(Field(d, 200));
        Command(d, 195);  // hour 23 up
        seen.push_back(Field(d, 202));
        Command(d, 196);  // minute 0 down
        seen.push_back(Field(d, 203));
        TapWindow(GetDlgItem(d, 186));
    });
    std::vector<std::u16string> want{u"02/28", u"02/29", u"2013/02/28", u"2021/06/15", u"30", u"2010", u"2050",
                                     u"00", u"59"};
    EXPECT_EQ(seen, want);
}

TEST_F(SetClock, SetWritesTheShownTimeAndCloseLeavesTheClock)
{
    qtest::ManualClock clock(2015, 1, 10, 12, 0, 0);
    CDateTimeDlg dlg;
    EXPECT_EQ(Run(dlg, [](HWND d) {
                  Command(d, 197);  // minute up
                  TapWindow(GetDlgItem(d, 186));
              }),
              1);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_EQ(now.wMinute, 0);
    Run(dlg, [](HWND d) {
        Command(d, 197);
        Command(d, 199);  // second up
        TapWindow(GetDlgItem(d, 187));
    });
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2015);
    EXPECT_EQ(now.wMinute, 1);
    EXPECT_EQ(now.wSecond, 1);
}

TEST_F(SetClock, HoldingAStepButtonRepeatsButHoldingSetDoesNot)
{
    qtest::ManualClock clock(2015, 1, 10, 12, 0, 0);
    CDateTimeDlg dlg;
    std::u16string afterHold, afterRelease, afterSetHold;
    Run(dlg, [&](HWND d) {
        HWND up = GetDlgItem(d, 197);
        RECT r;
        GetWindowRect(up, &r);
        qplat::StylusDown((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        qplat::ProcessPendingMessages();
        EXPECT_EQ(dlg.m_repeatCommand, 197);
        SendMessageW(d, WM_TIMER, OWNER_BUTTON_TIMER, 0);
        SendMessageW(d, WM_TIMER, OWNER_BUTTON_TIMER, 0);
        afterHold = Field(d, 203);
        qplat::StylusUp((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        qplat::ProcessPendingMessages();
        afterRelease = Field(d, 203);
        // Holding Set: its timer fires but the last step button is released.
        HWND set = GetDlgItem(d, 187);
        GetWindowRect(set, &r);
        qplat::StylusDown((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        qplat::ProcessPendingMessages();
        SendMessageW(d, WM_TIMER, OWNER_BUTTON_TIMER, 0);
        afterSetHold = Field(d, 203);
        qplat::StylusUp(0, 0);  // released away from Set: nothing is set
        qplat::ProcessPendingMessages();
        TapWindow(GetDlgItem(d, 186));
    });
    EXPECT_EQ(afterHold, u"02");
    EXPECT_EQ(afterRelease, u"03") << "the click itself adds one step";
    EXPECT_EQ(afterSetHold, u"03");
}

TEST_F(SetClock, PowerKeyAsksAndACloseCountsAsNo)
{
    qtest::ManualClock clock(2015, 1, 10, 12, 0, 0);
    CDateTimeDlg dlg;
    bool asked = false;
    Run(dlg, [&](HWND d) {
        Then([&] {
            asked = GetDlgItem(FrontDialog(), 345) != nullptr;
            SendMessageW(FrontDialog(), WM_CLOSE, 0, 0);
        });
        SendMessageW(d, WM_POWERKEY, 0, 0);
        TapWindow(GetDlgItem(d, 186));
    });
    EXPECT_TRUE(asked);
}

}  // namespace
