// The record-data screen: what it shows of a record, what OK writes back and
// where, that back and close leave the caller's record as it was, the side of
// a middle wheel, the keyboard that opens only after the start and not again
// by itself, and the screen as the operator sees it in Russian.

#include <cstring>

#include "platform/Presenter.h"
#include "screens/RecordInfoDlg.h"
#include "tests/screens/MeasureScreensTestSupport.h"
#include "tests/support/Fields.h"

namespace {

using namespace qtest;

class RecordInfo : public qtest::MeasureScreens {
protected:
    // Runs the screen on the records with `inside` in its modal loop.
    BOOL Open(QavJournalRecord* qav, QodJournalRecord* qod, const std::function<void(CRecordInfoDlg&)>& inside)
    {
        auto screen = std::make_unique<CRecordInfoDlg>();
        CRecordInfoDlg* s = screen.get();
        Then([s, inside] { inside(*s); });
        return screen->DoModal(nullptr, owner, qav, qod);
    }
    // Lets the start timer fire.
    static void AwaitReady(CRecordInfoDlg& s)
    {
        qtest::PumpUntil([&] { return s.m_ready == 1; }, 2000);
    }
    static HWND Edit(CRecordInfoDlg& s, int id) { return GetDlgItem(s.m_hWnd, id); }
    // Runs `action` on the keyboard once one is in front of the screen.
    static void OnKeyboard(HWND screen, std::function<void(HWND)> action, int tries = 3000)
    {
        Then([=] {
            HWND front = FrontDialog();
            if (front == screen || front == nullptr) {
                Sleep(1);
                if (tries > 0) OnKeyboard(screen, action, tries - 1);
                return;
            }
            action(front);
        });
    }
    // Types the text into the keyboard (replacing what it showed, kept in
    // `shown`) and confirms it.
    static void TypeAndConfirm(HWND screen, std::u16string text, std::u16string* shown)
    {
        OnKeyboard(screen, [=](HWND keyboard) {
            HWND edit = GetDlgItem(keyboard, qtest::kKeyboardEditId);
            *shown = WindowText(edit);
            SetWindowTextW(edit, text.c_str());
            Press(keyboard, qtest::kKeyboardOk);
        });
    }
};

TEST_F(RecordInfo, OkStoresThePickedDateTheFieldsCutToTheirWidthsTheSideAndTheSettingsTexts)
{
    WriteSettings(1, 1, [](ParamBlock& b) {
        Put(b.qavReferName, u"Reference S1002");
        Put(b.qavSensors[0].name, u"LX412 54321");
    });
    auto record = Position(u"W1", u"1", u"31/12/19");
    Put(record->trainName, u"Train");
    Put(record->axleName2, u"17");
    record->profileZ[10] = 1234;
    std::u16string shownWheel, shownTrain, shownAxleNumber;
    int shownSide = -5;
    const BOOL ok = Open(record.get(), nullptr, [&](CRecordInfoDlg& s) {
        shownWheel = WindowText(Edit(s, 290));
        shownTrain = WindowText(Edit(s, 293));
        shownAxleNumber = WindowText(Edit(s, 294));
        shownSide = s.m_sides.GetCurSel();
        SetWindowTextW(Edit(s, 290), u"ABCDEFGHIJKLMNOPQRST");  // 20 characters
        SetWindowTextW(Edit(s, 292), u"CN-9");
        Press(s.m_hWnd, CRecordInfoDlg::kOkId);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(shownWheel, u"W1");
    EXPECT_EQ(shownTrain, u"Train");
    EXPECT_EQ(shownAxleNumber, u"17");
    EXPECT_EQ(shownSide, 1) << "side text 1 selects the second entry";

    EXPECT_EQ(Field(record->date), qtest::Today()) << "the picker opens on today, not on the record's date";
    const std::u16string time = Field(record->time);
    ASSERT_EQ(time.size(), 8u);
    EXPECT_EQ(time[2], u':');
    EXPECT_EQ(Field(record->wheelName), u"ABCDEFGHIJKL") << "cut to 12 characters";
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(Field(record->carNumber), u"CN-9"), FIELD_IS(Field(record->side), u"1"),
                                 FIELD_IS(Field(record->referName), u"Reference S1002"),
                                 FIELD_IS(Field(record->sensorName1), u"LX412 54321")));
    EXPECT_EQ(record->profileZ[10], 1234) << "the rest of the record is carried through";
}

TEST_F(RecordInfo, MiddleWheelKeepsItsSideTextAndTheAxleNameAfterIt)
{
    auto record = Position(u"W1", u"2");
    Put(record->axleName, u"AXLE-NAME");
    int shownSide = -5;
    EXPECT_TRUE(Open(record.get(), nullptr, [&](CRecordInfoDlg& s) {
        shownSide = s.m_sides.GetCurSel();
        Press(s.m_hWnd, CRecordInfoDlg::kOkId);
    }));
    EXPECT_EQ(shownSide, CB_ERR) << "a wheel record's list has no middle entry";
    EXPECT_EQ(Field(record->side), u"2");
    EXPECT_EQ(Field(record->axleName), u"AXLE-NAME");
}

TEST_F(RecordInfo, BackAndCloseLeaveEveryByteOfTheRecordAndAnswerZero)
{
    auto record = Position(u"W1", u"0");
    std::memset(record->positionText, 0x5A, sizeof record->positionText);
    auto before = std::make_unique<QavJournalRecord>(*record);
    EXPECT_FALSE(Open(record.get(), nullptr, [](CRecordInfoDlg& s) {
        SetWindowTextW(GetDlgItem(s.m_hWnd, 290), u"changed");
        Press(s.m_hWnd, CRecordInfoDlg::kBackId);
    }));
    EXPECT_EQ(std::memcmp(record.get(), before.get(), sizeof(QavJournalRecord)), 0);
    EXPECT_FALSE(Open(record.get(), nullptr, [](CRecordInfoDlg& s) {
        SetWindowTextW(GetDlgItem(s.m_hWnd, 290), u"changed");
        SendMessageW(s.m_hWnd, WM_CLOSE, 0, 0);
    })) << "a close is no confirmation";
    EXPECT_EQ(std::memcmp(record.get(), before.get(), sizeof(QavJournalRecord)), 0);
}

TEST_F(RecordInfo, GaugeRecordTakesOnlyItsOwnSerial)
{
    WriteSettings(2, 1, [](ParamBlock& b) {
        Put(b.qavReferName, u"Reference");
        Put(b.qavSensors[0].name, u"HEAD 1");
        Put(b.qavSensors[1].name, u"QUN 12345");
        Put(b.qavSensors[2].name, u"QEM 12345");
    });
    auto record = Position(u"W1", u"0");
    Put(record->referName, u"kept");
    Put(record->sensorName1, u"kept 1");
    Put(record->sensorName3, u"kept 3");
    EXPECT_TRUE(Open(record.get(), nullptr, [](CRecordInfoDlg& s) { Press(s.m_hWnd, CRecordInfoDlg::kOkId); }));
    EXPECT_EQ(Field(record->sensorName2), u"QUN 12345");
    EXPECT_EQ(Field(record->referName), u"kept");
    EXPECT_EQ(Field(record->sensorName1), u"kept 1");
    EXPECT_EQ(Field(record->sensorName3), u"kept 3");
}

TEST_F(RecordInfo, DiscRecordHasAMiddleSideAndTakesTheDiscTexts)
{
    WriteSettings(4, 1, [](ParamBlock& b) {
        Put(b.qodReferName, u"Disc reference");
        Put(b.qodSensor.name, u"LX413 12345");
    });
    auto record = DiscPosition(u"D1", u"2");
    int shownSide = -5, entries = 0;
    EXPECT_TRUE(Open(nullptr, record.get(), [&](CRecordInfoDlg& s) {
        shownSide = s.m_sides.GetCurSel();
        entries = static_cast<int>(SendMessageW(s.m_sides.m_hWnd, CB_GETCOUNT, 0, 0));
        Press(s.m_hWnd, CRecordInfoDlg::kOkId);
    }));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(entries, 3), FIELD_IS(shownSide, 2), FIELD_IS(Field(record->side), u"2"),
                                 FIELD_IS(Field(record->referName), u"Disc reference"),
                                 FIELD_IS(Field(record->sensorName), u"LX413 12345")));

    // Without the record of its family the screen has nothing to fill in: it
    // opens nothing (an action queued for its loop runs only afterwards).
    auto wheel = Position(u"W1", u"0");
    auto before = std::make_unique<QavJournalRecord>(*wheel);
    bool ranInsideScreen = true, ran = false;
    Then([&] {
        ran = true;
        ranInsideScreen = CRecordInfoDlg::Current() != nullptr;
    });
    EXPECT_FALSE(RunScreen<CRecordInfoDlg>(nullptr, owner, wheel.get(), static_cast<QodJournalRecord*>(nullptr)));
    EXPECT_FALSE(ran);
    qtest::PumpUntil([&] { return ran; }, 500);
    EXPECT_FALSE(ranInsideScreen);
    EXPECT_EQ(std::memcmp(wheel.get(), before.get(), sizeof(QavJournalRecord)), 0);
}

