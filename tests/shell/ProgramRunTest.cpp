// The application itself, run headless from scripts: a fresh card gets its
// settings file and the start screen, every menu opens and comes back, the
// program ends with status 0 (its threads joined: the sanitizers watch the
// whole run), a second copy started on the same root ends at once with 0
// (leaving the first copy's files alone), and a start undoes an axle save
// that was killed half-way, or tells the operator it could not, and why.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <cstring>
#include <vector>

#include "platform/WinText.h"
#include "platform/gdi/Surface.h"
#include "settings/CatalogFiles.h"
#include "settings/DBJournal_Qav.h"
#include "tests/shell/MeasureRoadSupport.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/BoxPicture.h"
#include "tests/support/CutOffSave.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/SimProcess.h"
#include "ui/MessageDlg.h"
#include "ui/ScreenDlg.h"

namespace {

namespace fs = std::filesystem;

// The start screen's colours that tell the sensor is linked (with the
// measure button's face on): the link picture's blue and a charged battery
// segment.
constexpr COLORREF kLinkBlue = RGB(0x1B, 0x50, 0xB8);
constexpr COLORREF kBatteryGreen = RGB(0x28, 0xAA, 0x46);
// The start screen's signal bars right of the link picture, in the same
// blue: the middle columns of the four, a row near their foot, and a row
// only the fourth (the tallest) reaches.
constexpr int kBarX[4] = {343, 347, 351, 355};
constexpr int kBarY = 235;
constexpr int kFullBarY = 216;

class ProgramRun : public qtest::ProgramRunTest {
protected:
    // A journal of three records whose first and last (an axle's two
    // wheels) a pair save was replacing when it was killed half-way; the
    // journal's bytes before that save in `before`.
    bool CutOffAxleSave(const fs::path& journal)
    {
        CDBJournalQav qav;
        for (int i = 0; i < 3; ++i) {
            auto r = std::make_unique<QavJournalRecord>();
            std::memset(r.get(), 0x30 + i, sizeof(QavJournalRecord));
            if (qav.Append(u"J", r.get()) != 1) return false;
        }
        before = qtest::HostFileBytes(journal);
        return qtest::CutOffSave(journal, [] {
            auto left = std::make_unique<QavJournalRecord>();
            auto right = std::make_unique<QavJournalRecord>();
            std::memset(left.get(), 0x41, sizeof(QavJournalRecord));
            std::memset(right.get(), 0x42, sizeof(QavJournalRecord));
            CDBJournalQav().ReplacePair(u"J", left.get(), 0, right.get(), 2);
        });
    }

    // Whether the message box on `screen` shows `text`: its text field as
    // this process draws the box with that text, pixel for pixel.
    bool ShowsText(const qplat::Surface& screen, const std::u16string& text)
    {
        const std::string drawn = Snap("box" + std::to_string(++boxes));
        return qtest::ShowsBoxText(screen, qtest::DrawBox(nullptr, MESSAGE_FAILURE, text, drawn));
    }
    static bool AnyBlue(const qplat::Surface& s, RECT r) { return qtest::AnyPixel(s, r, qtest::Blue); }

