// The journal screens in the application itself, run headless from a script:
// two records stored by the journal classes, the browser opened from the
// start screen, a filter chosen on the filter screen, a record opened in the
// record view and its profile saved as a reference profile, an emptied name
// asked for, and the journal manager's road with a measurement of the
// simulated head stored in between. The places the script taps are measured
// first on the same screens in this process.


#include "journal/JournalListDlg.h"
#include "journal/JournalViewDlg.h"
#include "platform/gdi/Surface.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "tests/journal/JournalTestSupport.h"
#include "tests/support/BoxPicture.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/SimProcess.h"
#include "ui/KeyboardDlg.h"
#include "ui/MessageDlg.h"

using namespace qtest;

namespace {

namespace fs = std::filesystem;
using View = CJournalViewDlg;
using Filter = CJournalFilterDlg;

// Where the script taps: measured on the screens themselves.
struct Places {
    Spot filter{}, mode{}, save{}, back{};
    Spot carList{}, carEntry1{}, filterOk{};
    Spot keyboardOk{}, keyboardBackspace{}, boxOk{};
};

COLORREF At(const qplat::Surface& s, int x, int y)
{
    return s.Contains(x, y) ? qplat::PixelToColor(s.At(x, y)) : CLR_INVALID;
}
bool Bluish(COLORREF c)
{
    const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    return b > r + 80 && b > g + 80;
}

class JournalProgramRun : public JournalScreenTest {
protected:
    void SetUp() override
    {
        JournalScreenTest::SetUp();
        dir = root.Beside("-run");
    }
    std::string Snap(const std::string& name) const { return SnapshotPath("run-" + name); }
    int RunProgram(const std::string& script) { return RunProgramScript(root.Path(), dir / "script.txt", script); }
    Places Measure()
    {
        Places p;
        auto screen = std::make_unique<View>();
        Steps({[&](HWND d) {
                   p.filter = Centre(GetDlgItem(d, View::kFilterId));
                   p.mode = Centre(GetDlgItem(d, View::kModeId));
                   p.save = Centre(GetDlgItem(d, View::kSaveReferId));
                   p.back = Centre(GetDlgItem(d, View::kBackId));
                   PostCommand(d, View::kFilterId);
               },
               [&](HWND d) {
                   HWND car = GetDlgItem(d, Filter::kFirstListId + 1);
                   RECT r{};
                   GetWindowRect(car, &r);
                   const int item = static_cast<int>(SendMessageW(car, CB_GETITEMHEIGHT, 0, 0));
                   p.carList = Centre(car);
                   // The dropped list opens under the box; entry 1 is its second line.
                   p.carEntry1 = Spot{static_cast<int>((r.left + r.right) / 2), r.bottom + item + item / 2 + 1};
                   p.filterOk = Centre(GetDlgItem(d, Filter::kOkId));
                   PostCommand(d, Filter::kCancelId);
               },
               Close()});
        screen->DoModal(nullptr, owner);
        Then([&] {
            p.keyboardOk = Centre(GetDlgItem(FrontDialog(), kKeyboardOk));
            p.keyboardBackspace = Centre(GetDlgItem(FrontDialog(), kKeyboardBackspace));
            PostCommand(FrontDialog(), kKeyboardCancel);
        });
        auto keyboard = std::make_unique<CKeyboardDlg>();
        keyboard->DoModal(nullptr, owner, 1, u"", u"");
        p.boxOk = RenderBox(MESSAGE_NOTICE, Text(50070), "box").first;
        return p;
    }
    // A message box as the program shows it, rendered here in the card's
    // language.
    BoxPicture RenderBox(int type, const std::u16string& text, const std::string& name)
    {
        return DrawBox(owner, type, text, Snap(name));
    }
    template <class Place>
    static std::string Tap(Place p)
    {
        return "tap " + std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
    }

