// Copies, compares and case mapping of the 16-bit runtime, and the bounded
// fixed-field helpers.
#include <gtest/gtest.h>

#include <string>

#include "platform/WinText.h"
#include "tests/support/Fields.h"

namespace {

TEST(TextString, BoundedCopiesAndFields)
{
    WCHAR field[6];
    for (WCHAR& c : field)
        c = u'#';
    // wcsncpy keeps C's contract: no terminator when the source fills the field.
    wcsncpy(field, u"abcdefgh", 4);
    EXPECT_EQ(std::u16string(field, 6), std::u16string(u"abcd##", 6));
    wcsncpy(field, u"ab", 6);
    EXPECT_EQ(std::u16string(field, 6), std::u16string(u"ab\0\0\0\0", 6));

    // CopyField always terminates and clears the rest of the field.
    for (WCHAR& c : field)
        c = u'#';
    qplat::CopyField(field, 6, u"abcdefgh");
    EXPECT_EQ(std::u16string(field, 6), std::u16string(u"abcde\0", 6));
    qplat::CopyField(field, 6, u"xy");
    EXPECT_EQ(std::u16string(field, 6), std::u16string(u"xy\0\0\0\0", 6));
    qplat::CopyField(field, 6, nullptr);
    EXPECT_EQ(field[0], 0);
    qplat::CopyField(field, 0, u"never");  // no room at all: untouched
    EXPECT_EQ(field[0], 0);

    // A stored field without a terminator is read to its width only.
    const WCHAR full[4] = {u'W', u'X', u'Y', u'Z'};
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(qplat::FieldLength(full, 4), 4u),
                                 FIELD_IS(qplat::FieldText(full, 4), u"WXYZ"),
                                 FIELD_IS(qplat::FieldText(full, 2), u"WX"),
                                 FIELD_IS(qplat::FieldText(u"ab\0cd", 5), u"ab"),
                                 FIELD_IS(qplat::FieldText(nullptr, 5), u""), FIELD_IS(wcsnlen(full, 0), 0u)));
}

TEST(TextString, CopyConcatenateAndSearch)
{
    WCHAR buf[32];
    wcscpy(buf, u"Wheel");
    wcscat(buf, u" ");
    wcsncat(buf, u"profile gauge", 7);
    EXPECT_EQ(std::u16string(buf), u"Wheel profile");
    EXPECT_EQ(wcslen(buf), 13u);
    const WCHAR* none = nullptr;
    EXPECT_EQ(wcslen(none), 0u);

    EXPECT_EQ(wcschr(buf, u'e'), buf + 2);
    EXPECT_EQ(wcsrchr(buf, u'e'), buf + 12);
    EXPECT_EQ(wcschr(buf, u'q'), nullptr);
    EXPECT_EQ(wcschr(buf, u'\0'), buf + 13);  // the terminator is part of the text
    EXPECT_EQ(wcsstr(buf, u"pro"), buf + 6);
    EXPECT_EQ(wcsstr(buf, u""), buf);
    EXPECT_EQ(wcsstr(buf, u"profiles"), nullptr);
    const WCHAR* constBuf = buf;
    EXPECT_EQ(wcsstr(constBuf, u"file"), constBuf + 9);
}

TEST(TextString, ComparesOrderByCodeUnit)
{
    EXPECT_EQ(wcscmp(u"abc", u"abc"), 0);
    EXPECT_LT(wcscmp(u"abc", u"abd"), 0);
    EXPECT_GT(wcscmp(u"abc", u"ab"), 0);
    EXPECT_LT(wcscmp(u"Z", u"\u00E9"), 0);  // unsigned, not sign-extended
    EXPECT_EQ(wcsncmp(u"abcX", u"abcY", 3), 0);
    EXPECT_EQ(wcscmp(nullptr, u""), 0);
    EXPECT_LT(wcscmp(nullptr, u"a"), 0);

    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(_wcsicmp(u"Колесо", u"КОЛЕСО"), 0), FIELD_IS(_wcsicmp(u"ёлка", u"ЁЛКА"), 0),
                                 FIELD_IS(_wcsicmp(u"ÉTÉ", u"été"), 0)));
    EXPECT_EQ(_wcsicmp(u"\u0141\u00F3d\u017A", u"\u0142\u00D3D\u0179"), 0);  // Łódź
    EXPECT_NE(_wcsicmp(u"abc", u"abd"), 0);
    EXPECT_LT(_wcsicmp(u"ABC", u"abd"), 0);
    EXPECT_EQ(_wcsnicmp(u"RUS.LNG", u"rus.txt", 4), 0);
    EXPECT_NE(_wcsnicmp(u"RUS.LNG", u"rus.txt", 5), 0);
}

