// The formatter behind swprintf, _snwprintf, qplat_snprintf and qplat::Format:
// one engine over 16-bit and 8-bit formats and outputs. Numbers go through
// std::to_chars, so the decimal point is '.' whatever the host locale, and
// %.Nf rounds exactly as C's printf does for the same double.
//
// Between 16-bit and 8-bit text (%hs into a 16-bit output, %ls into an 8-bit
// one) the conversion is the system's 8-bit code page, Windows-1251.
//
// %ld and %lu take the handheld's 32-bit LONG and ULONG; %lld and %I64d take
// 64 bits. %n is accepted and its pointer consumed, but nothing is stored
// through it.
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/WinText.h"

namespace {

// Output into a caller's buffer; `cap` leaves room for the terminator.
template <typename Out>
struct BufferSink {
    using Char = Out;
    Out* buffer;
    size_t cap;
    size_t used;
    bool Put(Out c)
    {
        if (used >= cap)
            return false;
        buffer[used++] = c;
        return true;
    }
};

// Output into a growing string, bounded so that a huge width cannot exhaust
// memory.
struct StringSink {
    using Char = char16_t;
    std::u16string* text;
    size_t cap;
    bool Put(char16_t c)
    {
        if (text->size() >= cap)
            return false;
        text->push_back(c);
        return true;
    }
};

enum class Length { None, hh, h, l, ll, L, z, j, t, w };

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alt = false;
    bool zero = false;
    size_t width = 0;
    int precision = -1;
    Length length = Length::None;
};

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The engine stops as soon as the output is full: the result is then -1
// anyway, so nothing after the cut needs formatting (and a width of two
// billion costs no time).
template <typename Sink>
class Writer {
public:
    using Out = typename Sink::Char;

    explicit Writer(Sink& sink) : sink_(sink) {}

    bool Ok() const { return ok_; }

    void Put(Out c)
    {
        if (ok_ && !sink_.Put(c))
            ok_ = false;
    }

    void Repeat(char c, size_t n)
    {
        for (size_t i = 0; i < n && ok_; ++i)
            Put(static_cast<Out>(c));
    }

    void Ascii(const char* s, size_t n)
    {
        for (size_t i = 0; i < n && ok_; ++i)
            Put(static_cast<Out>(static_cast<unsigned char>(s[i])));
    }

    // A 16-bit text of at most `limit` source characters.
    void Text16(const char16_t* s, size_t limit, const Spec& spec)
    {
        const size_t n = wcsnlen(s, limit);
        if constexpr (sizeof(Out) == 1) {
            // A surrogate pair is one character of the code page ('?').
            size_t shown = 0;
            for (size_t i = 0; i < n; ++i, ++shown) {
                if (IsHigh(s[i]) && i + 1 < n && IsLow(s[i + 1]))
                    ++i;
            }
            PadBefore(shown, spec);
            for (size_t i = 0; i < n && ok_; ++i) {
                if (IsHigh(s[i]) && i + 1 < n && IsLow(s[i + 1])) {
                    Put('?');
                    ++i;
                } else {
                    Put(qplat::ToCodePageChar(s[i]));
                }
            }
            PadAfter(shown, spec);
        } else {
            PadBefore(n, spec);
            for (size_t i = 0; i < n && ok_; ++i)
                Put(s[i]);
            PadAfter(n, spec);
        }
    }

    // An 8-bit text of at most `limit` characters.
    void Text8(const char* s, size_t limit, const Spec& spec)
    {
        size_t n = 0;
        while (n < limit && s[n] != 0)
            ++n;
        PadBefore(n, spec);
        for (size_t i = 0; i < n && ok_; ++i) {
            if constexpr (sizeof(Out) == 1)
                Put(s[i]);
            else
                Put(qplat::FromCodePageChar(static_cast<unsigned char>(s[i])));
        }
        PadAfter(n, spec);
    }

    void PadBefore(size_t len, const Spec& spec)
    {
        if (!spec.left && spec.width > len)
            Repeat(' ', spec.width - len);
    }

    void PadAfter(size_t len, const Spec& spec)
    {
        if (spec.left && spec.width > len)
            Repeat(' ', spec.width - len);
    }

