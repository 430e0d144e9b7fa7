// The delivered language files (data/Language) against the format the program
// reads and the room its fields give: UTF-8 with CR LF, the language name on
// line 2, one line per id without duplicates, the same ids in the same order in
// every file, texts that fit the table and the fixed fields they are copied
// into, no format directives or numbers, captions without a closing colon.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/Language.h"
#include "settings/ProgramFolder.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

const std::string kDataFolder = std::string(QAV5_SOURCE_DIR) + "/data/Language/";
const char* const kFiles[] = {"ENG.LNG", "RUS.LNG"};

using qtest::ReadHostFile;

struct Line {
    int id;
    std::u16string text;
};

struct ParsedFile {
    std::string header;
    std::vector<Line> lines;  // from line 2 on
};

// Splits a delivered file, reporting every breach of the format.
void Parse(const std::string& name, const std::string& bytes, ParsedFile& parsed)
{
    SCOPED_TRACE(name);
    EXPECT_FALSE(bytes.empty());
    EXPECT_NE(0, bytes.compare(0, 3, "\xEF\xBB\xBF")) << "a byte-order mark spoils line 1";
    EXPECT_EQ(bytes, qplat::ToUtf8(qplat::FromUtf8(bytes))) << "not valid UTF-8";
    size_t at = 0;
    int number = 0;
    while (at < bytes.size()) {
        const size_t end = bytes.find("\r\n", at);
        ASSERT_NE(std::string::npos, end) << "the last line has no CR LF";
        const std::string line = bytes.substr(at, end - at);
        ++number;
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << "stray line end in line " << number;
        at = end + 2;
        if (number == 1) {
            parsed.header = line;
            continue;
        }
        ASSERT_GE(line.size(), 6u) << "line " << number;
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(line[i] >= '0' && line[i] <= '9') << "line " << number << ": " << line;
        ASSERT_EQ('=', line[5]) << "line " << number;
        parsed.lines.push_back({std::stoi(line.substr(0, 5)), qplat::FromUtf8(line.substr(6))});
    }
}

std::map<std::string, ParsedFile> ParseAll()
{
    std::map<std::string, ParsedFile> all;
    for (const char* file : kFiles)
        Parse(file, ReadHostFile(kDataFolder + file), all[file]);
    return all;
}

bool Between(int id, int first, int last)
{
    return id >= first && id <= last;
}

// Hard room of the fields a text is copied into, by id; 0 when only the
// table's own bound (99 characters) applies.
size_t RoomOf(int id)
{
    auto among = [id](std::initializer_list<int> ids) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };
    if (id == 10000)
        return LANGUAGE_NAME_CHARS - 1;  // language list entry
    if (among({40305, 40306}))
        return 8;  // unit field of 10 with "2" appended for areas
    if (among({40510, 40511, 40513}))
        return 2;  // side texts in a 20-pixel axle label
    if (among({40613, 40616, 40640, 40641, 40643}))
        return 8;  // row names that get a digit appended
    if (among({40415, 40426, 40433}))
        return 49;  // stored as a catalogue name
    if (Between(id, 40604, 40627) || id == 40634 || Between(id, 40640, 40643))
        return 9;  // result row name field of 10
    if (Between(id, 50001, 50099) && id != 50044 && id != 50045)
        return 75;  // message box text area
    return 0;
}

TEST(LanguageFiles, FollowTheFileFormat)
{
    const auto all = ParseAll();
    for (const auto& [name, parsed] : all) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(parsed.lines.empty());
        EXPECT_EQ(LANGUAGE_NAME_ID, parsed.lines[0].id) << "line 2 must hold the language name";
        EXPECT_FALSE(parsed.lines[0].text.empty());
        EXPECT_TRUE(parsed.header.empty() || parsed.header[0] == '[') << "line 1 is a header";
        // Stored lines: the header and one per id.
        EXPECT_LE(parsed.lines.size() + 1, static_cast<size_t>(LANGUAGE_TABLE_LINES));
        std::map<int, int> seen;
        for (const Line& line : parsed.lines) {
            EXPECT_EQ(0, seen[line.id]++) << "duplicate id " << line.id;
            EXPECT_FALSE(line.text.empty()) << line.id;
            EXPECT_LE(line.text.size(), static_cast<size_t>(LANGUAGE_TEXT_CHARS - 1)) << line.id;
            EXPECT_LE(line.text.size() + 6, static_cast<size_t>(LANGUAGE_LINE_CHARS - 1)) << line.id;
            EXPECT_NE(u' ', line.text.front()) << line.id;
            EXPECT_NE(u' ', line.text.back()) << line.id;
            EXPECT_NE(u':', line.text.back()) << line.id << ": the program adds its own colon";
            for (char16_t c : line.text) {
                EXPECT_NE(u'%', c) << line.id << ": no format directives";
                EXPECT_FALSE(c >= u'0' && c <= u'9') << line.id << ": numbers are the program's";
                EXPECT_FALSE(c < 0x20 || c == 0xFEFF) << line.id << ": control character";
            }
            if (const size_t room = RoomOf(line.id)) {
                EXPECT_LE(line.text.size(), room) << line.id << ": " << qplat::ToUtf8(line.text);
            }
        }
    }
}

