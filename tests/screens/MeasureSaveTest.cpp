// Storing a measurement, byte by byte: what the save of each device type
// writes into the record and where, appending or replacing the stored record
// of the position (with and without the question), the two records of a
// type-3 axle, a shorter profile over a reused record, and a journal that
// cannot be written.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>

#include "screens/MeasureDlg.h"
#include "settings/DBJournal_Qav.h"
#include "tests/screens/MeasureScreensTestSupport.h"
#include "tests/support/CutOffSave.h"
#include "tests/support/Fields.h"

namespace {

using namespace qtest;

class MeasureSave : public qtest::MeasureScreens {
protected:
    // A wheel measurement of n points in the controller.
    void WheelMeasurement(DWORD n)
    {
        CMeasureController& c = *controller;
        c.m_count = n;
        for (DWORD i = 0; i < n; ++i) c.m_points[i] = ProfilePoint{20000 + 50 * static_cast<LONG>(i), 1000 + static_cast<LONG>(i)};
        for (int k = 0; k < kWheelValueCount; ++k) c.m_result.values[k] = 100 + k;
        for (int k = 0; k < PARAM_DIMENSION_COUNT; ++k) c.m_headSettings.dimensions[k] = 10 + k;
        for (int k = 0; k < 5; ++k) c.m_headSettings.options[k] = static_cast<BYTE>(k + 1);
        c.m_head1Settings.words[2] = 500;
    }
    // A tap on save on the screen opened on the measured position `record`,
    // the box that follows answered; whether the screen stored the record.
    BOOL PressSave(QavJournalRecord* record, std::vector<std::u16string>* texts, bool* openAfterSave = nullptr)
    {
        return OpenMeasuring(record, nullptr, 1, [&](CMeasureDlg& s) {
            qtest::AnswerBox(texts);
            s.m_mainButtons[CMeasureDlg::kSlotSave].Enable(TRUE);
            qtest::Press(s.m_hWnd, CMeasureDlg::kSaveId);
            if (openAfterSave) *openAfterSave = IsWindow(s.m_hWnd) != FALSE;
        });
    }
    int SaveQav(QavJournalRecord* record, BYTE ask = 0)
    {
        int result = -1;
        OpenMeasuring(record, nullptr, ask, [&](CMeasureDlg& s) { result = s.SaveQavRecord(); });
        return result;
    }
    // The save of the measured position of `qav` (the wheel head's measuring
    // it again first when `remeasure`) or of `qod`, its replace question
    // answered Yes once the journal file `path` holds `swapped`: nothing is
    // saved or written, and the operator is told.
    void ExpectChangedJournalKept(QavJournalRecord* qav, QodJournalRecord* qod, const std::u16string& path,
                                  const std::string& swapped, bool remeasure = false)
    {
        std::vector<std::u16string> texts;
        int result = -1;
        OpenMeasuring(qav, qod, 1, [&](CMeasureDlg& s) {
            if (remeasure) WheelMeasurement(100);
            qtest::AnswerYesAfter([&] { root.WriteFile(path, swapped); }, &texts);
            result = qav ? s.SaveQavRecord() : s.SaveQodRecord();
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(texts, (std::vector<std::u16string>{qtest::LanguageText(qav ? 50010 : 50061),
                                                      qtest::LanguageText(SCREEN_RECORD_CHANGED)}));
        EXPECT_TRUE(JournalBytes(qav ? u"qav" : u"qod") == swapped) << "the journal as it was put there";
    }
};

TEST_F(MeasureSave, WheelHeadRecordCarriesItsProfileValuesDimensionsAndOptions)
{
    WriteSettings(1, 1, [](ParamBlock& b) {
        b.option4 = 2;
        b.option6 = 1;
    });
    auto record = Position(u"W1", u"0");
    Put(record->sensorName1, u"LX412 00001");
    // A reused record: a longer profile and a gauge reading were there before.
    for (LONG& z : record->profileZ) z = 7;
    SetQavRecordValue(record.get(), 7, 4321);
    WheelMeasurement(1000);
    controller->m_result.values[7] = 0;
    ASSERT_EQ(SaveQav(record.get()), 1);

    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u);
    const QavJournalRecord& r = journal[0];
    EXPECT_EQ(Field(r.date), u"01/02/26");
    EXPECT_EQ(Field(r.wheelName), u"W1");
    EXPECT_EQ(Field(r.side), u"0");
    const std::u16string time = Field(r.time);
    ASSERT_EQ(time.size(), 8u);
    EXPECT_EQ(time[2], u':');
    EXPECT_EQ(time[5], u':');
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(r.profileZ[i], 1000 + i) << i;
    for (int i = 1000; i < RECORD_PROFILE_POINTS; ++i) ASSERT_EQ(r.profileZ[i], 0) << "tail " << i;
    EXPECT_EQ(r.firstX, 20000);
    EXPECT_EQ(r.stepRegister, 500);
    for (int word = 0; word <= 26; ++word) {
        if (word != 3 && word != 7) {
            EXPECT_EQ(GetQavRecordValue(r, word), 100 + word) << word;
        }
    }
    EXPECT_EQ(GetQavRecordValue(r, 7), 4321) << "a head without a gauge reading leaves word 7";
    EXPECT_EQ(GetQavRecordValue(r, 27), 0) << "the gauge steps are not the head's";
    for (int k = 0; k < QAV_RECORD_DIMENSIONS; ++k) EXPECT_EQ(r.dimensions[k], 10 + k);
    EXPECT_EQ(r.options[0], 1);
    EXPECT_EQ(r.options[1], 2);
    EXPECT_EQ(r.options[2], 3);
    EXPECT_EQ(r.options[3], 5) << "switch byte 92 of the head settings";
    EXPECT_EQ(r.option813, 2);
    EXPECT_EQ(r.option815, 1);
    EXPECT_EQ(Field(r.sensorName1), u"LX412 00001");

    // A head that did measure a reading stores it.
    auto second = Position(u"W2", u"1");
    controller->m_result.values[7] = 77;
    ASSERT_EQ(SaveQav(second.get()), 1);
    ASSERT_EQ(QavJournal().size(), 2u);
    EXPECT_EQ(GetQavRecordValue(QavJournal()[1], 7), 77);
}

TEST_F(MeasureSave, NewPositionWithoutQuestionReplacesTheStoredRecordKeepingItsTimeAndTexts)
{
    WriteSettings(1, 1);
    auto other = Position(u"W9", u"0");
    AppendQav(*other);
    auto stored = Position(u"W1", u"0");
    Put(stored->time, u"11:11:11");
    Put(stored->trainName, u"Stored train");
    Put(stored->sensorName1, u"OLD 00000");
    stored->profileZ[2000] = 55;  // a longer profile than the new one
    AppendQav(*stored);

    auto record = Position(u"W1", u"0");
    Put(record->trainName, u"New train");
    Put(record->sensorName1, u"NEW 00001");
    WheelMeasurement(100);
    ASSERT_EQ(SaveQav(record.get()), 1);

    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(std::memcmp(&journal[0], other.get(), sizeof(QavJournalRecord)), 0) << "the other record untouched";
    const QavJournalRecord& r = journal[1];
    EXPECT_EQ(Field(r.time), u"11:11:11");
    EXPECT_EQ(Field(r.trainName), u"Stored train");
    EXPECT_EQ(Field(r.sensorName1), u"NEW 00001") << "the serial of this save";
    EXPECT_EQ(GetQavRecordValue(r, 0), 100);
    EXPECT_EQ(r.profileZ[99], 1099);
    EXPECT_EQ(r.profileZ[2000], 0) << "the stored profile's tail is cleared";
}

TEST_F(MeasureSave, MeasuredPositionAsksAndOnlyYesReplaces)
{
    WriteSettings(1, 1);
    auto stored = Position(u"W1", u"0");
    SetQavRecordValue(stored.get(), 0, 999);
    AppendQav(*stored);
    const std::string before = JournalBytes(u"qav");

    // The screen opens on the stored measurement; the position is measured
    // again before each save.
    std::vector<std::u16string> texts;
    int result = -1;
    auto record = Position(u"W1", u"0");
    OpenMeasuring(record.get(), nullptr, 1, [&](CMeasureDlg& s) {
        EXPECT_EQ(controller->m_result.values[0], 999) << "the stored values are shown";
        WheelMeasurement(100);
        qtest::AnswerBox(&texts, qtest::kBoxSecondButton);
        result = s.SaveQavRecord();
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], qtest::LanguageText(50010));
    EXPECT_EQ(JournalBytes(u"qav"), before) << "no is declined: nothing written";

    OpenMeasuring(record.get(), nullptr, 1, [&](CMeasureDlg& s) {
        WheelMeasurement(100);
        qtest::AnswerBox(&texts, qtest::kBoxFirstButton);
        result = s.SaveQavRecord();
    });
    EXPECT_EQ(result, 1);
    ASSERT_EQ(QavJournal().size(), 1u);
    EXPECT_EQ(GetQavRecordValue(QavJournal()[0], 0), 100);
}

// The journal changes while the replace question is up (a PC writes the
// card in USB mode, a card is swapped, an undone save is copied in): Yes
// writes nothing over whatever now stands where the stored record stood, and
// the operator is told to measure and save again.
TEST_F(MeasureSave, AJournalChangedWhileTheReplaceQuestionIsUpKeepsEveryByte)
{
    const std::u16string qavPath = u"\\SDMMC\\Autorun\\DB\\test.qav";
    auto w9 = Position(u"W9", u"0"), w1 = Position(u"W1", u"0"), w2 = Position(u"W2", u"0");
    auto w1Again = Position(u"W1", u"0");
    SetQavRecordValue(w1Again.get(), 0, 555);
    struct Row {
        const char* what;
        std::vector<const QavJournalRecord*> now;
    };
    const Row rows[] = {
        {"another wheel's record in its place", {w9.get(), w2.get()}},
        {"the records in another order", {w1.get(), w9.get()}},
        {"the same wheel measured again meanwhile", {w9.get(), w1Again.get()}},
        {"a journal that ends before it", {w9.get()}},
    };
    WriteSettings(1, 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        root.WriteFile(qavPath, JournalOf<QavJournalRecord>({w9.get(), w1.get()}));
        ExpectChangedJournalKept(Position(u"W1", u"0").get(), nullptr, qavPath, JournalOf(row.now), true);
    }

    // The same for a disc.
    WriteSettings(4, 0);
    const std::u16string qodPath = u"\\SDMMC\\Autorun\\DB\\test.qod";
    auto d9 = DiscPosition(u"D9", u"1"), d1 = DiscPosition(u"D1", u"1"), d2 = DiscPosition(u"D2", u"1");
    root.WriteFile(qodPath, JournalOf<QodJournalRecord>({d9.get(), d1.get()}));
    ExpectChangedJournalKept(nullptr, DiscPosition(u"D1", u"1").get(), qodPath,
                             JournalOf<QodJournalRecord>({d9.get(), d2.get()}));
}

TEST_F(MeasureSave, DiameterGaugeStoresItsReadingAndSerialOnly)
{
    WriteSettings(2, 1);
    auto record = Position(u"W1", u"0");
    Put(record->sensorName2, u"QUN 12345");
    WheelMeasurement(100);  // a profile and values the gauge record must not take
    controller->m_result.values[7] = 12340;
    ASSERT_EQ(SaveQav(record.get()), 1);
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u);
    const QavJournalRecord& r = journal[0];
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(GetQavRecordValue(r, 7), 12340), FIELD_IS(GetQavRecordValue(r, 0), 0),
                                 FIELD_IS(r.profileZ[0], 0), FIELD_IS(r.dimensions[0], 0),
                                 FIELD_IS(Field(r.sensorName2), u"QUN 12345")));
}

