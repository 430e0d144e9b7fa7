// The formatter: output cut at the buffer's end, the return value, every
// conversion against C's own printf for the same arguments, and the decimal
// point under a foreign locale.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale>
#include <string>

#include "platform/WinText.h"
#include "tests/support/Fields.h"

namespace {

std::u16string Wide(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

// Formats the same ASCII format with the runtime (16-bit and 8-bit) and with
// the host's snprintf, which is the reference for every case used here.
template <typename... Args>
void ExpectLikeC(const char* format, Args... args)
{
    char ref[4096];
    const int refLen = std::snprintf(ref, sizeof(ref), format, args...);
    ASSERT_GE(refLen, 0);

    const std::u16string wideFormat = Wide(format);
    WCHAR wide[4096];
    const int wideLen = swprintf(wide, 4096, wideFormat.c_str(), args...);
    EXPECT_EQ(wideLen, refLen) << format;
    EXPECT_EQ(std::u16string(wide), Wide(ref)) << format;

    char narrow[4096];
    const int narrowLen = qplat_snprintf(narrow, sizeof(narrow), format, args...);
    EXPECT_EQ(narrowLen, refLen) << format;
    EXPECT_STREQ(narrow, ref) << format;
}

TEST(TextFormat, IntegersMatchC)
{
    for (int v : {0, 1, -1, 7, 42, -42, 12345, INT_MAX, INT_MIN}) {
        ExpectLikeC("%d|%i|%5d|%-5d|%05d|%+d|% d|%.3d|%8.3d|%-+8.3d|%.0d", v, v, v, v, v, v, v, v, v, v, v);
        ExpectLikeC("%u|%x|%X|%o|%#x|%#X|%#o|%08x|%-8X|%.5x|%#.0o", v, v, v, v, v, v, v, v, v, v, v);
        ExpectLikeC("%02d:%02d", v, v);
    }
    ExpectLikeC("%hd %hu %hx %hhd %hhu", 70000, 70000, 70000, 300, 300);
    ExpectLikeC("%lld %llu %llx", -9000000000000000000LL, 18000000000000000000ULL, -1LL);
    ExpectLikeC("%*d|%-*d|%*d|%.*d|%.*d", 6, 42, 6, 42, -6, 42, 4, 42, -1, 42);
    ExpectLikeC("%%|%c%c", 'A', 'z');
    EXPECT_EQ(qplat::Format(u"%5%"), u"%");
}

TEST(TextFormat, NegativeNumbersInHexAreThe32BitPattern)
{
    WCHAR out[32];
    EXPECT_EQ(swprintf(out, 32, u"%x", -1), 8);
    EXPECT_EQ(std::u16string(out), u"ffffffff");
    EXPECT_EQ(swprintf(out, 32, u"%08X", -255), 8);
    EXPECT_EQ(std::u16string(out), u"FFFFFF01");
    // %lx reads the handheld's 32-bit LONG, whatever the host's long is.
    EXPECT_EQ(swprintf(out, 32, u"%lx %ld %lu", static_cast<LONG>(-2), static_cast<LONG>(-2), static_cast<ULONG>(0xFFFFFFFFu)), 22);
    EXPECT_EQ(std::u16string(out), u"fffffffe -2 4294967295");
}

TEST(TextFormat, FloatsMatchC)
{
    const double values[] = {0.0, -0.0, 1.0, -1.0, 0.5, 2.5, 1.005, 2.675, 0.125, 0.375, 1e-7, 123456.789,
                             -180.0, 25400.0 / 25400.0, 1e300, 5e-324, 9.9999999, 0.05, 0.15, 0.25, 0.35,
                             DBL_MAX, 1234567.0};
    for (double v : values) {
        ExpectLikeC("%f|%.0f|%.1f|%.2f|%.3f|%.4f|%10.2f|%-10.2f|%010.2f|%+.2f|% .2f|%#.0f", v, v, v, v, v, v, v, v, v, v, v, v);
        ExpectLikeC("%e|%.0e|%.3e|%E|%12.4e|%#.0e|%+e", v, v, v, v, v, v, v);
        ExpectLikeC("%g|%.0g|%.1g|%.3g|%.10g|%G|%#g|%#.3g|%10g|%-10g|%010g", v, v, v, v, v, v, v, v, v, v, v);
        ExpectLikeC("%a|%.2a|%A", v, v, v);
    }
    ExpectLikeC("%.*f|%*.*f", 3, 3.14159, 9, 2, 2.71828);
    ExpectLikeC("%.40f|%.60e", 0.1, 1.0 / 3.0);
    ExpectLikeC("%Lf|%.3Lf", 2.5L, -0.0625L);
}

TEST(TextFormat, RoundingOfHalfwayAndNearHalfwayValues)
{
    // The decimal expansion decides, not the decimal text in the source:
    // 2.675 is stored as 2.67499999..., 0.125 is exact and rounds to even.
    EXPECT_EQ(qplat::Format(u"%.2f", 2.675), u"2.67");
    EXPECT_EQ(qplat::Format(u"%.2f", 0.125), u"0.12");
    EXPECT_EQ(qplat::Format(u"%.2f", 0.375), u"0.38");
    EXPECT_EQ(qplat::Format(u"%.0f", 0.5), u"0");
    EXPECT_EQ(qplat::Format(u"%.0f", 1.5), u"2");
    EXPECT_EQ(qplat::Format(u"%.3f", 1.0005), u"1.000");
    EXPECT_EQ(qplat::Format(u"%.2f", 9.999), u"10.00");
    EXPECT_EQ(qplat::Format(u"%.2f", -0.001), u"-0.00");
    // A length in micrometres shown in millimetres and in inches.
    EXPECT_EQ(qplat::Format(u"%.2f", 33125 / 1000.0), u"33.12");  // exact tie: to even
    EXPECT_EQ(qplat::Format(u"%.2f", 33135 / 1000.0), u"33.13");  // 33.13499999...
    EXPECT_EQ(qplat::Format(u"%.3f", 25400 / 25400.0), u"1.000");
    EXPECT_EQ(qplat::Format(u"%.2f", static_cast<double>(33126.0f / 1000.0f)), u"33.13");
}

TEST(TextFormat, NonFiniteValues)
{
    const double inf = HUGE_VAL;
    const double nan = std::nan("");
    ExpectLikeC("%f|%e|%g|%F|%E|%G|%8f|%-8f|%08f|%+f", inf, inf, inf, inf, inf, inf, inf, inf, inf, inf);
    ExpectLikeC("%f|%.2f|%F|%8e", -inf, -inf, -inf, -inf);
    ExpectLikeC("%f|%G|%5f", nan, nan, nan);
}

TEST(TextFormat, CutOutputIsTerminatedAndReportsMinusOne)
{
    WCHAR out[8];
    for (WCHAR& c : out)
        c = u'#';
    EXPECT_EQ(swprintf(out, 5, u"%d", 123456), -1);
    EXPECT_EQ(std::u16string(out), u"1234");
    EXPECT_EQ(out[5], u'#');  // nothing written past count

    // Exactly filling the buffer but for the terminator succeeds.
    EXPECT_EQ(swprintf(out, 5, u"%s", u"abcd"), 4);
    EXPECT_EQ(std::u16string(out), u"abcd");
    EXPECT_EQ(swprintf(out, 5, u"%s", u"abcde"), -1);
    EXPECT_EQ(std::u16string(out), u"abcd");

    // A count of one holds the terminator only; a count of zero writes nothing.
    out[0] = u'#';
    EXPECT_EQ(swprintf(out, 1, u""), 0);
    EXPECT_EQ(out[0], 0);
    out[0] = u'#';
    EXPECT_EQ(swprintf(out, 1, u"x"), -1);
    EXPECT_EQ(out[0], 0);
    out[0] = u'#';
    EXPECT_EQ(swprintf(out, 0, u"x"), -1);
    EXPECT_EQ(out[0], u'#');
    EXPECT_EQ(swprintf(nullptr, 10, u"x"), -1);

    // Cut inside padding and inside a number's zero fill.
    EXPECT_EQ(_snwprintf(out, 6, u"%-10d|", 7), -1);
    EXPECT_EQ(std::u16string(out), u"7    ");
    EXPECT_EQ(_snwprintf(out, 4, u"%08.3f", -1.5), -1);
    EXPECT_EQ(std::u16string(out), u"-00");

    char narrow[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(qplat_snprintf(narrow, 3, "%s", "abc"), -1);
    EXPECT_STREQ(narrow, "ab");
    EXPECT_EQ(narrow[3], '#');
}

TEST(TextFormat, HugeWidthsAndPrecisionsStayBounded)
{
    WCHAR out[16];
    EXPECT_EQ(swprintf(out, 16, u"%*d", INT_MAX, 1), -1);
    EXPECT_EQ(std::u16string(out), std::u16string(15, u' '));
    EXPECT_EQ(swprintf(out, 16, u"%.*f", INT_MAX, 1.0), -1);
    EXPECT_EQ(std::u16string(out), u"1.0000000000000");
    EXPECT_EQ(swprintf(out, 16, u"%2147483647d", 1), -1);
    EXPECT_EQ(swprintf(out, 16, u"%*d", INT_MIN, 5), -1);  // left-justified, huge
    EXPECT_EQ(out[0], u'5');

    // Beyond the exact expansion of a double the digits are zeros.
    const std::u16string longZeros = qplat::Format(u"%.1200f", 0.5);
    ASSERT_EQ(longZeros.size(), 1202u);
    EXPECT_EQ(longZeros.substr(0, 3), u"0.5");
    EXPECT_EQ(longZeros.find_first_not_of(u'0', 3), std::u16string::npos);
    const std::u16string longExp = qplat::Format(u"%.1200e", 0.5);
    ASSERT_EQ(longExp.size(), 1202u + 4u);
    EXPECT_EQ(longExp.substr(longExp.size() - 5), u"0e-01");

    // qplat::Format is cut at its maximum rather than exhausting memory.
    EXPECT_EQ(qplat::Format(u"%*d", INT_MAX, 1).size(), qplat::kFormatMaxLength);
}

TEST(TextFormat, TextsInBothWidths)
{
    const char16_t* nullText = nullptr;
    const char* nullNarrow = nullptr;
    EXPECT_EQ(qplat::Format(u"[%s]", nullText), u"[(null)]");
    EXPECT_EQ(qplat::Format(u"[%hs]", nullNarrow), u"[(null)]");
    EXPECT_EQ(qplat::Format(u"[%.3s]", nullText), u"[(nu]");
    EXPECT_EQ(qplat::Format(u"[%s|%hs|%S|%ls|%ws]", u"a", "b", "c", u"d", u"e"), u"[a|b|c|d|e]");
    EXPECT_EQ(qplat::Format(u"[%6s|%-6s|%.2s|%6.2hs]", u"abc", u"abc", u"abc", "xyz"), u"[   abc|abc   |ab|    xy]");
    // 8-bit text is the scheme files' code page.
    EXPECT_EQ(qplat::Format(u"%hs", "\xCA\xEE\xEB\xE5\xF1\xEE"), u"Колесо");
    EXPECT_EQ(qplat::Format(u"%c%hc%C|%lc", u'Ж', 'a', 'b', u'я'), u"Жab|я");

    char narrow[64];
    EXPECT_EQ(qplat_snprintf(narrow, sizeof(narrow), "%s|%ls|%S|%hs", "a", u"Ёж", u"b", "c"), 8);
    EXPECT_STREQ(narrow, "a|\xA8\xE6|b|c");
    // A character outside the code page, and an astral pair, are one '?' each.
    EXPECT_EQ(qplat_snprintf(narrow, sizeof(narrow), "[%3ls]", u"\u4E2D\U0001F600"), 5);
    EXPECT_STREQ(narrow, "[ ??]");
}

TEST(TextFormat, PrecisionBoundsTheReadOfAnUnterminatedField)
{
    // A stored field may lack its terminator: %.Ns must not read beyond N.
    const WCHAR field[4] = {u'A', u'B', u'C', u'D'};
    EXPECT_EQ(qplat::Format(u"%.4s", field), u"ABCD");
    const char narrowField[3] = {'x', 'y', 'z'};
    EXPECT_EQ(qplat::Format(u"%.3hs", narrowField), u"xyz");
}

TEST(TextFormat, NulCharacterAndOddFormats)
{
    WCHAR out[16];
    EXPECT_EQ(swprintf(out, 16, u"a%cb", 0), 3);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], u'b');
    EXPECT_EQ(swprintf(out, 16, u"%-3c|", u'x'), 4);
    EXPECT_EQ(std::u16string(out), u"x  |");

    // An unknown conversion, or a format cut inside one, is printed as it stands.
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(qplat::Format(u"%y|%5k"), u"%y|%5k"),
                                 FIELD_IS(qplat::Format(u"100%"), u"100%"), FIELD_IS(qplat::Format(u"%-08."), u"%-08."),
                                 FIELD_IS(qplat::Format(nullptr), u"")));
    // %n stores nothing but keeps the arguments in step.
    int sink = 1234;
    EXPECT_EQ(qplat::Format(u"ab%n%d", &sink, 5), u"ab5");
    EXPECT_EQ(sink, 1234);
    // Non-ASCII literal text passes through.
    EXPECT_EQ(qplat::Format(u"Диаметр %d мм", 920), u"Диаметр 920 мм");
}