    // A number laid out as [prefix][zeros][head][extra zeros][tail], padded
    // to the width with spaces, or with zeros after the prefix.
    void Number(const char* prefix, size_t prefixLen, size_t leadingZeros, const char* head,
                size_t headLen, size_t extraZeros, const char* tail, size_t tailLen,
                const Spec& spec, bool zeroPad)
    {
        const size_t len = prefixLen + leadingZeros + headLen + extraZeros + tailLen;
        const size_t pad = spec.width > len ? spec.width - len : 0;
        if (!spec.left && !zeroPad)
            Repeat(' ', pad);
        Ascii(prefix, prefixLen);
        if (!spec.left && zeroPad)
            Repeat('0', pad);
        Repeat('0', leadingZeros);
        Ascii(head, headLen);
        Repeat('0', extraZeros);
        Ascii(tail, tailLen);
        if (spec.left)
            Repeat(' ', pad);
    }

private:
    Sink& sink_;
    bool ok_ = true;
};

template <typename Sink>
void FormatInteger(Writer<Sink>& w, const Spec& spec, char conv, uint64_t magnitude, bool negative)
{
    unsigned base = 10;
    const char* alphabet = "0123456789abcdef";
    if (conv == 'x') {
        base = 16;
    } else if (conv == 'X' || conv == 'p') {
        base = 16;
        alphabet = "0123456789ABCDEF";
    } else if (conv == 'o') {
        base = 8;
    }
    char digits[72];
    size_t n = 0;
    const bool isZero = magnitude == 0;
    // Precision 0 prints no digit for the value 0.
    if (!(isZero && spec.precision == 0)) {
        char rev[72];
        size_t r = 0;
        do {
            rev[r++] = alphabet[magnitude % base];
            magnitude /= base;
        } while (magnitude != 0);
        while (r > 0)
            digits[n++] = rev[--r];
    }

    char prefix[3];
    size_t prefixLen = 0;
    if (conv == 'd' || conv == 'i') {
        if (negative)
            prefix[prefixLen++] = '-';
        else if (spec.plus)
            prefix[prefixLen++] = '+';
        else if (spec.space)
            prefix[prefixLen++] = ' ';
    } else if (spec.alt && !isZero && (conv == 'x' || conv == 'X')) {
        prefix[prefixLen++] = '0';
        prefix[prefixLen++] = conv;
    }

    size_t leadingZeros = 0;
    if (spec.precision > 0 && static_cast<size_t>(spec.precision) > n)
        leadingZeros = static_cast<size_t>(spec.precision) - n;
    if (conv == 'o' && spec.alt && leadingZeros == 0 && (n == 0 || digits[0] != '0'))
        leadingZeros = 1;
    const bool zeroPad = spec.zero && !spec.left && spec.precision < 0;
    w.Number(prefix, prefixLen, leadingZeros, digits, n, 0, "", 0, spec, zeroPad);
}

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
}

