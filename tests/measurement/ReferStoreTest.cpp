// Reference-profile files on a throw-away storage card.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "measurement/ReferStore.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/ProgramFolder.h"
#include "tests/support/Fields.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

class ReferStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::filesystem::path(root_.Path()) / "SDMMC" / "Autorun";
        std::filesystem::create_directories(folder_ / "Refer");
        std::filesystem::create_directories(folder_ / "Refer_QOD");
        qtest::SetCardFolder();
        store_ = std::make_unique<CReferStore>();
    }

    std::string Read(const std::string& relative) const
    {
        std::ifstream in(folder_ / relative, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void Put(const std::string& relative, const std::string& bytes) const
    {
        std::ofstream out(folder_ / relative, std::ios::binary);
        out << bytes;
    }

    qtest::TempDeviceRoot root_;
    std::filesystem::path folder_;
    std::unique_ptr<CReferStore> store_;
    ProfilePoint points_[kMaxProfilePoints] = {};
    DWORD count_ = 0;
};

}  // namespace

TEST_F(ReferStoreTest, WritesNameAndPointLinesWithCrLf)
{
    std::vector<ProfilePoint> p = {{-3, 7}, {12500, -340}, {12550, 0}, {0, 0}, {99, 99}};
    EXPECT_EQ(store_->Write(u"S1002 new", p.data(), 5, 1), 1);
    EXPECT_EQ(Read("Refer/S1002 new.ref"), "S1002 new\r\n-3;7\r\n12500;-340\r\n12550;0\r\n");
    ASSERT_EQ(store_->Load(u"S1002 new", points_, &count_, 1), 1);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(count_, 3u), FIELD_IS(points_[1].z, -340), FIELD_IS(points_[0].x, -3)));
    // The disc device keeps its own folder.
    EXPECT_EQ(store_->Write(u"Disc", p.data() + 1, 1, 4), 1);
    EXPECT_EQ(Read("Refer_QOD/Disc.ref"), "Disc\r\n12500;-340\r\n");
    EXPECT_EQ(store_->Exists(u"Disc", 1), 0);
    EXPECT_EQ(store_->Exists(u"Disc", 4), 1);
}

TEST_F(ReferStoreTest, FirstPointEmptyGivesANameAlone)
{
    std::vector<ProfilePoint> p = {{0, 0}, {5, 5}};
    ASSERT_EQ(store_->Write(u"empty", p.data(), 2, 1), 1);
    EXPECT_EQ(Read("Refer/empty.ref"), "empty\r\n");
    count_ = 99;
    EXPECT_EQ(store_->Load(u"empty", points_, &count_, 1), 1);
    EXPECT_EQ(count_, 0u);
}

TEST_F(ReferStoreTest, NeverWritesPastTheProfileCapacity)
{
    std::vector<ProfilePoint> p(kMaxProfilePoints + 1);
    for (size_t i = 0; i < p.size(); ++i) {
        p[i] = {static_cast<LONG>(i + 1), 1};
    }
    ASSERT_EQ(store_->Write(u"full", p.data(), kMaxProfilePoints + 500, 1), 1);
    ASSERT_EQ(store_->Load(u"full", points_, &count_, 1), 1);
    EXPECT_EQ(count_, kMaxProfilePoints);
}

TEST_F(ReferStoreTest, NamesThatLeaveTheFolderAreRefused)
{
    std::vector<ProfilePoint> p = {{1, 1}};
    for (const char16_t* bad : {u"..\\param", u"a/b", u"*", u"x?", u"tab\there", u""}) {
        EXPECT_EQ(store_->Write(bad, p.data(), 1, 1), 0) << qplat::ToUtf8(bad);
    }
    EXPECT_FALSE(std::filesystem::exists(folder_ / "param.ref"));
    ASSERT_EQ(store_->Write(u"wheel", p.data(), 1, 1), 1);
    EXPECT_EQ(store_->Exists(u"wheel", 1), 1);
    EXPECT_EQ(store_->Exists(u"whee*", 1), 0);  // an exact test, not a pattern
    EXPECT_EQ(store_->Exists(u"whe", 1), 0);
    EXPECT_EQ(store_->Exists(u"..\\Refer\\wheel", 1), 0);
}

