// Stored words as the settings screens show them and typed numbers as they
// store them: exact decimal conversion, the range of a signed 32-bit word and
// the one unit rule of settings byte 818.

#include <gtest/gtest.h>

#include <string>

#include "dialogs/ValueText.h"
#include "platform/WinText.h"
#include "tests/support/Fields.h"

namespace {

std::u16string Shown(LONG word, LONG divisor, int decimals)
{
    WCHAR text[VALUE_TEXT_CHARS] = {};
    FormatScaledValue(word, divisor, decimals, text, VALUE_TEXT_CHARS);
    return text;
}

// The word of a typed text, or a marker when it is refused.
constexpr LONG kRefused = 0x7EADBEEF;
LONG Typed(const char16_t* text, LONG divisor)
{
    LONG word = kRefused;
    if (!ParseScaledValue(text, divisor, &word)) {
        EXPECT_EQ(word, kRefused) << "a refused entry leaves the word";
    }
    return word;
}

TEST(ValueText, UnitSystemIsInchesOnlyForTwo)
{
    ParamBlock p{};
    for (BYTE unit : {0, 1, 3, 255}) {
        p.unitSystem = unit;
        EXPECT_FALSE(UsesInches(p));
        EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(LengthDivisor(p), 1000), FIELD_IS(ValueDecimals(p), 2),
                                     FIELD_IS(LengthUnitTextId(p), 40305)));
    }
    p.unitSystem = 2;
    EXPECT_TRUE(UsesInches(p));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(LengthDivisor(p), 25400), FIELD_IS(ValueDecimals(p), 3),
                                 FIELD_IS(LengthUnitTextId(p), 40306)));
}

TEST(ValueText, WordsShowRoundedHalfAwayFromZero)
{
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(Shown(2010, 1000, 2), u"2.01"), FIELD_IS(Shown(12345, 1000, 2), u"12.35"),
                                 FIELD_IS(Shown(-12345, 1000, 2), u"-12.35"), FIELD_IS(Shown(12344, 1000, 2), u"12.34"),
                                 FIELD_IS(Shown(25400, 25400, 3), u"1.000"), FIELD_IS(Shown(45000, 1000, 3), u"45.000"),
                                 FIELD_IS(Shown(12345, 25400, 3), u"0.486"), FIELD_IS(Shown(0, 1000, 2), u"0.00")));
    // A small negative value rounds to zero without a sign.
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(Shown(-4, 1000, 2), u"0.00"), FIELD_IS(Shown(-5, 1000, 2), u"-0.01"),
                                 FIELD_IS(Shown(2147483647, 1000, 2), u"2147483.65"),
                                 FIELD_IS(Shown(-2147483647 - 1, 25400, 3), u"-84546.600"),
                                 FIELD_IS(Shown(7, 1, 0), u"7")));
}

TEST(ValueText, EntriesConvertExactlyAndTruncateTowardZero)
{
    EXPECT_EQ(Typed(u"2.01", 1000), 2010) << "not 2009 as binary floating point gives";
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(Typed(u"1.2345", 1000), 1234), FIELD_IS(Typed(u"-1.2345", 1000), -1234),
                                 FIELD_IS(Typed(u"1", 25400), 25400), FIELD_IS(Typed(u"0.001", 25400), 25),
                                 FIELD_IS(Typed(u"45", 1000), 45000), FIELD_IS(Typed(u".5", 1000), 500),
                                 FIELD_IS(Typed(u"5.", 1000), 5000), FIELD_IS(Typed(u"  +007.250 ", 1000), 7250),
                                 FIELD_IS(Typed(u"-0", 1000), 0)));
    // Digits far past the point still count exactly.
    EXPECT_EQ(Typed(u"0.99999999999999999999999999", 1000), 999);
    EXPECT_EQ(Typed(u"1.000000000000000000000000001", 1000), 1000);
}

TEST(ValueText, EntriesOutsideASignedWordOrNotANumberAreRefused)
{
    EXPECT_EQ(Typed(u"2147483.647", 1000), 2147483647);
    EXPECT_EQ(Typed(u"2147483.648", 1000), kRefused);
    EXPECT_EQ(Typed(u"-2147483.648", 1000), -2147483647 - 1);
    EXPECT_EQ(Typed(u"-2147483.649", 1000), kRefused);
    EXPECT_EQ(Typed(u"84547", 25400), kRefused);
    EXPECT_EQ(Typed(u"99999999999999999999999", 1), kRefused);
    for (const char16_t* text : {u"", u" ", u".", u"-", u"1.2.3", u"abc", u"1e3", u"1,5", u"12a", u"--1", u"1 2"})
        EXPECT_EQ(Typed(text, 1000), kRefused) << qplat::ToUtf8(text);
}

TEST(ValueText, ACellKeepsTheEntryAsShownAndSavesThat)
{
    WCHAR text[VALUE_TEXT_CHARS] = u"old";
    LONG word = -7;
    ASSERT_TRUE(NormaliseEntry(u"1.2345", 1000, 2, text, VALUE_TEXT_CHARS, &word));
    EXPECT_EQ(std::u16string(text), u"1.23");
    EXPECT_EQ(word, 1230);
    ASSERT_TRUE(NormaliseEntry(u"1", 25400, 3, text, VALUE_TEXT_CHARS, &word));
    EXPECT_EQ(std::u16string(text), u"1.000");
    EXPECT_EQ(word, 25400);
    ASSERT_TRUE(NormaliseEntry(u"0.0394", 25400, 3, text, VALUE_TEXT_CHARS, &word));
    EXPECT_EQ(std::u16string(text), u"0.039");
    EXPECT_EQ(word, 990);
    // In range as typed, but its shown text rounds past the largest word.
    std::u16string before = text;
    EXPECT_FALSE(NormaliseEntry(u"2147483.647", 1000, 2, text, VALUE_TEXT_CHARS, &word));
    EXPECT_FALSE(NormaliseEntry(u"x", 1000, 2, text, VALUE_TEXT_CHARS, &word));
    EXPECT_EQ(std::u16string(text), before);
    EXPECT_EQ(word, 990);
}

TEST(ValueText, NamesCompareAndCopyWithinTheirFields)
{
    WCHAR full[NAME_FIELD_CHARS];
    for (auto& c : full) c = u'A';  // a full field without its terminator
    WCHAR other[NAME_FIELD_CHARS + 5];
    for (auto& c : other) c = u'A';
    other[NAME_FIELD_CHARS + 4] = 0;
    EXPECT_TRUE(SameName(full, other)) << "only the field's characters count";
    EXPECT_FALSE(SameName(u"Set", u"Set1"));
    EXPECT_TRUE(SameName(u"Set", u"Set"));

    WCHAR field[NAME_FIELD_CHARS + 1];
    for (auto& c : field) c = u'#';
    CopyName(field, full);
    EXPECT_EQ(std::u16string(field), std::u16string(NAME_FIELD_CHARS - 1, u'A'));
    EXPECT_EQ(field[NAME_FIELD_CHARS], u'#') << "nothing written past the field";
    CopyName(field, u"ab");
    EXPECT_EQ(std::u16string(field), u"ab");
    EXPECT_EQ(field[NAME_FIELD_CHARS - 1], 0) << "the rest of the field is cleared";
}

}  // namespace