template <typename Sink>
void FormatFloat(Writer<Sink>& w, const Spec& spec, char conv, double value)
{
    const bool upper = (conv == 'F' || conv == 'E' || conv == 'G' || conv == 'A');
    const char lower = static_cast<char>(conv | 0x20);
    char prefix[3];
    size_t prefixLen = 0;
    if (std::signbit(value))
        prefix[prefixLen++] = '-';
    else if (spec.plus)
        prefix[prefixLen++] = '+';
    else if (spec.space)
        prefix[prefixLen++] = ' ';

    if (!std::isfinite(value)) {
        const char* body = std::isnan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
        w.Number(prefix, prefixLen, 0, body, 3, 0, "", 0, spec, false);
        return;
    }

    // Digits beyond the exact expansion of a double are zeros: the requested
    // precision is capped for the conversion and the rest added as zeros.
    constexpr int kMaxPrecision = 1100;
    constexpr size_t kBufSize = kMaxPrecision + 400;
    const double a = std::fabs(value);
    int precision = spec.precision < 0 ? 6 : spec.precision;
    size_t extraZeros = 0;
    if (precision > kMaxPrecision) {
        extraZeros = static_cast<size_t>(precision - kMaxPrecision);
        precision = kMaxPrecision;
    }

    char buf[kBufSize];
    char* const end = buf + kBufSize;
    char* last = buf;
    bool trimZeros = false;
    if (lower == 'f') {
        last = std::to_chars(buf, end, a, std::chars_format::fixed, precision).ptr;
    } else if (lower == 'e') {
        last = std::to_chars(buf, end, a, std::chars_format::scientific, precision).ptr;
    } else if (lower == 'a') {
        last = spec.precision < 0 ? std::to_chars(buf, end, a, std::chars_format::hex).ptr
                                  : std::to_chars(buf, end, a, std::chars_format::hex, precision).ptr;
        prefix[prefixLen++] = '0';
        prefix[prefixLen++] = upper ? 'X' : 'x';
    } else {
        // %g: the exponent of the %e form chooses between the two forms.
        const int p = precision == 0 ? 1 : precision;
        int x = 0;
        if (a != 0.0) {
            char* pe = std::to_chars(buf, end, a, std::chars_format::scientific, p - 1).ptr;
            const char* e = static_cast<const char*>(std::memchr(buf, 'e', static_cast<size_t>(pe - buf)));
            if (e != nullptr)
                std::from_chars(e + (e[1] == '+' ? 2 : 1), pe, x);
        }
        if (p > x && x >= -4)
            last = std::to_chars(buf, end, a, std::chars_format::fixed, p - 1 - x).ptr;
        else
            last = std::to_chars(buf, end, a, std::chars_format::scientific, p - 1).ptr;
        trimZeros = !spec.alt;
        if (trimZeros)
            extraZeros = 0;
    }
    const size_t len = static_cast<size_t>(last - buf);

    // Split into the mantissa (head) and the exponent (tail).
    const char expChar = (lower == 'a') ? 'p' : 'e';
    size_t mantissaLen = len;
    if (lower != 'f') {
        const char* e = static_cast<const char*>(std::memchr(buf, expChar, len));
        if (e != nullptr)
            mantissaLen = static_cast<size_t>(e - buf);
    }
    char tail[16];
    size_t tailLen = len - mantissaLen;
    if (tailLen > sizeof(tail))
        tailLen = sizeof(tail);
    std::memcpy(tail, buf + mantissaLen, tailLen);

    size_t headLen = mantissaLen;
    bool hasPoint = std::memchr(buf, '.', headLen) != nullptr;
    if (trimZeros && hasPoint) {
        while (headLen > 0 && buf[headLen - 1] == '0')
            --headLen;
        if (headLen > 0 && buf[headLen - 1] == '.') {
            --headLen;
            hasPoint = false;
        }
    }
    // '#' keeps the point even with no digit after it.
    if (spec.alt && !hasPoint)
        buf[headLen++] = '.';
    if (upper) {
        for (size_t i = 0; i < headLen; ++i)
            buf[i] = Upper(buf[i]);
        for (size_t i = 0; i < tailLen; ++i)
            tail[i] = Upper(tail[i]);
    }
    // Extra zeros only ever follow a point, which a capped precision implies.
    w.Number(prefix, prefixLen, 0, buf, headLen, extraZeros, tail, tailLen, spec,
             spec.zero && !spec.left);
}

// One character of a format or argument in the output's width.
template <typename Out, typename In>
Out ConvertChar(In c)
{
    if constexpr (sizeof(Out) == sizeof(In))
        return static_cast<Out>(c);
    else if constexpr (sizeof(In) == 2)
        return static_cast<Out>(qplat::ToCodePageChar(static_cast<WCHAR>(c)));
    else
        return static_cast<Out>(qplat::FromCodePageChar(static_cast<unsigned char>(c)));
}

int ArgInt(va_list* ap)
{
    return va_arg(*ap, int);
}

