// The type editor opens the dimension table, the option groups and the
// parameter switches themselves: what the operator sets on them goes into the
// new entry, and the settings file is as it was once the catalogue closes.

#include "dialogs/ParamOptionsDlg.h"
#include "dialogs/ParamSwitchesDlg.h"
#include "dialogs/ParamTableDlg.h"
#include "dialogs/TypeCatalogDlg.h"
#include "dialogs/TypeItemDlg.h"
#include "tests/dialogs/SettingsScreenTestSupport.h"

using namespace qtest;

namespace {

using Catalog = CTypeCatalogDlg;
using Item = CTypeItemDlg;

class TypeItemScreens : public SettingsScreenTest {};

TEST_F(TypeItemScreens, TheEditorsSettingsScreensFillTheNewEntry)
{
    for (BYTE unit : {1, 2}) {
        SCOPED_TRACE(int(unit));
        root.WriteFile(kWheelTypePath, "");
        ParamBlock before = Params(1, unit);
        CopyName(before.wheelTypeName, u"Old type");
        WriteParams(before);
        Steps({Command(Catalog::kNewId),
               // The table: L1 is row 0.
               Command(Item::kDimensionsId),
               [](HWND table) { TapCell(GetDlgItem(table, CParamTableDlg::kListId), 0, 1, true); },
               Type(u"3"), Command(CParamTableDlg::kOkId),
               // The options: the flange level from its tip.
               Command(Item::kOptionsId), [](HWND options) { TapWindow(GetDlgItem(options, 460)); },
               Command(CParamOptionsDlg::kOkId),
               // The switches: row 0 is 820, on by default.
               Command(Item::kSwitchesId),
               [](HWND switches) { TapCell(GetDlgItem(switches, CParamSwitchesDlg::kListId), 0, 0, true); },
               Command(CParamSwitchesDlg::kOkId), Command(Item::kOkId), Close()});
        EXPECT_TRUE(RunScreen<Catalog>(nullptr, owner));
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before)) << "the catalogue put the settings back";
        const auto types = Records<WheelTypeRecord>(root.ReadFile(kWheelTypePath));
        ASSERT_EQ(types.size(), 1u);
        EXPECT_EQ(Name(types[0].name), Text(40435));
        EXPECT_EQ(types[0].dimensions[DIM_L1], unit == 1 ? 3000 : 76200);
        EXPECT_EQ(types[0].dimensions[DIM_L2], before.dimensions[DIM_L2]);
        EXPECT_EQ(types[0].option1, 2);
        EXPECT_EQ(types[0].option2, before.option2);
        EXPECT_EQ(types[0].switches[0], 1);
        EXPECT_EQ(types[0].switches[1], before.switches[1]);
    }
}

}  // namespace