    fs::path dir;
};

TEST_F(JournalProgramRun, StoredRecordsAreFilteredOpenedAndSavedAsAReference)
{
    ParamBlock p = WheelParams(u"Depot", u"Ref1");
    p.measureMode = 1;
    WriteParams(p);
    WriteReference(u"Ref1", WheelPoints());
    // The records as the measuring screen stores them, through the journal.
    {
        CDBJournalQav journal;
        for (const QavJournalRecord& r :
             {WheelRecord({u"01/12/26", u"Car A", u"100", u"1", u"0", u"W1"}, 1200.0),
              WheelRecord({u"01/12/26", u"Car B", u"200", u"1", u"1", u"W2"}, 300.0),
              WheelRecord({u"02/12/26", u"Car A", u"100", u"2", u"1", u"W3"}, 600.0)})
            ASSERT_EQ(journal.Append(u"Depot", &r), 1);
    }
    const Places at = Measure();
    // Every screen here opens and closes on its tap: each action comes when
    // the program has handled the one before, and nothing is waited for.
    const std::string script =
        Tap(Spot{88, 151}) + "snapshot " + Snap("list") + "\n" + Tap(at.filter) + Tap(at.carList) + "snapshot " +
        Snap("filter") + "\n" + Tap(at.carEntry1) + Tap(at.filterOk) + "snapshot " + Snap("filtered") + "\n" +
        Tap(at.mode) + "snapshot " + Snap("record") + "\n" + Tap(at.mode) + Tap(at.save) + "snapshot " +
        Snap("keyboard") + "\n" + Tap(at.keyboardOk) + "snapshot " + Snap("saved") + "\n" + Tap(at.back) +
        // The data menu's journal manager lists the journal as the current one.
        "tap 390 85\ntap 130 100\nsnapshot " + Snap("manager") + "\n" + Tap(at.back) + "tap 453 25\nquit\n";
    ASSERT_EQ(RunProgram(script), 0);

    // The first stored record (Car A, row 0 of the filtered list) went out as
    // the reference "Reference" (the keyboard's initial name).
    CReferStore store;
    std::vector<ProfilePoint> loaded(kMaxProfilePoints);
    DWORD count = 0;
    ASSERT_EQ(store.Load(Text(40429).c_str(), loaded.data(), &count, 1), 1);
    const auto worn = WheelPoints(1200.0);
    ASSERT_EQ(count, worn.size());
    for (size_t i = 0; i < worn.size(); i += 97) {
        EXPECT_EQ(loaded[i].x, worn[i].x) << i;
        EXPECT_EQ(loaded[i].z, worn[i].z) << i;
    }

    const qplat::Surface list = ReadSnapshot(Snap("list"));
    EXPECT_TRUE(AnyPixel(list, RECT{150, 8, 330, 34}, Bluish)) << "the browser's title";
    EXPECT_TRUE(AnyPixel(list, RECT{135, 67, 160, 82}, [](COLORREF c) {
        return ((c >> 8) & 0xFF) > 100 && (c & 0xFF) < 80;
    })) << "the green row count";
    const qplat::Surface filter = ReadSnapshot(Snap("filter"));
    EXPECT_NE(filter.pixels, list.pixels) << "the filter screen opened";
    const qplat::Surface filtered = ReadSnapshot(Snap("filtered"));
    // Row 1 (the second Car A record): its car column is marked yellow.
    const POINT carCell{5 + 64 + 10, 87 + 2 * 18 + 4};
    EXPECT_TRUE(AnyPixel(filtered, RECT{carCell.x - 6, carCell.y - 6, carCell.x + 6, carCell.y + 6}, [](COLORREF c) {
        return c == 0x00FFFF;
    })) << "the filtered column";
    const qplat::Surface record = ReadSnapshot(Snap("record"));
    EXPECT_TRUE(AnyPixel(record, RECT{20, 110, 300, 250}, Bluish)) << "the record's profile in the chart";
    EXPECT_FALSE(AnyPixel(record, RECT{20, 110, 60, 116}, [](COLORREF c) { return c == 0x00FFFF; }))
        << "no list in record mode";
    const qplat::Surface manager = ReadSnapshot(Snap("manager"));
    EXPECT_TRUE(AnyPixel(manager, RECT{100, 8, 380, 34}, Bluish)) << "the manager's title";
    EXPECT_TRUE(AnyPixel(manager, RECT{200, 214, 201, 221}, [](COLORREF c) { return c == 0x000000; }))
        << "its lower separator";
    EXPECT_TRUE(AnyPixel(manager, RECT{410, 120, 430, 135}, [](COLORREF c) { return c == 0x000000; }))
        << "the current journal's mark";
}

// A name emptied on the keyboard, for a reference saved from the browser and
// for a new journal in the manager, reached by taps from the start screen:
// each asks for its own kind of name, in English and in Russian, and nothing
// is written.
TEST_F(JournalProgramRun, AnEmptiedNameIsAskedForAndNothingIsWritten)
{
    WriteParams(WheelParams(u"Depot", u"Ref1"));
    WriteReference(u"Ref1", WheelPoints());
    {
        CDBJournalQav journal;
        const QavJournalRecord r = WheelRecord({u"01/12/26", u"Car A", u"100", u"1", u"0", u"W1"}, 1200.0);
        ASSERT_EQ(journal.Append(u"Depot", &r), 1);
    }
    const Places at = Measure();
    Spot create{}, managerBack{};
    RunWith<CJournalListDlg>({AndClose([&](HWND d) {
        create = Centre(GetDlgItem(d, CJournalListDlg::kNewId));
        managerBack = Centre(GetDlgItem(d, CJournalListDlg::kBackId));
    })});

    // More backspaces than either offered name has characters, then OK.
    std::string emptied;
    for (int i = 0; i < 24; ++i) emptied += Tap(at.keyboardBackspace);
    emptied += Tap(at.keyboardOk);
    auto entries = [&](const std::u16string& folder) {
        return std::distance(fs::directory_iterator(root.Host(folder)), fs::directory_iterator());
    };
    const auto journals = entries(kJournalFolder);
    const auto references = entries(kProgramFolder + u"Refer\\");
    for (const std::string tongue : {"ENG", "RUS"}) {
        UseLanguage((tongue + ".LNG").c_str());
        language.Load();
        // The two requests as the boxes show them in this language.
        const BoxPicture referenceNeeded = RenderBox(MESSAGE_NOTICE, Text(50095), "reference-name-needed-" + tongue);
        const BoxPicture journalNeeded = RenderBox(MESSAGE_NOTICE, Text(50094), "journal-name-needed-" + tongue);
        // Both texts are in the language file (a missing one shows as its id).
        ASSERT_NE(Text(50094), u"50094");
        ASSERT_NE(Text(50095), u"50095");
        ASSERT_NE(Text(50094), Text(50095));
        const std::string reference = Snap("no-reference-name-" + tongue);
        const std::string journal = Snap("no-journal-name-" + tongue);
        const std::string script = Tap(Spot{88, 151}) + Tap(at.save) + emptied + "snapshot " + reference + "\n" +
                                   Tap(at.boxOk) + Tap(at.back) + "tap 390 85\ntap 130 100\n" + Tap(create) + emptied +
                                   "snapshot " + journal + "\n" + Tap(at.boxOk) + Tap(managerBack) +
                                   "tap 453 25\nquit\n";
        ASSERT_EQ(RunProgram(script), 0) << tongue;
        const qplat::Surface askedReference = ReadSnapshot(reference);
        const qplat::Surface askedJournal = ReadSnapshot(journal);
        EXPECT_TRUE(SameIn(askedReference, referenceNeeded.picture, referenceNeeded.text))
            << tongue << ": a reference name is asked for";
        EXPECT_FALSE(SameIn(askedReference, journalNeeded.picture, journalNeeded.text)) << tongue;
        EXPECT_TRUE(SameIn(askedJournal, journalNeeded.picture, journalNeeded.text))
            << tongue << ": a journal name is asked for";
        EXPECT_FALSE(SameIn(askedJournal, referenceNeeded.picture, referenceNeeded.text)) << tongue;
    }
    EXPECT_EQ(entries(kJournalFolder), journals);
    EXPECT_EQ(entries(kProgramFolder + u"Refer\\"), references);
}

// A disc journal whose reference lies below the axis, opened from the start
// screen and shown in record mode by taps: both worn faces on the chart,
// side 1 above the axis and side 2 below. Then, with no current journal, the
// browser says where to choose one and writes nothing.
TEST_F(JournalProgramRun, ADiscRecordBelowTheAxisIsShownUprightAndNoJournalIsTold)
{
    WriteParams(DiscParams(u"Discs", u"Below"));
    WriteReference(u"Below", FaceBelowTheAxis(0.0), 4);
    {
        QodJournalRecord record = DiscRecord({u"03/12/26", u"Loco", u"7", u"1", u"1", u"D"}, u"Below");
        for (int side = 0; side < 2; ++side) {
            const auto face = FaceBelowTheAxis(1500.0);
            StoreQodProfile(&record, side, face.data(), static_cast<DWORD>(face.size()), kWheelStepCode);
        }
        CDBJournalQod journal;
        ASSERT_EQ(journal.Append(u"Discs", &record), 1);
    }
    // The places: the disc browser's mode and back buttons, a notice's OK.
    const Places at = Measure();
    const std::string script = "wait 400\n" + Tap(Spot{88, 151}) + "wait 500\nsnapshot " + Snap("disc-list") + "\n" +
                               Tap(at.mode) + "wait 400\nsnapshot " + Snap("disc-record") + "\n" + Tap(at.back) +
                               "wait 300\nquit\n";
    ASSERT_EQ(RunProgram(script), 0);
    const qplat::Surface record = ReadSnapshot(Snap("disc-record"));
    // Over the friction ring (40 to 60 mm), clear of the groove: the faces
    // 4 mm either side of the axis, inside the chart.
    EXPECT_TRUE(AnyPixel(record, RECT{110, 95, 150, 160}, Bluish)) << "side 1 above the axis";
    EXPECT_TRUE(AnyPixel(record, RECT{110, 185, 150, 262}, Bluish)) << "side 2 below the axis";
    EXPECT_FALSE(AnyPixel(record, RECT{110, 160, 150, 185}, Bluish)) << "the ring does not cross the axis";

    // No current journal.
    WriteParams(DiscParams(u""));
    const std::string params = root.ReadFile(kParamPath);
    const auto journals = std::distance(fs::directory_iterator(root.Host(kJournalFolder)), fs::directory_iterator());
    const std::string told = "wait 400\n" + Tap(Spot{88, 151}) + "wait 500\nsnapshot " + Snap("no-journal") + "\n" +
                             Tap(at.boxOk) + "wait 300\nsnapshot " + Snap("no-journal-after") + "\n" + Tap(at.back) +
                             "wait 300\nquit\n";
    ASSERT_EQ(RunProgram(told), 0);
    const qplat::Surface notice = ReadSnapshot(Snap("no-journal"));
    const qplat::Surface after = ReadSnapshot(Snap("no-journal-after"));
    // The notice's title bar over the browser, gone once answered.
    EXPECT_TRUE(AnyPixel(notice, RECT{100, 56, 380, 72}, Bluish)) << "the notice";
    EXPECT_FALSE(AnyPixel(after, RECT{100, 56, 380, 72}, Bluish)) << "answered";
    EXPECT_EQ(root.ReadFile(kParamPath), params);
    EXPECT_EQ(std::distance(fs::directory_iterator(root.Host(kJournalFolder)), fs::directory_iterator()), journals);
}

// A card written on a PC: the current journal is "Demo", its file
// "DB\demo.qav". The browser opens that file as the current journal, so the
// manager, reached by taps from the start screen, marks its row and refuses
// to delete it; the file and its record stay.
TEST_F(JournalProgramRun, TheCurrentJournalUnderAnotherLetterCaseIsMarkedAndKept)
{
    WriteParams(WheelParams(u"Demo"));
    const std::string journal =
        Bytes(std::vector<QavJournalRecord>{WheelRecord({u"01/12/26", u"Car A", u"1", u"1", u"0", u"W1"})});
    root.WriteFile(kJournalFolder + u"demo.qav", journal);
    root.WriteFile(kJournalFolder + u"archive.qav", "");
    const std::string params = root.ReadFile(kParamPath);

    // The places: the row's name and mark, the delete button, the first
    // button of the box that the delete brings (closed here unanswered).
    POINT row{}, mark{};
    Spot remove{}, boxFirst{}, back{};
    RunWith<CJournalListDlg>({[&](HWND d) {
                                  HWND list = GetDlgItem(d, CJournalListDlg::kListId);
                                  for (int r = 0; r < RowCount(list); ++r)
                                      if (CellText(list, r, 0) == u"demo.qav") {
                                          row = CellCentre(list, r, 0);
                                          mark = CellCentre(list, r, 1);
                                      }
                                  remove = Centre(GetDlgItem(d, CJournalListDlg::kDeleteId));
                                  back = Centre(GetDlgItem(d, CJournalListDlg::kBackId));
                                  qplat::StylusTap(row.x, row.y);
                                  PostCommand(d, CJournalListDlg::kDeleteId);
                              },
                              [&](HWND box) {
                                  boxFirst = Centre(GetDlgItem(box, kBoxFirst));
                                  PostMessageW(box, WM_CLOSE, 0, 0);
                              },
                              Close()});
    ASSERT_GT(row.y, 0) << "the journal is listed";
    ASSERT_TRUE(root.Exists(kJournalFolder + u"demo.qav"));

    // The data menu's journal manager; the row, delete, and the box's first
    // button (a "yes" would delete).
    const std::string script = "tap 390 85\ntap 130 100\nsnapshot " + Snap("case-manager") + "\n" + Tap(row) +
                               Tap(remove) + "snapshot " + Snap("case-refused") + "\n" + Tap(boxFirst) + "snapshot " +
                               Snap("case-after") + "\n" + Tap(back) + "quit\n";
    ASSERT_EQ(RunProgram(script), 0);

    const qplat::Surface manager = ReadSnapshot(Snap("case-manager"));
    const qplat::Surface refused = ReadSnapshot(Snap("case-refused"));
    const qplat::Surface after = ReadSnapshot(Snap("case-after"));
    EXPECT_TRUE(AnyPixel(manager, RECT{mark.x - 8, mark.y - 6, mark.x + 8, mark.y + 6}, [](COLORREF c) {
        return c == 0x000000;
    })) << "the current journal's mark on the row of demo.qav";
    EXPECT_TRUE(AnyPixel(refused, RECT{100, 56, 380, 72}, Bluish)) << "the notice";
    EXPECT_FALSE(AnyPixel(after, RECT{100, 56, 380, 72}, Bluish)) << "answered";
    EXPECT_EQ(root.ReadFile(kJournalFolder + u"demo.qav"), journal) << "the current journal is kept whole";
    EXPECT_EQ(root.ReadFile(kParamPath), params);
}

// The journal manager's road by taps from the start screen, a measurement of
// the simulated head stored in between: a new journal under the offered
// name, made the current one; a measurement stored, which goes into it; the
// old journal deleted. The card is looked at after each step.
TEST_F(JournalProgramRun, ANewJournalMadeCurrentTakesTheMeasurementAndTheOldOneIsDeleted)
{
    ParamBlock settings = WheelParams(u"Old");
    settings.measureMode = 1;
    ParamBTRecord* head = SensorRecordOf(&settings, 1);
    qplat::CopyField(head->address, 20, u"00126fa00b7c");
    qplat::CopyField(head->name, 12, u"LX412 12345");
    qplat::CopyField(head->pin, 5, u"1235");
    WriteParams(settings);
    const std::string old =
        Bytes(std::vector<QavJournalRecord>{WheelRecord({u"01/12/26", u"Car A", u"1", u"1", u"0", u"W1"})});
    root.WriteFile(JournalPath(u"Old"), old);

    // The places: the list's header, its first two rows (their names and
    // marks, measured with a second journal beside the old one), the
    // manager's buttons, the keyboard's OK and the yes of the question.
    const Places at = Measure();
    root.WriteFile(JournalPath(u"x"), "");
    POINT header{}, row[2]{}, mark[2]{};
    Spot create{}, remove{}, makeCurrent{}, back{};
    RECT nameBox{};
    RunWith<CJournalListDlg>({AndClose([&](HWND d) {
        HWND list = GetDlgItem(d, CJournalListDlg::kListId);
        header = POINT{60, 5};
        ClientToScreen(list, &header);
        for (int r = 0; r < 2; ++r) {
            row[r] = CellCentre(list, r, 0);
            mark[r] = CellCentre(list, r, 1);
        }
        create = Centre(GetDlgItem(d, CJournalListDlg::kNewId));
        remove = Centre(GetDlgItem(d, CJournalListDlg::kDeleteId));
        makeCurrent = Centre(GetDlgItem(d, CJournalListDlg::kMakeCurrentId));
        back = Centre(GetDlgItem(d, CJournalListDlg::kBackId));
        GetWindowRect(GetDlgItem(d, CJournalListDlg::kNameBoxId), &nameBox);
    })});
    ASSERT_TRUE(DeleteFileW(JournalPath(u"x").c_str()));
    ASSERT_GT(row[1].y, row[0].y);
    const BoxPicture question = RenderBox(MESSAGE_QUESTION, Text(50027), "road-question");
    // The journals of the card, but the old one.
    auto others = [&] {
        std::vector<std::u16string> names;
        for (const auto& e : fs::directory_iterator(root.Host(kJournalFolder)))
            if (e.path().filename() != "Old.qav") names.push_back(qplat::FromUtf8(e.path().filename().string()));
        return names;
    };
    const std::string openManager = "tap 390 85\ntap 130 100\n";
    const std::string leaveManager = Tap(back) + "tap 453 25\nquit\n";

    // A new journal under the offered name; sorted by name it follows "Old"
    // and is made the current one.
    ASSERT_EQ(RunProgram(openManager + Tap(create) + Tap(at.keyboardOk) + Tap(header) + "snapshot " +
                         Snap("road-made") + "\n" + Tap(row[1]) + Tap(makeCurrent) + "snapshot " +
                         Snap("road-current") + "\n" + leaveManager),
              0);
    const std::vector<std::u16string> made = others();
    ASSERT_EQ(made.size(), 1u);
    const std::u16string fresh = made[0].substr(0, made[0].size() - 4);
    EXPECT_EQ(made[0].substr(0, 3) + made[0].substr(made[0].size() - 4), u"wp_.qav") << qplat::ToUtf8(made[0]);
    EXPECT_EQ(root.ReadFile(JournalPath(fresh)), "") << "a new journal is empty";
    EXPECT_EQ(root.ReadFile(JournalPath(u"Old")), old);
    ParamBlock expected = settings;
    CopyName(expected.qavJournalName, fresh.c_str());
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected)) << "the new journal is the current one";

    // A measurement stored: it goes into the new journal.
    {
        SimProcess sim({"--root", root.Path(), "--kind", "wheel", "--address", "00:12:6f:a0:0b:7c", "--name",
                        "LX412 12345"});
        ASSERT_EQ(sim.Path().find("/dev/"), 0u) << "the simulator did not start";
        Script s;
        Measured(Linked(s).Tap(kStartMeasure).Tap(kMeasure)).Snap(Snap("road-measured"));
        Stored(s.Tap(kSave).Tap(kRecordOk)).Snap(Snap("road-stored")).Tap(kClose);
        ASSERT_EQ(RunProgram(s.Text() + "quit\n"), 0);
    }
    const std::vector<QavJournalRecord> stored = ReadJournal<QavJournalRecord>(fresh);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_NEAR(GetQavRecordValue(stored[0], 0), 28000, 1500) << "the simulated wheel's flange height";
    EXPECT_EQ(qplat::FieldText(stored[0].sensorName1, 12), u"LX412 12345");
    EXPECT_EQ(root.ReadFile(JournalPath(u"Old")), old);
    const std::string freshBytes = root.ReadFile(JournalPath(fresh));

    // The old journal deleted after a yes.
    ASSERT_EQ(RunProgram(openManager + Tap(header) + Tap(row[0]) + Tap(remove) + Tap(question.first) + "snapshot " +
                         Snap("road-deleted") + "\n" + leaveManager),
              0);
    EXPECT_FALSE(root.Exists(JournalPath(u"Old")));
    EXPECT_EQ(others(), made);
    EXPECT_EQ(root.ReadFile(JournalPath(fresh)), freshBytes);
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected));

    // What was seen.
    const qplat::Surface madeShot = ReadSnapshot(Snap("road-made"));
    const qplat::Surface currentShot = ReadSnapshot(Snap("road-current"));
    const qplat::Surface measuredShot = ReadSnapshot(Snap("road-measured"));
    const qplat::Surface storedShot = ReadSnapshot(Snap("road-stored"));
    const qplat::Surface deletedShot = ReadSnapshot(Snap("road-deleted"));
    auto near = [](POINT p, int dx, int dy) { return RECT{p.x - dx, p.y - dy, p.x + dx, p.y + dy}; };
    auto black = [](COLORREF c) { return c == 0x000000; };
    EXPECT_TRUE(AnyPixel(madeShot, near(mark[0], 8, 6), black)) << "the old journal marked current";
    EXPECT_FALSE(AnyPixel(madeShot, near(mark[1], 8, 6), black)) << "the new one not yet";
    EXPECT_TRUE(AnyPixel(madeShot, near(row[1], 100, 5), black)) << "the new journal's row";
    EXPECT_FALSE(AnyPixel(currentShot, near(mark[0], 8, 6), black)) << "the mark left the old journal";
    // The chosen row is drawn selected: its mark white on the selection.
    EXPECT_TRUE(AnyPixel(currentShot, near(mark[1], 8, 6), [](COLORREF c) { return c == 0xFFFFFF; }))
        << "the new journal marked current";
    EXPECT_TRUE(AnyPixel(currentShot, near(mark[1], 8, 6), [](COLORREF c) {
        return c == GetSysColor(COLOR_HIGHLIGHT);
    })) << "on its selected row";
    EXPECT_FALSE(SameIn(madeShot, currentShot, nameBox)) << "the current name changed";
    EXPECT_TRUE(SameIn(currentShot, deletedShot, nameBox)) << "and stayed";
    EXPECT_TRUE(AnyPixel(measuredShot, RECT{200, 100, 300, 140}, Bluish)) << "the measured values";
    EXPECT_EQ(At(measuredShot, kSaveFace.x, kSaveFace.y), kFaceOn) << "a result to store";
    EXPECT_EQ(At(storedShot, kSaveFace.x, kSaveFace.y), kFaceOff) << "stored";
    EXPECT_TRUE(AnyPixel(deletedShot, near(mark[0], 8, 6), black)) << "the new journal, current, in the first row";
    EXPECT_FALSE(AnyPixel(deletedShot, near(row[1], 100, 5), black)) << "no second row";
}

}  // namespace