class WheelSetGaugeSave : public MeasureSave {
protected:
    void SetUp() override
    {
        MeasureSave::SetUp();
        WriteSettings(3, 1, [](ParamBlock& b) { b.gaugeSteps = 3; });
        controller->ApplyParams();  // the controller's settings copy gives the step count
        // Three steps read: the screen builds its step table from them.
        controller->m_result.values[29] = 5000;
        controller->m_result.values[30] = 5010;
        controller->m_result.values[31] = 5020;
    }
    static void ExpectSteps(const QavJournalRecord& r)
    {
        EXPECT_EQ(GetQavRecordValue(r, 27), 3);
        EXPECT_EQ(GetQavRecordValue(r, 28), 5010) << "the mean of the steps";
        EXPECT_EQ(GetQavRecordValue(r, 29), 5000);
        EXPECT_EQ(GetQavRecordValue(r, 31), 5020);
        EXPECT_EQ(GetQavRecordValue(r, 32), 0);
    }
};

TEST_F(WheelSetGaugeSave, NewAxleGivesTwoRecordsThatDifferOnlyInTheSide)
{
    auto record = Position(u"W1", u"0");
    ASSERT_EQ(SaveQav(record.get()), 1);
    std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(Field(journal[0].side), u"0");
    EXPECT_EQ(Field(journal[1].side), u"1");
    ExpectSteps(journal[0]);
    Put(journal[1].side, u"0");
    EXPECT_EQ(std::memcmp(&journal[0], &journal[1], sizeof(QavJournalRecord)), 0);
}

