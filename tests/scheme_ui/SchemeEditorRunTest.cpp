// The scheme editor driven by the stylus through the program itself, run
// headless from a script with taps from the start screen: a new scheme under
// a name typed on the letter keys and a car count typed on the digit keys is
// saved, listed, and loads back with what was typed.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/gdi/Surface.h"
#include "scheme/Scheme.h"
#include "scheme/SchemeFile.h"
#include "tests/scheme_ui/SchemeUiTestSupport.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/TapScript.h"

namespace {

namespace fs = std::filesystem;
using qtest::AnyPixel;
using qtest::Dark;

using schemeui::kDataMenu;
constexpr RECT kSchemesButton{50, 197, 161, 51};
constexpr RECT kNewButton{20, 223, 141, 41};
// The editor's name and car-count edits.
constexpr POINT kNameEdit{240, 68};
constexpr POINT kCarsEdit{240, 101};

class SchemeEditorRun : public schemeui::SchemeUiRun {
protected:
    SchemeEditorRun() : SchemeUiRun("scheme_run_") {}
    void SetUp() override
    {
        SchemeUiRun::SetUp();
        InstallShippedSchemes();
        root.MakeFolder(u"\\SDMMC\\Autorun\\DB");
    }
    int Run(const qtest::TapScript& s)
    {
        return RunText(s.Text());
    }
};

TEST_F(SchemeEditorRun, ANewSchemeIsSavedUnderATypedNameAndLoadsBack)
{
    WriteSettings(1, [](ParamBlock& b) { qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Car 4 axles"); });
    qtest::TapScript s;
    s.Tap(kDataMenu.x, kDataMenu.y).TapBox(kSchemesButton.left, kSchemesButton.top, kSchemesButton.right,
                                            kSchemesButton.bottom);
    s.Snap(Snap("list")).TapBox(kNewButton.left, kNewButton.top, kNewButton.right, kNewButton.bottom);
    s.Snap(Snap("editor")).Tap(kNameEdit.x, kNameEdit.y).Backspace(20).TypeLetters(u"my train").Snap(Snap("name"));
    s.KeyboardOk().Tap(kCarsEdit.x, kCarsEdit.y).Backspace(3).Type(u"3").KeyboardOk().Snap(Snap("typed"));
    s.Confirm().Snap(Snap("saved")).Back().Back();
    ASSERT_EQ(Run(s), 0);

    EXPECT_TRUE(root.Exists(u"\\SDMMC\\Autorun\\Schemes\\my train.sch"));
    auto scheme = std::make_unique<CScheme>();
    CSchemeFile file;
    int items = 0, cars = 0, order = 0;
    ASSERT_EQ(file.Load(u"my train", scheme->cars, &items, &cars, &order, 1), 1);
    EXPECT_EQ(cars, 3);
    EXPECT_EQ(order, 1);
    EXPECT_EQ(items, 3 * 4 * 2) << "three cars of four axles, two wheels each";
    EXPECT_EQ(qplat::FieldText(ReadSettings().qavSchemeName, PARAM_NAME_CHARS), u"Car 4 axles")
        << "a new scheme is not made current";

    // The editor showed what was typed, and the list shows one row more.
    const qplat::Surface typed = qtest::ReadPngFile(Snap("typed"));
    ASSERT_EQ(typed.width, 480);
    EXPECT_TRUE(AnyPixel(typed, RECT{172, 58, 240, 78}, Dark)) << "the typed name in its edit";
    const qplat::Surface saved = qtest::ReadPngFile(Snap("saved"));
    EXPECT_TRUE(AnyPixel(saved, RECT{14, 184, 190, 202}, Dark)) << "a fourth row";
}

}  // namespace
