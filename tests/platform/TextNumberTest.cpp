// Number text: _itow/_ltow in every radix, and the parsers' end pointers,
// saturation and odd inputs.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/WinText.h"

namespace {

std::u16string Itow(int v, int radix)
{
    WCHAR buf[40];
    return std::u16string(_itow(v, buf, radix));
}

TEST(TextNumber, IntegerToTextInEveryRadix)
{
    EXPECT_EQ(Itow(0, 10), u"0");
    EXPECT_EQ(Itow(40001, 10), u"40001");
    EXPECT_EQ(Itow(-17, 10), u"-17");
    EXPECT_EQ(Itow(INT_MIN, 10), u"-2147483648");
    EXPECT_EQ(Itow(INT_MAX, 10), u"2147483647");
    // Outside radix 10 a negative value is its unsigned 32-bit pattern.
    EXPECT_EQ(Itow(-1, 16), u"ffffffff");
    EXPECT_EQ(Itow(-1, 2), std::u16string(32, u'1'));
    EXPECT_EQ(Itow(INT_MIN, 8), u"20000000000");
    EXPECT_EQ(Itow(35, 36), u"z");
    EXPECT_EQ(Itow(36, 36), u"10");
    EXPECT_EQ(Itow(255, 2), u"11111111");
    // Every radix against the host's own conversion.
    for (int radix = 2; radix <= 36; ++radix) {
        for (long v : {1L, 7L, 100L, 65535L, 123456789L}) {
            unsigned long x = static_cast<unsigned long>(v);
            std::string digits;
            do {
                digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[x % radix]);
                x /= radix;
            } while (x != 0);
            WCHAR buf[40];
            EXPECT_EQ(std::u16string(_ltow(static_cast<LONG>(v), buf, radix)),
                      std::u16string(digits.begin(), digits.end()))
                << radix;
            EXPECT_EQ(wcstol(buf, nullptr, radix), v);
        }
    }
    // A radix out of range gives an empty text rather than garbage.
    EXPECT_EQ(Itow(5, 1), u"");
    EXPECT_EQ(Itow(5, 37), u"");
}

TEST(TextNumber, IntegerParsingStopsAndSaturates)
{
    WCHAR* end = nullptr;
    const WCHAR text[] = u"  -42abc";
    EXPECT_EQ(wcstol(text, &end, 10), -42);
    EXPECT_EQ(end, text + 5);

    const WCHAR none[] = u"  +x";
    EXPECT_EQ(wcstol(none, &end, 10), 0);
    EXPECT_EQ(end, none);  // no digits: nothing consumed

    EXPECT_EQ(_wtol(u"2147483647"), 2147483647);
    EXPECT_EQ(_wtol(u"2147483648"), 2147483647);
    EXPECT_EQ(_wtol(u"-2147483648"), INT_MIN);
    EXPECT_EQ(_wtol(u"-2147483649"), INT_MIN);
    EXPECT_EQ(_wtol(u"99999999999999999999999999"), 2147483647);
    EXPECT_EQ(_wtoi(u"\t\n 0012"), 12);
    EXPECT_EQ(_wtoi(u"12.9"), 12);
    EXPECT_EQ(_wtoi(u""), 0);
    EXPECT_EQ(_wtoi(nullptr), 0);
    EXPECT_EQ(_wtoi(u"-"), 0);

    errno = 0;
    const WCHAR big[] = u"123456789012345678901234567890 tail";
    EXPECT_EQ(wcstol(big, &end, 10), 2147483647);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(end, big + 30);  // every digit is consumed even when saturated

    const WCHAR hex[] = u"0x1Fz";
    EXPECT_EQ(wcstol(hex, &end, 16), 31);
    EXPECT_EQ(end, hex + 4);
    EXPECT_EQ(wcstol(hex, &end, 0), 31);
    const WCHAR octal[] = u"0777";
    EXPECT_EQ(wcstol(octal, &end, 0), 511);
    const WCHAR bareX[] = u"0xg";  // "0" then a stray x
    EXPECT_EQ(wcstol(bareX, &end, 16), 0);
    EXPECT_EQ(end, bareX + 1);
    EXPECT_EQ(wcstol(u"10", &end, 1), 0);

    EXPECT_EQ(wcstoul(u"4294967295", nullptr, 10), 4294967295u);
    EXPECT_EQ(wcstoul(u"4294967296", nullptr, 10), 4294967295u);
    EXPECT_EQ(wcstoul(u"ffffffff", nullptr, 16), 0xFFFFFFFFu);
    EXPECT_EQ(wcstoul(u"-1", nullptr, 10), 0xFFFFFFFFu);
}

