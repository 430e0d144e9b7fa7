// Number conversions of the 16-bit runtime. Parsing never consults the host
// locale: the decimal point is always '.'.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

#include "platform/WinText.h"

namespace {

// Writes the digits of `value` in `radix`, with a leading '-' when asked.
WCHAR* UnsignedToText(uint32_t value, bool negative, WCHAR* buffer, int radix)
{
    if (buffer == nullptr)
        return buffer;
    if (radix < 2 || radix > 36) {
        buffer[0] = 0;
        return buffer;
    }
    WCHAR digits[33];
    size_t n = 0;
    do {
        const uint32_t d = value % static_cast<uint32_t>(radix);
        digits[n++] = static_cast<WCHAR>(d < 10 ? u'0' + d : u'a' + (d - 10));
        value /= static_cast<uint32_t>(radix);
    } while (value != 0);
    size_t pos = 0;
    if (negative)
        buffer[pos++] = u'-';
    while (n > 0)
        buffer[pos++] = digits[--n];
    buffer[pos] = 0;
    return buffer;
}

int DigitValue(WCHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    return 99;
}

// The common part of wcstol and wcstoul: blanks, sign, radix prefix and the
// digits, accumulated as a magnitude that saturates at `limit`.
struct ParsedInteger {
    uint64_t magnitude = 0;
    bool negative = false;
    bool overflow = false;
    const WCHAR* end = nullptr;
};

ParsedInteger ParseInteger(const WCHAR* s, int radix, uint64_t limit)
{
    ParsedInteger r;
    r.end = s;
    if (s == nullptr || radix < 0 || radix == 1 || radix > 36)
        return r;
    const WCHAR* p = s;
    while (iswspace(*p))
        ++p;
    if (*p == u'+' || *p == u'-') {
        r.negative = (*p == u'-');
        ++p;
    }
    const bool hexPrefix = p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && DigitValue(p[2]) < 16;
    if (radix == 0)
        radix = hexPrefix ? 16 : (p[0] == u'0' ? 8 : 10);
    if (radix == 16 && hexPrefix)
        p += 2;
    const WCHAR* digitsStart = p;
    for (;; ++p) {
        const int d = DigitValue(*p);
        if (d >= radix)
            break;
        if (!r.overflow) {
            r.magnitude = r.magnitude * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
            if (r.magnitude > limit)
                r.overflow = true;
        }
    }
    if (p != digitsStart)
        r.end = p;
    else
        r.negative = false;
    return r;
}

}  // namespace

WCHAR* _itow(int value, WCHAR* buffer, int radix)
{
    return _ltow(static_cast<LONG>(value), buffer, radix);
}

WCHAR* _ltow(LONG value, WCHAR* buffer, int radix)
{
    if (radix == 10 && value < 0)
        return UnsignedToText(0u - static_cast<uint32_t>(value), true, buffer, radix);
    return UnsignedToText(static_cast<uint32_t>(value), false, buffer, radix);
}

LONG wcstol(const WCHAR* s, WCHAR** end, int radix)
{
    constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<LONG>::max());
    const ParsedInteger r = ParseInteger(s, radix, kMaxPositive + 1);
    if (end != nullptr)
        *end = const_cast<WCHAR*>(r.end);
    if (r.negative) {
        if (r.overflow) {
            errno = ERANGE;
            return std::numeric_limits<LONG>::min();
        }
        return static_cast<LONG>(0 - static_cast<int64_t>(r.magnitude));
    }
    if (r.overflow || r.magnitude > kMaxPositive) {
        errno = ERANGE;
        return std::numeric_limits<LONG>::max();
    }
    return static_cast<LONG>(r.magnitude);
}

ULONG wcstoul(const WCHAR* s, WCHAR** end, int radix)
{
    constexpr uint64_t kMax = std::numeric_limits<ULONG>::max();
    const ParsedInteger r = ParseInteger(s, radix, kMax);
    if (end != nullptr)
        *end = const_cast<WCHAR*>(r.end);
    if (r.overflow) {
        errno = ERANGE;
        return std::numeric_limits<ULONG>::max();
    }
    // As in C, a minus sign negates the value in unsigned arithmetic.
    const ULONG v = static_cast<ULONG>(r.magnitude);
    return r.negative ? static_cast<ULONG>(0u - v) : v;
}