TEST(LanguageFiles, HoldTheSameIdsInTheSameOrder)
{
    const auto all = ParseAll();
    const ParsedFile& english = all.at("ENG.LNG");
    for (const auto& [name, parsed] : all) {
        SCOPED_TRACE(name);
        ASSERT_EQ(english.lines.size(), parsed.lines.size());
        for (size_t i = 0; i < parsed.lines.size(); ++i)
            EXPECT_EQ(english.lines[i].id, parsed.lines[i].id) << "line " << i + 2;
    }
    EXPECT_EQ(u"English", english.lines[0].text);
    EXPECT_EQ(u"Русский", all.at("RUS.LNG").lines[0].text);
}

// A text copied to the wrong id reads well on its own and shows only on the
// screen: two ids say the same in English exactly when they say the same in
// Russian. The pairs listed are the ones where the languages really differ.
TEST(LanguageFiles, TextsThatDifferInEnglishDifferInRussianAndAlike)
{
    const auto all = ParseAll();
    const auto& english = all.at("ENG.LNG").lines;
    const auto& russian = all.at("RUS.LNG").lines;
    ASSERT_EQ(english.size(), russian.size());
    const std::vector<std::pair<int, int>> exceptions = {
        {40004, 50114},  // "Measure": the start screen's noun, the measuring screen's verb
        {40302, 50045},  // "Value" and "Value of": Russian puts the dimension after either
    };
    auto excepted = [&](int a, int b) {
        for (const auto& [x, y] : exceptions)
            if ((a == x && b == y) || (a == y && b == x))
                return true;
        return false;
    };
    for (size_t i = 0; i < english.size(); ++i)
        for (size_t j = i + 1; j < english.size(); ++j) {
            if (excepted(english[i].id, english[j].id))
                continue;
            EXPECT_EQ(english[i].text == english[j].text, russian[i].text == russian[j].text)
                << english[i].id << " and " << english[j].id << ": \"" << qplat::ToUtf8(english[i].text) << "\", \""
                << qplat::ToUtf8(english[j].text) << "\" in English; \"" << qplat::ToUtf8(russian[i].text)
                << "\", \"" << qplat::ToUtf8(russian[j].text) << "\" in Russian";
        }
}

TEST(LanguageFiles, NamesThatBecomeFileNamesSurviveTheirFiles)
{
    // The proposed scheme name is written to an 8-bit file and read back
    // byte by byte; the proposed reference profile name goes through the
    // 8-bit code page of the reference files, so its letters must be there.
    for (const auto& [name, parsed] : ParseAll()) {
        for (const Line& line : parsed.lines) {
            if (line.id != 40409 && line.id != 40429)
                continue;
            if (line.id == 40429) {
                EXPECT_EQ(line.text, qplat::FromCodePage(qplat::ToCodePage(line.text))) << name;
            }
            for (char16_t c : line.text) {
                const bool latin = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
                const bool letter = latin || (line.id == 40429 && c >= u'\u0410' && c <= u'\u044F');
                EXPECT_TRUE(letter || c == u' ' || c == u'_' || c == u'-') << name << " " << line.id;
            }
        }
    }
}

TEST(LanguageFiles, IniChoosesADeliveredFile)
{
    const std::string ini = ReadHostFile(kDataFolder + "Language.ini");
    EXPECT_EQ("File_Language=ENG.LNG", ini);
    EXPECT_TRUE(std::filesystem::exists(kDataFolder + "ENG.LNG"));
}

// Every text as the program looks it up, through the language table itself.
TEST(LanguageFiles, EveryTextComesBackWholeThroughTheTable)
{
    qtest::TempDeviceRoot root;
    qtest::SetCardFolder();
    for (const char* file : kFiles)
        root.WriteFile(u"\\SDMMC\\Autorun\\Language\\" + qplat::FromUtf8(file), ReadHostFile(kDataFolder + file));
    root.WriteFile(u"\\SDMMC\\Autorun\\Language\\Language.ini", ReadHostFile(kDataFolder + "Language.ini"));

    const auto all = ParseAll();
    for (const char* file : kFiles) {
        SCOPED_TRACE(file);
        auto language = std::make_unique<CLanguage>();
        language->WriteIniFile(qplat::FromUtf8(file).c_str());
        language->Load();
        ASSERT_EQ(2, language->GetLanguageCount());
        for (int i = 0; i < 2; ++i) {
            const LanguageEntry* entry = language->GetLanguageEntry(i);
            const bool current = qplat::ToUtf8(entry->fileName) == file;
            EXPECT_EQ(current ? 1 : 0, entry->current);
            EXPECT_EQ(all.at(qplat::ToUtf8(entry->fileName)).lines[0].text, std::u16string(entry->languageName));
        }
        for (const Line& line : all.at(file).lines)
            EXPECT_EQ(line.text, std::u16string(language->GetText(line.id))) << line.id;
    }
}

}  // namespace
