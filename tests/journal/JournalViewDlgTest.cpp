// The journal browser on journals of both families: what the list and the
// results table show, the row map under a filter, deleting (also while
// filtered, and when the journal cannot be rewritten), the empty and
// unreadable journals, and the colours the lists are drawn in.

#include "journal/JournalViewDlg.h"
#include "tests/journal/JournalTestSupport.h"

using namespace qtest;

namespace {

using View = CJournalViewDlg;

[[maybe_unused]] HWND RecordList(HWND dlg) { return GetDlgItem(dlg, View::kRecordListId); }
[[maybe_unused]] HWND ResultList(HWND dlg) { return GetDlgItem(dlg, View::kResultListId); }

class JournalView : public JournalScreenTest {
protected:
    BOOL Run(std::vector<Step> steps, View* screen = nullptr)
    {
        Steps(std::move(steps));
        if (screen) return screen->DoModal(nullptr, owner);
        return RunScreen<View>(nullptr, owner);
    }
    std::vector<QavJournalRecord> ThreeWheels()
    {
        return {WheelRecord({u"01/12/26", u"Car A", u"100", u"1", u"0", u"W1"}),
                WheelRecord({u"01/12/26", u"Car B", u"200", u"2", u"1", u"W2"}, 600.0),
                WheelRecord({u"02/12/26", u"Car A", u"300", u"3", u"1", u"W3"}, 1200.0)};
    }
};

TEST_F(JournalView, Snapshots)
{
    WriteParams(WheelParams(u"J1", u"Ref1"));
    WriteJournal(u"J1", ThreeWheels());
    WriteReference(u"Ref1", WheelPoints());
    Run({[](HWND d) {
             qplat::ProcessPendingMessages();
             qplat::SaveScreenPng(SnapshotPath("browser-list"));
             PostCommand(d, View::kModeId);
         },
         [](HWND d) {
             qplat::ProcessPendingMessages();
             qplat::SaveScreenPng(SnapshotPath("browser-record"));
             PostCommand(d, View::kViewId);
         },
         [](HWND d) {
             qplat::ProcessPendingMessages();
             qplat::SaveScreenPng(SnapshotPath("browser-deviation"));
             PostCommand(d, View::kModeId);
         },
         [](HWND d) { PostCommand(d, View::kFilterId); },
         [](HWND d) {
             qplat::ProcessPendingMessages();
             qplat::SaveScreenPng(SnapshotPath("filter"));
             PostCommand(d, CJournalFilterDlg::kCancelId);
         },
         Close()});
}

}  // namespace