    std::string before;
    int boxes = 0;
};

TEST_F(ProgramRun, AFreshCardShowsTheStartScreenAndEveryMenuAndScreenComesBack)
{
    ASSERT_FALSE(root.Exists(qtest::kParamPath));
    // The menus by the start screen's button, and the screens each opens that
    // the program has, by their menu buttons.
    struct Screen {
        const char* name;
        int x, y;
    };
    struct Menu {
        const char* name;
        int x, y;
        std::vector<Screen> screens;
    };
    const std::vector<Menu> menus = {
        {"settings", 88, 85, {{"clock", 130, 222}, {"sensors", 341, 100}}},
        {"params", 239, 85, {}},
        {"data", 390, 85, {{"journals", 130, 100}, {"references", 130, 161}, {"schemes", 130, 222},
                           {"tolerances", 341, 100}, {"types", 341, 161}}},
    };
    // Every screen here opens and closes on its tap: nothing to await.
    std::string script = "snapshot " + Snap("start") + "\n";
    for (const Menu& m : menus) {
        script += "tap " + std::to_string(m.x) + " " + std::to_string(m.y) + "\nsnapshot " + Snap(m.name) + "\n";
        for (const Screen& sc : m.screens)
            script += "tap " + std::to_string(sc.x) + " " + std::to_string(sc.y) + "\nsnapshot " + Snap(sc.name) +
                      "\ntap 453 25\nsnapshot " + Snap(std::string(sc.name) + "-back") + "\n";
        script += "tap 453 25\n";
    }
    // The journal browser straight from the start screen; a fresh card has
    // no current journal, which the browser's notice says (its OK answered).
    script += "snapshot " + Snap("back") + "\ntap 88 151\nsnapshot " + Snap("browser") +
              "\ntap 238 180\ntap 453 25\nsnapshot " + Snap("browser-back") + "\nquit\n";
    ASSERT_EQ(Run(script), 0);
    EXPECT_EQ(root.ReadFile(qtest::kParamPath).size(), PARAM_BLOCK_SIZE);

    const qplat::Surface start = Png("start");
    ASSERT_EQ(start.height, 272);
    EXPECT_EQ(At(start, 200, 48), 0x000000u) << "title separator";
    EXPECT_EQ(At(start, 200, 250), 0x000000u) << "bottom separator";
    EXPECT_TRUE(AnyBlue(start, RECT{65, 7, 425, 30})) << "the blue title";
    for (const Menu& m : menus) {
        SCOPED_TRACE(m.name);
        // A menu covers the start screen with its own title and no bottom
        // separator; each of its screens opens over it and leaves it as it was.
        const qplat::Surface menu = Png(m.name);
        EXPECT_TRUE(AnyBlue(menu, RECT{100, 8, 380, 34}));
        EXPECT_EQ(At(menu, 200, 250), 0xFFFFFFu);
        for (const Screen& sc : m.screens) {
            SCOPED_TRACE(sc.name);
            const qplat::Surface screen = Png(sc.name);
            const qplat::Surface after = Png(std::string(sc.name) + "-back");
            EXPECT_NE(screen.pixels, menu.pixels) << "the screen opened";
            EXPECT_EQ(after.pixels, menu.pixels) << "the menu is back as it was";
        }
    }
    EXPECT_EQ(Png("back").pixels, start.pixels) << "the start screen is back";
    EXPECT_NE(Png("browser").pixels, start.pixels) << "the journal browser opened";
    EXPECT_EQ(Png("browser-back").pixels, start.pixels) << "and closed again";
}

TEST_F(ProgramRun, ASecondCopyOnTheSameRootEndsAtOnceWithZero)
{
    // The first copy keeps running until the test ends it (SIGTERM asks it to
    // close in its orderly way); its snapshot tells that its window is up.
    const fs::path firstScript = dir / "first.txt";
    std::ofstream(firstScript) << "snapshot " << Snap("first-up") << "\nwait 600000\nquit\n";
    qtest::ProgramProcess first(root.Path(), firstScript);
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(qtest::AwaitFile(Snap("first-up"))) << "the first copy did not come up";

    // An axle save of the first copy half-way: the second copy must not
    // undo it under the first's feet.
    const fs::path journal = root.Host(u"\\SDMMC\\Autorun\\DB\\J.qav");
    ASSERT_TRUE(CutOffAxleSave(journal));
    const std::string torn = qtest::HostFileBytes(journal);
    const std::string rollBack = qtest::HostFileBytes(journal.string() + ".undo");

    // The second copy ends with 0 without running its script: no snapshot.
    EXPECT_EQ(Run("snapshot " + Snap("second-ran") + "\nquit\n"), 0);
    EXPECT_FALSE(fs::exists(Snap("second-ran"))) << "the second copy ran its script";
    EXPECT_TRUE(qtest::HostFileBytes(journal) == torn) << "the journal as the first copy left it";
    EXPECT_TRUE(qtest::HostFileBytes(journal.string() + ".undo") == rollBack) << "and its roll-back";
    first.Signal(SIGTERM);
    EXPECT_EQ(0, first.Wait()) << "the first copy closes in order";
}

// A save of both wheels of an axle killed half-way leaves the journal with
// one wheel's new record and the other's old one; the next start puts both
// back as they were before the save.
TEST_F(ProgramRun, TheNextStartUndoesAnAxleSaveKilledHalfWay)
{
    const fs::path journal = root.Host(u"\\SDMMC\\Autorun\\DB\\J.qav");
    ASSERT_TRUE(CutOffAxleSave(journal));
    const std::string torn = qtest::HostFileBytes(journal);
    ASSERT_NE(torn, before);
    ASSERT_EQ(Run("quit\n"), 0);
    EXPECT_TRUE(qtest::HostFileBytes(journal) == before) << "both wheels as they were";
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(journal.parent_path())) files.push_back(e.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"J.qav"}) << "no roll-back or temporary left";
}

