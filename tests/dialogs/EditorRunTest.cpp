// The tolerance editor and the wheel-type item editor driven by the stylus
// through the program itself, run headless from a script with taps from the
// start screen: names typed on the letter keys, a new set saved, the current
// set renamed (in its file and the settings), another set made current, and a
// new wheel type saved; what the card holds afterwards and what the pictures
// show.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/TypeItemDlg.h"
#include "platform/gdi/Surface.h"
#include "tests/dialogs/SettingsScreenTestSupport.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/TapScript.h"

using namespace qtest;

namespace {

namespace fs = std::filesystem;

// In the start screen's data menu: the tolerance editor and the type catalogue.
constexpr RECT kToleranceButton{261, 75, 161, 51};
constexpr RECT kCatalogueButton{261, 136, 161, 51};
// The tolerance editor's browsing and editing buttons, its set list's rows
// (no header, 22 pixels a row) and its name field.
constexpr RECT kNewButton{20, 223, 141, 41};
constexpr RECT kEditButton{324, 223, 141, 41};
constexpr RECT kMakeCurrentButton{20, 53, 141, 41};
constexpr RECT kSaveButton{70, 223, 141, 41};
constexpr int kSetRowX = 60, kSetRowY0 = 111, kRowHeight = 22;
constexpr POINT kSetNameField{200, 70};
// The item editor's name box.
constexpr POINT kTypeNameBox{200, 82};

DopuskQavRecord Set(const char16_t* name, LONG base)
{
    DopuskQavRecord r{};
    CopyName(r.name, name);
    for (int k = 0; k < QAV_LIMIT_COUNT; ++k) {
        r.lower[k] = base;
        r.upper[k] = base + 500;
    }
    return r;
}

class EditorRun : public SettingsScreenTest {
protected:
    void SetUp() override
    {
        SettingsScreenTest::SetUp();
        root.MakeFolder(u"\\SDMMC\\Autorun\\DB");
        dir = fs::path(QAV5_BINARY_DIR) / "snapshots";
        fs::create_directories(dir);
        scriptDir = fs::path(root.Path()).parent_path() / (fs::path(root.Path()).filename().string() + "-run");
        fs::create_directories(scriptDir);
    }
    void TearDown() override
    {
        fs::remove_all(scriptDir);
        SettingsScreenTest::TearDown();
    }
    int Run(const TapScript& s) { return RunProgramScript(root.Path(), scriptDir / "script.txt", s.Text()); }
    std::string Snap(const std::string& name) const { return (dir / ("editor_run_" + name + ".png")).string(); }
    static TapScript& TapBox(TapScript& s, const RECT& r) { return s.TapBox(r.left, r.top, r.right, r.bottom); }
    // Whether the set list's current-mark cell of a row holds a mark: any
    // pixel inside the cell that is not its background (dark on a selected
    // row, white elsewhere).
    static bool HasMark(const qplat::Surface& s, int row)
    {
        const int top = 103 + kRowHeight * row;
        const COLORREF background = qplat::PixelToColor(s.At(128, top + 3));
        return AnyPixel(s, RECT{128, top + 3, 144, top + kRowHeight - 3}, [&](COLORREF c) { return c != background; });
    }
    std::vector<std::u16string> SetNames()
    {
        std::vector<std::u16string> names;
        for (const DopuskQavRecord& r : Records<DopuskQavRecord>(root.ReadFile(kDopuskQavPath)))
            names.push_back(Name(r.name));
        return names;
    }