TEST_F(RecordInfo, KeyboardOpensOnlyOnceStartedAndNeverAgainByItself)
{
    auto record = Position(u"W1", u"0");
    Put(record->axleName2, u"5");
    bool earlyKeyboard = true;
    std::u16string prompt, afterCancel, focusedClass;
    bool focusOnEdit = true;
    std::u16string shown = u"-", shownAgain = u"-", typed, keptOnEmpty;
    EXPECT_TRUE(Open(record.get(), nullptr, [&](CRecordInfoDlg& s) {
        // Within the first 100 ms the focus on an edit opens nothing.
        HWND screen = s.m_hWnd;
        SetFocus(Edit(s, 294));
        qplat::ProcessPendingMessages();
        earlyKeyboard = FrontDialog() != screen;
        AwaitReady(s);
        // A touch on the axle number opens the digits keyboard with its caption.
        OnKeyboard(screen, [&](HWND keyboard) {
            prompt = WindowText(GetDlgItem(keyboard, 477));
            Press(keyboard, qtest::kKeyboardCancel);
        });
        qtest::TapWindow(Edit(s, 294));
        qtest::PumpUntil([&] { return !prompt.empty() && FrontDialog() == screen; }, 3000);
        afterCancel = WindowText(Edit(s, 294));
        // Nothing opens again once the keyboard closed, not even on the next
        // touch elsewhere.
        qtest::TapWindow(GetDlgItem(s.m_hWnd, 281));
        qtest::PumpUntil([] { return false; }, 150);
        focusOnEdit = GetFocus() == Edit(s, 294) || FrontDialog() != screen;
        // A text typed on the wheel's keyboard; then an empty entry keeps it.
        TypeAndConfirm(screen, u"W7", &shown);
        qtest::TapWindow(Edit(s, 290));
        qtest::PumpUntil([&] { return shown != u"-" && FrontDialog() == screen; }, 3000);
        typed = WindowText(Edit(s, 290));
        TypeAndConfirm(screen, u"", &shownAgain);
        qtest::TapWindow(Edit(s, 290));
        qtest::PumpUntil([&] { return shownAgain != u"-" && FrontDialog() == screen; }, 3000);
        keptOnEmpty = WindowText(Edit(s, 290));
        Press(screen, CRecordInfoDlg::kOkId);
    }));
    EXPECT_FALSE(earlyKeyboard);
    EXPECT_EQ(prompt, qtest::LanguageText(40509) + u":");
    EXPECT_EQ(afterCancel, u"5") << "the keyboard closed without OK is a cancel";
    EXPECT_FALSE(focusOnEdit);
    EXPECT_EQ(shown, u"W1") << "the keyboard starts from the field's text";
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(shownAgain, u"W7"), FIELD_IS(typed, u"W7"), FIELD_IS(keptOnEmpty, u"W7"),
                                 FIELD_IS(Field(record->wheelName), u"W7")));
}

