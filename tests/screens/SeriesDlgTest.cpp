// The measuring-series screen: its start from the journal (measured marks,
// results recomputed into the slots of the positions), the value list, the
// walk, a measurement saved or not, the last position, the diagram's scroll
// for a narrow and a long car, the record data it owns, and the gauge that
// keeps one slot per axle.

#include "screens/MeasureDlg.h"
#include "screens/RecordInfoDlg.h"
#include "screens/SeriesDlg.h"
#include "tests/screens/MeasureScreensTestSupport.h"
#include "tests/support/Fields.h"

namespace {

using namespace qtest;

class Series : public qtest::MeasureScreens {
protected:
    void SetUp() override
    {
        MeasureScreens::SetUp();
        WriteSettings(1, 0);
        scheme = std::make_unique<CScheme>();
    }
    // A scheme of `cars` cars of `axles` two-wheel axles with its order
    // built, and the series record of its first position.
    void BuildScheme(int cars, int axles, int orderType = 3)
    {
        BuildDefaultScheme(scheme.get(), cars, axles, orderType, 2);
        scheme->BuildOrder(orderType, cars);
        record = std::make_unique<QavJournalRecord>();
        Put(record->date, u"01/02/26");
        scheme->FillRecordNames(record.get());
    }
    // The stored record of order position i with its flange height.
    void StorePosition(int i, LONG height)
    {
        auto r = std::make_unique<QavJournalRecord>(*record);
        const int current = scheme->currentEntry;
        scheme->SelectEntry(i, -1);
        scheme->FillRecordNames(r.get());
        scheme->SelectEntry(current, -1);
        SetQavRecordValue(r.get(), 0, height);
        SetQavRecordValue(r.get(), 1, 31000);
        AppendQav(*r);
    }
    // Runs the series of the wheel record (of `disc` when given) with
    // `inside` once its start has run.
    BOOL Open(const std::function<void(CSeriesDlg&)>& inside, QodJournalRecord* disc = nullptr)
    {
        auto screen = std::make_unique<CSeriesDlg>();
        CSeriesDlg* s = screen.get();
        Then([s, inside] {
            qtest::PumpUntil([s] { return s->m_list.m_hWnd != nullptr; }, 3000);
            inside(*s);
            if (IsWindow(s->m_hWnd)) Press(s->m_hWnd, CSeriesDlg::kBackId);
        });
        return screen->DoModal(nullptr, owner, controller.get(), disc ? nullptr : record.get(), disc, scheme.get(),
                               link.get());
    }
    // Inside the measuring screen the series opened: measures again and
    // saves, answering the replacement question with yes.
    void SaveRemeasured(LONG height)
    {
        Then([this, height] {
            CMeasureDlg* m = CMeasureDlg::Current();
            ASSERT_NE(m, nullptr);
            controller->m_result.values[0] = height;
            qtest::AnswerBox(&texts);
            Press(m->m_hWnd, CMeasureDlg::kSaveId);
        });
    }

    std::unique_ptr<CScheme> scheme;
    std::unique_ptr<QavJournalRecord> record;
    std::vector<std::u16string> texts;
};

TEST_F(Series, StartMarksTheJournalsPositionsAndRecomputesTheirResultsIntoTheirSlots)
{
    BuildScheme(2, 4);
    StorePosition(0, 27500);
    StorePosition(2, 26000);
    std::vector<std::u16string> names, values, units;
    LONG states[4] = {};
    Open([&](CSeriesDlg& s) {
        for (int i = 0; i < 4; ++i) states[i] = scheme->order[i].state;
        names = qtest::ColumnTexts(s.m_list, 0);
        values = qtest::ColumnTexts(s.m_list, 1);
        units = qtest::ColumnTexts(s.m_list, 2);
    });
    EXPECT_EQ(states[0], STATE_CURRENT | STATE_MEASURED);
    EXPECT_EQ(states[1], 0);
    EXPECT_EQ(states[2], STATE_MEASURED);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(states[3], 0), FIELD_IS(controller->m_storedResults[0].values[0], 27500),
                                 FIELD_IS(controller->m_storedResults[2].values[0], 26000),
                                 FIELD_IS(controller->m_storedResults[1].values[0], 0)));
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], qtest::LanguageText(40604));
    EXPECT_EQ(values[0], u"27.50") << "the current position's result";
    EXPECT_EQ(units[0], qtest::LanguageText(TEXT_UNIT_MM));
}