LONG _wtol(const WCHAR* s)
{
    return wcstol(s, nullptr, 10);
}

int _wtoi(const WCHAR* s)
{
    return static_cast<int>(wcstol(s, nullptr, 10));
}

double _wtof(const WCHAR* s)
{
    return wcstod(s, nullptr);
}

namespace {

bool MatchNoCase(const WCHAR* p, const char* word)
{
    for (; *word != 0; ++p, ++word) {
        if (towlower(*p) != static_cast<WCHAR>(*word))
            return false;
    }
    return true;
}

}  // namespace

double wcstod(const WCHAR* s, WCHAR** end)
{
    if (end != nullptr)
        *end = const_cast<WCHAR*>(s);
    if (s == nullptr)
        return 0.0;
    const WCHAR* p = s;
    while (iswspace(*p))
        ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-') {
        negative = (*p == u'-');
        ++p;
    }
    const double sign = negative ? -1.0 : 1.0;

    if (MatchNoCase(p, "inf")) {
        p += MatchNoCase(p, "infinity") ? 8 : 3;
        if (end != nullptr)
            *end = const_cast<WCHAR*>(p);
        return sign * std::numeric_limits<double>::infinity();
    }
    if (MatchNoCase(p, "nan")) {
        p += 3;
        if (*p == u'(') {
            const WCHAR* q = p + 1;
            while ((*q < 0x80 && iswalpha(*q)) || iswdigit(*q) || *q == u'_')
                ++q;
            if (*q == u')')
                p = q + 1;
        }
        if (end != nullptr)
            *end = const_cast<WCHAR*>(p);
        return std::copysign(std::numeric_limits<double>::quiet_NaN(), sign);
    }

    // Collect the mantissa and exponent as ASCII for the exact conversion.
    std::string text;
    size_t digits = 0;
    long firstIntIndex = -1;  // index of the first significant digit before the point
    long firstFracIndex = -1;  // and after it
    long intDigits = 0;
    for (; iswdigit(*p); ++p) {
        text.push_back(static_cast<char>(*p));
        if (*p != u'0' && firstIntIndex < 0)
            firstIntIndex = intDigits;
        ++digits;
        ++intDigits;
    }
    long fracDigits = 0;
    if (*p == u'.') {
        const WCHAR* q = p + 1;
        if (digits > 0 || iswdigit(*q)) {
            text.push_back('.');
            p = q;
            for (; iswdigit(*p); ++p) {
                text.push_back(static_cast<char>(*p));
                if (*p != u'0' && firstFracIndex < 0)
                    firstFracIndex = fracDigits;
                ++digits;
                ++fracDigits;
            }
        }
    }
    if (digits == 0)
        return 0.0;
    long exponent = 0;
    if (*p == u'e' || *p == u'E') {
        const WCHAR* q = p + 1;
        bool expNegative = false;
        if (*q == u'+' || *q == u'-') {
            expNegative = (*q == u'-');
            ++q;
        }
        if (iswdigit(*q)) {
            for (; iswdigit(*q); ++q) {
                if (exponent < 100000000)
                    exponent = exponent * 10 + (*q - u'0');
            }
            if (expNegative)
                exponent = -exponent;
            text += 'e';
            text += std::to_string(exponent);
            p = q;
        }
    }
    if (end != nullptr)
        *end = const_cast<WCHAR*>(p);
    if (firstIntIndex < 0 && firstFracIndex < 0)
        return sign * 0.0;

    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        errno = ERANGE;
        // The decimal order of the first significant digit tells overflow from underflow.
        const long order = firstIntIndex >= 0 ? intDigits - 1 - firstIntIndex : -(firstFracIndex + 1);
        value = order + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return sign * value;
}