TEST_F(ReferStoreTest, LoadGoesByTheNameInsideTheFile)
{
    Put("Refer/a.ref", "Wheel 1\r\n100;5\r\n200;6\r\n");
    Put("Refer/b.ref", "Wheel 2\r\n300;7\r\n400;-8\r\n500;9");  // last line without CR
    EXPECT_EQ(store_->Load(u"Wheel 2", points_, &count_, 1), 1);
    EXPECT_EQ(count_, 2u);
    EXPECT_EQ(points_[1].z, -8);
    EXPECT_EQ(points_[2].x, 0);
    // Letter case counts; an unknown name leaves the profile as it was.
    EXPECT_EQ(store_->Load(u"wheel 1", points_, &count_, 1), 1);
    EXPECT_EQ(count_, 2u);
    EXPECT_EQ(points_[0].x, 300);
    // No reference file at all: 0.
    EXPECT_EQ(store_->Load(u"Wheel 1", points_, &count_, 4), 0);
}

TEST_F(ReferStoreTest, LongNamesAndOddFiles)
{
    const std::string longName(60, 'N');
    Put("Refer/long.ref", longName + "\r\n1;1\r\n");
    Put("Refer/empty.ref", "");
    Put("Refer/nocr.ref", "just a name");
    Put("Refer/garbage.ref", std::string("\r\n;;;\r\r\r\n12;\r\x01\xff;9\r\n", 20));
    const std::u16string wide(longName.begin(), longName.end());
    count_ = 42;
    EXPECT_EQ(store_->Load(wide.c_str(), points_, &count_, 1), 1);
    EXPECT_EQ(count_, 42u);  // only 50 characters are compared: never matches
    EXPECT_EQ(store_->Load(u"just a name", points_, &count_, 1), 1);
    EXPECT_EQ(count_, 0u);
    EXPECT_EQ(store_->Load(u"", points_, &count_, 1), 1);  // the empty first line of the garbage file
    EXPECT_LE(count_, 5u);
}

TEST_F(ReferStoreTest, NamesInTheProgramsCodePageSurviveSaveAndLoad)
{
    std::vector<ProfilePoint> p = {{1000, 20}};
    const char16_t* name = u"Колесо 7";
    ASSERT_EQ(store_->Write(name, p.data(), 1, 1), 1);
    ASSERT_EQ(store_->Load(name, points_, &count_, 1), 1);
    EXPECT_EQ(count_, 1u);
    store_->List(1);
    ASSERT_EQ(store_->m_count, 1u);
    EXPECT_EQ(std::u16string(store_->m_entries[0].profileName), std::u16string(name));
}

TEST_F(ReferStoreTest, AFailedSaveKeepsTheReferenceThatWasThere)
{
    std::vector<ProfilePoint> p = {{100, 1}, {200, 2}, {300, 3}};
    ASSERT_EQ(store_->Write(u"Tread", p.data(), 3, 1), 1);
    const std::string before = Read("Refer/Tread.ref");
    std::vector<ProfilePoint> longer(400);
    for (size_t i = 0; i < longer.size(); ++i) {
        longer[i] = {static_cast<LONG>(1000 + i * 50), -static_cast<LONG>(i)};
    }
    qplat::FailFileWritesAfter(100);
    EXPECT_EQ(store_->Write(u"Tread", longer.data(), 400, 1), 0);
    qplat::FailFileWritesAfter(-1);
    EXPECT_EQ(Read("Refer/Tread.ref"), before);
    // Nothing but the reference in the folder: no partial copy is left.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ / "Refer")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"Tread.ref"});
    ASSERT_EQ(store_->Load(u"Tread", points_, &count_, 1), 1);
    EXPECT_EQ(count_, 3u);
}

TEST_F(ReferStoreTest, NamesOutsideTheCodePageAndProfilesWithoutRisingXAreRefused)
{
    std::vector<ProfilePoint> rising = {{100, 1}, {200, 2}};
    // A letter the name line cannot hold would load under another name.
    for (const char16_t* name : {u"\u8F6E 1", u"Wheel \u00FC", u"\u2603"}) {
        EXPECT_EQ(store_->Write(name, rising.data(), 2, 1), 0) << qplat::ToUtf8(name);
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "Refer"));

    const std::vector<std::vector<ProfilePoint>> notRising = {
        {{100, 1}, {100, 2}},              // x standing still
        {{100, 1}, {200, 2}, {150, 3}},    // x turning back
        {{-5, 1}, {-6, 1}},
    };
    for (const auto& p : notRising) {
        EXPECT_EQ(store_->Write(u"Back", p.data(), static_cast<DWORD>(p.size()), 1), 0);
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "Refer"));
    // Over an existing reference the refusal keeps it.
    ASSERT_EQ(store_->Write(u"Back", rising.data(), 2, 1), 1);
    EXPECT_EQ(store_->Write(u"Back", notRising[1].data(), 3, 1), 0);
    EXPECT_EQ(Read("Refer/Back.ref"), "Back\r\n100;1\r\n200;2\r\n");
    // What follows the (0, 0) that ends a profile is not written, so not checked.
    std::vector<ProfilePoint> ended = {{100, 1}, {200, 2}, {0, 0}, {50, 5}};
    EXPECT_EQ(store_->Write(u"Ended", ended.data(), 4, 1), 1);
}