TEST(TextString, CaseMappingOfCyrillicAndLatin)
{
    // All of the basic Cyrillic alphabet and the letters U+0400..U+040F.
    for (WCHAR c = 0x0410; c <= 0x042F; ++c) {
        EXPECT_EQ(towlower(c), c + 0x20);
        EXPECT_EQ(towupper(static_cast<WCHAR>(c + 0x20)), c);
    }
    for (WCHAR c = 0x0400; c <= 0x040F; ++c) {
        EXPECT_EQ(towlower(c), c + 0x50);
        EXPECT_EQ(towupper(static_cast<WCHAR>(c + 0x50)), c);
    }
    // Each letter and its capital; ß has no single-character capital, and
    // signs, ĸ and letters outside the covered blocks stay as they are.
    const std::pair<WCHAR, WCHAR> cases[] = {
        {u'ё', u'Ё'}, {u'ґ', u'Ґ'}, {u'ӏ', u'Ӏ'}, {u'ӂ', u'Ӂ'}, {u'ӿ', u'Ӿ'}, {u'ÿ', u'Ÿ'}, {u'ß', u'ß'}, {u'÷', u'÷'},
        {u'×', u'×'}, {u'ĺ', u'Ĺ'}, {u'ž', u'Ž'}, {u'ŋ', u'Ŋ'}, {u'ĸ', u'ĸ'}, {u'α', u'α'}, {u'中', u'中'},
    };
    for (const auto& [lower, upper] : cases) {
        EXPECT_EQ(towupper(lower), upper) << std::hex << static_cast<unsigned>(lower);
        EXPECT_EQ(towlower(upper), lower) << std::hex << static_cast<unsigned>(upper);
    }

    // Every letter of the covered blocks maps back to itself.
    for (unsigned u = 0; u <= 0x04FF; ++u) {
        const WCHAR c = static_cast<WCHAR>(u);
        const WCHAR up = towupper(c);
        if (up != c && u != 0x0131 && u != 0x017F) {
            EXPECT_EQ(towlower(up), c) << std::hex << u;
        }
    }

    WCHAR text[] = u"Профиль колеса: w1";
    EXPECT_EQ(_wcsupr(text), text);
    EXPECT_EQ(std::u16string(text), u"ПРОФИЛЬ КОЛЕСА: W1");
    _wcslwr(text);
    EXPECT_EQ(std::u16string(text), u"профиль колеса: w1");
}

TEST(TextString, CharacterClasses)
{
    // Only the ASCII digits count for numbers; U+0483 is a combining mark of
    // the Cyrillic block.
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(iswdigit(u'0') != 0, true), FIELD_IS(iswdigit(u'9') != 0, true),
                                 FIELD_IS(iswdigit(u'\u0663') != 0, false), FIELD_IS(iswxdigit(u'f') != 0, true),
                                 FIELD_IS(iswxdigit(u'A') != 0, true), FIELD_IS(iswxdigit(u'g') != 0, false),
                                 FIELD_IS(iswspace(u' ') != 0, true), FIELD_IS(iswspace(u'\t') != 0, true),
                                 FIELD_IS(iswspace(u'\u00A0') != 0, true), FIELD_IS(iswspace(u'x') != 0, false),
                                 FIELD_IS(iswalpha(u'Ж') != 0, true), FIELD_IS(iswalpha(u'é') != 0, true),
                                 FIELD_IS(iswalpha(u'1') != 0, false), FIELD_IS(iswalpha(u'№') != 0, false),
                                 FIELD_IS(iswalpha(u'\u0483') != 0, false)));
}

}  // namespace
