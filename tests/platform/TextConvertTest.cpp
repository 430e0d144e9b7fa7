// UTF-8 and code-page conversions at the edges.
#include <gtest/gtest.h>

#include <string>

#include "platform/WinText.h"

namespace {

TEST(TextConvert, Utf8RoundTripsIncludingAstralCharacters)
{
    const std::u16string text = u"Колесо Ø 920 mm \u20AC \U0001F682\U00010348 \uFFFF end";
    const std::string utf8 = qplat::ToUtf8(text);
    EXPECT_EQ(qplat::FromUtf8(utf8), text);
    EXPECT_EQ(qplat::ToUtf8(u"\U0001F682"), "\xF0\x9F\x9A\x82");
    EXPECT_EQ(qplat::FromUtf8("\xF0\x9F\x9A\x82"), u"\U0001F682");
    EXPECT_EQ(qplat::ToUtf8(u"\u0401"), "\xD0\x81");
    EXPECT_EQ(qplat::ToUtf8(u"\u07FF\u0800"), "\xDF\xBF\xE0\xA0\x80");
    EXPECT_EQ(qplat::FromUtf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(qplat::ToUtf8(u""), "");

    // Every BMP character that is not a surrogate survives the round trip.
    std::u16string all;
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
        if (c < 0xD800 || c > 0xDFFF)
            all.push_back(static_cast<char16_t>(c));
    }
    EXPECT_EQ(qplat::FromUtf8(qplat::ToUtf8(all)), all);
}

TEST(TextConvert, LoneSurrogatesBecomeReplacementCharacters)
{
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(qplat::ToUtf8(std::u16string(1, char16_t(0xD800))), fffd);
    EXPECT_EQ(qplat::ToUtf8(std::u16string(1, char16_t(0xDC00))), fffd);
    // A high surrogate followed by something other than a low one.
    const std::u16string broken = {char16_t(0xD83D), u'x', char16_t(0xDE82), char16_t(0xD83D)};
    EXPECT_EQ(qplat::ToUtf8(broken), fffd + "x" + fffd + fffd);
    // Reversed pair.
    const std::u16string reversed = {char16_t(0xDE82), char16_t(0xD83D)};
    EXPECT_EQ(qplat::ToUtf8(reversed), fffd + fffd);
}

TEST(TextConvert, InvalidUtf8BecomesReplacementCharacters)
{
    const std::u16string r(1, char16_t(0xFFFD));
    EXPECT_EQ(qplat::FromUtf8("\x80"), r);
    EXPECT_EQ(qplat::FromUtf8("\xFF"), r);
    EXPECT_EQ(qplat::FromUtf8("\xC0\xAF"), r + r);              // overlong '/'
    EXPECT_EQ(qplat::FromUtf8("\xE0\x80\xAF"), r + r + r);       // overlong, three bytes
    EXPECT_EQ(qplat::FromUtf8("\xED\xA0\x80"), r + r + r);       // encoded surrogate
    EXPECT_EQ(qplat::FromUtf8("\xF4\x90\x80\x80"), r + r + r + r);  // above U+10FFFF
    EXPECT_EQ(qplat::FromUtf8("\xF5\x80"), r + r);
    // A sequence cut short is one replacement; the byte that broke it is read again.
    EXPECT_EQ(qplat::FromUtf8("\xE2\x82" "A"), r + u"A");
    EXPECT_EQ(qplat::FromUtf8("\xF0\x9F\x9A"), r);
    EXPECT_EQ(qplat::FromUtf8("\xD0"), r);
    EXPECT_EQ(qplat::FromUtf8("\xD0\xD0\x81"), r + u"Ё");
    // A Windows-1251 file read as UTF-8 does not crash and keeps the ASCII.
    EXPECT_EQ(qplat::FromUtf8("\xCA\xEE\xEB 12"), r + r + r + u" 12");
}

TEST(TextConvert, CodePageCoversAllOfItsCyrillic)
{
    // Every byte maps to a character and back to the same byte.
    for (unsigned b = 0; b < 256; ++b) {
        const WCHAR c = qplat::FromCodePageChar(static_cast<unsigned char>(b));
        EXPECT_EQ(static_cast<unsigned char>(qplat::ToCodePageChar(c)), b) << b;
    }
    // The whole Russian alphabet sits at 0xC0..0xFF, with Ё/ё apart.
    for (unsigned b = 0xC0; b <= 0xFF; ++b)
        EXPECT_EQ(qplat::FromCodePageChar(static_cast<unsigned char>(b)), 0x0410 + (b - 0xC0));
    for (const auto& [b, c] : {std::pair<unsigned char, WCHAR>{0xA8, u'Ё'}, {0xB8, u'ё'}, {0xB9, u'№'}, {0x88, u'€'},
                               {0xA5, u'Ґ'}})
        EXPECT_EQ(qplat::FromCodePageChar(b), c) << std::hex << static_cast<unsigned>(b);

    // Every Cyrillic character the code page holds survives the round trip.
    int mapped = 0;
    for (WCHAR c = 0x0400; c <= 0x04FF; ++c) {
        const char b = qplat::ToCodePageChar(c);
        if (b != '?') {
            EXPECT_EQ(qplat::FromCodePageChar(static_cast<unsigned char>(b)), c);
            ++mapped;
        }
    }
    EXPECT_EQ(mapped, 64 + 30);  // the alphabet plus the Serbian, Macedonian, Ukrainian and Belarusian letters

    const std::u16string text = u"Профиль ЁЖ ёж № 7";
    EXPECT_EQ(qplat::FromCodePage(qplat::ToCodePage(text)), text);
    EXPECT_EQ(qplat::ToCodePage(u"Ок"), "\xCE\xEA");
}

TEST(TextConvert, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(qplat::ToCodePageChar(u'中'), '?');
    EXPECT_EQ(qplat::ToCodePageChar(u'\u0490' + 2), '?');
    EXPECT_EQ(qplat::ToCodePageChar(u'é'), '?');
    // An astral character is one character, one '?'.
    EXPECT_EQ(qplat::ToCodePage(u"a\U0001F682b"), "a?b");
    EXPECT_EQ(qplat::ToCodePage(std::u16string(1, char16_t(0xD800))), "?");
}

}  // namespace
