// The journal browser on journals of both families: what the list and the
// results table show, the row map under a filter, deleting (also while
// filtered, and when the journal cannot be rewritten), an axle save cut off
// half-way, the empty and unreadable journals, and the colours the lists are
// drawn in.

#include <sys/stat.h>

#include <filesystem>

#include "journal/JournalViewDlg.h"
#include "settings/RollBack.h"
#include "tests/journal/JournalTestSupport.h"

using namespace qtest;

namespace {

using View = CJournalViewDlg;
using Filter = CJournalFilterDlg;

HWND RecordList(HWND dlg) { return GetDlgItem(dlg, View::kRecordListId); }
HWND ResultList(HWND dlg) { return GetDlgItem(dlg, View::kResultListId); }
bool Enabled(HWND dlg, int id) { return GetDlgItem(dlg, id) && IsWindowEnabled(GetDlgItem(dlg, id)); }

// Leaves no row of a list selected.
void SelectNone(HWND list)
{
    LVITEMW it{};
    it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
}

// A list cell in the list's client area.
RECT CellRect(HWND list, int row, int column)
{
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    for (int c = 0; c < column; ++c) r.left += static_cast<LONG>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
    r.right = r.left + static_cast<LONG>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
    return r;
}
// A pixel inside a list cell, near its top left corner (clear of the text).
COLORREF CellBackground(HWND list, int row, int column)
{
    const RECT r = CellRect(list, row, column);
    return Pixel(list, r.left + 2, r.top + 2);
}
// Whether a list cell shows a pixel of (nearly) the colour: its text, drawn
// with smoothed edges.
bool CellHasColour(HWND list, int row, int column, COLORREF colour)
{
    return AnyPixel(list, CellRect(list, row, column), colour);
}

class JournalView : public ScreenObjectTest<View> {
protected:
    std::vector<QavJournalRecord> ThreeWheels()
    {
        return {WheelRecord({u"01/12/26", u"Car A", u"100", u"1", u"0", u"W1"}),
                WheelRecord({u"01/12/26", u"Car B", u"200", u"2", u"1", u"W2"}, 600.0),
                WheelRecord({u"02/12/26", u"Car A", u"300", u"3", u"1", u"W3"}, 1200.0)};
    }
    // Steps that set the filter through the filter screen: the list entries
    // to choose (0 keeps " ----- ").
    std::vector<Step> ChooseFilter(std::vector<int> entries)
    {
        return {Command(View::kFilterId), [entries](HWND d) {
                    for (int k = 0; k < 4; ++k)
                        SendMessageW(GetDlgItem(d, Filter::kFirstListId + k), CB_SETCURSEL,
                                     static_cast<WPARAM>(entries[static_cast<size_t>(k)]), 0);
                    PostCommand(d, Filter::kOkId);
                }};
    }
    // An axle save cut off half-way as a kill leaves it: record 0 already
    // replaced by `half`, the roll-back of the pair of records 0 and 2
    // pending beside the journal.
    void CutOffAxleSave(const std::vector<QavJournalRecord>& records, const QavJournalRecord& half)
    {
        const std::u16string path = JournalPath(u"J1");
        CRollBack rollBack(sizeof(QavJournalRecord), records.size() * sizeof(QavJournalRecord),
                           records.size() * sizeof(QavJournalRecord));
        for (size_t i : {size_t{0}, size_t{2}})
            rollBack.AddRange(i * sizeof(QavJournalRecord), reinterpret_cast<const BYTE*>(&records[i]),
                              sizeof(QavJournalRecord), reinterpret_cast<const BYTE*>(&half), sizeof(QavJournalRecord));
        ASSERT_TRUE(rollBack.Write(path.c_str()));
        std::vector<QavJournalRecord> torn = records;
        torn[0] = half;
        WriteJournal(u"J1", torn);
    }
    static std::vector<Step> Join(std::vector<std::vector<Step>> parts)
    {
        std::vector<Step> out;
        for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    }
};

TEST_F(JournalView, OpeningShowsRowZeroWithItsResultsAndEveryRecordCounted)
{
    WriteParams(WheelParams(u"J1", u"Ref1"));
    WriteJournal(u"J1", ThreeWheels());
    WriteReference(u"Ref1", WheelPoints());
    std::vector<std::u16string> row1;
    int resultRows = 0;
    std::u16string sh, shReference;
    std::vector<std::string> enabled;
    EXPECT_TRUE(Run({AndClose([&](HWND d) {
        for (int c = 0; c < 6; ++c) row1.push_back(CellText(RecordList(d), 1, c));
        resultRows = RowCount(ResultList(d));
        sh = CellText(ResultList(d), 0, 1);
        shReference = CellText(ResultList(d), 0, 2);
        enabled = ControlsThat(d, {{View::kModeId, "mode"}, {View::kDeleteId, "delete"}, {View::kFilterId, "filter"},
                                   {View::kSaveReferId, "save reference"}, {View::kFilterResetId, "filter reset"}});
    })}));
    EXPECT_EQ(screen->RecordCount(), 3);
    EXPECT_EQ(screen->RowCount(), 3);
    EXPECT_EQ(screen->SelectedRow(), 0);
    EXPECT_EQ(row1, (std::vector<std::u16string>{u"01/12/26", u"Car B", u"200", u"2", Text(40510), u"W2"}));
    // The default switches give three rows; the measured flange height of the
    // standard profile is its reference's.
    EXPECT_EQ(resultRows, 3);
    EXPECT_EQ(sh, u"27.97");
    EXPECT_EQ(shReference, u"27.97");
    EXPECT_EQ(enabled, (std::vector<std::string>{"mode", "delete", "filter", "save reference"})) << "no filter to reset";
}

// A reference the card does not hold, or none named: the reference column
// stays empty rather than showing the empty block's 0.00.
TEST_F(JournalView, WithoutAReferenceProfileTheReferenceColumnIsEmpty)
{
    for (const char16_t* refer : {u"", u"Missing"}) {
        WriteParams(WheelParams(u"J1", refer));
        WriteJournal(u"J1", ThreeWheels());
        std::u16string sh, shReference = u"x";
        EXPECT_TRUE(Run({AndClose([&](HWND d) {
            sh = CellText(ResultList(d), 0, 1);
            shReference = CellText(ResultList(d), 0, 2);
        })}));
        EXPECT_EQ(sh, u"27.97") << "the measured value is shown";
        EXPECT_EQ(shReference, u"") << "reference name \"" << qplat::ToUtf8(refer) << "\"";
    }
}

TEST_F(JournalView, AFilterListsTheMatchingRecordsThroughTheRowMapAndMarksItsColumns)
{
    WriteParams(WheelParams(u"J1"));
    WriteJournal(u"J1", ThreeWheels());
    COLORREF dateCell = 0, carCell = 0, axleCell = 0, sideCell = 0;
    bool resetEnabled = false;
    EXPECT_TRUE(Run(Join({ChooseFilter({1, 0, 0, 0}),
                          {[&](HWND) {
                              // Date 01/12/26: records 0 and 1.
                              EXPECT_EQ(screen->RowCount(), 2);
                              EXPECT_EQ(screen->RowRecord(1), 1u);
                          }},
                          ChooseFilter({0, 1, 0, 0}),  // any date, "Car A"
                          {[&](HWND d) {
                              qplat::ProcessPendingMessages();
                              EXPECT_EQ(screen->RowCount(), 2);
                              EXPECT_EQ(screen->RowRecord(0), 0u);
                              EXPECT_EQ(screen->RowRecord(1), 2u);
                              EXPECT_EQ(CellText(RecordList(d), 1, 2), u"300");
                          }},
                          ChooseFilter({2, 1, 0, 3}),  // 02/12/26, "Car A", axle "3"
                          {[&](HWND d) {
                               qplat::ProcessPendingMessages();
                               EXPECT_EQ(screen->RowCount(), 1);
                               EXPECT_EQ(screen->RowRecord(0), 2u);
                               // Without a selection the row shows the filter's colours.
                               SelectNone(RecordList(d));
                               UpdateWindow(RecordList(d));
                               qplat::ProcessPendingMessages();
                               dateCell = CellBackground(RecordList(d), 0, 0);
                               carCell = CellBackground(RecordList(d), 0, 1);
                               axleCell = CellBackground(RecordList(d), 0, 3);
                               sideCell = CellBackground(RecordList(d), 0, 4);
                               resetEnabled = Enabled(d, View::kFilterResetId);
                               PostCommand(d, View::kFilterResetId);
                           },
                           AndClose([&](HWND d) {
                               EXPECT_EQ(screen->RowCount(), 3);
                               EXPECT_FALSE(Enabled(d, View::kFilterResetId));
                           })}})));
    EXPECT_EQ(dateCell, 0x00FFFFu);
    EXPECT_EQ(carCell, 0x00FFFFu);
    EXPECT_EQ(axleCell, 0x00FFFFu);
    EXPECT_EQ(sideCell, 0xFFFFFFu);
    EXPECT_TRUE(resetEnabled);
}

TEST_F(JournalView, DeletingWhileFilteredRemovesTheRecordTheRowShows)
{
    WriteParams(WheelParams(u"J1"));
    const auto records = ThreeWheels();
    WriteJournal(u"J1", records);
    std::u16string question;
    EXPECT_TRUE(Run(Join({ChooseFilter({0, 1, 0, 0}),  // "Car A": records 0 and 2
                          {[&](HWND d) {
                               SendMessageW(RecordList(d), LVM_ENSUREVISIBLE, 1, 0);
                               TapCell(RecordList(d), 1, 0);
                               PostCommand(d, View::kDeleteId);
                           },
                           Answer(true, &question),
                           [&](HWND d) {
                               EXPECT_EQ(screen->RowCount(), 1);
                               EXPECT_EQ(screen->SelectedRow(), 0);
                               PostCommand(d, View::kFilterResetId);
                           },
                           AndClose([&](HWND d) {
                               EXPECT_EQ(screen->RowCount(), 2);
                               EXPECT_EQ(CellText(RecordList(d), 1, 1), u"Car B");
                           })}})));
    EXPECT_EQ(question, Text(50017));
    // Exactly the other records, byte for byte, in their order.
    EXPECT_EQ(root.ReadFile(JournalPath(u"J1")), Bytes(records[0]) + Bytes(records[1]));
}

TEST_F(JournalView, ADeletionNeedsASelectionAndAYes)
{
    WriteParams(WheelParams(u"J1"));
    WriteJournal(u"J1", ThreeWheels());
    const std::string before = root.ReadFile(JournalPath(u"J1"));
    std::u16string notice;
    // Without a selection neither a deletion nor the record view; the notice
    // puts the shown row's selection back.
    EXPECT_TRUE(Run({[](HWND d) {
                         SelectNone(RecordList(d));
                         PostCommand(d, View::kDeleteId);
                     },
                     Answer(true, &notice),
                     [](HWND d) {
                         EXPECT_EQ(SendMessageW(RecordList(d), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
                         SelectNone(RecordList(d));
                         PostCommand(d, View::kModeId);
                     },
                     Answer(true),
                     [](HWND d) {
                         SendMessageW(RecordList(d), LVM_ENSUREVISIBLE, 0, 0);
                         TapCell(RecordList(d), 2, 0);
                         PostCommand(d, View::kDeleteId);
                     },
                     Answer(false), Close()}));
    EXPECT_EQ(notice, Text(50016));
    EXPECT_EQ(root.ReadFile(JournalPath(u"J1")), before);
    EXPECT_EQ(screen->RecordCount(), 3);
    EXPECT_EQ(screen->Mode(), 0) << "no record view without a selection";
}

// A tap below the last row clears the selection, and the values of the
// record shown before go with it.
TEST_F(JournalView, ATapOnAnEmptyRowLeavesNoValuesShown)
{
    WriteParams(WheelParams(u"J1"));
    WriteJournal(u"J1", ThreeWheels());
    int shownBefore = 0, shownAfter = -1;
    EXPECT_TRUE(Run({[&](HWND d) {
                         shownBefore = RowCount(ResultList(d));
                         const RECT last = CellRect(RecordList(d), 2, 0);
                         const POINT middle = CellCentre(RecordList(d), 2, 0);
                         qplat::StylusTap(middle.x, middle.y + 2 * (last.bottom - last.top));
                     },
                     AndClose([&](HWND d) { shownAfter = RowCount(ResultList(d)); })}));
    EXPECT_EQ(screen->SelectedRow(), -1);
    EXPECT_EQ(shownBefore, 3);
    EXPECT_EQ(shownAfter, 0) << "no record's values";
}

TEST_F(JournalView, ARewriteThatFailsKeepsTheRecordListedAndSaysSo)
{
    WriteParams(WheelParams(u"J1"));
    WriteJournal(u"J1", ThreeWheels());
    const std::string before = root.ReadFile(JournalPath(u"J1"));
    std::u16string failure;
    int rowsAfter = 0;
    EXPECT_TRUE(Run({[](HWND d) {
                         TapCell(RecordList(d), 1, 0);
                         PostCommand(d, View::kDeleteId);
                     },
                     [](HWND box) {
                         qplat::FailFileWritesAfter(0);
                         PostCommand(box, kBoxFirst);
                     },
                     [&](HWND box) {
                         qplat::FailFileWritesAfter(-1);
                         Answer(true, &failure)(box);
                     },
                     AndClose([&](HWND d) { rowsAfter = RowCount(RecordList(d)); })}));
    EXPECT_EQ(failure, Text(SCREEN_SAVE_FAILED));
    EXPECT_EQ(root.ReadFile(JournalPath(u"J1")), before);
    EXPECT_EQ(rowsAfter, 3);
    EXPECT_EQ(screen->RecordCount(), 3);
    EXPECT_EQ(screen->RowRecord(1), 1u);
}

// Half an axle is never listed as stored: the browser undoes a cut-off save
// before it reads the journal. A deletion writes only while the journal
// holds, byte for byte, the records the screen shows: one that finds a
// save pending (a card's "DB" copied in while it was open) writes once it is
// undone and the journal is again what was shown; a journal changed under
// the screen (a wheel appended, another journal put in its place, another
// card) keeps every byte, the operator is told, and the screen shows what the
// card holds now. Where the save cannot be undone (a read-only card) the
// operator is told.
TEST_F(JournalView, AnAxleSaveCutOffHalfWayIsUndoneOrToldNeverListedAsStored)
{
    WriteParams(WheelParams(u"J1"));
    const auto records = ThreeWheels();
    const std::string before = Bytes(records);
    const QavJournalRecord half = WheelRecord({u"03/12/26", u"Car H", u"900", u"9", u"0", u"W9"});
    const std::string undo = root.Host(JournalPath(u"J1")) + ".undo";

    CutOffAxleSave(records, half);
    EXPECT_TRUE(Run({[&](HWND d) {
                         EXPECT_EQ(CellText(RecordList(d), 0, 1), u"Car A") << "undone before it was read";
                         CutOffAxleSave(records, half);
                         TapCell(RecordList(d), 1, 0);
                         PostCommand(d, View::kDeleteId);
                     },
                     Answer(true), AndClose([&](HWND d) {
                         EXPECT_EQ(RowCount(RecordList(d)), 2);
                         EXPECT_EQ(CellText(RecordList(d), 1, 1), u"Car A");
                     })}));
    EXPECT_EQ(root.ReadFile(JournalPath(u"J1")), Bytes(std::vector<QavJournalRecord>{records[0], records[2]}));
    EXPECT_FALSE(std::filesystem::exists(undo));

    auto five = records;
    five.push_back(WheelRecord({u"04/12/26", u"Car E", u"500", u"5", u"0", u"W5"}));
    five.push_back(WheelRecord({u"04/12/26", u"Car F", u"600", u"6", u"1", u"W6"}));
    for (int others : {0, 5}) {
        SCOPED_TRACE(others ? "another journal of five wheels in its place" : "a fourth wheel appended");
        WriteJournal(u"J1", records);
        std::vector<QavJournalRecord> card = records;
        if (others) {
            card = five;
            for (auto& r : card) qplat::CopyField(r.carName, 10, u"Other");
        } else {
            card.push_back(five[3]);
        }
        std::u16string told;
        screen = std::make_unique<View>();
        EXPECT_TRUE(Run({[&](HWND d) {
                             WriteJournal(u"J1", card);
                             TapCell(RecordList(d), 1, 0);
                             PostCommand(d, View::kDeleteId);
                         },
                         Answer(true), Answer(true, &told), AndClose([&](HWND d) {
                             EXPECT_EQ(RowCount(RecordList(d)), static_cast<int>(card.size())) << "read again";
                             EXPECT_EQ(CellText(RecordList(d), 0, 1), others ? u"Other" : u"Car A");
                         })}));
        EXPECT_EQ(told, Text(SCREEN_JOURNAL_CHANGED));
        EXPECT_EQ(root.ReadFile(JournalPath(u"J1")), Bytes(card)) << "every wheel kept";
    }
    WriteJournal(u"J1", records);

    // A write-protected journal, or a roll-back the card cannot read: shown
    // as it is, with the notice of its cause, and a deletion is refused with
    // the same words.
    CutOffAxleSave(records, half);
    const std::string torn = root.ReadFile(JournalPath(u"J1"));
    for (bool readOnly : {true, false}) {
        SCOPED_TRACE(readOnly ? "read-only journal" : "unreadable roll-back");
        if (!readOnly) {
            std::filesystem::remove(undo);
            ASSERT_EQ(0, ::mkfifo(undo.c_str(), 0644));
        }
        std::filesystem::permissions(root.Host(JournalPath(u"J1")), std::filesystem::perms::owner_write,
                                     readOnly ? std::filesystem::perm_options::remove
                                              : std::filesystem::perm_options::add);
        screen = std::make_unique<View>();
        std::u16string notice, refusal;
        EXPECT_TRUE(Run({[](HWND) {}, Answer(true, &notice),
                         [](HWND d) {
                             TapCell(RecordList(d), 1, 0);
                             PostCommand(d, View::kDeleteId);
                         },
                         Answer(true), Answer(true, &refusal), Close()}));
        const int told = readOnly ? SCREEN_CUT_OFF_SAVE_STUCK : SCREEN_CUT_OFF_SAVE_FAILING;
        EXPECT_EQ(notice, Text(told));
        EXPECT_EQ(refusal, Text(told));
        EXPECT_EQ(root.ReadFile(JournalPath(u"J1")), torn);
        EXPECT_TRUE(std::filesystem::exists(undo));
    }
}

TEST_F(JournalView, DeletingTheLastRecordEmptiesTheListAndTheResults)
{
    WriteParams(WheelParams(u"J1"));
    WriteJournal(u"J1", std::vector<QavJournalRecord>{ThreeWheels()[0]});
    bool modeEnabled = true, deleteEnabled = true;
    int resultRows = -1;
    EXPECT_TRUE(Run({Command(View::kDeleteId), Answer(true), AndClose([&](HWND d) {
                         modeEnabled = Enabled(d, View::kModeId);
                         deleteEnabled = Enabled(d, View::kDeleteId);
                         resultRows = RowCount(ResultList(d));
                     })}));
    EXPECT_EQ(root.ReadFile(JournalPath(u"J1")).size(), 0u);
    EXPECT_EQ(screen->RowCount(), 0);
    EXPECT_EQ(screen->SelectedRow(), -1);
    EXPECT_FALSE(modeEnabled);
    EXPECT_FALSE(deleteEnabled);
    EXPECT_EQ(resultRows, 0);
    EXPECT_EQ(screen->ShownResult().values[0], 0);
    EXPECT_EQ(screen->ProfileCount(), 0u);
}

TEST_F(JournalView, EmptyAndMissingJournalsShowAnEmptyListWithoutANotice)
{
    auto open = [&](int* rows, bool* filterEnabled, bool* noBox) {
        screen = std::make_unique<View>();
        // The second step runs after anything the opening posted: a notice
        // box would be in front then.
        EXPECT_TRUE(Run({[](HWND) {}, AndClose([=](HWND d) {
                             *noBox = CJournalViewDlg::Current() && d == CJournalViewDlg::Current()->m_hWnd;
                             *rows = RowCount(RecordList(d));
                             *filterEnabled = Enabled(d, View::kFilterId);
                         })}));
        EXPECT_EQ(screen->SelectedRow(), -1);
        EXPECT_EQ(screen->ShownRow(), -1);
        EXPECT_EQ(screen->TableRows(), 0);
    };
    int rows = -1;
    bool filterEnabled = true, noBox = false;
    // An empty journal file.
    WriteParams(WheelParams(u"Empty"));
    root.WriteFile(JournalPath(u"Empty"), "");
    open(&rows, &filterEnabled, &noBox);
    EXPECT_EQ(rows, 0);
    EXPECT_FALSE(filterEnabled);
    EXPECT_TRUE(noBox);
    // A missing journal is made empty.
    WriteParams(WheelParams(u"New"));
    open(&rows, &filterEnabled, &noBox);
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(noBox);
    EXPECT_TRUE(root.Exists(JournalPath(u"New")));
    EXPECT_EQ(root.ReadFile(JournalPath(u"New")).size(), 0u);
}

TEST_F(JournalView, AJournalThatCannotBeReadIsToldNotShownAsEmpty)
{
    WriteParams(WheelParams(u"J1"));
    // A folder where the journal file should be (it cannot be opened as a
    // file), then no journal folder at all.
    root.MakeFolder(JournalPath(u"J1"));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        screen = std::make_unique<View>();
        std::u16string notice;
        int rows = -1;
        EXPECT_TRUE(Run({[](HWND) {},
                         [&](HWND box) {
                             qplat::ProcessPendingMessages();
                             if (round == 0) qplat::SaveScreenPng(SnapshotPath("browser-unreadable"));
                             Answer(true, &notice)(box);
                         },
                         AndClose([&](HWND d) { rows = RowCount(RecordList(d)); })}));
        EXPECT_EQ(notice, Text(50066));
        EXPECT_EQ(rows, 0);
        EXPECT_EQ(screen->RecordCount(), 0);
        std::filesystem::remove_all(root.Host(kJournalFolder));
    }
    EXPECT_FALSE(root.Exists(kJournalFolder)) << "no folder is made for it";
}

TEST_F(JournalView, WithoutACurrentJournalTheOperatorIsToldWhereToChooseOne)
{
    for (const bool disc : {false, true}) {
        SCOPED_TRACE(disc);
        ParamBlock p = disc ? DiscParams(u"") : WheelParams(u"");
        // The other family's journal is no current journal of this one.
        CopyName(disc ? p.qavJournalName : p.qodJournalName, u"Other");
        WriteParams(p);
        const std::string params = root.ReadFile(kParamPath);
        screen = std::make_unique<View>();
        std::u16string notice;
        int rows = -1;
        EXPECT_TRUE(
            Run({[](HWND) {}, Answer(true, &notice), AndClose([&](HWND d) { rows = RowCount(RecordList(d)); })}));
        EXPECT_EQ(notice, Text(50070));
        EXPECT_EQ(rows, 0);
        // Nothing written: no journal file, the settings as they were.
        EXPECT_TRUE(std::filesystem::is_empty(root.Host(kJournalFolder)));
        EXPECT_EQ(root.ReadFile(kParamPath), params);
    }
    // A settings file that cannot be read is not replaced by the defaults:
    // it names no journal either.
    root.WriteFile(kParamPath, "");
    screen = std::make_unique<View>();
    std::u16string notice;
    EXPECT_TRUE(Run({[](HWND) {}, Answer(true, &notice), Close()}));
    EXPECT_EQ(notice, Text(50070));
    EXPECT_EQ(root.ReadFile(kParamPath).size(), 0u);
}

TEST_F(JournalView, TheDiscTableListsTheRowsItsSwitchesAllowAndItsUnitsInGreen)
{
    auto open = [&](BYTE switches[4], std::vector<std::u16string>* names, bool* greenUnit) {
        ParamBlock p = DiscParams(u"D1");
        for (int i = 0; i < 4; ++i) p.discSwitches[i] = switches[i];
        WriteParams(p);
        WriteJournal(u"D1", std::vector<QodJournalRecord>{DiscRecord({u"03/12/26", u"Loco", u"7", u"2", u"1", u"D"})});
        screen = std::make_unique<View>();
        EXPECT_TRUE(Run({AndClose([&](HWND d) {
            qplat::ProcessPendingMessages();
            *names = Column(ResultList(d), 0);
            *greenUnit = CellHasColour(ResultList(d), 0, 2, 0x009600);
            qplat::SaveScreenPng(SnapshotPath("browser-disc-table"));
        })}));
    };
    std::vector<std::u16string> names;
    bool green = false;
    // Only the thickness switch (byte 1330) on: its row alone.
    BYTE thicknessOnly[4] = {1, 1, 2, 1};
    open(thicknessOnly, &names, &green);
    EXPECT_EQ(names, std::vector<std::u16string>{Text(40642)});
    EXPECT_TRUE(green) << "the unit column";
    // All four on: every row.
    BYTE all[4] = {2, 2, 2, 2};
    open(all, &names, &green);
    EXPECT_EQ(names.size(), 7u);
    EXPECT_TRUE(green);
    // None on: no row.
    BYTE none[4] = {1, 1, 1, 1};
    open(none, &names, &green);
    EXPECT_TRUE(names.empty());
}

TEST_F(JournalView, ResultValuesAreColouredByTheirGrade)
{
    DopuskQavRecord set;
    std::memset(&set, 0, sizeof set);
    CopyName(set.name, u"Tol");
    set.upper[0] = 27000;  // flange height 27.97: out of tolerance
    set.lower[0] = 20000;
    set.upper[1] = 40000;  // flange thickness 32.20: in the warning band
    set.lower[1] = 20000;
    set.upperWarning[1] = 32000;
    set.lowerWarning[1] = 22000;
    root.WriteFile(kDopuskQavPath, Bytes(set));
    WriteParams(WheelParams(u"J1", u"Ref1", u"Tol"));
    WriteJournal(u"J1", ThreeWheels());
    WriteReference(u"Ref1", WheelPoints());
    COLORREF out = 0, warning = 0, in = 0;
    bool blueValue = false, greenReference = false, whiteOnRed = false;
    EXPECT_TRUE(Run({AndClose([&](HWND d) {
        qplat::ProcessPendingMessages();
        HWND list = ResultList(d);
        out = CellBackground(list, 0, 1);
        warning = CellBackground(list, 1, 1);
        in = CellBackground(list, 2, 1);
        whiteOnRed = CellHasColour(list, 0, 1, 0xFFFFFF);
        blueValue = CellHasColour(list, 2, 1, 0xFF0000);
        greenReference = CellHasColour(list, 2, 2, 0x009600);
        qplat::SaveScreenPng(SnapshotPath("browser-graded"));
    })}));
    EXPECT_EQ(screen->ShownResult().status[0], 2);
    EXPECT_EQ(screen->ShownResult().status[1], 1);
    EXPECT_EQ(out, 0x0000FFu);
    EXPECT_EQ(warning, 0x0080FFu);
    EXPECT_EQ(in, 0xFFFFFFu);
    EXPECT_TRUE(whiteOnRed);
    EXPECT_TRUE(blueValue);
    EXPECT_TRUE(greenReference);
}

TEST_F(JournalView, AToleranceSetTheCatalogueLacksGradesNothing)
{
    DopuskQavRecord set;
    std::memset(&set, 0, sizeof set);
    CopyName(set.name, u"Other");
    set.upper[0] = 1000;
    set.lower[0] = 500;
    root.WriteFile(kDopuskQavPath, Bytes(set));
    WriteParams(WheelParams(u"J1", u"", u"Missing"));
    WriteJournal(u"J1", ThreeWheels());
    EXPECT_TRUE(Run({Close()}));
    for (int i = 0; i < kWheelLimitCount; ++i) EXPECT_EQ(screen->Limits()[i], 0) << i;
    EXPECT_EQ(screen->ShownResult().status[0], 0);
}

TEST_F(JournalView, DiscJournalsShowTheMiddleSideAndHaveNoWheelCommands)
{
    WriteParams(DiscParams(u"D1"));
    WriteJournal(u"D1", std::vector<QodJournalRecord>{DiscRecord({u"03/12/26", u"Loco", u"7", u"2", u"2", u"D"}),
                                                      DiscRecord({u"03/12/26", u"Loco", u"8", u"1", u"0", u"E"})});
    std::u16string middle, left;
    bool saveButton = true, viewButton = true;
    int columns = 0;
    EXPECT_TRUE(Run({AndClose([&](HWND d) {
        middle = CellText(RecordList(d), 0, 4);
        left = CellText(RecordList(d), 1, 4);
        saveButton = GetDlgItem(d, View::kSaveReferId) != nullptr;
        viewButton = GetDlgItem(d, View::kViewId) != nullptr;
        while (SendMessageW(ResultList(d), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(columns), 0) > 0) ++columns;
    })}));
    EXPECT_TRUE(screen->IsDisc());
    EXPECT_EQ(middle, Text(40513));
    EXPECT_EQ(left, Text(40511));
    EXPECT_FALSE(saveButton);
    EXPECT_FALSE(viewButton);
    EXPECT_EQ(columns, 3);
    EXPECT_EQ(screen->TableRows(), 5) << "the rows the default switches allow";
}

}  // namespace

namespace {

TEST_F(JournalView, RussianTextsFitTheirPlaces)
{
    UseLanguage("RUS.LNG");
    language.Load();
    // In inches, with every value switched on and the radial wear as a pair
    // (40621, 40622): the longest units and row names.
    ParamBlock p = WheelParams(u"Депо", u"Ref1", u"", 2);
    for (BYTE& on : p.switches) on = 2;
    p.wheelTypeOption = 2;
    WriteParams(p);
    WriteJournal(u"Депо", ThreeWheels());
    WriteReference(u"Ref1", WheelPoints());
    bool title = false, filterTitle = false, header = false;
    std::vector<std::u16string> cut;
    EXPECT_TRUE(Run({[&](HWND d) {
                         qplat::ProcessPendingMessages();
                         title = AnyHue(d, RECT{150, 8, 330, 34}, 2);
                         header = CellText(RecordList(d), 0, 4) == Text(40511);
                         const HWND table = ResultList(d);
                         for (int r = 0; r < RowCount(table); ++r)
                             for (int c = 0; c < 4; ++c)
                                 if (!FitsColumn(table, c, CellText(table, r, c))) cut.push_back(CellText(table, r, c));
                         qplat::SaveScreenPng(SnapshotPath("browser-ru"));
                         PostCommand(d, View::kFilterId);
                     },
                     [&](HWND d) {
                         qplat::ProcessPendingMessages();
                         filterTitle = AnyHue(d, RECT{20, 2, 120, 16}, 2);
                         qplat::SaveScreenPng(SnapshotPath("filter-ru"));
                         PostCommand(d, Filter::kCancelId);
                     },
                     Close()}));
    EXPECT_TRUE(title);
    EXPECT_TRUE(filterTitle);
    EXPECT_TRUE(header);
    EXPECT_TRUE(cut.empty()) << cut.size() << " texts of the results table do not show whole, the first \""
                             << qplat::ToUtf8(cut.front()) << "\"";
}

}  // namespace