// The journal holds the wheel head's record of the axle's first wheel only
// (one record per wheel serves the whole wheel family). The gauge's values
// merge into it, and the other wheel gets a record of its own: the stored
// record's texts with the other side, and of the measurement only this
// save's (its time, steps and gauge serial), none of the head's.
TEST_F(WheelSetGaugeSave, ReplacedAxleWhoseOtherWheelIsMissingGetsOnlyThisSavesValues)
{
    auto stored = Position(u"W1", u"1");
    Put(stored->time, u"09:00:00");
    Put(stored->trainName, u"Stored");
    Put(stored->axleName2, u"7");
    Put(stored->sensorName1, u"LX412 00001");
    for (int i = 0; i < 1000; ++i) stored->profileZ[i] = 500 + i;
    stored->firstX = 20000;
    stored->stepRegister = 500;
    for (int word = 0; word <= 26; ++word) SetQavRecordValue(stored.get(), word, 100 + word);
    SetQavRecordValue(stored.get(), 29, 1);  // old steps
    stored->dimensions[0] = 33;
    AppendQav(*stored);
    auto record = Position(u"W1", u"0");
    Put(record->sensorName3, u"QEM 00003");
    ASSERT_EQ(SaveQav(record.get()), 1);
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 2u);

    const QavJournalRecord& merged = journal[0];
    EXPECT_EQ(Field(merged.side), u"1");
    EXPECT_EQ(Field(merged.time), u"09:00:00") << "a replaced record keeps its time";
    ExpectSteps(merged);
    EXPECT_EQ(merged.profileZ[999], 1499) << "the head's profile stays with its wheel";
    EXPECT_EQ(GetQavRecordValue(merged, 0), 100);
    EXPECT_EQ(Field(merged.sensorName3), u"QEM 00003");

    const QavJournalRecord& other = journal[1];
    EXPECT_EQ(Field(other.side), u"0") << "the other wheel";
    EXPECT_EQ(Field(other.date), u"01/02/26");
    EXPECT_EQ(Field(other.wheelName), u"W1") << "the pair keeps one wheel name";
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(Field(other.carName), u"Car"), FIELD_IS(Field(other.carNumber), u"1234"),
                                 FIELD_IS(Field(other.axleName), u"A1"), FIELD_IS(Field(other.axleName2), u"7"),
                                 FIELD_IS(Field(other.trainName), u"Stored")));
    const std::u16string time = Field(other.time);
    EXPECT_EQ(time.size(), 8u) << "this save's time";
    EXPECT_NE(time, u"09:00:00");
    ExpectSteps(other);
    EXPECT_EQ(Field(other.sensorName3), u"QEM 00003");
    EXPECT_EQ(Field(other.sensorName1), u"") << "not the head's";
    for (int i = 0; i < RECORD_PROFILE_POINTS; ++i) ASSERT_EQ(other.profileZ[i], 0) << "no profile, point " << i;
    EXPECT_EQ(other.firstX, 0);
    EXPECT_EQ(other.stepRegister, 0);
    for (int word = 0; word <= 26; ++word) EXPECT_EQ(GetQavRecordValue(other, word), 0) << "value " << word;
    EXPECT_EQ(other.dimensions[0], 0);
}