TEST(TextFormat, VaListVariantsAgree)
{
    struct Helper {
        static int Wide(WCHAR* out, size_t n, const WCHAR* f, ...)
        {
            va_list ap;
            va_start(ap, f);
            const int a = vswprintf(out, n, f, ap);
            va_end(ap);
            va_start(ap, f);
            WCHAR second[64];
            const int b = _vsnwprintf(second, 64, f, ap);
            va_end(ap);
            va_start(ap, f);
            const std::u16string third = qplat::FormatV(f, ap);
            va_end(ap);
            EXPECT_EQ(a, b);
            EXPECT_EQ(std::u16string(out), std::u16string(second));
            EXPECT_EQ(third, std::u16string(second));
            return a;
        }
    };
    WCHAR out[64];
    EXPECT_EQ(Helper::Wide(out, 64, u"%s=%.1f (%d)", u"k", 0.25, -3), 10);
    EXPECT_EQ(std::u16string(out), u"k=0.2 (-3)");
}

// A numpunct that writes a comma, as a host set to a European locale would.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST(TextFormat, DecimalPointIsAlwaysAPointUnderAForeignLocale)
{
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    std::string previousC = std::setlocale(LC_NUMERIC, nullptr);
    // Use a real comma locale for the C library as well where one is installed.
    const char* commaLocales[] = {"de_DE.UTF-8", "ru_RU.UTF-8", "fr_FR.UTF-8", "de_DE.utf8", "ru_RU.utf8"};
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr)
            break;
    }
    EXPECT_EQ(qplat::Format(u"%.2f|%e|%g", 1.5, 2.25, 0.125), u"1.50|2.250000e+00|0.125");
    char narrow[32];
    EXPECT_EQ(qplat_snprintf(narrow, sizeof(narrow), "%.3f", -0.5), 6);
    EXPECT_STREQ(narrow, "-0.500");
    EXPECT_DOUBLE_EQ(wcstod(u"1.25", nullptr), 1.25);
    WCHAR* end = nullptr;
    const WCHAR comma[] = u"1,25";
    EXPECT_DOUBLE_EQ(wcstod(comma, &end), 1.0);
    EXPECT_EQ(end, comma + 1);

    std::setlocale(LC_NUMERIC, previousC.c_str());
    std::locale::global(previous);
}

}  // namespace