TEST_F(ReferStoreTest, ReadOnlyReferencesAreListedAndLoadedButNotOverwritten)
{
    std::vector<ProfilePoint> p = {{100, 1}, {200, 2}};
    ASSERT_EQ(store_->Write(u"Locked", p.data(), 2, 1), 1);
    const auto path = folder_ / "Refer" / "Locked.ref";
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    store_->List(1);
    ASSERT_EQ(store_->m_count, 1u);
    EXPECT_EQ(std::u16string(store_->m_entries[0].profileName), u"Locked");
    ASSERT_EQ(store_->Load(u"Locked", points_, &count_, 1), 1);
    EXPECT_EQ(count_, 2u);
    EXPECT_EQ(points_[1].x, 200);
    std::vector<ProfilePoint> other = {{5, 5}};
    EXPECT_EQ(store_->Write(u"Locked", other.data(), 1, 1), 0);
    EXPECT_EQ(Read("Refer/Locked.ref"), "Locked\r\n100;1\r\n200;2\r\n");
}

// An entry that cannot be opened, first in the folder (a folder under a
// reference file's name): passed by as Load passes it by, and the rest listed.
TEST_F(ReferStoreTest, AnEntryThatCannotBeOpenedIsPassedByAndTheRestAreListed)
{
    std::filesystem::create_directories(folder_ / "Refer" / "A.ref");
    Put("Refer/B.ref", "Wheel B\r\n1;2\r\n");
    Put("Refer/C.ref", "Wheel C\r\n1;2\r\n");
    store_->List(1);
    ASSERT_EQ(store_->m_count, 2u);
    const ReferEntry* e = store_->m_entries;
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(e[0].fileName, u"B.ref"), FIELD_IS(e[0].profileName, u"Wheel B"),
                                 FIELD_IS(e[1].fileName, u"C.ref"), FIELD_IS(e[1].profileName, u"Wheel C")));
    ASSERT_EQ(store_->Load(u"Wheel C", points_, &count_, 1), 1);
    EXPECT_EQ(count_, 1u);
}

TEST_F(ReferStoreTest, ListingStopsAtFiveHundredRows)
{
    for (int i = 0; i < 600; ++i) {
        Put("Refer/r" + std::to_string(i) + ".ref", "P" + std::to_string(i) + "\r\n1;2\r\n");
    }
    Put("Refer/other.txt", "not a reference");
    store_->List(1);
    EXPECT_EQ(store_->m_count, static_cast<DWORD>(kMaxReferEntries));
    const std::u16string file(store_->m_entries[0].fileName);
    const std::u16string profile(store_->m_entries[0].profileName);
    ASSERT_GE(file.size(), 6u);
    EXPECT_EQ(u"P" + file.substr(1, file.size() - 5), profile);
    store_->List(4);
    EXPECT_EQ(store_->m_count, 0u);
}

TEST(ReferParse, CountsOnlyCompleteLinesAndStaysInBounds)
{
    auto points = std::make_unique<ProfilePoint[]>(kMaxProfilePoints);
    DWORD count = 0;
    const std::string text = "n\r\n1;2\r\n3;4\r\n5;";
    ParseReferPoints(reinterpret_cast<const BYTE*>(text.data()), text.size(), points.get(), &count);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(count, 2u), FIELD_IS(points[1].x, 3), FIELD_IS(points[2].x, 0)));
    std::string many = "n\r\n";
    for (int i = 0; i < 6000; ++i) {
        many += "1;1\r\n";
    }
    ParseReferPoints(reinterpret_cast<const BYTE*>(many.data()), many.size(), points.get(), &count);
    EXPECT_EQ(count, kMaxProfilePoints);
    const std::string digits = "n\r\n" + std::string(100, '9') + ";-" + std::string(100, '9') + "\r\n";
    ParseReferPoints(reinterpret_cast<const BYTE*>(digits.data()), digits.size(), points.get(), &count);
    EXPECT_EQ(count, 1u);
}