TEST_F(WheelSetGaugeSave, ReplacedAxleReplacesBothWheelsWithTheSteps)
{
    auto left = Position(u"W1", u"0");
    Put(left->time, u"10:00:00");
    AppendQav(*left);
    AppendQav(*Position(u"W5", u"0"));
    auto right = Position(u"W1", u"1");
    Put(right->time, u"10:00:01");
    Put(right->trainName, u"Right");
    AppendQav(*right);
    auto record = Position(u"W1", u"0");
    Put(record->sensorName3, u"QEM 00003");
    ASSERT_EQ(SaveQav(record.get()), 1);
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 3u);
    ExpectSteps(journal[0]);
    EXPECT_EQ(GetQavRecordValue(journal[1], 27), 0) << "another axle";
    ExpectSteps(journal[2]);
    EXPECT_EQ(Field(journal[2].time), u"10:00:01");
    EXPECT_EQ(Field(journal[2].trainName), u"Right");
    EXPECT_EQ(Field(journal[2].side), u"1");
    EXPECT_EQ(Field(journal[0].sensorName3), u"QEM 00003");
    EXPECT_EQ(Field(journal[2].sensorName3), u"QEM 00003") << "the gauge that measured both wheels";
}

// A card with room for only part of what a save writes: the process's file
// size limit, held for one save and lifted again.
class CardRoom {
public:
    explicit CardRoom(rlim_t bytes)
    {
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        m_set = getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        struct rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_set = m_set && setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~CardRoom()
    {
        if (m_set) setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }
    bool Set() const { return m_set; }

private:
    struct rlimit m_old {};
    bool m_set = false;
    void (*m_oldHandler)(int) = SIG_DFL;
};

class WheelSetGaugeFullCard : public WheelSetGaugeSave {
protected:
    // A save of the axle with room for `extra` bytes past the journal: the
    // failure is said, and the journal is as it was.
    void ExpectTheJournalKeptWithRoomFor(rlim_t extra, const char* what)
    {
        const std::string before = JournalBytes(u"qav");
        auto record = Position(u"W1", u"0");
        std::vector<std::u16string> texts;
        EXPECT_EQ(SaveOnFullCard(record.get(), before.size() + extra, &texts), 0);
        EXPECT_EQ(texts.size(), 1u) << "the failure is said";
        const std::string after = JournalBytes(u"qav");
        EXPECT_EQ(after.size(), before.size()) << what;
        EXPECT_TRUE(after == before) << what;
    }
    // Saves with room for `room` bytes in all; the failure's box is answered.
    int SaveOnFullCard(QavJournalRecord* record, rlim_t room, std::vector<std::u16string>* texts)
    {
        int result = -1;
        OpenMeasuring(record, nullptr, 0, [&](CMeasureDlg& s) {
            qtest::AnswerBox(texts);
            CardRoom card(room);
            if (!card.Set()) return;
            result = s.SaveQavRecord();
        });
        return result;
    }
};

// The axle's two records are stored both or not at all, so the series cannot
// count a half-saved axle as measured.
TEST_F(WheelSetGaugeFullCard, NewAxleStoresNeitherWheel)
{
    AppendQav(*Position(u"W5", u"0"));
    ASSERT_EQ(JournalBytes(u"qav").size(), sizeof(QavJournalRecord));
    ExpectTheJournalKeptWithRoomFor(sizeof(QavJournalRecord) * 3 / 2, "neither wheel stored, not a byte left behind");
}

// The other wheel has no record yet and the card cannot take it: the stored
// record of this wheel is not replaced either.
TEST_F(WheelSetGaugeFullCard, ReplacedAxleKeepsTheStoredRecord)
{
    auto stored = Position(u"W1", u"1");
    Put(stored->trainName, u"Stored");
    AppendQav(*stored);
    ExpectTheJournalKeptWithRoomFor(sizeof(QavJournalRecord) / 2, "no other wheel left behind, the stored one kept");
}

// The journal changes while the replace question is up: neither wheel of
// the axle is written where either record asked about is no longer there.
TEST_F(WheelSetGaugeSave, AJournalChangedWhileTheReplaceQuestionIsUpKeepsEveryByte)
{
    auto left = Position(u"W1", u"0"), right = Position(u"W1", u"1"), w5 = Position(u"W5", u"0");
    auto w6 = Position(u"W6", u"1"), w7 = Position(u"W7", u"0");
    struct Row {
        const char* what;
        std::vector<const QavJournalRecord*> stored, now;
    };
    const Row rows[] = {
        {"other wheel missing, another record in the wheel's place", {right.get()}, {w6.get()}},
        {"both wheels stored, another record in the first's place", {left.get(), w5.get(), right.get()},
         {w7.get(), w5.get(), right.get()}},
        {"both wheels stored, another record in the other wheel's place", {left.get(), w5.get(), right.get()},
         {left.get(), w5.get(), w6.get()}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::u16string path = u"\\SDMMC\\Autorun\\DB\\test.qav";
        root.WriteFile(path, JournalOf(row.stored));
        ExpectChangedJournalKept(Position(u"W1", u"0").get(), nullptr, path, JournalOf(row.now));
        EXPECT_FALSE(root.Exists(path + u".undo"));
    }
}

// The card fails at each sync an axle's save makes, one after another. A
// save whose records the journal holds but whose last step the card did not
// confirm counts as stored and tells the operator to check the card; any
// other failure is said as one and counts as nothing stored.
TEST_F(WheelSetGaugeSave, ASaveTheCardDidNotConfirmCountsAsStoredAndIsSaid)
{
    AppendQav(*Position(u"W5", u"0"));
    const std::string before = JournalBytes(u"qav");
    for (long long syncs = 0;; ++syncs) {
        SCOPED_TRACE(syncs);
        ASSERT_LT(syncs, 20) << "the save never went through";
        root.WriteFile(u"\\SDMMC\\Autorun\\DB\\test.qav", before);
        auto record = Position(u"W1", u"0");
        std::vector<std::u16string> texts;
        int result = -1;
        bool unconfirmed = false;
        OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
            qtest::AnswerBox(&texts);
            qplat::FailFileSyncsAfter(syncs);
            result = s.SaveQavRecord();
            qplat::FailFileSyncsAfter(-1);
            unconfirmed = s.m_journalQav.LastUnconfirmed();
        });
        if (result == 1 && !unconfirmed) {
            EXPECT_TRUE(texts.empty()) << "a whole save says nothing";
            EXPECT_EQ(QavJournal().size(), 3u);
            break;
        }
        ASSERT_EQ(texts.size(), 1u) << "the fault is said";
        if (unconfirmed) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(texts[0], qtest::LanguageText(SCREEN_NOT_CONFIRMED));
            EXPECT_EQ(QavJournal().size(), 3u);
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_NE(texts[0], qtest::LanguageText(SCREEN_NOT_CONFIRMED));
        }
    }
}