// The text of the message box the series showed, answered from a timer: the
// box opens inside the series' own start, where no queued action reaches it.
std::u16string g_seriesBoxText;

void CALLBACK AnswerSeriesBox(HWND window, UINT, UINT_PTR id, DWORD)
{
    const HWND front = FrontDialog();
    if (CSeriesDlg::Current() && front == CSeriesDlg::Current()->m_hWnd) return;
    KillTimer(window, id);
    g_seriesBoxText = qtest::WindowText(GetDlgItem(front, qtest::kBoxTextId));
    Press(front, qtest::kBoxFirstButton);
}

TEST_F(Series, SettingsThatCannotBeReadAreToldAndListNoValues)
{
    BuildScheme(1, 2);
    std::filesystem::remove(root.Host(u"\\SDMMC\\Autorun\\param.qav"));
    root.MakeFolder(u"\\SDMMC\\Autorun\\param.qav");  // no settings can be read there
    g_seriesBoxText.clear();
    SetTimer(qtest::ActionWindow(), 77, 10, AnswerSeriesBox);
    int rows = -1;
    Open([&](CSeriesDlg& s) { rows = s.m_list.GetItemCount(); });
    KillTimer(qtest::ActionWindow(), 77);
    EXPECT_EQ(g_seriesBoxText, qtest::LanguageText(50072));
    EXPECT_EQ(rows, 0);
}

TEST_F(Series, JournalThatCannotBeReadIsToldAndMarksNothing)
{
    BuildScheme(1, 2);
    root.MakeFolder(u"\\SDMMC\\Autorun\\DB\\test.qav");  // no journal file can be read there
    g_seriesBoxText.clear();
    SetTimer(qtest::ActionWindow(), 77, 10, AnswerSeriesBox);
    LONG first = -1;
    Open([&](CSeriesDlg&) { first = scheme->order[0].state; });
    KillTimer(qtest::ActionWindow(), 77);
    EXPECT_EQ(g_seriesBoxText, qtest::LanguageText(50066));
    EXPECT_EQ(first, STATE_CURRENT);
}

// An unmeasured position has nothing graded: no verdict until it has a value.
TEST_F(Series, RowWithoutAUnitShowsItsVerdictOnlyForAResult)
{
    WriteSettings(1, 0, [](ParamBlock& b) { b.option4 = 4; });  // qR as a verdict only
    BuildScheme(1, 2);
    std::u16string none = u"x", pass, fail;
    Open([&](CSeriesDlg& s) {
        const int row = qtest::FindRow(s.m_list, 0, qtest::LanguageText(40609));
        ASSERT_GE(row, 0);
        none = qtest::RowText(s.m_list, row, 1);
        controller->m_result.values[6] = 9500;
        s.FillValueList();
        pass = qtest::RowText(s.m_list, row, 1);
        controller->m_result.status[2] = 2;
        s.FillValueList();
        fail = qtest::RowText(s.m_list, row, 1);
    });
    EXPECT_EQ(none, u"");
    EXPECT_EQ(pass, qtest::LanguageText(40628));
    EXPECT_EQ(fail, qtest::LanguageText(40629));
}