// The engine. `Fmt` is the format's character type, which also decides what
// plain %s and %c take (16-bit text for a 16-bit format).
template <typename Fmt, typename Sink>
bool RunFormat(Sink& sink, const Fmt* format, va_list* ap)
{
    Writer<Sink> w(sink);
    if (format == nullptr)
        return true;
    constexpr bool kWideFormat = sizeof(Fmt) == 2;
    const Fmt* p = format;
    while (*p != 0 && w.Ok()) {
        if (*p != '%') {
            w.Put(ConvertChar<typename Sink::Char>(*p));
            ++p;
            continue;
        }
        const Fmt* start = p++;
        Spec spec;
        for (;; ++p) {
            if (*p == '-')
                spec.left = true;
            else if (*p == '+')
                spec.plus = true;
            else if (*p == ' ')
                spec.space = true;
            else if (*p == '#')
                spec.alt = true;
            else if (*p == '0')
                spec.zero = true;
            else
                break;
        }
        if (*p == '*') {
            const int v = ArgInt(ap);
            if (v < 0) {
                spec.left = true;
                spec.width = static_cast<size_t>(0u - static_cast<unsigned>(v));
            } else {
                spec.width = static_cast<size_t>(v);
            }
            ++p;
        } else {
            for (; *p >= '0' && *p <= '9'; ++p) {
                if (spec.width < 100000000)
                    spec.width = spec.width * 10 + static_cast<size_t>(*p - '0');
            }
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                const int v = ArgInt(ap);
                spec.precision = v < 0 ? -1 : v;
                ++p;
            } else {
                int v = 0;
                for (; *p >= '0' && *p <= '9'; ++p) {
                    if (v < 100000000)
                        v = v * 10 + (*p - '0');
                }
                spec.precision = v;
            }
        }
        switch (*p) {
        case 'h':
            ++p;
            spec.length = Length::h;
            if (*p == 'h') {
                spec.length = Length::hh;
                ++p;
            }
            break;
        case 'l':
            ++p;
            spec.length = Length::l;
            if (*p == 'l') {
                spec.length = Length::ll;
                ++p;
            }
            break;
        case 'q':
        case 'L':
            ++p;
            spec.length = Length::L;
            break;
        case 'w':
            ++p;
            spec.length = Length::w;
            break;
        case 'z':
            ++p;
            spec.length = Length::z;
            break;
        case 'j':
            ++p;
            spec.length = Length::j;
            break;
        case 't':
            ++p;
            spec.length = Length::t;
            break;
        case 'I':
            if (p[1] == '6' && p[2] == '4') {
                p += 3;
                spec.length = Length::ll;
            } else if (p[1] == '3' && p[2] == '2') {
                p += 3;
                spec.length = Length::l;
            } else {
                ++p;
                spec.length = Length::z;
            }
            break;
        default:
            break;
        }
        const Fmt c = *p;
        if (c == 0) {
            // A format that ends inside a conversion is printed as it stands.
            for (const Fmt* q = start; q < p && w.Ok(); ++q)
                w.Put(ConvertChar<typename Sink::Char>(*q));
            break;
        }
        ++p;
        switch (c) {
        case '%':
            w.Put('%');
            break;
        case 'd':
        case 'i': {
            int64_t v = 0;
            switch (spec.length) {
            case Length::hh: v = static_cast<signed char>(ArgInt(ap)); break;
            case Length::h: v = static_cast<short>(ArgInt(ap)); break;
            case Length::l: v = static_cast<int32_t>(va_arg(*ap, long)); break;
            case Length::ll:
            case Length::L: v = va_arg(*ap, long long); break;
            case Length::z:
            case Length::t: v = va_arg(*ap, ptrdiff_t); break;
            case Length::j: v = va_arg(*ap, intmax_t); break;
            default: v = ArgInt(ap); break;
            }
            const uint64_t mag = v < 0 ? 0u - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            FormatInteger(w, spec, 'd', mag, v < 0);
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            uint64_t v = 0;
            switch (spec.length) {
            case Length::hh: v = static_cast<unsigned char>(va_arg(*ap, unsigned)); break;
            case Length::h: v = static_cast<unsigned short>(va_arg(*ap, unsigned)); break;
            case Length::l: v = static_cast<uint32_t>(va_arg(*ap, unsigned long)); break;
            case Length::ll:
            case Length::L: v = va_arg(*ap, unsigned long long); break;
            case Length::z:
            case Length::t: v = va_arg(*ap, size_t); break;
            case Length::j: v = va_arg(*ap, uintmax_t); break;
            default: v = va_arg(*ap, unsigned); break;
            }
            FormatInteger(w, spec, static_cast<char>(c == 'u' ? 'u' : c), v, false);
            break;
        }
        case 'p': {
            const uint64_t v = reinterpret_cast<uintptr_t>(va_arg(*ap, void*));
            Spec ps = spec;
            ps.precision = static_cast<int>(sizeof(void*) * 2);
            FormatInteger(w, ps, 'p', v, false);
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            const double v = spec.length == Length::L ? static_cast<double>(va_arg(*ap, long double))
                                                      : va_arg(*ap, double);
            FormatFloat(w, spec, static_cast<char>(c), v);
            break;
        }
        case 'c':
        case 'C': {
            const int v = ArgInt(ap);
            bool wide = kWideFormat;
            if (c == 'C')
                wide = !wide;
            if (spec.length == Length::h)
                wide = false;
            else if (spec.length == Length::l || spec.length == Length::w)
                wide = true;
            w.PadBefore(1, spec);
            if (wide)
                w.Put(ConvertChar<typename Sink::Char>(static_cast<char16_t>(v)));
            else
                w.Put(ConvertChar<typename Sink::Char>(static_cast<char>(v)));
            w.PadAfter(1, spec);
            break;
        }
        case 's':
        case 'S': {
            bool wide = kWideFormat;
            if (c == 'S')
                wide = !wide;
            if (spec.length == Length::h)
                wide = false;
            else if (spec.length == Length::l || spec.length == Length::w)
                wide = true;
            const size_t limit = spec.precision < 0 ? static_cast<size_t>(-1) : static_cast<size_t>(spec.precision);
            if (wide) {
                const char16_t* s = va_arg(*ap, const char16_t*);
                if (s == nullptr)
                    w.Text8("(null)", limit, spec);
                else
                    w.Text16(s, limit, spec);
            } else {
                const char* s = va_arg(*ap, const char*);
                w.Text8(s == nullptr ? "(null)" : s, limit, spec);
            }
            break;
        }
        case 'n':
            (void)va_arg(*ap, void*);
            break;
        default:
            // An unknown conversion is printed as it stands.
            for (const Fmt* q = start; q < p && w.Ok(); ++q)
                w.Put(ConvertChar<typename Sink::Char>(*q));
            break;
        }
    }
    return w.Ok();
}

