// The journal filter screen: the lists of values the journal holds, the
// preselection of the caller's keys, and the keys written back on OK only.

#include "journal/JournalFilterDlg.h"
#include "tests/journal/JournalTestSupport.h"

using namespace qtest;

namespace {

using Filter = CJournalFilterDlg;

HWND Combo(HWND dlg, int k) { return GetDlgItem(dlg, Filter::kFirstListId + k); }

std::vector<std::u16string> Entries(HWND combo)
{
    std::vector<std::u16string> out;
    const int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        WCHAR text[64] = {};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        out.push_back(text);
    }
    return out;
}

std::u16string Selected(HWND combo)
{
    const int i = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    WCHAR text[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    return text;
}

// A step that notes the entries of the four lists, then presses `id` (OK or
// cancel).
Step NoteLists(std::vector<std::u16string> (&lists)[4], int id)
{
    return [&lists, id](HWND d) {
        for (int k = 0; k < 4; ++k) lists[k] = Entries(Combo(d, k));
        PostCommand(d, id);
    };
}

JournalFilterKeys Keys(const std::u16string& date, const std::u16string& car, const std::u16string& number,
                       const std::u16string& axle)
{
    JournalFilterKeys k;
    std::memset(&k, 0, sizeof k);
    qplat::CopyField(k.date, 10, date.c_str());
    qplat::CopyField(k.carName, 20, car.c_str());
    qplat::CopyField(k.carNumber, 20, number.c_str());
    qplat::CopyField(k.axleName, 25, axle.c_str());
    return k;
}

const std::u16string kAny = JOURNAL_FILTER_ANY;

class JournalFilter : public JournalScreenTest {
protected:
    // The program keeps one filter screen for every opening, built once the
    // card is known (its file objects take their folder when built).
    void SetUp() override
    {
        JournalScreenTest::SetUp();
        filter = std::make_unique<Filter>();
    }
    void TearDown() override
    {
        filter.reset();
        JournalScreenTest::TearDown();
    }
    BOOL Run(JournalFilterKeys* keys, std::vector<Step> steps)
    {
        Steps(std::move(steps));
        return filter->DoModal(nullptr, owner, keys);
    }
    void WriteWheels()
    {
        WriteParams(WheelParams(u"J1"));
        WriteJournal(u"J1", std::vector<QavJournalRecord>{
                                WheelRecord({u"01/12/26", u"abcd", u"100", u"1", u"0", u"W1"}),
                                WheelRecord({u"01/12/26", u"ABC", u"200", u"2", u"1", u"W2"}),
                                WheelRecord({u"02/12/26", u"abcd", u"100", u"", u"1", u"W3"}),
                                WheelRecord({u"02/12/26", u"", u"300", u"1", u"0", u"W4"}),
                            });
    }
    std::unique_ptr<Filter> filter;
};

TEST_F(JournalFilter, ListsHoldAnyValueFirstThenEachTextOnceInTheOrderOfTheJournal)
{
    WriteWheels();
    std::vector<std::u16string> lists[4];
    JournalFilterKeys keys = Keys(kAny, kAny, kAny, kAny);
    Run(&keys, {NoteLists(lists, Filter::kCancelId)});
    EXPECT_EQ(lists[0], (std::vector<std::u16string>{kAny, u"01/12/26", u"02/12/26"}));
    // Letter case tells values apart, and an empty text is a value too.
    EXPECT_EQ(lists[1], (std::vector<std::u16string>{kAny, u"abcd", u"ABC", u""}));
    EXPECT_EQ(lists[2], (std::vector<std::u16string>{kAny, u"100", u"200", u"300"}));
    EXPECT_EQ(lists[3], (std::vector<std::u16string>{kAny, u"1", u"2", u""}));
}

TEST_F(JournalFilter, OkWritesTheChoicesAndCancelOrTheCloseBoxLeaveTheKeys)
{
    WriteWheels();
    // Any value shown for any value, and given back unchanged.
    JournalFilterKeys any = Keys(kAny, kAny, kAny, kAny);
    std::u16string shown;
    EXPECT_TRUE(Run(&any, {[&](HWND d) {
        shown = Selected(Combo(d, 1));
        PostCommand(d, Filter::kOkId);
    }}));
    EXPECT_EQ(shown, kAny);
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(FilterKeyIsAny(any, k)) << k;

    const JournalFilterKeys before = Keys(kAny, u"ABC", kAny, u"2");
    auto choose = [](HWND d) {
        SendMessageW(Combo(d, 0), CB_SETCURSEL, 2, 0);  // 02/12/26
        SendMessageW(Combo(d, 1), CB_SETCURSEL, 0, 0);  // any
        SendMessageW(Combo(d, 2), CB_SETCURSEL, 3, 0);  // 300
    };
    for (bool useCloseBox : {false, true}) {
        JournalFilterKeys keys = before;
        EXPECT_FALSE(Run(&keys, {[&](HWND d) {
            choose(d);
            if (useCloseBox)
                PostMessageW(d, WM_CLOSE, 0, 0);
            else
                PostCommand(d, Filter::kCancelId);
        }}));
        EXPECT_EQ(std::memcmp(&keys, &before, sizeof keys), 0) << "close box " << useCloseBox;
    }
    JournalFilterKeys keys = before;
    EXPECT_TRUE(Run(&keys, {[&](HWND d) {
        choose(d);
        PostCommand(d, Filter::kOkId);
    }}));
    EXPECT_EQ(std::u16string(keys.date), u"02/12/26");
    EXPECT_TRUE(FilterKeyIsAny(keys, 1));
    EXPECT_EQ(std::u16string(keys.carNumber), u"300");
    EXPECT_EQ(std::u16string(keys.axleName), u"2") << "a key not touched stays";
}

TEST_F(JournalFilter, TheKeyItselfIsPreselectedBeforeAnyTextThatMerelyBeginsWithIt)
{
    WriteWheels();
    // "abcd" comes first in the list and begins with "ABC" when letter case
    // is ignored; the exact value is chosen, so OK gives the key back as it was.
    JournalFilterKeys keys = Keys(kAny, u"ABC", u"10", kAny);
    std::u16string car, number;
    EXPECT_TRUE(Run(&keys, {[&](HWND d) {
        car = Selected(Combo(d, 1));
        number = Selected(Combo(d, 2));
        PostCommand(d, Filter::kOkId);
    }}));
    EXPECT_EQ(car, u"ABC");
    EXPECT_EQ(std::u16string(keys.carName), u"ABC");
    // A key the journal no longer holds falls back to the first value
    // beginning with it.
    EXPECT_EQ(number, u"100");

    keys = Keys(kAny, u"AB", u"999", kAny);
    EXPECT_TRUE(Run(&keys, {[&](HWND d) {
        car = Selected(Combo(d, 1));
        number = Selected(Combo(d, 2));
        PostCommand(d, Filter::kCancelId);
    }}) == FALSE);
    EXPECT_EQ(car, u"abcd");
    EXPECT_EQ(number, kAny);
}

TEST_F(JournalFilter, ValuesThatFillTheirWholeFieldAreListedWholeAndMatchTheirRecord)
{
    WriteParams(WheelParams(u"J1"));
    QavJournalRecord full = WheelRecord({u"", u"", u"", u"", u"0", u"W"});
    // Fields full to the last character, without a terminator.
    for (int i = 0; i < 10; ++i) full.date[i] = u'9';
    for (int i = 0; i < 20; ++i) full.carName[i] = static_cast<WCHAR>(u'a' + i);
    for (int i = 0; i < 20; ++i) full.carNumber[i] = static_cast<WCHAR>(u'A' + i);
    for (int i = 0; i < 10; ++i) full.axleName[i] = static_cast<WCHAR>(u'0' + i);
    // The same texts one character shorter: another value each.
    QavJournalRecord shorter = full;
    shorter.date[9] = shorter.carName[19] = shorter.carNumber[19] = shorter.axleName[9] = 0;
    WriteJournal(u"J1", std::vector<QavJournalRecord>{full, shorter});
    std::vector<std::u16string> lists[4];
    JournalFilterKeys keys = Keys(kAny, kAny, kAny, kAny);
    EXPECT_TRUE(Run(&keys, {[&](HWND d) {
        for (int k = 0; k < 4; ++k) lists[k] = Entries(Combo(d, k));
        for (int k = 0; k < 4; ++k) SendMessageW(Combo(d, k), CB_SETCURSEL, 1, 0);
        PostCommand(d, Filter::kOkId);
    }}));
    EXPECT_EQ(lists[0], (std::vector<std::u16string>{kAny, u"9999999999", u"999999999"}));
    EXPECT_EQ(lists[1], (std::vector<std::u16string>{kAny, u"abcdefghijklmnopqrst", u"abcdefghijklmnopqrs"}));
    EXPECT_EQ(lists[2], (std::vector<std::u16string>{kAny, u"ABCDEFGHIJKLMNOPQRST", u"ABCDEFGHIJKLMNOPQRS"}));
    EXPECT_EQ(lists[3], (std::vector<std::u16string>{kAny, u"0123456789", u"012345678"}));
    // The whole values came back as keys: they pass the record that holds
    // them and no other.
    EXPECT_TRUE(MatchesFilter(keys, full));
    EXPECT_FALSE(MatchesFilter(keys, shorter));
    // Each key alone, too.
    for (int k = 0; k < 4; ++k) {
        JournalFilterKeys one = Keys(kAny, kAny, kAny, kAny);
        std::memcpy(FilterKey(one, k), FilterKey(keys, k), sizeof(WCHAR) * static_cast<size_t>(FilterKeyChars(k)));
        EXPECT_TRUE(MatchesFilter(one, full)) << k;
        EXPECT_FALSE(MatchesFilter(one, shorter)) << k;
    }

    // Opened again on those keys, each list shows the whole value, not the
    // shorter one it begins with, and OK gives the keys back unchanged.
    const JournalFilterKeys chosen = keys;
    std::u16string shown[4];
    EXPECT_TRUE(Run(&keys, {[&](HWND d) {
        for (int k = 0; k < 4; ++k) shown[k] = Selected(Combo(d, k));
        PostCommand(d, Filter::kOkId);
    }}));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(shown[k], lists[k][1]) << k;
    EXPECT_EQ(std::memcmp(&keys, &chosen, sizeof keys), 0);
}

TEST_F(JournalFilter, WithoutAJournalTheListsHoldOnlyAnyValue)
{
    JournalFilterKeys keys = Keys(kAny, kAny, kAny, kAny);
    std::vector<std::u16string> lists[4];
    const Step look = NoteLists(lists, Filter::kOkId);
    // No current journal: nothing read, and no file made for it.
    WriteParams(WheelParams(u""));
    EXPECT_TRUE(Run(&keys, {look}));
    EXPECT_EQ(filter->RecordCount(), 0);
    EXPECT_EQ(lists[1], std::vector<std::u16string>{kAny});
    EXPECT_FALSE(root.Exists(kJournalFolder + u".qav"));
    // A missing journal is made empty, silently.
    WriteParams(WheelParams(u"J1"));
    EXPECT_TRUE(Run(&keys, {look}));
    EXPECT_EQ(filter->RecordCount(), 0);
    EXPECT_TRUE(root.Exists(JournalPath(u"J1")));
    // A settings file that cannot be read is not replaced by the defaults.
    root.WriteFile(kParamPath, "");
    EXPECT_TRUE(Run(&keys, {look}));
    EXPECT_EQ(root.ReadFile(kParamPath).size(), 0u);
}

TEST_F(JournalFilter, AJournalThatCannotBeReadIsToldAndOffersNoValues)
{
    WriteParams(WheelParams(u"J1"));
    JournalFilterKeys keys = Keys(kAny, u"Car A", kAny, kAny);
    const JournalFilterKeys before = keys;
    // A folder where the journal file should be, then no journal folder at all.
    root.MakeFolder(JournalPath(u"J1"));
    for (int round = 0; round < 2; ++round) {
        std::u16string notice;
        std::vector<std::u16string> lists[4];
        EXPECT_FALSE(Run(&keys, {[](HWND) {},  // the notice comes once the screen is up
                                 Answer(true, &notice), NoteLists(lists, Filter::kCancelId)}))
            << round;
        EXPECT_EQ(notice, Text(50066)) << round;
        for (int k = 0; k < 4; ++k) EXPECT_EQ(lists[k], std::vector<std::u16string>{kAny}) << round;
        EXPECT_EQ(std::memcmp(&keys, &before, sizeof keys), 0) << round;
        std::filesystem::remove_all(root.Host(kJournalFolder));
    }
}

TEST_F(JournalFilter, DiscJournalsAreListedFromTheirRecords)
{
    WriteParams(DiscParams(u"D1"));
    WriteJournal(u"D1", std::vector<QodJournalRecord>{DiscRecord({u"03/12/26", u"Loco", u"7", u"2", u"2", u"D"}),
                                                      DiscRecord({u"03/12/26", u"Loco", u"8", u"1", u"1", u"D"})});
    // A wheel journal of the same name is not the disc device's.
    WriteJournal(u"D1", std::vector<QavJournalRecord>{WheelRecord({u"09/09/09", u"Wheel", u"1", u"1", u"0", u"W"})});
    std::vector<std::u16string> lists[4];
    JournalFilterKeys keys = Keys(kAny, kAny, kAny, kAny);
    Run(&keys, {NoteLists(lists, Filter::kCancelId)});
    EXPECT_EQ(lists[0], (std::vector<std::u16string>{kAny, u"03/12/26"}));
    EXPECT_EQ(lists[1], (std::vector<std::u16string>{kAny, u"Loco"}));
    EXPECT_EQ(lists[2], (std::vector<std::u16string>{kAny, u"7", u"8"}));
    EXPECT_EQ(lists[3], (std::vector<std::u16string>{kAny, u"2", u"1"}));
}

}  // namespace