TEST_F(Series, WalkFollowsThePositionsNamesAndSlots)
{
    BuildScheme(2, 4);
    StorePosition(2, 25000);  // the second axle's first wheel
    bool prevAtStart = true, prevLater = false;
    std::u16string firstName, secondName;
    LONG shown = 0;
    int entry = -1;
    Open([&](CSeriesDlg& s) {
        prevAtStart = Enabled(s.m_buttons[CSeriesDlg::kSlotPrevPosition]);
        firstName = Field(s.m_qav.axleName);
        Press(s.m_hWnd, CSeriesDlg::kNextPositionId);
        Press(s.m_hWnd, CSeriesDlg::kNextPositionId);
        entry = scheme->currentEntry;
        secondName = Field(s.m_qav.axleName);
        shown = controller->m_result.values[0];
        prevLater = Enabled(s.m_buttons[CSeriesDlg::kSlotPrevPosition]);
    });
    EXPECT_FALSE(prevAtStart);
    EXPECT_TRUE(prevLater);
    EXPECT_EQ(entry, 2);
    EXPECT_EQ(firstName, u"1");
    EXPECT_EQ(secondName, u"2") << "the record follows the walk";
    EXPECT_EQ(shown, 25000) << "the slot of the position walked to";
}

TEST_F(Series, SavedMeasurementIsKeptMarkedAndTheWalkMovesOnButNotPastTheLast)
{
    BuildScheme(1, 2);  // four positions
    StorePosition(0, 27000);
    StorePosition(3, 27000);
    int afterClose = -1, afterSave = -1, atLast = -1;
    LONG lastState = 0;
    Open([&](CSeriesDlg& s) {
        // Closed without saving: nothing kept, the walk stays.
        Then([] { Press(CMeasureDlg::Current()->m_hWnd, CMeasureDlg::kCloseId); });
        Press(s.m_hWnd, CSeriesDlg::kMeasureId);
        afterClose = scheme->currentEntry;
        // Saved: the result goes to the position's slot, which is marked.
        SaveRemeasured(29000);
        Press(s.m_hWnd, CSeriesDlg::kMeasureId);
        afterSave = scheme->currentEntry;
        // The last position is marked and stays current.
        Press(s.m_hWnd, CSeriesDlg::kNextPositionId);
        Press(s.m_hWnd, CSeriesDlg::kNextPositionId);
        SaveRemeasured(29500);
        Press(s.m_hWnd, CSeriesDlg::kMeasureId);
        atLast = scheme->currentEntry;
        lastState = scheme->order[3].state;
    });
    EXPECT_EQ(afterClose, 0);
    EXPECT_EQ(afterSave, 1);
    EXPECT_EQ(scheme->order[0].state, STATE_MEASURED);
    EXPECT_EQ(controller->m_storedResults[0].values[0], 29000);
    EXPECT_EQ(atLast, 3);
    EXPECT_EQ(lastState, STATE_CURRENT | STATE_MEASURED);
    EXPECT_EQ(controller->m_storedResults[3].values[0], 29500);
    ASSERT_EQ(texts.size(), 2u) << "a measured position asks before its record is replaced";
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(GetQavRecordValue(journal[0], 0), 29000);
    EXPECT_EQ(GetQavRecordValue(journal[1], 0), 29500);
}

// A tap on measure before the series' start has run: the start comes first,
// so it cannot run later inside the measuring screen and clear the result
// that is then saved as zeros.
TEST_F(Series, AMeasureBeforeTheStartRunsTheStartFirstAndSavesWhatWasMeasured)
{
    BuildScheme(1, 2);
    StorePosition(3, 27000);
    LONG markedInside = 0;
    auto screen = std::make_unique<CSeriesDlg>();
    CSeriesDlg* s = screen.get();
    Then([&, s] {
        // The series' own start timer has not fired: this runs at its first idle.
        Then([&] {
            // The start has run by now: the stored position is marked.
            markedInside = scheme->order[3].state;
            CMeasureDlg* m = CMeasureDlg::Current();
            ASSERT_NE(m, nullptr);
            controller->m_result.values[0] = 29000;
            Press(m->m_hWnd, CMeasureDlg::kSaveId);
        });
        Press(s->m_hWnd, CSeriesDlg::kMeasureId);
        if (IsWindow(s->m_hWnd)) Press(s->m_hWnd, CSeriesDlg::kBackId);
    });
    screen->DoModal(nullptr, owner, controller.get(), record.get(), nullptr, scheme.get(), link.get());
    EXPECT_EQ(markedInside & STATE_MEASURED, STATE_MEASURED) << "the start ran before the measuring screen";
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(GetQavRecordValue(journal[1], 0), 29000) << "the measured value, not the start's cleared one";
}