// The same save's roll-back where the start cannot settle it: made
// read-only (a PC's read-only attribute), the journal is put back but the
// roll-back cannot be removed; a pipe in its place cannot be read, as on a
// failing card; spelled as neither of two journals whose names differ only
// in letter case, it is left with both. Nothing may be written into the
// journal; the start screen says which (a read-only card or file, a card to
// check, a journal to rename), in either language, and the standard error
// names the roll-back.
TEST_F(ProgramRun, AStartWithACutOffSaveThatCannotBeUndoneSaysSo)
{
    const fs::path journal = root.Host(u"\\SDMMC\\Autorun\\DB\\J.qav");
    ASSERT_TRUE(CutOffAxleSave(journal));
    const std::string torn = qtest::HostFileBytes(journal);
    const std::string pending = qtest::HostFileBytes(journal.string() + ".undo");
    const fs::path other = journal.parent_path() / "j.qav";
    enum class Held { ReadOnly, Unreadable, TwoJournals };
    const struct {
        const char* what;
        const char* rollBack;
        Held held;
        int text;
    } cases[] = {
        {"read-only", "J.qav.undo", Held::ReadOnly, SCREEN_CUT_OFF_SAVE_STUCK},
        {"unreadable", "J.qav.undo", Held::Unreadable, SCREEN_CUT_OFF_SAVE_FAILING},
        {"two journals", "J.QAV.undo", Held::TwoJournals, SCREEN_CUT_OFF_SAVE_AMBIGUOUS},
    };
    for (const auto& c : cases) {
        const fs::path rollBack = journal.parent_path() / c.rollBack;
        for (const char* language : {"ENG.LNG", "RUS.LNG"}) {
            SCOPED_TRACE(std::string(c.what) + " " + language);
            qtest::LayOutCard(root, language);
            std::ofstream(journal, std::ios::binary | std::ios::trunc) << torn;
            if (c.held == Held::Unreadable) {
                ASSERT_EQ(0, ::mkfifo(rollBack.c_str(), 0644));
            } else {
                std::ofstream(rollBack, std::ios::binary | std::ios::trunc) << pending;
            }
            if (c.held == Held::ReadOnly) fs::permissions(rollBack, fs::perms::owner_write, fs::perm_options::remove);
            if (c.held == Held::TwoJournals) std::ofstream(other, std::ios::binary | std::ios::trunc) << before;
            const std::string name = c.what + std::string(language, 3);
            const fs::path errors = dir / (name + "-errors.txt");
            qtest::Script s;
            s.Await(qtest::kMessageTitle, qtest::kMessageTitleBlue).Snap(Snap("stuck-" + name));
            s.Tap(qtest::kMessageOk)
                .AwaitGone(qtest::kMessageTitle, qtest::kMessageTitleBlue)
                .Snap(Snap("after-" + name));
            ASSERT_EQ(Run(s.Text() + "quit\n", errors), 0);
            EXPECT_TRUE(qtest::HostFileBytes(journal) == (c.held == Held::ReadOnly ? before : torn))
                << "put back where it is its own";
            if (c.held == Held::Unreadable)
                EXPECT_TRUE(fs::is_fifo(rollBack));
            else
                EXPECT_TRUE(qtest::HostFileBytes(rollBack) == pending);
            EXPECT_NE(qtest::HostFileBytes(errors).find(c.rollBack), std::string::npos);
            // The failure box over the start screen with the text of the
            // case (drawn here as the program draws it), and gone with its
            // button.
            const qplat::Surface up = Png("stuck-" + name);
            const qplat::Surface after = Png("after-" + name);
            EXPECT_EQ(At(up, qtest::kMessageTitle.x, qtest::kMessageTitle.y), qtest::kMessageTitleBlue);
            EXPECT_NE(At(after, qtest::kMessageTitle.x, qtest::kMessageTitle.y), qtest::kMessageTitleBlue);
            for (const auto& each : cases)
                EXPECT_EQ(ShowsText(up, qtest::LanguageText(each.text)), each.text == c.text) << "text " << each.text;
            fs::permissions(rollBack, fs::perms::owner_write, fs::perm_options::add);
            fs::remove(rollBack);
            fs::remove(other);
        }
    }
}