// The card fills up at every point of a replaced axle's save whose other
// wheel has no record yet. Wherever the write fails, the appended other
// wheel is cut back at once, and the stored wheel is as it was once the
// roll-back has been applied (also when the full card kept it from being
// put back at once). Only the card's own room (none) is lacking here.
TEST_F(WheelSetGaugeFullCard, ReplacedAxleIsCutBackAndPutBackWhereverTheCardFills)
{
    auto stored = Position(u"W1", u"1");
    Put(stored->trainName, u"Stored");
    for (int i = 0; i < 1000; ++i) stored->profileZ[i] = 500 + i;
    AppendQav(*stored);
    const std::string before = JournalBytes(u"qav");
    const std::u16string rollBack = u"\\SDMMC\\Autorun\\DB\\test.qav.undo";
    int replaceCutOff = 0;
    bool saved = false;
    for (long long room = 0; !saved; room += sizeof(QavJournalRecord) / 16) {
        SCOPED_TRACE(room);
        ASSERT_LT(room, 8 * static_cast<long long>(sizeof(QavJournalRecord))) << "the save never went through";
        root.WriteFile(u"\\SDMMC\\Autorun\\DB\\test.qav", before);
        auto record = Position(u"W1", u"0");
        Put(record->sensorName3, u"QEM 00003");  // early in the record, so most cuts show
        std::vector<std::u16string> texts;
        int result = -1;
        OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
            qtest::AnswerBox(&texts);
            qplat::FailFileWritesAfter(room);
            result = s.SaveQavRecord();
            qplat::FailFileWritesAfter(-1);
        });
        saved = result == 1;
        if (saved) {
            EXPECT_EQ(QavJournal().size(), 2u);
            break;
        }
        EXPECT_EQ(texts.size(), 1u) << "the failure is said";
        const std::string cut = JournalBytes(u"qav");
        EXPECT_EQ(cut.size(), before.size()) << "the other wheel is not left behind";
        if (cut != before) ++replaceCutOff;  // the stored wheel half overwritten
        RollBackCutOffJournalSaves();
        EXPECT_TRUE(JournalBytes(u"qav") == before) << "the stored wheel as it was";
        EXPECT_FALSE(root.Exists(rollBack));
    }
    EXPECT_GT(replaceCutOff, 0) << "no run cut the replace off after the append";
}