template <typename Out, typename Fmt>
int FormatInto(Out* buffer, size_t count, const Fmt* format, va_list args)
{
    if (buffer == nullptr || count == 0)
        return -1;
    const size_t cap = count - 1 < static_cast<size_t>(INT_MAX) ? count - 1 : static_cast<size_t>(INT_MAX);
    BufferSink<Out> sink{buffer, cap, 0};
    va_list ap;
    va_copy(ap, args);
    const bool complete = RunFormat(sink, format, &ap);
    va_end(ap);
    buffer[sink.used] = 0;
    return complete ? static_cast<int>(sink.used) : -1;
}

}  // namespace

int vswprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args)
{
    return FormatInto(buffer, count, format, args);
}

int swprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    const int r = FormatInto(buffer, count, format, args);
    va_end(args);
    return r;
}

int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    const int r = FormatInto(buffer, count, format, args);
    va_end(args);
    return r;
}

int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args)
{
    return FormatInto(buffer, count, format, args);
}

int qplat_vsnprintf(char* buffer, size_t count, const char* format, va_list args)
{
    return FormatInto(buffer, count, format, args);
}

int qplat_snprintf(char* buffer, size_t count, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int r = FormatInto(buffer, count, format, args);
    va_end(args);
    return r;
}

namespace qplat {

std::u16string FormatV(const WCHAR* format, va_list args)
{
    std::u16string text;
    StringSink sink{&text, kFormatMaxLength};
    va_list ap;
    va_copy(ap, args);
    RunFormat(sink, format, &ap);
    va_end(ap);
    return text;
}

std::u16string Format(const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    std::u16string text = FormatV(format, args);
    va_end(args);
    return text;
}

}  // namespace qplat
