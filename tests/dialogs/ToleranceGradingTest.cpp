// From the tolerance editor through "Dopusk.qav" to the grading: an angle
// limit typed in degrees is stored in the thousandths the calculation keeps
// its angles in, so a limit of 45 degrees passes 44.900 and fails 45.100, in
// millimetres and in inches alike.

#include "dialogs/ToleranceEditorDlg.h"
#include "measurement/ParamSave.h"
#include "settings/JournalRecords.h"
#include "tests/dialogs/SettingsScreenTestSupport.h"

using namespace qtest;

namespace {

using Dlg = CToleranceEditorDlg;

// Value 11, the angle graded against limit entry 8 into status 5.
constexpr int kAngleValue = 11;
constexpr int kAngleStatus = 5;

class ToleranceGrading : public SettingsScreenTest {};

TEST_F(ToleranceGrading, AnAngleLimitOf45DegreesGradesInDegrees)
{
    for (BYTE unit : {1, 2}) {
        SCOPED_TRACE(int(unit));
        root.WriteFile(kDopuskQavPath, "");
        ParamBlock p = Params(1, unit);
        p.switches[823 - 820] = 2;  // the angle row (row 12 of every row the editor has)
        WriteParams(p);
        std::u16string label, shown;
        Steps({Command(Dlg::kNewId), [&](HWND dlg) {
                   // Rows: Sh, Sd, qR, then the angle.
                   HWND list = GetDlgItem(dlg, Dlg::kValueListId);
                   label = CellText(list, 3, 0);
                   TapCell(list, 3, 4, true);
               },
               Type(u"45"),
               [&](HWND dlg) {
                   shown = CellText(GetDlgItem(dlg, Dlg::kValueListId), 3, 4);
                   PostCommand(dlg, Dlg::kSaveId);
               },
               [](HWND dlg) {
                   TapCell(GetDlgItem(dlg, Dlg::kSetListId), 0, 0);
                   PostCommand(dlg, Dlg::kMakeCurrentId);
               },
               Close()});
        RunScreen<Dlg>(nullptr, owner);
        EXPECT_EQ(label, Text(40614) + u"-" + Text(40351));
        EXPECT_EQ(shown, unit == 1 ? u"45.00" : u"45.000");
        const auto sets = Records<DopuskQavRecord>(root.ReadFile(kDopuskQavPath));
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].upper[8], 45000);
        EXPECT_EQ(Name(ReadParams().qavToleranceName), Name(sets[0].name));

        CMeasureController controller;
        controller.LoadQavTolerances();
        QavJournalRecord record{};
        for (const auto& [measured, status] :
             std::vector<std::pair<LONG, BYTE>>{{44900, kStatusInTolerance}, {45000, kStatusInTolerance},
                                                 {45100, kStatusOutOfTolerance}}) {
            SetQavRecordValue(&record, kAngleValue, measured);
            controller.RecomputeFromRecord(record, 1);
            EXPECT_EQ(controller.m_result.status[kAngleStatus], status) << measured;
        }
    }
}

}  // namespace