// A kill at any change an axle save makes to the card, in a child process,
// and the next start of the program: the journal holds both records of the
// axle or neither, and no roll-back or temporary file is left; and where a
// roll-back was left, another card's journal put in its place is not
// touched, and what a power cut there leaves past the journal's old length
// (zeros, stale card data) is cut off with the rest of the save.
class WheelSetGaugeKilled : public WheelSetGaugeSave {
protected:
    static constexpr const char16_t* kJournalPath = u"\\SDMMC\\Autorun\\DB\\test.qav";

    // How the save's child ended: 0 saved, 1 not saved, -1 killed.
    int SaveKilledAt(long long n, bool tear)
    {
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            qplat::KillAtStorageChange(n, tear);
            auto record = Position(u"W1", u"0");
            Put(record->sensorName3, u"QEM 00003");
            _exit(SaveQav(record.get()) == 1 ? 0 : 1);
        }
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid) return 2;
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
    }
    // The journal's bytes without the records' times: a whole save stamps
    // the time it ran at.
    std::string Timeless() const
    {
        std::string bytes = JournalBytes(u"qav");
        for (size_t at = 0; at + sizeof(QavJournalRecord) <= bytes.size(); at += sizeof(QavJournalRecord))
            std::memset(&bytes[at + offsetof(QavJournalRecord, time)], 0, sizeof(QavJournalRecord::time));
        return bytes;
    }
    std::vector<std::string> DbFiles() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(root.Host(u"\\SDMMC\\Autorun\\DB")))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Another card's journal of the same length put in place of the one the
    // save was cut off in (each of its records with another car name): the
    // start keeps it to the byte where that shows inside the journal's old
    // length. Where it does not (the journal was empty before the save), it
    // is cut back as the save's growth, but kept whole in a copy. The
    // cut-off state is put back afterwards.
    void ExpectAnotherCardsJournalKept(const std::u16string& undo, const std::string& before)
    {
        const std::string cutOff = JournalBytes(u"qav");
        const std::string pending = root.ReadFile(undo);
        std::string other = cutOff;
        for (size_t at = 0; at + sizeof(QavJournalRecord) <= other.size(); at += sizeof(QavJournalRecord))
            std::memcpy(&other[at + offsetof(QavJournalRecord, carName)], u"Other car", 18);
        root.WriteFile(kJournalPath, other);
        RollBackCutOffJournalSaves();
        const std::u16string copy = kJournalPath + std::u16string(u".found");
        if (other.compare(0, before.size(), before) != 0) {
            EXPECT_TRUE(JournalBytes(u"qav") == other) << "another card's journal changed";
            EXPECT_FALSE(root.Exists(copy));
        } else {
            EXPECT_TRUE(JournalBytes(u"qav") == before);
            EXPECT_EQ(root.Exists(copy), other != cutOff);
            if (root.Exists(copy)) {
                EXPECT_TRUE(root.ReadFile(copy) == other) << "another card's journal lost";
            }
            std::filesystem::remove(root.Host(copy));
        }
        EXPECT_FALSE(root.Exists(undo));
        root.WriteFile(kJournalPath, cutOff);
        root.WriteFile(undo, pending);
    }

    // A power cut where the kill left the roll-back: the journal's new
    // length reached the card, but not every block it covers, which then
    // reads as zeros or as stale card data. The start puts the journal back
    // as it was before the save all the same; stale data is kept in a copy
    // of the journal as found. Whether the save had grown the journal; the
    // cut-off state is put back afterwards.
    bool ExpectPowerCutsUndone(const std::u16string& undo, const std::string& before)
    {
        const std::string cutOff = JournalBytes(u"qav");
        const std::string pending = root.ReadFile(undo);
        const std::u16string copy = kJournalPath + std::u16string(u".found");
        const size_t grown = cutOff.size() - before.size();
        for (int shape = 0; grown > 0 && shape < 3; ++shape) {
            SCOPED_TRACE(shape == 0 ? "growth zeroed" : shape == 1 ? "its later half zeroed" : "growth stale");
            std::string cut = cutOff;
            for (size_t k = 0; k < grown; ++k) {
                char& at = cut[before.size() + k];
                if (shape == 0 || (shape == 1 && 2 * k >= grown)) at = 0;
                if (shape == 2) at = static_cast<char>(0xA7 ^ (k * 31));
            }
            root.WriteFile(kJournalPath, cut);
            RollBackCutOffJournalSaves();
            EXPECT_TRUE(JournalBytes(u"qav") == before) << "half an axle left";
            EXPECT_FALSE(root.Exists(undo));
            EXPECT_EQ(root.Exists(copy), shape == 2);
            if (root.Exists(copy)) {
                EXPECT_TRUE(root.ReadFile(copy) == cut) << "the journal as found";
                std::filesystem::remove(root.Host(copy));
            }
            root.WriteFile(undo, pending);
        }
        root.WriteFile(kJournalPath, cutOff);
        return grown > 0;
    }

    void ExpectBothOrNeitherAtEveryKill(bool grows)
    {
        const std::string before = JournalBytes(u"qav");
        const std::vector<std::string> files = DbFiles();
        ASSERT_EQ(SaveKilledAt(0, false), 0) << "the save uncut";
        const std::string after = Timeless();
        root.WriteFile(kJournalPath, before);
        const std::string neither = Timeless();
        ASSERT_NE(after, neither);
        for (bool tear : {false, true}) {
            SCOPED_TRACE(tear ? "torn writes" : "kills between changes");
            int wholes = 0, nones = 0, rolledBack = 0, powerCuts = 0;
            for (long long n = 1;; ++n) {
                SCOPED_TRACE(n);
                ASSERT_LT(n, 200) << "the save never ended";
                root.WriteFile(kJournalPath, before);
                const int end = SaveKilledAt(n, tear);
                ASSERT_NE(end, 2) << "the child ended otherwise";
                const std::u16string undo = kJournalPath + std::u16string(u".undo");
                if (root.Exists(undo)) {
                    ++rolledBack;
                    ExpectAnotherCardsJournalKept(undo, before);
                    if (ExpectPowerCutsUndone(undo, before)) ++powerCuts;
                }
                // What the program does at its next start.
                qplat::RemoveStaleTemporaries();
                RollBackCutOffJournalSaves();
                const std::string now = Timeless();
                if (now == after) {
                    ++wholes;
                } else {
                    EXPECT_TRUE(now == neither) << "half an axle: " << now.size() << " bytes";
                    ++nones;
                }
                EXPECT_EQ(DbFiles(), files);
                if (end != -1) {
                    EXPECT_EQ(end, 0);
                    EXPECT_TRUE(now == after) << "a whole save";
                    break;
                }
            }
            // The kills struck before, during and after the save's writes.
            EXPECT_GT(nones, 0);
            EXPECT_GT(wholes, 1);
            EXPECT_GT(rolledBack, 0);
            // A replace of both wheels never grows the journal.
            EXPECT_EQ(powerCuts > 0, grows);
        }
    }
};

