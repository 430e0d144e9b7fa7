// The program itself, headless, driven only by stylus taps from the start
// screen as an operator works it: the language and the units chosen on their
// screens, the device type changed, and a tolerance set named on the keyboard.
// What the screens show afterwards is compared pixel by pixel with a fresh
// start in the same settings: a screen that closes leaves the ones it covered
// painted anew, not as they were before.

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "settings/CatalogFiles.h"
#include "settings/ParamFile.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/TapScript.h"

namespace {

namespace fs = std::filesystem;

// Start screen buttons and the settings menu's, in screen pixels.
constexpr POINT kSettingsMenu{88, 85};
constexpr POINT kMenuBack{453, 25};
// The last pixel column of the language list's rows, where the last column's
// grid line closes them; the list's frame is the column after.
constexpr int kLanguageRowEnd = 434;
// The measurement button of the start screen.
constexpr RECT kMeasureButton{18, 192, 159, 243};
// The handheld's battery picture and its percent on the start screen show the
// host's own battery, which may change from one run to the next.
constexpr RECT kHostBattery{388, 123, 456, 175};
constexpr RECT kHostBatteryPercent{388, 186, 456, 200};

class StylusRun : public qtest::ProgramRunTest {
protected:
    void SetUp() override
    {
        qtest::ProgramRunTest::SetUp();
        // The pictures stay for the people looking at them.
        dir = fs::path(QAV5_BINARY_DIR) / "stylus_run" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    using qtest::ProgramRunTest::Run;
    int Run(const qtest::TapScript& script) { return Run(script.Text()); }
    // A fresh start on the card as the runs before left it: the start screen,
    // then (when asked) the settings menu.
    void RunFreshStart(bool settingsMenu = false)
    {
        qtest::TapScript s;
        s.Snap(Snap("fresh"));
        if (settingsMenu) s.TapScreen(kSettingsMenu.x, kSettingsMenu.y).Snap(Snap("fresh_menu"));
        ASSERT_EQ(Run(s), 0);
    }
    // Two start screens, but for what the host's battery shows.
    static int DifferingStartScreens(const qplat::Surface& a, const qplat::Surface& b)
    {
        return Differing(a, b) - Differing(a, b, kHostBattery) - Differing(a, b, kHostBatteryPercent);
    }
    // The navy of a selected list row.
    static bool Highlighted(COLORREF c)
    {
        return GetBValue(c) >= 100 && GetBValue(c) > GetRValue(c) + 60 && GetBValue(c) > GetGValue(c) + 40;
    }
};

TEST_F(StylusRun, ALanguageChosenOnItsScreenShowsEverywhereAsAFreshStartInItShowsIt)
{
    qtest::TapScript s;
    s.Snap(Snap("start")).TapScreen(kSettingsMenu.x, kSettingsMenu.y).Snap(Snap("menu"));
    // The language screen: English marked and selected; Russian is row 1.
    s.TapScreen(341, 161).Snap(Snap("language"));
    s.TapScreen(150, 110).Snap(Snap("russian_selected")).Confirm().Snap(Snap("applied"));
    s.Back().Snap(Snap("menu_after")).Back().Snap(Snap("start_after"));
    ASSERT_EQ(Run(s), 0);
    EXPECT_EQ(root.ReadFile(u"\\SDMMC\\Autorun\\Language\\Language.ini").rfind("File_Language=RUS.LNG", 0), 0u);

    // The language screen itself: the row selected, then the mark moved and
    // the title and the select button in Russian while it stays open.
    const qplat::Surface language = Png("language"), selected = Png("russian_selected"), applied = Png("applied");
    EXPECT_TRUE(Highlighted(At(language, 100, 88))) << "English selected";
    EXPECT_FALSE(Highlighted(At(language, 100, 110)));
    EXPECT_TRUE(Highlighted(At(selected, 100, 110))) << "Russian selected";
    EXPECT_FALSE(Highlighted(At(selected, 100, 88)));
    // The highlight runs to the row's end, up to its closing grid line, not
    // over the name and the mark alone with an empty cell after them.
    for (const auto& [shot, y] : {std::pair{&language, 88}, {&selected, 110}})
        for (const int x : {kLanguageRowEnd - 50, kLanguageRowEnd - 1})
            EXPECT_TRUE(Highlighted(At(*shot, x, y))) << x << "," << y;
    EXPECT_EQ(At(language, kLanguageRowEnd + 1, 88), RGB(0, 0, 0)) << "the list's frame";
    EXPECT_GT(Differing(selected, applied, RECT{357, 77, 381, 99}), 0) << "the mark leaves English";
    EXPECT_GT(Differing(selected, applied, RECT{357, 99, 381, 121}), 0) << "for Russian";
    EXPECT_GT(Differing(selected, applied, RECT{100, 5, 380, 40}), 100) << "the title";
    EXPECT_GT(Differing(selected, applied, RECT{171, 224, 311, 264}), 50) << "the select button's caption";

    // What was under the language screen and the menu shows the new language
    // exactly as a fresh start in it does.
    RunFreshStart(true);
    EXPECT_GT(Differing(Png("start"), Png("fresh")), 1000) << "the fresh start is in Russian";
    EXPECT_EQ(Differing(Png("menu_after"), Png("fresh_menu")), 0) << "the settings menu, its title included";
    EXPECT_EQ(DifferingStartScreens(Png("start_after"), Png("fresh")), 0) << "the start screen";
}

// Language files the screens cannot use beside the delivered ones (a
// byte-order mark alone, as a PC editor saves an empty file; blanks and tabs;
// lines without a text; an empty file; a pipe in a file's place; a file cut
// on a PC, its name line gone and its one text among garbage; a name alone)
// were listed, as blank rows or under their names; chosen, one became the
// language of every screen after a restart, which then showed bare text ids.
// They are not listed: a tap where their rows were selects nothing, apply
// says that no language is selected, and "Language.ini" stays as it was.
TEST_F(StylusRun, UnusableLanguageFilesAreNotOfferedOnTheLanguageScreen)
{
    const std::u16string folder = u"\\SDMMC\\Autorun\\Language\\";
    root.WriteFile(folder + u"T1.LNG", "\xEF\xBB\xBF");
    root.WriteFile(folder + u"T2.LNG", " \t\r\n\t\t \r\n");
    root.WriteFile(folder + u"T3.LNG", "[Texts]\r\nA note\r\n10000=\r\n40501=\r\n");
    root.WriteFile(folder + u"T4.LNG", "\x01\x7f#~\r\n=?\r\n40000=Settings\r\n\x02\x03\r\n");
    root.WriteFile(folder + u"T5.LNG", "[Deutsch]\r\n10000=Deutsch\r\n");
    root.WriteFile(folder + u"X.LNG", "");
    ASSERT_EQ(0, ::mkfifo(root.Host(folder + u"Y.LNG").c_str(), 0644));
    // On a card in English and on one in Russian, whose own row is selected.
    for (const auto& [current, currentY] : {std::pair<std::string, int>{"ENG", 88}, {"RUS", 110}}) {
        SCOPED_TRACE(current);
        root.WriteFile(folder + u"Language.ini", "File_Language=" + current + ".LNG\r\n");
        const std::string ini = root.ReadFile(folder + u"Language.ini");
        const std::string tag = current + "_";
        qtest::TapScript s;
        s.TapScreen(kSettingsMenu.x, kSettingsMenu.y).TapScreen(341, 161).Snap(Snap(tag + "language"));
        // Sorted after English and Russian, any of them listed comes third to
        // fifth, the rows the list shows below the two.
        for (const int y : {132, 154, 176}) {
            const std::string row = tag + std::to_string(y);
            s.TapScreen(150, y).Snap(Snap("tapped_" + row)).Confirm().Snap(Snap("applied_" + row));
            s.TapScreen(238, 180).Snap(Snap("answered_" + row));
        }
        s.Back().Back().Snap(Snap(tag + "start_after"));
        ASSERT_EQ(Run(s), 0);
        EXPECT_EQ(root.ReadFile(folder + u"Language.ini"), ini);

        const qplat::Surface language = Png(tag + "language");
        EXPECT_TRUE(Highlighted(At(language, 100, currentY))) << "the current language selected";
        for (const int y : {132, 154, 176}) {
            SCOPED_TRACE(y);
            const std::string row = tag + std::to_string(y);
            const qplat::Surface tapped = Png("tapped_" + row);
            for (const int rowY : {88, 110, 132, 154, 176}) EXPECT_FALSE(Highlighted(At(tapped, 100, rowY))) << rowY;
            EXPECT_GT(Differing(tapped, Png("applied_" + row)), 5000) << "the notice";
            EXPECT_EQ(Differing(tapped, Png("answered_" + row)), 0) << "the notice answered, the screen as it was";
        }
        // A fresh start is in the language as before.
        RunFreshStart();
        EXPECT_EQ(DifferingStartScreens(Png(tag + "start_after"), Png("fresh")), 0);
    }
}

TEST_F(StylusRun, TheUnitsChosenOnTheirScreenAreStoredAndShownWhenItOpensAgain)
{
    ASSERT_EQ(Run("wait 300\nquit\n"), 0);
    ASSERT_EQ(qtest::StoredParams().unitSystem, 1) << "the factory units are millimetres";
    qtest::TapScript s;
    s.TapScreen(kSettingsMenu.x, kSettingsMenu.y).Snap(Snap("menu")).TapScreen(130, 161).Snap(Snap("units"));
    s.TapBox(70, 145, 300, 20).Snap(Snap("inches")).Confirm().Snap(Snap("menu_after"));
    s.TapScreen(130, 161).Snap(Snap("reopened")).Back();
    // Closed without OK, a tap on millimetres changes nothing.
    s.TapScreen(130, 161).TapBox(70, 100, 300, 20).Snap(Snap("millimetres")).Back().Snap(Snap("menu_last"));
    ASSERT_EQ(Run(s), 0);
    EXPECT_EQ(qtest::StoredParams().unitSystem, 2);

    const qplat::Surface units = Png("units"), inches = Png("inches"), millimetres = Png("millimetres");
    // The two radios change places when tapped, and nothing else changes.
    const RECT radio1{70, 100, 100, 122}, radio2{70, 145, 100, 167};
    EXPECT_GT(Differing(units, inches, radio1), 20);
    EXPECT_GT(Differing(units, inches, radio2), 20);
    EXPECT_EQ(Differing(units, inches), Differing(units, inches, radio1) + Differing(units, inches, radio2));
    EXPECT_EQ(Differing(inches, Png("reopened")), 0) << "opens again on inches";
    EXPECT_EQ(Differing(units, millimetres), 0);
    EXPECT_EQ(Differing(Png("menu"), Png("menu_after")), 0) << "the menu is back as it was";
    EXPECT_EQ(Differing(Png("menu"), Png("menu_last")), 0);
}

TEST_F(StylusRun, ANewDeviceTypeShowsItsMeasurementButtonAsAFreshStartDoes)
{
    qtest::TapScript s;
    s.Snap(Snap("start")).TapScreen(kSettingsMenu.x, kSettingsMenu.y).TapScreen(341, 100).Snap(Snap("sensors"));
    // The fourth device type, the disc device.
    s.TapBox(30, 170, 78, 20).Snap(Snap("disc")).Back().Back().Snap(Snap("start_after"));
    ASSERT_EQ(Run(s), 0);
    ASSERT_EQ(qtest::StoredParams().deviceType, 4);

    RunFreshStart();
    const qplat::Surface start = Png("start"), after = Png("start_after"), fresh = Png("fresh");
    EXPECT_GT(Differing(start, fresh, kMeasureButton), 100) << "the disc picture is not the wheel's";
    EXPECT_EQ(Differing(after, fresh, kMeasureButton), 0) << "the disabled measurement button shows the disc";
    EXPECT_EQ(DifferingStartScreens(after, fresh), 0) << "the whole start screen";
}

// With the card's clock file unwritable (a folder in its place, or a
// read-only file) a new date was taken without a word and not kept. Set
// tells the operator, in the language of the screens; the menu is back once
// the notice is answered, and a read-only file stays as it is. A clock that
// can keep it closes the screen without a notice.
TEST_F(StylusRun, ADateTheCardCannotKeepIsToldWhenSet)
{
    const std::string clock = qplat::PlatformFolder() + "/clock.txt";
    const std::string kept = "86400000\n";
    struct Way {
        const char* language;
        bool readOnly;
    };
    for (const Way way : {Way{"ENG.LNG", false}, Way{"RUS.LNG", false}, Way{"ENG.LNG", true}, Way{"RUS.LNG", true}}) {
        SCOPED_TRACE(testing::Message() << way.language << (way.readOnly ? " read-only" : " folder"));
        qtest::LayOutCard(root, way.language);
        if (way.readOnly) {
            { std::ofstream(clock) << kept; }
            fs::permissions(clock, fs::perms::owner_read);
        } else {
            ASSERT_TRUE(fs::create_directories(clock));
        }
        const std::string name = std::string(way.language, 3) + (way.readOnly ? "_read_only" : "");
        qtest::TapScript s;
        s.TapScreen(kSettingsMenu.x, kSettingsMenu.y).Snap(Snap("menu_" + name)).TapScreen(130, 222);
        s.Snap(Snap("clock_" + name)).Confirm().Snap(Snap("told_" + name));
        s.TapScreen(238, 180).Snap(Snap("answered_" + name));
        ASSERT_EQ(Run(s), 0);
        if (way.readOnly) {
            EXPECT_EQ(kept, qtest::ReadHostFile(clock));
            EXPECT_EQ(fs::perms::owner_read, fs::status(clock).permissions());
        } else {
            EXPECT_TRUE(fs::is_directory(clock));
        }
        const qplat::Surface menu = Png("menu_" + name), told = Png("told_" + name);
        EXPECT_GT(Differing(menu, told), 5000) << "the notice over the clock screen";
        EXPECT_GT(Differing(Png("clock_" + name), told), 5000) << "the notice";
        EXPECT_EQ(Differing(menu, Png("answered_" + name)), 0) << "the menu as it was";
        fs::remove_all(clock);
    }
    // A read-only file is told with the very notice a folder is.
    constexpr RECT kNotice{96, 52, 385, 220};
    for (const std::string name : {"ENG", "RUS"}) {
        const qplat::Surface folder = Png("told_" + name), readOnly = Png("told_" + name + "_read_only");
        EXPECT_GT(Differing(Png("clock_" + name), folder, kNotice), 5000) << name;
        EXPECT_EQ(Differing(folder, readOnly, kNotice), 0) << name;
    }
    qtest::TapScript s;
    s.TapScreen(kSettingsMenu.x, kSettingsMenu.y).Snap(Snap("menu")).TapScreen(130, 222).Confirm().Snap(Snap("set"));
    ASSERT_EQ(Run(s), 0);
    EXPECT_TRUE(fs::is_regular_file(clock));
    EXPECT_EQ(Differing(Png("menu"), Png("set")), 0) << "no notice";
}

// Once the keyboard had been used on a name field, every later tap anywhere
// came back to the field and opened the keyboard again: a new set could not
// be saved under a typed name, and the screen could not be left.
TEST_F(StylusRun, ATolerancesSetIsSavedUnderATypedNameAndTheScreenCanBeLeft)
{
    qtest::TapScript s;
    s.Snap(Snap("start")).TapScreen(qtest::kDataMenu.x, qtest::kDataMenu.y).TapScreen(341, 100).Snap(Snap("tolerances"));
    // New, the name field, the key "w", the keyboard's OK, Save.
    s.TapScreen(90, 243).TapScreen(200, 70).Snap(Snap("keyboard")).TapScreen(84, 133).TapScreen(440, 240);
    s.Snap(Snap("named")).TapScreen(140, 243).Snap(Snap("saved"));
    s.TapScreen(kMenuBack.x, kMenuBack.y).TapScreen(kMenuBack.x, kMenuBack.y).Snap(Snap("start_after"));
    ASSERT_EQ(Run(s), 0);

    const std::string sets = root.ReadFile(u"\\SDMMC\\Autorun\\Dopusk.qav");
    ASSERT_EQ(sets.size(), sizeof(DopuskQavRecord));
    DopuskQavRecord set{};
    std::memcpy(&set, sets.data(), sizeof set);
    CLanguage texts;
    texts.Load();
    EXPECT_EQ(qplat::FieldText(set.name, CATALOG_NAME_CHARS), std::u16string(texts.GetText(40415)) + u"w");
    // The keyboard opened once, on the name field, and was gone after OK.
    EXPECT_GT(Differing(Png("tolerances"), Png("keyboard")), 5000);
    EXPECT_GT(Differing(Png("keyboard"), Png("named")), 5000);
    EXPECT_GT(Differing(Png("keyboard"), Png("saved")), 5000);
    EXPECT_EQ(DifferingStartScreens(Png("start"), Png("start_after")), 0) << "left by the back buttons";
}

}  // namespace
