// Number text: _itow/_ltow in every radix, and the parsers' end pointers,
// saturation and odd inputs.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/WinText.h"
#include "tests/support/Fields.h"

namespace {

std::u16string Itow(int v, int radix)
{
    WCHAR buf[40];
    return std::u16string(_itow(v, buf, radix));
}

TEST(TextNumber, IntegerToTextInEveryRadix)
{
    // Outside radix 10 a negative value is its unsigned 32-bit pattern; a
    // radix out of range gives an empty text rather than garbage.
    const struct {
        int value, radix;
        std::u16string text;
    } cases[] = {
        {0, 10, u"0"}, {40001, 10, u"40001"}, {-17, 10, u"-17"}, {INT_MIN, 10, u"-2147483648"},
        {INT_MAX, 10, u"2147483647"}, {-1, 16, u"ffffffff"}, {-1, 2, std::u16string(32, u'1')},
        {INT_MIN, 8, u"20000000000"}, {35, 36, u"z"}, {36, 36, u"10"}, {255, 2, u"11111111"},
        {5, 1, u""}, {5, 37, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Itow(c.value, c.radix), c.text) << c.value << " in radix " << c.radix;
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

    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(_wtol(u"2147483647"), 2147483647), FIELD_IS(_wtol(u"2147483648"), 2147483647),
                                 FIELD_IS(_wtol(u"-2147483648"), INT_MIN), FIELD_IS(_wtol(u"-2147483649"), INT_MIN),
                                 FIELD_IS(_wtol(u"99999999999999999999999999"), 2147483647),
                                 FIELD_IS(_wtoi(u"\t\n 0012"), 12), FIELD_IS(_wtoi(u"12.9"), 12),
                                 FIELD_IS(_wtoi(u""), 0), FIELD_IS(_wtoi(nullptr), 0), FIELD_IS(_wtoi(u"-"), 0)));

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
    // The value and how much of the text it takes.
    const struct {
        const WCHAR* text;
        double value;
        int taken;
    } parsed[] = {
        {u" -12.5e2mm", -1250.0, 8},
        {u"3.25e+", 3.25, 4},  // an exponent without digits is not taken
        {u".", 0.0, 0}, {u".5", 0.5, 2}, {u"5.", 5.0, 2},
        {u"-Infinity!", -HUGE_VAL, 9}, {u"inFx", HUGE_VAL, 3},
        {u"0x1p3", 0.0, 1},  // hexadecimal floating text is no number here
    };
    for (const auto& p : parsed) {
        EXPECT_DOUBLE_EQ(wcstod(p.text, &end), p.value) << qplat::ToUtf8(p.text);
        EXPECT_EQ(end, p.text + p.taken) << qplat::ToUtf8(p.text);
    }

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

    const WCHAR nan[] = u"nan(123)z";
    EXPECT_TRUE(std::isnan(wcstod(nan, &end)));
    EXPECT_EQ(end, nan + 8);

    EXPECT_DOUBLE_EQ(_wtof(u"  7.5 "), 7.5);
    EXPECT_EQ(_wtof(u"abc"), 0.0);
    EXPECT_EQ(_wtof(nullptr), 0.0);
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