// In mass-storage mode a PC can take the card away, and another card may come
// back: the card-missing screen covers the screen under it meanwhile. The
// wheel-type list under it read card A's three types; once card B is in, a
// delete there writes nothing, tells the operator, and lists B's five.
TEST_F(ProgramRun, AnotherCardPutInUnderTheCardMissingScreenIsNeverWrittenOver)
{
    qtest::WriteParams(root, [](ParamBlock& b) { b.usbMode = 0; });
    const auto types = [](const char* card, int n) {
        std::vector<WheelTypeRecord> all(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            qplat::CopyField(all[static_cast<size_t>(i)].name, CATALOG_NAME_CHARS,
                             qplat::FromUtf8(std::string(card) + " type " + std::to_string(i + 1)).c_str());
        return std::string(reinterpret_cast<const char*>(all.data()), all.size() * sizeof(WheelTypeRecord));
    };
    const fs::path card = fs::path(root.Path()) / "SDMMC";
    const fs::path cardA = card.string() + "-A", cardB = card.string() + "-B";
    fs::copy(card, cardB, fs::copy_options::recursive);
    root.WriteFile(u"\\SDMMC\\Autorun\\WheelType.qav", types("A", 3));
    std::ofstream(cardB / "Autorun" / "WheelType.qav", std::ios::binary) << types("B", 5);
    constexpr qtest::Spot kTypes{341, 161}, kSecondRow{240, 150}, kDelete{242, 243}, kYes{150, 186};
    constexpr qtest::Spot kBlack{470, 260};
    qtest::Script s;
    s.Tap(qtest::kDataMenu).Tap(kTypes).Snap(Snap("listed"));
    s.Await(kBlack, RGB(0, 0, 0)).Snap(Snap("missing")).AwaitGone(kBlack, RGB(0, 0, 0)).Snap(Snap("back"));
    s.Tap(kSecondRow).Tap(kDelete).Snap(Snap("asked")).Tap(kYes).Snap(Snap("told"));
    s.Tap(qtest::kMessageOk).Snap(Snap("after")).Tap(qtest::kClose).Tap(qtest::kClose);
    const fs::path script = dir / "swap.txt";
    std::ofstream(script) << s.Text() + "quit\n";
    qtest::ProgramProcess program(root.Path(), script);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(qtest::AwaitFile(Snap("listed")));
    fs::rename(card, cardA);
    ASSERT_TRUE(qtest::AwaitFile(Snap("missing")));
    fs::rename(cardB, card);
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_TRUE(qtest::HostFileBytes(card / "Autorun" / "WheelType.qav") == types("B", 5)) << "card B's types kept";
    EXPECT_TRUE(qtest::HostFileBytes(cardA / "Autorun" / "WheelType.qav") == types("A", 3));
    EXPECT_TRUE(ShowsText(Png("told"), qtest::LanguageText(SCREEN_CARD_CHANGED)));
}

// The signal bars beside the link picture follow the head's received power:
// four for a good link (the demo head's -48 dBm, BlueZ's -60 dBm for an open
// link), one for a weak one.
TEST_F(ProgramRun, APairedSimulatedHeadShowsTheLinkUpAndEnablesMeasuring)
{
    qtest::WriteParams(root, [](ParamBlock& b) { qtest::PairSensor(b, 1, u"00126f0de301", u"LX412 12345"); });
    const struct {
        const char* dbm;
        int bars;
    } links[] = {{"-48", 4}, {"-60", 4}, {"-90", 1}};
    for (const auto& link : links) {
        SCOPED_TRACE(link.dbm);
        qtest::SimProcess sim({"--root", root.Path(), "--kind", "wheel", "--address", "00126f0de301", "--name",
                               "LX412 12345", "--pin", "1235", "--rssi", link.dbm});
        ASSERT_FALSE(sim.Path().empty());
        const std::string shot = Snap(std::string("linked") + link.dbm);
        // The link picture turns blue, the measure button dark, the sensor's
        // battery shows its first green segment; then the bars show the
        // head's level (the first paint of a new link may come before it).
        const std::string bars = link.bars == 4 ? qtest::AwaitLine(kBarX[3], kFullBarY, kLinkBlue)
                                                : qtest::AwaitLine(kBarX[1], kBarY, kLinkBlue, true);
        ASSERT_EQ(Run(qtest::AwaitLine(320, 220, kLinkBlue) + qtest::AwaitLine(150, 230, qtest::kFaceOn) +
                      qtest::AwaitLine(310, 150, kBatteryGreen) + qtest::AwaitLine(kBarX[0], kBarY, kLinkBlue) +
                      bars + "snapshot " + shot + "\nquit\n"),
                  0);
        const qplat::Surface s = qtest::ReadSnapshot(shot);
        // The link picture in its active colour with as many signal bars to
        // its right as the level gives, and the measure button's normal face
        // (dark, not the grey disabled one).
        EXPECT_TRUE(AnyBlue(s, RECT{310, 210, 340, 240}));
        for (int bar = 0; bar < 4; ++bar)
            EXPECT_EQ(At(s, kBarX[bar], kBarY) == kLinkBlue, bar < link.bars) << "bar " << bar + 1;
        EXPECT_EQ(At(s, kBarX[3], kFullBarY) == kLinkBlue, link.bars == 4) << "the fourth bar's top";
        const COLORREF face = At(s, 150, 230);
        EXPECT_LT(GetRValue(face), 80) << "the measure button is enabled";
        // The sensor's battery item shows its charge (green level segments), not
        // the picture without a reading.
        bool green = false;
        for (int y = 127; y < 171 && !green; ++y)
            for (int x = 302; x < 346 && !green; ++x) {
                const COLORREF c = At(s, x, y);
                green = GetGValue(c) > 140 && GetRValue(c) < 120 && GetBValue(c) < 120;
            }
        EXPECT_TRUE(green);
    }
}

// An awaited screen that never comes ends the run at the guard with status 2
// and the script line, even with a menu (a modal screen) open, and nothing
// after it is carried out.
TEST_F(ProgramRun, AnAwaitThatIsNeverMetEndsTheRunWithStatusTwoAndItsLine)
{
    const fs::path errors = dir / "errors.txt";
    const std::string script = "# the start screen's bottom separator, then the settings menu\n" +
                               qtest::AwaitLine(200, 250, RGB(0, 0, 0)) + "tap 88 85\n" +
                               qtest::AwaitLine(240, 20, RGB(0x12, 0x34, 0x56), false, 500) + "snapshot " +
                               Snap("never") + "\nquit\n";
    EXPECT_EQ(Run(script, errors), 2);
    const std::string said = qtest::ReadHostFile(errors);
    EXPECT_NE(said.find("script line 4: the pixel at (240, 20) is "), std::string::npos) << said;
    EXPECT_NE(said.find("after 500 ms, awaited 123456"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(Snap("never")));
}

// Without a display and without a script nothing could drive the program: it
// ran unseen and said nothing until a signal ended it, with or without
// --headless. It says so and ends with status 2, making no device root; a
// display on which no window opens, or only one that shows nothing, is told
// the same way. --help names the
// environment the program reads and the default device root. The time limit
// only ends a run that breaks this.
TEST_F(ProgramRun, WithNothingToDriveItTheProgramSaysSoAndEndsWithStatusTwo)
{
    const fs::path program = fs::path(QAV5_BINARY_DIR) / "shell" / "Qav5_PA";
    const fs::path out = dir / "out.txt", err = dir / "err.txt";
    auto run = [&](const std::string& env, const std::string& args) {
        const std::string command = "timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + env + " \"" +
                                    program.string() +
                                    "\" " + args + " >\"" + out.string() + "\" 2>\"" + err.string() + "\"";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string fresh = "--root \"" + (dir / "fresh-root").string() + "\"";
    for (const bool headless : {false, true}) {
        SCOPED_TRACE(headless);
        EXPECT_EQ(run("", (headless ? "--headless " : "") + fresh), 2);
        const std::string said = qtest::HostFileBytes(err);
        EXPECT_NE(said.find(headless ? "--headless" : "no display"), std::string::npos) << said;
        EXPECT_NE(said.find("no script"), std::string::npos) << said;
        EXPECT_FALSE(fs::exists(dir / "fresh-root")) << "a device root was made for a run that never started";
    }
    // A display named that does not answer (an X forwarding that is gone, a
    // Wayland socket that is not there): unless a driver is forced, SDL falls
    // back to one that shows nothing, and the program ran unseen. SDL's
    // libraries keep blocks the leak checker would report.
    const std::string noWayland = "WAYLAND_DISPLAY=" + (dir / "no-wayland-socket").string();
    const struct {
        std::string env, named;
    } displays[] = {{"DISPLAY=:7777", "DISPLAY=:7777"},
                    {noWayland, noWayland},
                    {"DISPLAY=:7777 SDL_VIDEODRIVER=x11", "DISPLAY=:7777"}};
    for (const auto& display : displays) {
        SCOPED_TRACE(display.env);
        EXPECT_EQ(run(display.env + " ASAN_OPTIONS=detect_leaks=0:abort_on_error=1", fresh), 2);
        const std::string said = qtest::HostFileBytes(err);
        EXPECT_NE(said.find("no window can be opened"), std::string::npos) << said;
        EXPECT_NE(said.find(display.named), std::string::npos) << "the display is named: " << said;
        EXPECT_FALSE(fs::exists(dir / "fresh-root")) << "a device root was made for a run that never started";
        fs::remove_all(dir / "fresh-root");
    }
    // With a script the same run goes on without a window.
    const fs::path script = dir / "script.txt";
    std::ofstream(script) << "snapshot " << Snap("unseen") << "\nquit\n";
    EXPECT_EQ(run(displays[0].env + " ASAN_OPTIONS=detect_leaks=0:abort_on_error=1",
                  "--root \"" + root.Path() + "\" --script \"" + script.string() + "\""),
              0)
        << qtest::HostFileBytes(err);
    EXPECT_EQ(Png("unseen").width, 480);

    ASSERT_EQ(run("", "--help"), 0);
    const std::string help = qtest::HostFileBytes(out);
    for (const char* name : {"QAV5_ROOT", "QAV5_DEBUG", "QAV5_BLUETOOTH", "QAV5_BLUETOOTH_INQUIRY_MS", "DISPLAY",
                             "WAYLAND_DISPLAY", "XDG_DATA_HOME", "HOME", "DBUS_SYSTEM_BUS_ADDRESS", "SDL_VIDEODRIVER"})
        EXPECT_NE(help.find(name), std::string::npos) << name << " in:\n" << help;
    EXPECT_NE(help.find(qplat::DefaultDeviceRootPath()), std::string::npos) << help;
}

// A driver that shows nothing, named by the user, is taken without a display too: the program
// runs on it without a script (its start writes the settings file) until it is asked to close.
TEST_F(ProgramRun, ANamedDriverThatShowsNothingRunsWithoutAScriptOrADisplay)
{
    qtest::ScopedEnv x("DISPLAY", nullptr);
    qtest::ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
    qtest::ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
    qtest::ScopedEnv leaks("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1");  // SDL's libraries keep blocks
    qtest::ProgramProcess program(root.Path(), {});
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(qtest::AwaitFile(root.Host(qtest::kParamPath))) << "the program did not come to its start screen";
    program.Signal(SIGTERM);
    EXPECT_EQ(0, program.Wait()) << "it closes in order";
}

// On a root without the card's files every caption is a bare text id, and no screen can say why:
// standard error names the missing folder, once, and the command that lays out a demo card there.
TEST_F(ProgramRun, ARootWithoutTheProgramsFilesIsSaidWithTheCommandThatLaysOutACard)
{
    const fs::path errors = dir / "errors.txt";
    // The card laid out, then without its language folder, then without the program folder.
    for (const std::string missing : {"", "\\SDMMC\\Autorun\\Language\\", "\\SDMMC\\Autorun\\"}) {
        SCOPED_TRACE(missing);
        if (!missing.empty()) fs::remove_all(root.Host(qplat::FromUtf8(missing)));
        ASSERT_EQ(Run("quit\n", errors), 0);
        const std::string said = qtest::HostFileBytes(errors);
        const size_t at = said.find("democard --root " + root.Path() + " --data data\n");
        EXPECT_EQ(!missing.empty(), at != std::string::npos) << said;
        if (missing.empty()) continue;
        EXPECT_NE(said.find("has no folder " + missing + " ("), std::string::npos) << said;
        EXPECT_EQ(said.find("democard", at + 9), std::string::npos) << "said once: " << said;
    }
}

// A pipe in place of the settings file or of the current language file (a
// card made on a PC): the program does not wait for the pipe's other end, it
// comes to its start screen as with a file it cannot read and ends as the
// script says. A run that breaks this does not end; the harness's time limit
// is its bound.
TEST_F(ProgramRun, APipeInPlaceOfTheSettingsOrTheLanguageFileHoldsNothingUp)
{
    for (const char16_t* file : {qtest::kParamPath, u"\\SDMMC\\Autorun\\Language\\ENG.LNG"}) {
        const std::string host = root.Host(file);
        SCOPED_TRACE(host);
        fs::remove(host);
        ASSERT_EQ(0, ::mkfifo(host.c_str(), 0644));
        ASSERT_EQ(Run("snapshot " + Snap("pipe") + "\nquit\n"), 0);
        const qplat::Surface s = Png("pipe");
        EXPECT_EQ(At(s, 200, 250), RGB(0, 0, 0)) << "the start screen's bottom separator";
        EXPECT_TRUE(fs::is_fifo(host)) << "the pipe is left as it is";
        fs::remove(host);
        qtest::LayOutCard(root);
    }
}

// Pipes in place of the platform folder's registry, clock offset and time
// zone files (a card copied on a PC) held the program before its first
// screen, saying nothing. It comes to its start screen as without the files
// and says which ones it passed by. A hang is ended by the guard and fails.
TEST_F(ProgramRun, PipesInPlaceOfThePlatformFilesAreSaidAndHoldNothingUp)
{
    const fs::path platform = fs::path(root.Path()) / ".qav5-platform";
    const std::vector<std::string> names = {"registry.txt", "clock.txt", "timezone.txt"};
    for (const std::string& name : names) {
        fs::remove(platform / name);
        ASSERT_EQ(0, ::mkfifo((platform / name).c_str(), 0644)) << name;
    }
    const fs::path errors = dir / "errors.txt";
    ASSERT_EQ(Run("snapshot " + Snap("pipes") + "\nquit\n", errors, "timeout -k 10 120 "), 0);
    const qplat::Surface s = Png("pipes");
    EXPECT_EQ(At(s, 200, 250), RGB(0, 0, 0)) << "the start screen's bottom separator";
    EXPECT_TRUE(AnyBlue(s, RECT{65, 7, 425, 30})) << "the blue title";
    std::ifstream in(errors);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    for (const std::string& name : names) {
        int naming = 0;
        for (const std::string& line : lines) naming += line.find((platform / name).string()) != std::string::npos;
        EXPECT_EQ(naming, 1) << name << " passed by without a word, or said more than once";
    }
}

}  // namespace