TEST_F(RecordInfo, RussianScreenShowsEveryCaptionInsideItsPlace)
{
    UseLanguage("RUS.LNG");
    auto record = Position(u"W1", u"1");
    Put(record->trainName, u"Поезд 7");
    COLORREF okFace = 0, caption = 0xFFFFFF, titleBlue = 0;
    int dark = 0;
    Open(record.get(), nullptr, [&](CRecordInfoDlg& s) {
        AwaitReady(s);
        InvalidateRect(s.m_hWnd, nullptr, TRUE);
        UpdateWindow(s.m_hWnd);
        qplat::ProcessPendingMessages();
        qtest::Snapshot("record_data_ru.png");
        okFace = qtest::ClientPixel(s.m_hWnd, 175, 226);
        titleBlue = 0;
        for (int x = 150; x < 330 && titleBlue == 0; ++x)
            for (int y = 10; y < 30; ++y)
                if (qtest::Blue(qtest::ClientPixel(s.m_hWnd, x, y))) titleBlue = 1;
        // Each caption's text stays within its 100-pixel place.
        for (int x = 10; x < 110; ++x)
            for (int y = 65; y < 93; ++y)
                if (qtest::Dark(qtest::ClientPixel(s.m_hWnd, x, y))) ++dark;
        caption = qtest::ClientPixel(s.m_hWnd, 111, 75);
        Press(s.m_hWnd, CRecordInfoDlg::kBackId);
    });
    EXPECT_NE(okFace, 0xFFFFFFu) << "the OK button's face";
    EXPECT_EQ(titleBlue, 1u);
    EXPECT_GT(dark, 20) << "the date caption";
    EXPECT_FALSE(qtest::Dark(caption)) << "nothing of the caption beyond its place";
}

}  // namespace