TEST_F(WheelSetGaugeKilled, NewAxle)
{
    AppendQav(*Position(u"W5", u"0"));
    // The torn tail of an append cut short, which the axle's records take over.
    root.WriteFile(kJournalPath, JournalBytes(u"qav") + std::string(1000, '\x5A'));
    ExpectBothOrNeitherAtEveryKill(true);
}

TEST_F(WheelSetGaugeKilled, NewAxleIntoAnEmptyJournal)
{
    root.WriteFile(kJournalPath, "");
    ExpectBothOrNeitherAtEveryKill(true);
}

TEST_F(WheelSetGaugeKilled, ReplacedAxleWhoseOtherWheelIsMissing)
{
    auto stored = Position(u"W1", u"1");
    Put(stored->trainName, u"Stored");
    SetQavRecordValue(stored.get(), 29, 1);
    AppendQav(*stored);
    ExpectBothOrNeitherAtEveryKill(true);
}

TEST_F(WheelSetGaugeKilled, ReplacedAxleWithBothWheelsStored)
{
    auto left = Position(u"W1", u"0");
    SetQavRecordValue(left.get(), 29, 1);
    AppendQav(*left);
    AppendQav(*Position(u"W5", u"0"));
    auto right = Position(u"W1", u"1");
    SetQavRecordValue(right.get(), 29, 2);
    AppendQav(*right);
    ExpectBothOrNeitherAtEveryKill(false);
}

