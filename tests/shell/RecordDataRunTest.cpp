// The record-data screen on the measuring road, driven by stylus taps through
// the program itself: each free text typed on the on-screen keyboard, the
// side chosen from its list, and the record stored with them.

#include "tests/shell/MeasureRoadSupport.h"
#include "tests/support/TapScript.h"

namespace {

class RecordDataRun : public qtest::MeasureRoad {};

// The edits of the screen (client coordinates) with what is typed into each
// and whether the keyboard opens on its digits.
struct Typed {
    int x, y;
    const char16_t* text;
    bool digits;
};
constexpr Typed kTyped[6] = {{115, 101, u"wheel", false}, {115, 141, u"car", false}, {115, 181, u"ab", false},
                             {350, 61, u"train", false},  {350, 101, u"42", true},  {350, 141, u"ax", false}};
constexpr int kEditWidth = 110, kEditHeight = 28;

TEST_F(RecordDataRun, EveryFieldTypedByTapsIsStoredWithTheMeasurement)
{
    WriteSettings(1, 1);
    sim = StartSim(1);
    qtest::TapScript s;
    // The sensor linked, the run over with a result; the record-data screen
    // takes the first edit's tap once its own timer has made it ready (each
    // tap here waits past it).
    s.Await(qtest::kLinkedFace, qtest::kFaceOn).TapScreen(qtest::kStartMeasure.x, qtest::kStartMeasure.y);
    s.TapScreen(qtest::kMeasure.x, qtest::kMeasure.y).Await(qtest::kSaveFace, qtest::kFaceOn);
    s.TapScreen(qtest::kSave.x, qtest::kSave.y).Snap(Snap("record"));
    for (size_t i = 0; i < std::size(kTyped); ++i) {
        const Typed& t = kTyped[i];
        s.TapBox(t.x, t.y, kEditWidth, kEditHeight).Snap(Snap("keyboard" + std::to_string(i)));
        if (t.digits)
            s.Type(t.text);
        else
            s.TypeLetters(t.text);
        s.KeyboardOk();
    }
    // The second side from the side list.
    s.TapBox(350, 181, kEditWidth, kEditHeight).TapScreen(400, 241).Snap(Snap("filled"));
    // Stored: the measuring screen's save button goes off.
    s.TapScreen(qtest::kRecordOk.x, qtest::kRecordOk.y).Await(qtest::kSaveFace, qtest::kFaceOff).Snap(Snap("saved"));
    s.TapScreen(qtest::kClose.x, qtest::kClose.y);
    ASSERT_EQ(Run(s.Actions()), 0);

    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u);
    const QavJournalRecord& r = journal[0];
    EXPECT_EQ(Field(r.wheelName), u"wheel");
    EXPECT_EQ(Field(r.carName), u"car");
    EXPECT_EQ(Field(r.carNumber), u"ab");
    EXPECT_EQ(Field(r.trainName), u"train");
    EXPECT_EQ(Field(r.axleName2), u"42");
    EXPECT_EQ(Field(r.axleName), u"ax");
    EXPECT_EQ(Field(r.side), u"1");
    EXPECT_EQ(Field(r.date), Today());
    EXPECT_EQ(Field(r.sensorName1), u"LX412 12345");

    // Each keyboard covered the screen, the digits one only for the axle
    // number (its letter keys are not there); each text shows in its edit.
    const qplat::Surface record = Png("record"), filled = Png("filled");
    const RECT letterRow{20, 120, 460, 145};
    for (size_t i = 0; i < std::size(kTyped); ++i) {
        SCOPED_TRACE(i);
        const qplat::Surface keyboard = Png("keyboard" + std::to_string(i));
        EXPECT_GT(Differing(record, keyboard, RECT{0, 50, 480, 272}), 10000);
        EXPECT_EQ(Differing(keyboard, Png("keyboard0"), letterRow) == 0, !kTyped[i].digits);
        const Typed& t = kTyped[i];
        const RECT edit{t.x + 3, t.y + 3, t.x + kEditWidth - 2, t.y + kEditHeight - 2};
        EXPECT_EQ(Count(record, edit, qtest::Dark), 0);
        EXPECT_GT(Count(filled, edit, qtest::Dark), 8);
    }
    // The list closed on "R" and the screen is gone after the confirmation.
    EXPECT_GT(Differing(record, filled, RECT{352, 183, 430, 207}), 5);
    EXPECT_GT(Differing(filled, Png("saved"), RECT{0, 50, 480, 272}), 10000);
}

}  // namespace