TEST(TextNumber, FloatingParsing)
{
    WCHAR* end = nullptr;
    const WCHAR text[] = u" -12.5e2mm";
    EXPECT_DOUBLE_EQ(wcstod(text, &end), -1250.0);
    EXPECT_EQ(end, text + 8);

    const WCHAR noExp[] = u"3.25e+";  // an exponent without digits is not taken
    EXPECT_DOUBLE_EQ(wcstod(noExp, &end), 3.25);
    EXPECT_EQ(end, noExp + 4);

    const WCHAR dotOnly[] = u".";
    EXPECT_EQ(wcstod(dotOnly, &end), 0.0);
    EXPECT_EQ(end, dotOnly);
    const WCHAR leadingDot[] = u".5";
    EXPECT_DOUBLE_EQ(wcstod(leadingDot, &end), 0.5);
    EXPECT_EQ(end, leadingDot + 2);
    const WCHAR trailingDot[] = u"5.";
    EXPECT_DOUBLE_EQ(wcstod(trailingDot, &end), 5.0);
    EXPECT_EQ(end, trailingDot + 2);

    // The same correctly rounded values as the host's parser.
    for (const char* s : {"0.1", "2.675", "1e-300", "123456789.987654321", "4.9e-324", "1.7976931348623157e308",
                          "0.000000000000000000000000000001", "9007199254740993"}) {
        const std::u16string w(s, s + std::char_traits<char>::length(s));
        EXPECT_EQ(wcstod(w.c_str(), nullptr), std::strtod(s, nullptr)) << s;
    }

    errno = 0;
    EXPECT_EQ(wcstod(u"1e999", nullptr), HUGE_VAL);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(wcstod(u"-1e999", nullptr), -HUGE_VAL);
    EXPECT_EQ(wcstod(u"1e-999", nullptr), 0.0);
    EXPECT_EQ(wcstod(u"0.0001e-99999999999999", nullptr), 0.0);
    EXPECT_EQ(wcstod(u"0.0000000001e400", nullptr), HUGE_VAL);
    EXPECT_EQ(wcstod(u"0e99999", nullptr), 0.0);
    EXPECT_TRUE(std::signbit(wcstod(u"-0", nullptr)));

    const WCHAR inf[] = u"-Infinity!";
    EXPECT_EQ(wcstod(inf, &end), -HUGE_VAL);
    EXPECT_EQ(end, inf + 9);
    const WCHAR shortInf[] = u"inFx";
    EXPECT_EQ(wcstod(shortInf, &end), HUGE_VAL);
    EXPECT_EQ(end, shortInf + 3);
    const WCHAR nan[] = u"nan(123)z";
    EXPECT_TRUE(std::isnan(wcstod(nan, &end)));
    EXPECT_EQ(end, nan + 8);

    EXPECT_DOUBLE_EQ(_wtof(u"  7.5 "), 7.5);
    EXPECT_EQ(_wtof(u"abc"), 0.0);
    EXPECT_EQ(_wtof(nullptr), 0.0);
    // Hexadecimal floating text is not a number here: "0" is taken.
    const WCHAR hexFloat[] = u"0x1p3";
    EXPECT_EQ(wcstod(hexFloat, &end), 0.0);
    EXPECT_EQ(end, hexFloat + 1);
}

TEST(TextNumber, FormattedValuesParseBack)
{
    // What the tolerance editor shows, read back as it reads it.
    for (double v : {0.0, 0.01, 1.5, 33.125, 920.0, 1234.567, -180.0}) {
        const std::u16string shown = qplat::Format(u"%.3f", v);
        const double back = wcstod(shown.c_str(), nullptr);
        EXPECT_EQ(qplat::Format(u"%.3f", back), shown);
    }
}

}  // namespace
