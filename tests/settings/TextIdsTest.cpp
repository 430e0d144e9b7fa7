// Every text id the program looks up must be in every delivered language file,
// or the screens show bare digits.
//
// How the ids are found in the program's sources (the system folders, not
// platform/, tests/ or tools/), after comments and the contents of string and
// character literals are removed:
//   1. a five-digit literal given straight to a lookup: GetText(40001);
//   2. a named constant given to a lookup, GetText(IDS_TITLE), whose value is a
//      five-digit literal somewhere in the sources: "IDS_TITLE = 40001",
//      "IDS_TITLE{40001}" (constants, enumerators) or "#define IDS_TITLE 40001";
//   3. every five-digit literal in the declaration of a table whose name holds
//      "TextId" (in any case, underscores ignored), up to the ';' that ends it:
//      const int kRowTextIds[] = {40604, 40605};
// Ids that reach a lookup any other way (through a plain variable or a
// parameter) are not seen: give them a name that one of these rules finds.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/TempDeviceRoot.h"

namespace {

namespace fs = std::filesystem;

const char* const kSystemFolders[] = {"settings", "sensor", "measurement", "scheme", "ui",       "screens",
                                      "journal",  "dialogs", "shell",      "launcher", "resources"};
const char* const kLanguageFiles[] = {"ENG.LNG", "RUS.LNG"};

using qtest::ReadHostFile;

// The source with comments removed and literals emptied (quotes kept), so
// neither can contribute an id. Raw string literals are rare enough here to be
// treated as ordinary ones.
std::string StripCommentsAndLiterals(const std::string& source)
{
    std::string out;
    out.reserve(source.size());
    size_t i = 0;
    const size_t n = source.size();
    while (i < n) {
        const char c = source[i];
        if (c == '/' && i + 1 < n && source[i + 1] == '/') {
            while (i < n && source[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && source[i + 1] == '*') {
            const size_t end = source.find("*/", i + 2);
            i = end == std::string::npos ? n : end + 2;
            out += ' ';
        } else if (c == '"' || (c == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(source[i - 1]))))) {
            // A quote after a hex digit is a digit separator (1'000), not a literal.
            out += c;
            ++i;
            while (i < n && source[i] != c && source[i] != '\n') {
                if (source[i] == '\\')
                    ++i;
                ++i;
            }
            if (i < n) {
                out += source[i];
                ++i;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

bool NamesATextIdTable(std::string name)
{
    std::string folded;
    for (char c : name)
        if (c != '_')
            folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded.find("textid") != std::string::npos;
}

// The source as identifiers, numbers (digits with letters, '.' and digit
// separators) and single punctuation characters.
std::vector<std::string> Tokens(const std::string& source)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    const size_t n = source.size();
    auto is = [&](size_t k, auto pred) { return k < n && pred(static_cast<unsigned char>(source[k])); };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(source[i]);
        size_t j = i + 1;
        if (std::isspace(c)) {
            i = j;
            continue;
        }
        if (std::isalpha(c) || c == '_') {
            while (is(j, [](unsigned char d) { return std::isalnum(d) || d == '_'; }))
                ++j;
        } else if (std::isdigit(c)) {
            while (is(j, [](unsigned char d) { return std::isalnum(d) || d == '.' || d == '\''; }))
                ++j;
        }
        tokens.push_back(source.substr(i, j - i));
        i = j;
    }
    return tokens;
}

int FiveDigitId(const std::string& token)
{
    if (token.size() != 5)
        return -1;
    for (char c : token)
        if (c < '0' || c > '9')
            return -1;
    return std::stoi(token);
}

bool IsIdentifier(const std::string& token)
{
    return !token.empty() && (std::isalpha(static_cast<unsigned char>(token[0])) || token[0] == '_');
}

// The ids the three rules find in a set of (already stripped) sources.
std::set<int> FindTextIds(const std::vector<std::string>& sources)
{
    std::vector<std::vector<std::string>> all;
    for (const std::string& source : sources)
        all.push_back(Tokens(source));

    std::set<int> ids;
    std::set<std::string> names;
    for (const auto& t : all) {
        for (size_t i = 0; i + 3 < t.size(); ++i) {
            // Rules 1 and 2: GetText ( literal-or-name )
            if (t[i] == "GetText" && t[i + 1] == "(" && t[i + 3] == ")") {
                if (FiveDigitId(t[i + 2]) >= 0)
                    ids.insert(FiveDigitId(t[i + 2]));
                else if (IsIdentifier(t[i + 2]))
                    names.insert(t[i + 2]);
            }
        }
        for (size_t i = 0; i < t.size(); ++i) {
            // Rule 3: a TextId table's declaration, up to its ';'.
            if (!IsIdentifier(t[i]) || !NamesATextIdTable(t[i]))
                continue;
            size_t k = i + 1;
            if (k < t.size() && t[k] == "[") {
                while (k < t.size() && t[k] != "]")
                    ++k;
                ++k;
            }
            if (k >= t.size() || (t[k] != "=" && t[k] != "{"))
                continue;
            for (; k < t.size() && t[k] != ";"; ++k)
                if (FiveDigitId(t[k]) >= 0)
                    ids.insert(FiveDigitId(t[k]));
        }
    }
    // Rule 2: the values of the named constants.
    for (const auto& t : all) {
        for (size_t i = 0; i + 1 < t.size(); ++i) {
            if (!names.count(t[i]))
                continue;
            size_t k = i + 1;
            if (t[k] == "=" || t[k] == "{")
                ++k;
            if (k < t.size() && FiveDigitId(t[k]) >= 0)
                ids.insert(FiveDigitId(t[k]));
        }
    }
    return ids;
}

std::set<int> IdsOfLanguageFile(const std::string& bytes)
{
    std::set<int> ids;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        if (end - at > 5 && bytes[at + 5] == '=' && FiveDigitId(bytes.substr(at, 5)) >= 0)
            ids.insert(FiveDigitId(bytes.substr(at, 5)));
        at = end + 1;
    }
    return ids;
}

TEST(TextIds, ScannerFollowsItsRules)
{
    const std::string source = R"src(
        #define IDS_TITLE 40200
        constexpr int kNoticeText = 50046;
        enum { IDS_MENU_FIRST = 40010, IDS_UNUSED = 40099 };
        static const int kRowTextIds[] = {
            40604, 40605,  // flange
            40606};
        const int ROW_TEXT_ID_EXTRA[2] = {40607, 40608};
        const int kOffsets[] = {46764, 46768};
        void Paint() {
            language.GetText(40001);
            m_language->GetText( 50021 );
            GetText(IDS_TITLE);
            GetText(kNoticeText);
            GetText(IDS_MENU_FIRST);
            GetText(variable);
            GetText(40000 + index);
            Draw(u"GetText(40777)");
            // GetText(40888)
            /* GetText(40999) */
            int big = 1'000'000; GetText(40301);
        }
    )src";
    const std::set<int> found = FindTextIds({StripCommentsAndLiterals(source)});
    const std::set<int> expected = {40001, 50021, 40200, 50046, 40010, 40604, 40605, 40606, 40607, 40608, 40301};
    EXPECT_EQ(expected, found);
}

TEST(TextIds, EveryIdTheProgramUsesIsInEveryLanguageFile)
{
    const fs::path top(QAV5_SOURCE_DIR);
    std::vector<std::string> sources;
    for (const char* folder : kSystemFolders) {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(top / folder, ec)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h"))
                sources.push_back(StripCommentsAndLiterals(ReadHostFile(entry.path())));
        }
    }
    ASSERT_FALSE(sources.empty());
    const std::set<int> used = FindTextIds(sources);
    RecordProperty("text_ids_used", static_cast<int>(used.size()));

    for (const char* file : kLanguageFiles) {
        const std::set<int> present = IdsOfLanguageFile(ReadHostFile(top / "data" / "Language" / file));
        ASSERT_FALSE(present.empty()) << file;
        for (int id : used)
            EXPECT_TRUE(present.count(id)) << "text id " << id << " is missing from " << file;
    }
}

}  // namespace
