// Storing a measurement, byte by byte: what the save of each device type
// writes into the record and where, appending or replacing the stored record
// of the position (with and without the question), the two records of a
// type-3 axle, a shorter profile over a reused record, and a journal that
// cannot be written.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

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
    // `fault`, where given, is on while the tap is handled.
    BOOL PressSave(QavJournalRecord* record, std::vector<std::u16string>* texts, bool* openAfterSave = nullptr,
                   const std::function<void(bool)>& fault = nullptr)
    {
        return OpenMeasuring(record, nullptr, 1, [&](CMeasureDlg& s) {
            qtest::AnswerBox(texts);
            s.m_mainButtons[CMeasureDlg::kSlotSave].Enable(TRUE);
            if (fault) fault(true);
            qtest::Press(s.m_hWnd, CMeasureDlg::kSaveId);
            if (fault) fault(false);
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
    // Removed meanwhile: nothing saved, and the look that tells why makes no
    // journal again.
    root.WriteFile(qavPath, JournalOf<QavJournalRecord>({w9.get(), w1.get()}));
    std::vector<std::u16string> texts;
    int result = -1;
    OpenMeasuring(Position(u"W1", u"0").get(), nullptr, 1, [&](CMeasureDlg& s) {
        WheelMeasurement(100);
        qtest::AnswerYesAfter([&] { std::filesystem::remove(root.Host(qavPath)); }, &texts);
        result = s.SaveQavRecord();
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(texts, (std::vector<std::u16string>{qtest::LanguageText(50010), qtest::LanguageText(SCREEN_RECORD_CHANGED)}));
    EXPECT_FALSE(root.Exists(qavPath));

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
        {"other wheel missing, then stored meanwhile", {right.get()}, {right.get(), left.get()}},
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
    int unconfirmed = 0;
    for (long long syncs = 0;; ++syncs) {
        SCOPED_TRACE(syncs);
        ASSERT_LT(syncs, 20) << "the save never went through";
        // The card as it was: a save the failing card kept from undoing
        // leaves its roll-back, which the next save would settle first.
        root.WriteFile(u"\\SDMMC\\Autorun\\DB\\test.qav", before);
        std::filesystem::remove(root.Host(u"\\SDMMC\\Autorun\\DB\\test.qav.undo"));
        auto record = Position(u"W1", u"0");
        std::vector<std::u16string> texts;
        int result = -1;
        OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
            qtest::AnswerBox(&texts);
            qplat::FailFileSyncsAfter(syncs);
            result = s.SaveQavRecord();
            qplat::FailFileSyncsAfter(-1);
        });
        if (result == 1 && texts.empty()) {
            EXPECT_EQ(QavJournal().size(), 3u);
            break;
        }
        ASSERT_EQ(texts.size(), 1u) << "the fault is said";
        if (result == 1) {
            ++unconfirmed;
            EXPECT_EQ(texts[0], qtest::LanguageText(SCREEN_NOT_CONFIRMED));
            EXPECT_EQ(QavJournal().size(), 3u);
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_NE(texts[0], qtest::LanguageText(SCREEN_NOT_CONFIRMED));
            EXPECT_TRUE(JournalBytes(u"qav") == before) << "nothing stored";
        }
    }
    // The roll-back's removal, the last of the syncs, was not confirmed once.
    EXPECT_EQ(unconfirmed, 1);
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

// A journal that cannot be written, or cannot be read when the save looks
// its wheel up (which cannot then tell a replace from an append, and once
// stored a second record of the wheel for good): the save is refused with
// its cause, nothing is written, and the screen stays for another try.
TEST_F(MeasureSave, JournalThatCannotBeWrittenOrReadIsShownAndNothingCountsAsStored)
{
    WriteSettings(1, 0);
    AppendQav(*Position(u"W1", u"0"));
    const std::string before = JournalBytes(u"qav");
    const std::filesystem::path journal = root.Host(u"\\SDMMC\\Autorun\\DB\\test.qav");
    WheelMeasurement(100);
    const struct {
        const char* what;
        const char16_t* wheel;
        std::function<void(bool)> fault;
        int told;
    } faults[] = {
        {"unreadable, the wheel stored", u"W1", [](bool on) { qplat::FailFileReadsAfter(on ? 0 : -1); },
         SCREEN_JOURNAL_UNREADABLE},
        {"read-only, a new wheel", u"W2",
         [&](bool on) {
             std::filesystem::permissions(journal, std::filesystem::perms::owner_write,
                                          on ? std::filesystem::perm_options::remove
                                             : std::filesystem::perm_options::add);
         },
         SCREEN_SAVE_FAILED},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.what);
        auto record = Position(f.wheel, u"0");
        std::vector<std::u16string> texts;
        bool openAfterSave = false;
        EXPECT_FALSE(PressSave(record.get(), &texts, &openAfterSave, f.fault));
        EXPECT_TRUE(openAfterSave) << "the screen stays for another try";
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0], qtest::LanguageText(f.told));
        EXPECT_TRUE(JournalBytes(u"qav") == before) << "nothing written";
    }
}