TEST_F(Series, NarrowCarHasNoScrollBarAndALongCarScrollsItsCurrentAxleIntoView)
{
    BuildScheme(1, 4);
    int narrowVisible = -1, narrowPosition = -1;
    Open([&](CSeriesDlg& s) {
        narrowVisible = s.m_scroll.bar.m_visible;
        narrowPosition = s.m_scroll.position;
    });
    EXPECT_EQ(narrowVisible, SW_HIDE);
    EXPECT_EQ(narrowPosition, 0);

    BuildScheme(1, SCHEME_MAX_AXLES);
    int maximum = 0, position = -1, axleX = -1, afterPage = -1, atEnd = -1;
    Open([&](CSeriesDlg& s) {
        maximum = s.m_scroll.maximum;
        scheme->MoveToEntry(scheme->orderCount - 1);
        s.FollowPosition();
        position = s.m_scroll.position;
        axleX = CSchemeView::AxleX(scheme->cars, scheme->currentCar, scheme->currentAxle);
        SendMessageW(s.m_hWnd, WM_HSCROLL, SB_PAGELEFT, reinterpret_cast<LPARAM>(s.m_scroll.bar.m_hWnd));
        afterPage = s.m_scroll.position;
        for (int i = 0; i < 100; ++i)
            SendMessageW(s.m_hWnd, WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(s.m_scroll.bar.m_hWnd));
        atEnd = s.m_scroll.position;
    });
    const int width = CSchemeView::CarWidth(scheme->cars, 0);
    EXPECT_EQ(maximum, width - 371);
    EXPECT_GT(position, 0);
    EXPECT_LE(axleX, position + 373) << "the current axle is in view";
    EXPECT_GE(axleX, position - 39);
    EXPECT_EQ(afterPage, position - 50);
    EXPECT_EQ(atEnd, maximum) << "held at the end of the range";
}

TEST_F(Series, RecordDataIsTheSeriesOwnAndItsNamesGoIntoTheScheme)
{
    BuildScheme(1, 2);
    HWND recordOwner = nullptr, series = nullptr;
    Open([&](CSeriesDlg& s) {
        series = s.m_hWnd;
        Then([&] {
            HWND front = FrontDialog();
            recordOwner = GetWindow(front, GW_OWNER);
            SetWindowTextW(GetDlgItem(front, 291), u"Car 42");
            Press(front, CRecordInfoDlg::kOkId);
        });
        Press(s.m_hWnd, CSeriesDlg::kRecordDataId);
    });
    EXPECT_EQ(recordOwner, series);
    EXPECT_EQ(Field(scheme->cars[0].name), u"Car 42");
    EXPECT_EQ(Field(record->carName), u"") << "the launcher's record is not changed by the series";
}

// The pair of an axle as a type-3 save stores it: both sides under the names
// the walk gives the axle (its first position in the order), with the mean.
void StoreAxlePair(CScheme& scheme, const QavJournalRecord& base, int axleEntry, LONG mean,
                   const std::function<void(const QavJournalRecord&)>& append)
{
    const int current = scheme.currentAxleEntry;
    scheme.MoveToAxle(axleEntry);
    auto r = std::make_unique<QavJournalRecord>(base);
    scheme.FillRecordNames(r.get());
    scheme.MoveToAxle(current);
    SetQavRecordValue(r.get(), 27, 1);
    SetQavRecordValue(r.get(), 28, mean);
    for (const char16_t* side : {u"0", u"1"}) {
        Put(r->side, side);
        append(*r);
    }
}

