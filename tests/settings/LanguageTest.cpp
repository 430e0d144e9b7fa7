// The language table: lookups, the reading of language files and
// "Language.ini", the language list, the bounds of the table and lookups from
// several threads.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/Language.h"
#include "settings/ProgramFolder.h"
#include "tests/support/OrdinaryUser.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

const std::u16string kFolder = u"\\SDMMC\\Autorun\\Language\\";

std::u16string Text(const WCHAR* text)
{
    return text ? std::u16string(text) : std::u16string(u"(null)");
}

class LanguageTest : public qtest::DeviceRootTest {
protected:
    void SetUp() override
    {
        qtest::SetCardFolder();
        root.MakeFolder(kFolder);
    }

    void Write(const std::u16string& name, const std::string& bytes) { root.WriteFile(kFolder + name, bytes); }

    // A table loaded from a fresh object, as every screen does.
    std::unique_ptr<CLanguage> Loaded()
    {
        auto language = std::make_unique<CLanguage>();
        language->Load();
        return language;
    }
};

// Each id's text as the table gives it.
void ExpectTexts(CLanguage& language, std::initializer_list<std::pair<int, std::u16string>> texts)
{
    for (const auto& [id, text] : texts)
        EXPECT_EQ(text, Text(language.GetText(id))) << id;
}

// The file names of the language list.
std::vector<std::u16string> Listed(const CLanguage& language)
{
    std::vector<std::u16string> names;
    for (int i = 0; i < language.GetLanguageCount(); ++i) names.push_back(language.GetLanguageEntry(i)->fileName);
    return names;
}