    fs::path dir, scriptDir;
};

TEST_F(EditorRun, TheToleranceEditorMakesRenamesAndChoosesSetsByStylus)
{
    root.WriteFile(kDopuskQavPath, Bytes(std::vector<DopuskQavRecord>{Set(u"beta", 1000), Set(u"alpha", 2000)}));
    ParamBlock p = Params(1, 1);
    CopyName(p.qavToleranceName, u"beta");
    WriteParams(p);

    // A new set under a typed name; then the current set (row 0) renamed.
    TapScript s;
    s.Tap(kDataMenu.x, kDataMenu.y);
    TapBox(s, kToleranceButton).Snap(Snap("tolerance_opened"));
    TapBox(s, kNewButton).Tap(kSetNameField.x, kSetNameField.y).Backspace(20).TypeLetters(u"wide rim");
    s.Snap(Snap("tolerance_typed")).KeyboardOk().Snap(Snap("tolerance_new"));
    TapBox(s, kSaveButton).Snap(Snap("tolerance_saved"));
    s.Tap(kSetRowX, kSetRowY0);
    TapBox(s, kEditButton).Tap(kSetNameField.x, kSetNameField.y).Backspace(6).TypeLetters(u"narrow rim").KeyboardOk();
    TapBox(s, kSaveButton).Snap(Snap("tolerance_renamed")).Back().Back();
    ASSERT_EQ(Run(s), 0);

    EXPECT_EQ(SetNames(), (std::vector<std::u16string>{u"narrow rim", u"alpha", u"wide rim"}));
    const auto sets = Records<DopuskQavRecord>(root.ReadFile(kDopuskQavPath));
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].lower[0], 1000) << "renaming keeps the limits";
    EXPECT_EQ(sets[2].upper[0], 0) << "a new set starts at zero";
    EXPECT_EQ(Name(ReadParams().qavToleranceName), u"narrow rim") << "the current set keeps being current";
    const qplat::Surface renamed = ReadPngFile(Snap("tolerance_renamed"));
    ASSERT_EQ(renamed.width, 480);
    EXPECT_TRUE(HasMark(renamed, 0)) << "the renamed set carries the mark";
    EXPECT_FALSE(HasMark(renamed, 2));

    // Another set made current.
    TapScript c;
    c.Tap(kDataMenu.x, kDataMenu.y);
    TapBox(c, kToleranceButton).Tap(kSetRowX, kSetRowY0 + 2 * kRowHeight);
    TapBox(c, kMakeCurrentButton).Snap(Snap("tolerance_current")).Back().Back();
    ASSERT_EQ(Run(c), 0);
    EXPECT_EQ(Name(ReadParams().qavToleranceName), u"wide rim");
    const qplat::Surface current = ReadPngFile(Snap("tolerance_current"));
    EXPECT_TRUE(HasMark(current, 2));
    EXPECT_FALSE(HasMark(current, 0));
}

TEST_F(EditorRun, TheItemEditorSavesANewWheelTypeUnderATypedName)
{
    root.WriteFile(kDopuskQavPath, Bytes(std::vector<DopuskQavRecord>{Set(u"alpha", 2000)}));
    ParamBlock p = Params(1, 1);
    CopyName(p.qavToleranceName, u"alpha");
    WriteParams(p);
    const std::string settings = root.ReadFile(kParamPath);

    TapScript s;
    s.Tap(kDataMenu.x, kDataMenu.y);
    TapBox(s, kCatalogueButton).Snap(Snap("catalogue_opened"));
    TapBox(s, kNewButton).Wait(200).Snap(Snap("item_opened"));
    s.Tap(kTypeNameBox.x, kTypeNameBox.y).Backspace(20).TypeLetters(u"freight").KeyboardOk().Snap(Snap("item_named"));
    s.Confirm().Snap(Snap("catalogue_saved")).Back().Back();
    ASSERT_EQ(Run(s), 0);

    const auto types = Records<WheelTypeRecord>(root.ReadFile(kWheelTypePath));
    ASSERT_EQ(types.size(), 1u);
    EXPECT_EQ(Name(types[0].name), u"freight");
    EXPECT_EQ(Name(types[0].toleranceName), u"alpha") << "the set the settings name";
    EXPECT_EQ(types[0].dimensions[DIM_L1], p.dimensions[DIM_L1]);
    EXPECT_EQ(root.ReadFile(kParamPath), settings) << "the settings as they were";
    // The new entry is the catalogue's one row.
    const qplat::Surface saved = ReadPngFile(Snap("catalogue_saved"));
    ASSERT_EQ(saved.width, 480);
    EXPECT_TRUE(AnyPixel(saved, RECT{14, 124, 120, 144}, Dark)) << "a first row";
    EXPECT_FALSE(AnyPixel(saved, RECT{14, 148, 120, 166}, Dark)) << "no second row";
}

}  // namespace