TEST_F(MeasureSave, DiscRecordStoresBothSidesWithTheirStepsAndTheValuesInRecordOrder)
{
    for (BYTE heads : {BYTE{2}, BYTE{1}}) {
        SCOPED_TRACE(heads);
        std::filesystem::remove(root.Host(u"\\SDMMC\\Autorun\\DB\\test.qod"));
        WriteSettings(4, 1, [heads](ParamBlock& b) { b.discHeadMode = heads; });
        CMeasureController& c = *controller;
        c.m_count = 300;
        c.m_count2 = heads == 2 ? 200 : 0;
        for (int i = 0; i < 300; ++i) {
            c.m_points[i] = ProfilePoint{1000 + 50 * i, -1000 - i};
            c.m_points2[i] = ProfilePoint{3000 + 50 * i, -2000 - i};
        }
        c.m_head1Settings.words[2] = 500;
        c.m_head2Settings[2] = 700;
        for (int v = 0; v < 8; ++v) c.m_discResult.values[v] = 11 + v;
        auto record = DiscPosition(u"D1", u"2");
        record->spareWord = 999;
        for (LONG& z : record->profileB) z = 5;
        int result = -1;
        OpenMeasuring(nullptr, record.get(), 0, [&](CMeasureDlg& s) { result = s.SaveQodRecord(); });
        ASSERT_EQ(result, 1);
        const std::vector<QodJournalRecord> journal = QodJournal();
        ASSERT_EQ(journal.size(), 1u);
        const QodJournalRecord& r = journal[0];
        EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(Field(r.side), u"2"), FIELD_IS(r.countA, 300), FIELD_IS(r.firstXA, 1000),
                                     FIELD_IS(r.stepRegisterA, 500), FIELD_IS(r.profileA[299], -1299),
                                     FIELD_IS(r.profileA[300], 0)));
        if (heads == 2) {
            EXPECT_EQ(r.countB, 200);
            EXPECT_EQ(r.firstXB, 3000);
            EXPECT_EQ(r.stepRegisterB, 700) << "the second head's step";
            EXPECT_EQ(r.profileB[199], -2199);
            EXPECT_EQ(r.profileB[200], 0);
        } else {
            EXPECT_EQ(r.countB, 0);
            EXPECT_EQ(r.stepRegisterB, 0) << "a side without points stores step 0";
            EXPECT_EQ(r.profileB[0], 0);
        }
        // Values 0, 3, 1, 4, 6, (spare), 2, 5 at 46788 onward.
        const LONG expected[8] = {11, 14, 12, 15, 17, 999, 13, 16};
        LONG words[8];
        std::memcpy(words, reinterpret_cast<const BYTE*>(&r) + 46788, sizeof words);
        for (int k = 0; k < 8; ++k) EXPECT_EQ(words[k], expected[k]) << k;
    }
}

TEST_F(MeasureSave, JournalThatCannotBeWrittenIsShownAndNothingCountsAsStored)
{
    WriteSettings(1, 0);
    std::filesystem::remove_all(root.Host(u"\\SDMMC\\Autorun\\DB"));
    root.WriteFile(u"\\SDMMC\\Autorun\\DB", "not a folder");
    WheelMeasurement(100);
    auto record = Position(u"W1", u"0");
    std::vector<std::u16string> texts;
    bool openAfterSave = false;
    // A measured position opens without measuring; its save fails.
    EXPECT_FALSE(PressSave(record.get(), &texts, &openAfterSave));
    EXPECT_TRUE(openAfterSave) << "the screen stays for another try";
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], qtest::LanguageText(SCREEN_SAVE_FAILED));
}

// A journal held back by an axle save that was cut off and cannot be undone
// (its roll-back read-only, as a PC's read-only attribute leaves it): a
// head's single save is refused with its own message and writes nothing,
// for the next start would undo it again.
TEST_F(MeasureSave, AJournalHeldBackByACutOffSaveRefusesASingleSave)
{
    WriteSettings(1, 0);
    AppendQav(*Position(u"W5", u"0"));
    const std::string before = JournalBytes(u"qav");
    const std::filesystem::path journal = root.Host(u"\\SDMMC\\Autorun\\DB\\test.qav");
    ASSERT_TRUE(qtest::CutOffSave(journal, [this] {
        CDBJournalQav().AppendPair(u"test", Position(u"W1", u"0").get(), Position(u"W1", u"1").get());
    }));
    const std::filesystem::path rollBack = journal.string() + ".undo";
    std::filesystem::permissions(rollBack, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    WheelMeasurement(100);
    for (bool heldBack : {true, false}) {
        SCOPED_TRACE(heldBack);
        if (!heldBack)
            std::filesystem::permissions(rollBack, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
        auto record = Position(u"W2", u"0");
        std::vector<std::u16string> texts;
        EXPECT_EQ(PressSave(record.get(), &texts) != FALSE, !heldBack);
        if (heldBack) {
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0], qtest::LanguageText(SCREEN_CUT_OFF_SAVE_STUCK));
            EXPECT_TRUE(JournalBytes(u"qav") == before) << "the half axle undone, nothing written";
            EXPECT_TRUE(std::filesystem::exists(rollBack));
        } else {
            EXPECT_TRUE(texts.empty());
            EXPECT_EQ(QavJournal().size(), 2u);
            EXPECT_FALSE(std::filesystem::exists(rollBack));
        }
    }
}

}  // namespace