// A language file in the delivered form: header, name line, CR LF line ends.
std::string LanguageFile(const std::string& name, const std::vector<std::string>& lines)
{
    std::string text = "[Texts]\r\n10000=" + name + "\r\n";
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// The captions on the way back to the language choice, written out rather
// than taken from the program's list, so that one dropped from it is caught:
// the start screen's Settings button, the menu's Language button, the
// language screen's title and its apply button.
constexpr int kWayBackIds[] = {40000, 40013, 40214, 50108};
constexpr int kWayBackLines = static_cast<int>(std::size(kWayBackIds));

// The lines of the texts on the way back to the language choice, each but
// `left` (0: none left out).
std::vector<std::string> WayBack(int left = 0)
{
    std::vector<std::string> lines;
    for (const int id : kWayBackIds)
        if (id != left) lines.push_back(std::to_string(id) + "=Way " + std::to_string(id));
    return lines;
}

// A language file the list offers: the texts of the way back, then `lines`.
std::string OfferedFile(const std::string& name, std::vector<std::string> lines)
{
    std::vector<std::string> all = WayBack();
    all.insert(all.end(), lines.begin(), lines.end());
    return LanguageFile(name, all);
}

TEST_F(LanguageTest, LookupFindsTheTextOrYieldsTheDigits)
{
    Write(u"ENG.LNG", LanguageFile("English", {"40501=Date", "40502=Wheel", "40503=", "40504", "40505=Car"}));
    Write(u"Language.ini", "File_Language=ENG.LNG");
    auto language = Loaded();

    // A line with only the id and the equals sign (40503), or only the id
    // (40504): no text. An id without a line: its digits.
    ExpectTexts(*language, {{40501, u"Date"}, {40505, u"Car"}, {40599, u"40599"}, {40503, u""}, {40504, u""},
                            {LANGUAGE_NAME_ID, u"English"}, {-7, u"-7"}});
    // The result is the calling thread's shared buffer.
    EXPECT_EQ(g_textBuffer, language->GetText(40502));
}

TEST_F(LanguageTest, MissingFolderOrFilesLeaveDigits)
{
    auto none = Loaded();
    EXPECT_EQ(0, none->GetLanguageCount());
    EXPECT_EQ(u"40501", Text(none->GetText(40501)));

    // A language file without "Language.ini" is listed but not loaded. (The
    // name last read from a "Language.ini" stays the thread's choice, so this
    // runs on a thread of its own, as at program start.)
    Write(u"ENG.LNG", OfferedFile("English", {"40501=Date"}));
    std::thread fresh([&] {
        auto unchosen = Loaded();
        ASSERT_EQ(1, unchosen->GetLanguageCount());
        EXPECT_EQ(0, unchosen->GetLanguageEntry(0)->current);
        EXPECT_EQ(u"40501", Text(unchosen->GetText(40501)));
        EXPECT_EQ(nullptr, unchosen->GetLanguageEntry(1));
        EXPECT_EQ(nullptr, unchosen->GetLanguageEntry(-1));
    });
    fresh.join();
}

TEST_F(LanguageTest, LanguageNameIsReadFromLineTwoOnly)
{
    Write(u"ENG.LNG", "[x]\r\n10000=English\r\n40501=Date\r\n");
    Write(u"BAD.LNG", "[x]\r\n10001=English\r\n10000=Other\r\n");
    Write(u"ONE.LNG", "10000=First line\r\n");
    Write(u"LF.LNG", "[x]\n10000=Deutsch");
    CLanguage language;
    EXPECT_EQ(u"English", Text(language.ReadLanguageName(u"ENG.LNG")));
    EXPECT_EQ(u"", Text(language.ReadLanguageName(u"BAD.LNG")));
    EXPECT_EQ(u"", Text(language.ReadLanguageName(u"ONE.LNG")));
    EXPECT_EQ(u"Deutsch", Text(language.ReadLanguageName(u"LF.LNG")));
    EXPECT_EQ(u"", Text(language.ReadLanguageName(u"NONE.LNG")));
}

TEST_F(LanguageTest, CurrentFileIsMatchedWithoutRegardToCase)
{
    Write(u"ENG.LNG", OfferedFile("English", {"40501=Date"}));
    Write(u"RUS.LNG", OfferedFile("Русский", {"40501=Дата"}));
    Write(u"Language.ini", "File_Language=eng.lng");
    auto language = Loaded();

    EXPECT_EQ(u"ENG.LNG", Text(language->GetCurrentFileName()));
    ASSERT_EQ(2, language->GetLanguageCount());
    int current = 0;
    for (int i = 0; i < language->GetLanguageCount(); ++i) {
        const LanguageEntry* entry = language->GetLanguageEntry(i);
        const std::u16string file = entry->fileName;
        if (file == u"ENG.LNG") {
            EXPECT_EQ(1, entry->current);
            EXPECT_EQ(u"English", std::u16string(entry->languageName));
        } else {
            EXPECT_EQ(u"RUS.LNG", file);
            EXPECT_EQ(0, entry->current);
            EXPECT_EQ(u"Русский", std::u16string(entry->languageName));
        }
        current += entry->current;
    }
    EXPECT_EQ(1, current);
    EXPECT_EQ(u"Date", Text(language->GetText(40501)));
}

TEST_F(LanguageTest, SwitchingToAShorterFileKeepsTheFormerLinesBeyondIt)
{
    std::vector<std::string> longLines;
    std::vector<std::string> shortLines;
    for (int i = 0; i < 298; ++i)
        longLines.push_back(std::to_string(41000 + i) + "=long " + std::to_string(i));
    for (int i = 0; i < 198; ++i)
        shortLines.push_back(std::to_string(42000 + i) + "=short " + std::to_string(i));
    // With the header and the name line: 300 and 200 stored lines.
    Write(u"LONG.LNG", LanguageFile("Long", longLines));
    Write(u"SHORT.LNG", LanguageFile("Short", shortLines));
    Write(u"Language.ini", "File_Language=LONG.LNG");

    CLanguage language;
    language.Load();
    EXPECT_EQ(u"long 0", Text(language.GetText(41000)));
    language.WriteIniFile(u"SHORT.LNG");
    language.Load();
    EXPECT_EQ(u"SHORT.LNG", Text(language.GetCurrentFileName()));
    // Lines 0..199 were overwritten, lines 200..299 keep the former file's.
    ExpectTexts(language, {{42197, u"short 197"}, {41197, u"41197"}, {41198, u"long 198"}, {41297, u"long 297"}});
}

TEST_F(LanguageTest, LinesAreSplitAsTheFileFormatSays)
{
    // Leading brackets and blanks are stepped over, empty lines cost nothing,
    // LF-only line ends and a last line without an end keep their text, the
    // first line with an id wins.
    Write(u"MIX.LNG",
          "[Main]\r\n10000=Mixed\r\n\r\n\r\n[40501=Bracketed\r\n  40502=Blanked\n40503=LF only\n"
          "40504=First\r\n40504=Second\r\n40505=Ends with a CR\r\r\n40506=No line end");
    Write(u"Language.ini", "File_Language=MIX.LNG\r\n");
    // "[Main]" took a line of its own as "Main]" and matches nothing.
    ExpectTexts(*Loaded(), {{40501, u"Bracketed"}, {40502, u"Blanked"}, {40503, u"LF only"}, {40504, u"First"},
                            {40505, u"Ends with a CR\r"}, {40506, u"No line end"}, {10000, u"Mixed"}});
}

TEST_F(LanguageTest, ByteOrderMarkSpoilsOnlyTheFirstLine)
{
    std::string bom = "\xEF\xBB\xBF" "40500=Lost\r\n10000=Marked\r\n40501=Date\r\n";
    for (const std::string& line : WayBack()) bom += line + "\r\n";
    Write(u"BOM.LNG", bom);
    Write(u"Language.ini", "File_Language=BOM.LNG");
    auto language = Loaded();
    EXPECT_EQ(u"40500", Text(language->GetText(40500)));
    EXPECT_EQ(u"Date", Text(language->GetText(40501)));
    ASSERT_EQ(1, language->GetLanguageCount());
    EXPECT_EQ(u"Marked", std::u16string(language->GetLanguageEntry(0)->languageName));
}

TEST_F(LanguageTest, BoundsOfTheTableAreEnforcedByCutting)
{
    std::vector<std::string> lines;
    lines.push_back("40501=" + std::string(150, 'a'));       // text over 99 characters
    lines.push_back("40502=" + std::string(250, 'b') + "Z");  // line over 199 characters
    for (int i = 0; i < 400; ++i)                              // more lines than the table holds
        lines.push_back(std::to_string(43000 + i) + "=t");
    Write(u"BIG.LNG", OfferedFile(std::string(80, 'N'), lines));
    Write(u"LONGNAME12.LNG", OfferedFile("Long file name", {}));
    Write(u"Language.ini", "File_Language=BIG.LNG");
    auto language = Loaded();

    EXPECT_EQ(std::u16string(LANGUAGE_TEXT_CHARS - 1, u'a'), Text(language->GetText(40501)));
    EXPECT_EQ(std::u16string(LANGUAGE_TEXT_CHARS - 1, u'b'), Text(language->GetText(40502)));
    // Stored lines: header, name, the way back, 40501, 40502, then the rest
    // of the 400.
    const int stored = LANGUAGE_TABLE_LINES - 4 - kWayBackLines;
    EXPECT_EQ(u"t", Text(language->GetText(43000 + stored - 1)));
    EXPECT_EQ(qplat::FromUtf8(std::to_string(43000 + stored)), Text(language->GetText(43000 + stored)));

    // A file name too long for the list's field is left out rather than cut
    // into the name of another file.
    ASSERT_EQ(1, language->GetLanguageCount());
    EXPECT_EQ(u"BIG.LNG", std::u16string(language->GetLanguageEntry(0)->fileName));
    EXPECT_EQ(std::u16string(LANGUAGE_NAME_CHARS - 1, u'N'), std::u16string(language->GetLanguageEntry(0)->languageName));
}

// A language file is offered only when it has a name to show and gives the
// texts of the way back to the language screen through the lookup itself.
// Anything less was listed as a blank row or under its name alone; chosen,
// every screen showed bare text ids and the operator had to tap blind to get
// back. Not offered: an empty file, a byte-order mark alone (what a PC editor
// saves for an empty file), blanks and tabs, lines without an id or with an
// id but no text (a later line of the same id is never looked at), a file cut
// or mangled on a PC (its name line gone, the texts among garbage), a name
// alone, a name or a text of blanks or zero-width characters, a way-back text
// the table never reaches or that is cut to blanks, and one without any
// single way-back text.
TEST_F(LanguageTest, OnlyAFileWithANameAndTheTextsOfTheWayBackIsListed)
{
    auto lines = [](std::vector<std::string> list) {
        std::string text;
        for (const std::string& line : list) text += line + "\r\n";
        return text;
    };
    // Lines 3 to 320 taken: the way back after them is stored no more.
    std::vector<std::string> farAway(LANGUAGE_TABLE_LINES - 2, "x");
    for (const std::string& line : WayBack()) farAway.push_back(line);
    // U+200B to U+200F and the byte-order mark.
    const std::string zeroWidth = "\xE2\x80\x8B\xE2\x80\x8C\xE2\x80\x8D\xE2\x80\x8E\xE2\x80\x8F\xEF\xBB\xBF";
    std::vector<std::pair<std::u16string, std::string>> unusable = {
        {u"EMPTY.LNG", ""},
        {u"BLANK.LNG", "\r\n [\r\n\r\n"},
        {u"MARK.LNG", "\xEF\xBB\xBF"},
        {u"TABS.LNG", " \t\t\r\n\t \r\n"},
        {u"PROSE.LNG", "[Texts]\r\nA note\r\n10000=\r\n4050=x\r\n01234=zero\r\n40501=\r\n40501=later\r\n"},
        {u"CUT.LNG", "\x01\x7f#~\r\n=?\xC3\xA4\r\n40000=Settings\r\n\x02\r\n"},
        {u"MANGL.LNG", "\xEF\xBB\xBF#~\r\n^%$\r\n" + lines(WayBack()) + "\x7f\x7f\r\n"},
        {u"NAME.LNG", "[Deutsch]\r\n10000=Deutsch\r\n"},
        {u"BLNAM.LNG", "[x]\r\n10000= \t\xC2\xA0\xE3\x80\x80\r\n" + lines(WayBack())},
        {u"SPACE.LNG", LanguageFile("Leer", WayBack(50108)) + "50108=   \t \r\n"},
        {u"ZWNAM.LNG", "[x]\r\n10000=" + zeroWidth + "\r\n" + lines(WayBack())},
        {u"ZWTXT.LNG", LanguageFile("Null", WayBack(50108)) + "50108=" + zeroWidth + "\r\n"},
        {u"FIRST.LNG", LanguageFile("Erst", {"40000="}) + lines(WayBack())},
        {u"FAR.LNG", LanguageFile("Fern", farAway)},
        {u"SHORT.LNG", LanguageFile("Kurz", WayBack(40000)) + "40000=" +
                              std::string(LANGUAGE_TEXT_CHARS - 1, ' ') + "Settings\r\n"},
        {u"NOTE.LNG", "[x]\r\n40501=Datum\r\n"},
    };
    for (const int id : kWayBackIds)
        unusable.push_back({u"W" + qplat::FromUtf8(std::to_string(unusable.size())) + u".LNG",
                            LanguageFile("Ohne", WayBack(id))});
    for (const auto& [name, bytes] : unusable) {
        ASSERT_LT(name.size(), size_t(LANGUAGE_FILE_CHARS)) << "a name the list could hold";
        Write(name, bytes);
    }
    // The least a file needs, with LF line ends and no header of its own.
    std::string least = "\n10000=Wenig\n";
    for (const std::string& line : WayBack()) least += line + "\n";
    Write(u"LEAST.LNG", least);
    Write(u"ENG.LNG", OfferedFile("English", {"40501=Date"}));
    ASSERT_EQ(0, ::mkfifo(root.Host(kFolder + u"PIPE.LNG").c_str(), 0644));
    std::filesystem::create_directory(root.Host(kFolder + u"DIR.LNG"));
    Write(u"Language.ini", "File_Language=ENG.LNG");
    auto language = Loaded();
    EXPECT_EQ(Listed(*language), (std::vector<std::u16string>{u"ENG.LNG", u"LEAST.LNG"}));
    EXPECT_EQ(u"Date", Text(language->GetText(40501)));

    for (const auto& [name, bytes] : unusable) EXPECT_FALSE(language->IsOffered(name.c_str())) << qplat::ToUtf8(name);
    for (const char16_t* file : {u"PIPE.LNG", u"DIR.LNG", u"MISSING.LNG"})
        EXPECT_FALSE(language->IsOffered(file)) << qplat::ToUtf8(file);
    EXPECT_TRUE(language->IsOffered(u"eng.lng"));
    EXPECT_TRUE(language->IsOffered(u"LEAST.LNG"));

    // Named by "Language.ini" by hand, a file that is not offered still gives
    // the texts it holds.
    Write(u"Language.ini", "File_Language=NOTE.LNG");
    auto named = Loaded();
    EXPECT_EQ(Listed(*named), (std::vector<std::u16string>{u"ENG.LNG", u"LEAST.LNG"}));
    EXPECT_EQ(u"Datum", Text(named->GetText(40501)));
}

// A file the program may not read, as a user that permission bits bind: the
// superuser (as which CI runs) is checked from a child that became another
// user.
TEST_F(LanguageTest, AFileThatMayNotBeReadIsNotListed)
{
    Write(u"ENG.LNG", OfferedFile("English", {"40501=Date"}));
    Write(u"SHUT.LNG", OfferedFile("Locked", {"40501=Zu"}));
    Write(u"Language.ini", "File_Language=SHUT.LNG");
    std::filesystem::permissions(root.Host(kFolder + u"SHUT.LNG"), std::filesystem::perms::none);
    for (std::filesystem::path p = root.Host(kFolder); p.string().size() >= root.Path().size(); p = p.parent_path())
        std::filesystem::permissions(p, std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
    const qtest::OrdinaryUserRun run = qtest::AsOrdinaryUser([&] {
        auto language = Loaded();
        // The readable file is listed: the check could read the folder.
        return Listed(*language) == std::vector<std::u16string>{u"ENG.LNG"} && !language->IsOffered(u"SHUT.LNG") &&
               Text(language->GetText(40501)) == u"40501";
    });
    if (run == qtest::OrdinaryUserRun::NoOtherUser)
        GTEST_SKIP() << "the superuser reads any file, and this one could not become another user";
    EXPECT_EQ(run, qtest::OrdinaryUserRun::Passed) << "the unreadable file was listed, or its texts loaded";
}

// The current file, found past the bound, takes the last place and is marked.
TEST_F(LanguageTest, ListHoldsFortyFilesTheCurrentOneAmongThem)
{
    for (int i = 10; i < 55; ++i)
        Write(u"L" + qplat::FromUtf8(std::to_string(i)) + u".LNG",
              OfferedFile("Language " + std::to_string(i), {"40501=Text " + std::to_string(i)}));
    Write(u"Language.ini", "File_Language=l54.lng");
    auto language = Loaded();
    ASSERT_EQ(LANGUAGE_MAX_FILES, language->GetLanguageCount());
    const LanguageEntry* last = language->GetLanguageEntry(LANGUAGE_MAX_FILES - 1);
    EXPECT_EQ(u"L54.LNG", Text(last->fileName));
    EXPECT_EQ(1, last->current) << "marked";
    EXPECT_EQ(u"L48.LNG", Text(language->GetLanguageEntry(LANGUAGE_MAX_FILES - 2)->fileName)) << "the rest as found";
    EXPECT_EQ(u"Text 54", Text(language->GetText(40501)));
}

TEST_F(LanguageTest, IniFileNamesTheCurrentLanguage)
{
    CLanguage language;
    // Missing: the former value stays.
    EXPECT_EQ(Text(g_languageFileName), Text(language.ReadIniFile()));

    Write(u"Language.ini", "File_Language=rus.lng\r\nFile_Other=x.lng");
    EXPECT_EQ(u"RUS.LNG", Text(language.ReadIniFile()));
    EXPECT_EQ(u"RUS.LNG", Text(language.GetCurrentFileName()));

    Write(u"Language.ini", "Key=ger.lng\nrest");
    EXPECT_EQ(u"GER.LNG", Text(language.ReadIniFile()));

    // Written as UTF-8 without a line end; a Cyrillic name comes back upper-cased.
    language.WriteIniFile(u"укр.lng");
    EXPECT_EQ("File_Language=\xD1\x83\xD0\xBA\xD1\x80.lng", root.ReadFile(kFolder + u"Language.ini"));
    EXPECT_EQ(u"УКР.LNG", Text(language.ReadIniFile()));

    // A name too long for the table is cut, never overrun.
    Write(u"Language.ini", "File_Language=" + std::string(100, 'q'));
    EXPECT_EQ(std::u16string(LANGUAGE_INI_NAME_CHARS - 1, u'Q'), Text(language.ReadIniFile()));
    EXPECT_EQ(std::u16string(LANGUAGE_CURRENT_CHARS - 1, u'Q'), Text(language.GetCurrentFileName()));

    // A failed write is reported and leaves the file as it was.
    qplat::FailFileWritesAfter(0);
    EXPECT_FALSE(language.WriteIniFile(u"ENG.LNG"));
    qplat::FailFileWritesAfter(-1);
    EXPECT_EQ("File_Language=" + std::string(100, 'q'), root.ReadFile(kFolder + u"Language.ini"));

    // A new table starts from the file.
    EXPECT_TRUE(language.WriteIniFile(u"ENG.LNG"));
    CLanguage fresh;
    EXPECT_EQ(u"ENG.LNG", Text(fresh.GetCurrentFileName()));
}

TEST_F(LanguageTest, LookupsOnSeveralThreadsDoNotOverwriteEachOther)
{
    Write(u"ENG.LNG", LanguageFile("English", {"40501=Date", "40502=Time of the measurement"}));
    Write(u"Language.ini", "File_Language=ENG.LNG");
    auto language = Loaded();

    std::atomic<int> wrong{0};
    auto lookups = [&](int id, const std::u16string& expected) {
        for (int i = 0; i < 5000; ++i) {
            const WCHAR* text = language->GetText(id);
            // Give the other thread time for its own lookups before reading.
            std::this_thread::yield();
            if (expected != text)
                ++wrong;
        }
    };
    std::thread first(lookups, 40501, u"Date");
    std::thread second(lookups, 40502, u"Time of the measurement");
    // Reloading meanwhile rewrites the lines with the same texts: a lookup
    // never sees a line half-written.
    for (int i = 0; i < 20; ++i)
        language->Load();
    first.join();
    second.join();
    EXPECT_EQ(0, wrong.load());
}

TEST(UpperCaseInPlace, LatinAndCyrillic)
{
    WCHAR text[] = u"eng.lng рус ё";
    EXPECT_EQ(text, UpperCaseInPlace(text));
    EXPECT_EQ(u"ENG.LNG РУС Ё", std::u16string(text));
    EXPECT_EQ(nullptr, UpperCaseInPlace(nullptr));
}

}  // namespace