TEST_F(Series, WheelSetGaugeKeepsOneSlotPerAxleAndMarksBothWheels)
{
    WriteSettings(3, 0);
    BuildScheme(1, 3);
    StoreAxlePair(*scheme, *record, 1, 5000, [this](const QavJournalRecord& r) { AppendQav(r); });
    LONG left = -1, right = -1, axle = -1;
    Open([&](CSeriesDlg&) {
        const SchemeAxle& a = scheme->cars[0].axles[1];
        left = a.wheels[SIDE_LEFT].state;
        right = a.wheels[SIDE_RIGHT].state;
        axle = scheme->axleEntries[a.axleEntryIndex].state;
    });
    const int slot = scheme->cars[0].axles[1].axleEntryIndex;
    EXPECT_EQ(controller->m_storedResults[slot].values[28], 5000);
    EXPECT_EQ(controller->m_storedResults[0].values[28], 0) << "the first axle is not measured";
    EXPECT_EQ(left, STATE_MEASURED);
    EXPECT_EQ(right, STATE_MEASURED);
    EXPECT_EQ(axle, STATE_MEASURED);
}

// The default scheme names an axle's wheels one by one ("2" and "3"), and
// the pair is stored under the first position's ("3", the right wheel of
// order type 3). Every measured axle shows measured when the series opens
// again, so measuring it again asks before its records are replaced.
TEST_F(Series, WheelSetGaugeAxlesWithDifferentlyNamedWheelsShowMeasuredWhenOpenedAgain)
{
    WriteSettings(3, 0);
    BuildScheme(2, 2);
    ASSERT_NE(Field(scheme->cars[0].axles[1].wheels[SIDE_LEFT].name),
              Field(scheme->cars[0].axles[1].wheels[SIDE_RIGHT].name));
    for (int k : {0, 1, 3})
        StoreAxlePair(*scheme, *record, k, 5000 + k, [this](const QavJournalRecord& r) { AppendQav(r); });
    LONG states[4] = {}, current = 0;
    Open([&](CSeriesDlg&) {
        for (int k = 0; k < 4; ++k) states[k] = scheme->axleEntries[k].state;
        current = scheme->GetCurrentState();
    });
    EXPECT_EQ(states[0], STATE_CURRENT | STATE_MEASURED);
    EXPECT_EQ(states[1], STATE_MEASURED);
    EXPECT_EQ(states[2], 0);
    EXPECT_EQ(states[3], STATE_MEASURED) << "the second car's last axle";
    EXPECT_EQ(current, STATE_CURRENT | STATE_MEASURED) << "the replacement question is asked";
    for (int k : {0, 1, 3}) EXPECT_EQ(controller->m_storedResults[k].values[28], 5000 + k) << k;
}

// The series' start takes the record's names into the scheme (the car, number,
// axle and train names the operator entered before the series opened), and the
// wheel name only for the wheel the record names: a scheme that names its
// wheels one by one keeps the other wheel's name for the next position.
TEST_F(Series, StartTakesTheRecordsNamesIntoTheSchemeAndTheWheelNameOnlyForItsWheel)
{
    BuildScheme(2, 2);  // order type 3: the first axle's right wheel ("1"), then its left ("0")
    Put(record->carName, u"Sleeper");
    Put(record->carNumber, u"B-7");
    Put(record->axleName, u"X1");
    Put(record->trainName, u"Night train");
    Put(record->wheelName, u"R1");
    std::u16string nextWheel, nextSide, nextCar;
    Open([&](CSeriesDlg& s) {
        Press(s.m_hWnd, CSeriesDlg::kNextPositionId);
        nextWheel = Field(s.m_qav.wheelName);
        nextSide = Field(s.m_qav.side);
        nextCar = Field(s.m_qav.carName);
    });
    const SchemeCar& car = scheme->cars[0];
    EXPECT_EQ(Field(car.name), u"Sleeper");
    EXPECT_EQ(Field(car.numberText), u"B-7");
    EXPECT_EQ(Field(car.axles[0].name), u"X1");
    EXPECT_EQ(Field(scheme->cars[1].trainName), u"Night train") << "every car's train";
    EXPECT_EQ(Field(car.axles[0].wheels[SIDE_RIGHT].name), u"R1");
    EXPECT_EQ(Field(car.axles[0].wheels[SIDE_LEFT].name), u"0") << "the other wheel keeps its name";
    EXPECT_EQ(nextWheel, u"0") << "the next position is stored under its own wheel's name";
    EXPECT_EQ(nextSide, u"0");
    EXPECT_EQ(nextCar, u"Sleeper");
}

