// Conversions at the edges: UTF-8 for host file names, the log and the
// display; the scheme files' 8-bit code page (Windows-1251); fixed fields.
#include <cstdint>

#include "platform/WinText.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1251 from 0x80 to 0xBF; 0xC0..0xFF are U+0410..U+044F. The one
// unassigned byte, 0x98, maps to U+0098 as the handheld's converter does, so
// every byte survives a round trip.
constexpr char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

namespace qplat {

void CopyField(WCHAR* field, size_t fieldLen, const WCHAR* src)
{
    if (field == nullptr || fieldLen == 0)
        return;
    const size_t n = wcsnlen(src, fieldLen - 1);
    size_t i = 0;
    for (; i < n; ++i)
        field[i] = src[i];
    // The rest of the field is cleared so that no stale text reaches a file.
    for (; i < fieldLen; ++i)
        field[i] = 0;
}

std::u16string FieldText(const WCHAR* field, size_t fieldLen)
{
    if (field == nullptr)
        return std::u16string();
    return std::u16string(field, wcsnlen(field, fieldLen));
}

std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const uint32_t cp = 0x10000 + ((static_cast<uint32_t>(c) - 0xD800) << 10) +
                                (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const uint8_t b0 = static_cast<uint8_t>(text[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte, which rules out
        // overlong forms, surrogates and code points above U+10FFFF.
        size_t len = 0;
        uint8_t lo = 0x80, hi = 0xBF;
        uint32_t cp = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            cp = b0 & 0x0F;
            if (b0 == 0xE0)
                lo = 0xA0;
            else if (b0 == 0xED)
                hi = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            cp = b0 & 0x07;
            if (b0 == 0xF0)
                lo = 0x90;
            else if (b0 == 0xF4)
                hi = 0x8F;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        // Each maximal ill-formed prefix becomes one U+FFFD; the byte that
        // broke the sequence is read again as the start of the next one.
        size_t k = 1;
        bool ok = true;
        for (; k < len; ++k) {
            if (i + k >= n) {
                ok = false;
                break;
            }
            const uint8_t b = static_cast<uint8_t>(text[i + k]);
            const uint8_t min = (k == 1) ? lo : 0x80;
            const uint8_t max = (k == 1) ? hi : 0xBF;
            if (b < min || b > max) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!ok) {
            out.push_back(kReplacement);
            i += k;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

char ToCodePageChar(WCHAR c)
{
    if (c < 0x80)
        return static_cast<char>(c);
    if (c >= 0x0410 && c <= 0x044F)
        return static_cast<char>(0xC0 + (c - 0x0410));
    for (int i = 0; i < 64; ++i) {
        if (kCp1251High[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

WCHAR FromCodePageChar(unsigned char c)
{
    if (c < 0x80)
        return c;
    if (c >= 0xC0)
        return static_cast<WCHAR>(0x0410 + (c - 0xC0));
    return kCp1251High[c - 0x80];
}

std::string ToCodePage(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        // A surrogate pair is one character, with no place in the code page.
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out.push_back('?');
            ++i;
            continue;
        }
        out.push_back(ToCodePageChar(text[i]));
    }
    return out;
}

std::u16string FromCodePage(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const char c : text)
        out.push_back(FromCodePageChar(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace qplat