// A journal held back by an axle save that was cut off and cannot be undone:
// a head's single save is refused with the message of its cause and writes
// nothing, for the next start would undo it again. The causes: the roll-back
// read-only (as a PC's read-only attribute leaves it), unreadable (a failing
// card), and the copy of the journal as found that must go first finding no
// room on the card or no free name. Once the cause is gone, the save goes
// through.
TEST_F(MeasureSave, AJournalHeldBackByACutOffSaveRefusesASingleSave)
{
    namespace fs = std::filesystem;
    WriteSettings(1, 0);
    AppendQav(*Position(u"W5", u"0"));
    const std::string before = JournalBytes(u"qav");
    const fs::path journal = root.Host(u"\\SDMMC\\Autorun\\DB\\test.qav");
    ASSERT_TRUE(qtest::CutOffSave(journal, [this] {
        CDBJournalQav().AppendPair(u"test", Position(u"W1", u"0").get(), Position(u"W1", u"1").get());
    }));
    const fs::path rollBack = journal.string() + ".undo";
    const std::string pending = qtest::HostFileBytes(rollBack);
    // What a power cut left in the pair's growth: stale card data.
    std::string found = qtest::HostFileBytes(journal);
    ASSERT_GT(found.size(), before.size());
    for (size_t k = before.size(); k < found.size(); ++k) found[k] = static_cast<char>(0x6B);
    const auto copyNames = [&](bool taken) {
        for (int n = 1; n < 1000; ++n) {
            const fs::path copy = journal.string() + ".found" + (n == 1 ? std::string() : std::to_string(n));
            if (taken) std::ofstream(copy) << "an earlier copy";
            else fs::remove(copy);
        }
    };
    const struct {
        const char* what;
        std::function<void()> arrange;
        std::function<void(bool)> duringTap;
        int told;
        bool putBack;  // the journal put back, only the roll-back stuck
    } causes[] = {
        {"read-only roll-back",
         [&] { fs::permissions(rollBack, fs::perms::owner_write, fs::perm_options::remove); }, nullptr,
         SCREEN_CUT_OFF_SAVE_STUCK, true},
        {"unreadable roll-back",
         [&] {
             fs::remove(rollBack);
             ASSERT_EQ(0, ::mkfifo(rollBack.c_str(), 0644));
         },
         nullptr, SCREEN_CUT_OFF_SAVE_FAILING, false},
        {"no room for the copy", [] {}, [](bool on) { qplat::FailFileWritesAfter(on ? 0 : -1); },
         SCREEN_CUT_OFF_SAVE_CARD_FULL, false},
        {"no name for the copy", [&] { copyNames(true); }, nullptr, SCREEN_CUT_OFF_SAVE_NO_COPY_NAME, false},
    };
    WheelMeasurement(100);
    for (const auto& c : causes) {
        SCOPED_TRACE(c.what);
        root.WriteFile(u"\\SDMMC\\Autorun\\DB\\test.qav", found);
        std::ofstream(rollBack, std::ios::binary | std::ios::trunc) << pending;
        c.arrange();
        auto record = Position(u"W2", u"0");
        std::vector<std::u16string> texts;
        EXPECT_FALSE(PressSave(record.get(), &texts, nullptr, c.duringTap));
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0], qtest::LanguageText(c.told));
        EXPECT_TRUE(JournalBytes(u"qav") == (c.putBack ? before : found)) << "nothing written";
        EXPECT_TRUE(fs::exists(rollBack));
        fs::permissions(rollBack, fs::perms::owner_write, fs::perm_options::add);
        fs::remove(rollBack);
        copyNames(false);
    }
    // Released: the journal as found kept aside, the save goes through.
    root.WriteFile(u"\\SDMMC\\Autorun\\DB\\test.qav", found);
    std::ofstream(rollBack, std::ios::binary | std::ios::trunc) << pending;
    auto record = Position(u"W2", u"0");
    std::vector<std::u16string> texts;
    EXPECT_TRUE(PressSave(record.get(), &texts));
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(QavJournal().size(), 2u);
    EXPECT_FALSE(fs::exists(rollBack));
    EXPECT_TRUE(qtest::HostFileBytes(journal.string() + ".found") == found);
}

}  // namespace