// Drives every measuring screen the series opens for a new position: its run
// starts at once and fails (no head), the failure is answered, and then a
// disc measurement numbered by the save is put in the controller and saved.
struct DiscWalk {
    CMeasureController* controller = nullptr;
    int saves = 0;
    std::vector<std::u16string> boxes;
};
DiscWalk g_discWalk;

void CALLBACK DriveDiscScreens(HWND, UINT, UINT_PTR, DWORD)
{
    const HWND front = FrontDialog();
    if (front && GetDlgItem(front, qtest::kBoxTextId)) {
        g_discWalk.boxes.push_back(qtest::WindowText(GetDlgItem(front, qtest::kBoxTextId)));
        Press(front, qtest::kBoxFirstButton);
        return;
    }
    CMeasureDlg* m = CMeasureDlg::Current();
    if (!m || front != m->m_hWnd || m->m_measuring != 0) return;
    CMeasureController& c = *g_discWalk.controller;
    c.m_count = c.m_count2 = 100;
    for (int i = 0; i < 100; ++i) {
        c.m_points[i] = ProfilePoint{1000 + 50 * i, -1000};
        c.m_points2[i] = ProfilePoint{1000 + 50 * i, -2000};
    }
    c.m_discResult.values[0] = 1000 + g_discWalk.saves++;
    m->m_mainButtons[CMeasureDlg::kSlotSave].Enable(TRUE);
    Press(m->m_hWnd, CMeasureDlg::kSaveId);
}

