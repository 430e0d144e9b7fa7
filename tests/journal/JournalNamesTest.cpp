// Default journal names (the UTC day and its running number), the creation
// of an empty journal that never touches an existing one, and the journal
// name of a journal file.

#include "journal/JournalNames.h"
#include "tests/journal/JournalTestSupport.h"

using namespace qtest;

namespace {

class JournalNaming : public JournalScreenTest {
protected:
    void Touch(const std::u16string& file, const std::string& bytes = "") { root.WriteFile(kJournalFolder + file, bytes); }
};

TEST_F(JournalNaming, TheDefaultNameCountsOnFromTheJournalsOfTheDay)
{
    ManualClock clock(2026, 12, 8, 12, 0, 0);
    CJournalNames names;
    EXPECT_EQ(std::u16string(names.DatePrefix()), u"wp_26_12_08_");
    EXPECT_EQ(std::u16string(names.NewJournalName(1)), u"wp_26_12_08_01");
    for (int n = 1; n <= 9; ++n) Touch(u"wp_26_12_08_0" + std::u16string(1, static_cast<char16_t>(u'0' + n)) + u".qav");
    // Journals of another day and of the other family do not count.
    Touch(u"wp_26_12_07_01.qav");
    Touch(u"wp_26_12_08_01.qod");
    EXPECT_EQ(std::u16string(names.NewJournalName(1)), u"wp_26_12_08_10");
    EXPECT_EQ(std::u16string(names.NewJournalName(4)), u"wp_26_12_08_02");
    Touch(u"wp_26_12_08_10.qav");
    EXPECT_EQ(names.NextJournalNumber(u"wp_26_12_08_", 1), 11);
}

TEST_F(JournalNaming, ANumberFreedByADeletionIsNotGivenAgainWhileLaterOnesExist)
{
    ManualClock clock(2026, 12, 8, 12, 0, 0);
    Touch(u"wp_26_12_08_01.qav");
    Touch(u"wp_26_12_08_03.qav");
    CJournalNames names;
    EXPECT_EQ(std::u16string(names.NewJournalName(1)), u"wp_26_12_08_04");
}

TEST_F(JournalNaming, TheNameCarriesTheUtcDayNotTheLocalOne)
{
    // 23:30 UTC on 8 December is already 9 December three hours east.
    ManualClock clock(2026, 12, 8, 23, 30, 0);
    TIME_ZONE_INFORMATION east{};
    east.Bias = -180;
    ASSERT_TRUE(SetTimeZoneInformation(&east));
    SYSTEMTIME local{};
    GetLocalTime(&local);
    ASSERT_EQ(local.wDay, 9);
    CJournalNames names;
    EXPECT_EQ(std::u16string(names.NewJournalName(1)), u"wp_26_12_08_01");
}

TEST_F(JournalNaming, CreatingNeverTouchesAnExistingJournal)
{
    CJournalNames names;
    const std::string stored(QAV_RECORD_SIZE, 'x');
    Touch(u"Depot.qav", stored);
    EXPECT_EQ(names.CreateJournal(u"Depot", 1), 0);
    EXPECT_EQ(root.ReadFile(kJournalFolder + u"Depot.qav"), stored);

    EXPECT_EQ(names.CreateJournal(u"Depot", 4), 1) << "the other family's file is another file";
    EXPECT_EQ(names.CreateJournal(u"New one", 1), 1);
    EXPECT_TRUE(root.Exists(kJournalFolder + u"New one.qav"));
    EXPECT_EQ(root.ReadFile(kJournalFolder + u"New one.qav").size(), 0u);

    // A journal whose creation the card does not keep is not made.
    qplat::FailFileSyncsAfter(1);
    EXPECT_EQ(names.CreateJournal(u"Unkept", 1), 0);
    qplat::FailFileSyncsAfter(-1);
    EXPECT_FALSE(root.Exists(kJournalFolder + u"Unkept.qav"));
}

TEST_F(JournalNaming, NamesThatWouldLeaveTheFolderOrNotFitTheSettingsAreRefused)
{
    CJournalNames names;
    const std::u16string fits(49, u'a');
    const std::u16string tooLong(50, u'b');
    for (const std::u16string& bad : {std::u16string(u""), std::u16string(u"..\\up"), std::u16string(u"a/b"),
                                      std::u16string(u"x*"), std::u16string(u"q?"), std::u16string(u"c:d"),
                                      std::u16string(u"tab\there"), tooLong}) {
        SCOPED_TRACE(qplat::ToUtf8(bad));
        EXPECT_FALSE(CJournalNames::IsUsableName(bad.c_str()));
        EXPECT_EQ(names.CreateJournal(bad.c_str(), 1), 0);
    }
    EXPECT_FALSE(root.Exists(kProgramFolder + u"up.qav"));
    EXPECT_TRUE(CJournalNames::IsUsableName(fits.c_str()));
    EXPECT_TRUE(CJournalNames::IsUsableName(u"Депо 1.2"));
    EXPECT_EQ(names.CreateJournal(u"Депо 1.2", 1), 1);
    EXPECT_TRUE(root.Exists(kJournalFolder + u"Депо 1.2.qav"));
}

TEST_F(JournalNaming, WithoutTheJournalFolderNothingIsCreated)
{
    root.WriteFile(kProgramFolder + u"keep.txt", "");
    std::filesystem::remove_all(root.Host(kJournalFolder));
    CJournalNames names;
    EXPECT_EQ(names.CreateJournal(u"Lost", 1), 0);
    EXPECT_EQ(names.NextJournalNumber(u"wp_", 1), 1);
}

TEST_F(JournalNaming, OnlyTheJournalExtensionIsCut)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"wp_26_12_08_01.qav", u"wp_26_12_08_01"},
        {u"wp_26_12_08_01.qod", u"wp_26_12_08_01"},
        {u"Depot.QAV", u"Depot"},
        {u"line 1.2.qav", u"line 1.2"},
        {u"plain", u"plain"},
        {u"notes.txt", u"notes.txt"},
        {u".qav", u""},
    };
    for (const auto& [file, journal] : cases) {
        WCHAR text[64];
        qplat::CopyField(text, 64, file.c_str());
        EXPECT_EQ(std::u16string(CJournalNames::CutExtension(text)), journal) << qplat::ToUtf8(file);
    }
}

}  // namespace