// A disc series over two cars: the first named the other way round (its
// right wheels stored with side digit 0), the second turned round (met from
// its last axle, left and right exchanged). Each position is measured and
// saved in the order's turn; every stored record names the wheel measured.
TEST_F(Series, DiscSeriesStoresEveryPositionUnderItsOwnNamesInTheMeasuringOrder)
{
    WriteSettings(4, 0);
    // Wheels named 2a (left) and 2a + 1 (right); the disc record at the first position.
    auto buildScheme = [this] {
        BuildDefaultScheme(scheme.get(), 2, 2, 3, 2);
        scheme->cars[0].swapped = 1;
        scheme->cars[1].reversed = 1;
        EXPECT_EQ(scheme->BuildOrder(3, 2), 1);
        auto disc = std::make_unique<QodJournalRecord>();
        Put(disc->date, u"01/02/26");
        scheme->FillRecordNamesQod(disc.get());
        return disc;
    };
    auto disc = buildScheme();
    g_discWalk = DiscWalk{};
    g_discWalk.controller = controller.get();
    SetTimer(qtest::ActionWindow(), 78, 10, DriveDiscScreens);
    LONG statesAfter[8] = {};
    std::vector<std::u16string> names, cut;
    Open(
        [&](CSeriesDlg& s) {
            for (int i = 0; i < 8; ++i) Press(s.m_hWnd, CSeriesDlg::kMeasureId);
            for (int i = 0; i < 8; ++i) statesAfter[i] = scheme->order[i].state;
            // The disc rows' names with their side digits show whole in the
            // value list's 30-pixel name column.
            for (int r = 0; r < s.m_list.GetItemCount(); ++r) {
                names.push_back(qtest::RowText(s.m_list, r, 0));
                if (!qtest::FitsColumn(s.m_list.m_hWnd, 0, names.back())) cut.push_back(names.back());
            }
        },
        disc.get());
    KillTimer(qtest::ActionWindow(), 78);

    EXPECT_FALSE(names.empty());
    EXPECT_TRUE(cut.empty()) << qplat::ToUtf8(cut.front());
    EXPECT_EQ(g_discWalk.boxes.size(), 8u) << "each screen's run failed without a head";
    for (const std::u16string& text : g_discWalk.boxes) EXPECT_EQ(text, qtest::LanguageText(50006));
    struct Expected {
        const char16_t *car, *axle, *wheel, *side;
    };
    const Expected expected[8] = {
        {u"1", u"1", u"1", u"0"}, {u"1", u"1", u"0", u"1"}, {u"1", u"2", u"3", u"0"}, {u"1", u"2", u"2", u"1"},
        {u"2", u"2", u"2", u"0"}, {u"2", u"2", u"3", u"1"}, {u"2", u"1", u"0", u"0"}, {u"2", u"1", u"1", u"1"},
    };
    const std::vector<QodJournalRecord> journal = QodJournal();
    ASSERT_EQ(journal.size(), 8u);
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        const QodJournalRecord& r = journal[static_cast<size_t>(k)];
        EXPECT_EQ(Field(r.carNumber), expected[k].car);
        EXPECT_EQ(Field(r.axleName), expected[k].axle);
        EXPECT_EQ(Field(r.wheelName), expected[k].wheel);
        EXPECT_EQ(Field(r.side), expected[k].side);
        EXPECT_EQ(Field(r.date), u"01/02/26");
        EXPECT_EQ(GetQodRecordValue(r, 0), 1000 + k) << "the k-th save";
        EXPECT_EQ(r.countA, 100);
        EXPECT_EQ(controller->m_storedDiscResults[k].values[0], 1000 + k) << "the position's slot";
        EXPECT_EQ(statesAfter[k] & STATE_MEASURED, STATE_MEASURED);
    }

    // Opened again as the launcher opens it (the scheme loaded afresh, the
    // record at its first position), the series finds every position measured.
    disc = buildScheme();
    LONG reopened[8] = {};
    Open([&](CSeriesDlg&) { for (int i = 0; i < 8; ++i) reopened[i] = scheme->order[i].state; }, disc.get());
    for (int k = 0; k < 8; ++k) EXPECT_EQ(reopened[k] & STATE_MEASURED, STATE_MEASURED) << k;
}

TEST_F(Series, ScreenShowsThePanelTheDiagramAndTheListAsTheOperatorSeesThem)
{
    UseRealLanguage("RUS.LNG");
    BuildScheme(2, 4);
    StorePosition(0, 27500);
    StorePosition(2, 26000);
    int currentMeasured = 0, measured = 0, listBlue = 0;
    Open([&](CSeriesDlg& s) {
        Press(s.m_hWnd, CSeriesDlg::kNextPositionId);
        Press(s.m_hWnd, CSeriesDlg::kNextPositionId);
        UpdateWindow(s.m_hWnd);
        qtest::Snapshot("series_ru.png");
        const qplat::Surface screen = qplat::ComposeScreen();
        for (int y = 144; y < 264; ++y)
            for (int x = 1; x < 378; ++x) {
                const COLORREF c = qplat::PixelToColor(screen.At(x, y));
                if (c == 0xC100C1) ++currentMeasured;
                if (c == 0xC10000) ++measured;
            }
        for (int y = 48; y < 145; ++y)
            for (int x = 235; x < 378; ++x)
                if (qtest::Blue(qplat::PixelToColor(screen.At(x, y)))) ++listBlue;
    });
    EXPECT_GT(currentMeasured, 30) << "the current position, measured";
    EXPECT_GT(measured, 30) << "the other measured position";
    EXPECT_GT(listBlue, 20) << "the current position's values";
}

}  // namespace
