// Lengths, copies, compares, case mapping and character classes of the
// 16-bit runtime. A null pointer handed to a reading function reads as an
// empty text: the handheld's code passes unset buffers in places, and a
// crash in the field is worse than an empty text.
#include "platform/WinText.h"

namespace {

// Case pairs laid out as "upper at an even code, lower at the next odd one"
// (or the other way round) over a block.
bool InEvenOddBlock(WCHAR c)
{
    return (c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) ||
           (c >= 0x014A && c <= 0x0177) || (c >= 0x0460 && c <= 0x0481) ||
           (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x04FF);
}

bool InOddEvenBlock(WCHAR c)
{
    return (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E) ||
           (c >= 0x04C1 && c <= 0x04CE);
}

// Compares at most n characters after `fold`; the difference of the first
// folded pair that differs, as the C runtime's compares give it.
template <typename Fold>
int CompareFolded(const WCHAR* a, const WCHAR* b, size_t n, Fold fold)
{
    static const WCHAR empty[1] = {0};
    if (a == nullptr)
        a = empty;
    if (b == nullptr)
        b = empty;
    for (size_t i = 0; i < n; ++i) {
        const int ca = fold(a[i]);
        const int cb = fold(b[i]);
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            break;
    }
    return 0;
}

}  // namespace

size_t wcslen(const WCHAR* s)
{
    if (s == nullptr)
        return 0;
    const WCHAR* p = s;
    while (*p != 0)
        ++p;
    return static_cast<size_t>(p - s);
}

size_t wcsnlen(const WCHAR* s, size_t maxLen)
{
    if (s == nullptr)
        return 0;
    size_t n = 0;
    while (n < maxLen && s[n] != 0)
        ++n;
    return n;
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src)
{
    if (dst == nullptr)
        return dst;
    size_t i = 0;
    if (src != nullptr) {
        for (; src[i] != 0; ++i)
            dst[i] = src[i];
    }
    dst[i] = 0;
    return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n)
{
    if (dst == nullptr)
        return dst;
    size_t i = 0;
    if (src != nullptr) {
        for (; i < n && src[i] != 0; ++i)
            dst[i] = src[i];
    }
    for (; i < n; ++i)
        dst[i] = 0;
    return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src)
{
    if (dst == nullptr)
        return dst;
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t n)
{
    if (dst == nullptr)
        return dst;
    WCHAR* end = dst + wcslen(dst);
    size_t i = 0;
    if (src != nullptr) {
        for (; i < n && src[i] != 0; ++i)
            end[i] = src[i];
    }
    end[i] = 0;
    return dst;
}

int wcscmp(const WCHAR* a, const WCHAR* b)
{
    return wcsncmp(a, b, static_cast<size_t>(-1));
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n)
{
    return CompareFolded(a, b, n, [](WCHAR c) { return static_cast<int>(c); });
}

int _wcsicmp(const WCHAR* a, const WCHAR* b)
{
    return _wcsnicmp(a, b, static_cast<size_t>(-1));
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n)
{
    return CompareFolded(a, b, n, [](WCHAR c) { return static_cast<int>(towlower(c)); });
}

const WCHAR* wcschr(const WCHAR* s, WCHAR c)
{
    if (s == nullptr)
        return nullptr;
    for (;; ++s) {
        if (*s == c)
            return s;
        if (*s == 0)
            return nullptr;
    }
}

WCHAR* wcschr(WCHAR* s, WCHAR c)
{
    return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(s), c));
}

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c)
{
    if (s == nullptr)
        return nullptr;
    const WCHAR* found = nullptr;
    for (;; ++s) {
        if (*s == c)
            found = s;
        if (*s == 0)
            return found;
    }
}

WCHAR* wcsrchr(WCHAR* s, WCHAR c)
{
    return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(s), c));
}

const WCHAR* wcsstr(const WCHAR* s, const WCHAR* sub)
{
    if (s == nullptr)
        return nullptr;
    if (sub == nullptr || *sub == 0)
        return s;
    for (; *s != 0; ++s) {
        size_t i = 0;
        while (sub[i] != 0 && s[i] == sub[i])
            ++i;
        if (sub[i] == 0)
            return s;
    }
    return nullptr;
}

WCHAR* wcsstr(WCHAR* s, const WCHAR* sub)
{
    return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(s), sub));
}

WCHAR* _wcsupr(WCHAR* s)
{
    if (s != nullptr) {
        for (WCHAR* p = s; *p != 0; ++p)
            *p = towupper(*p);
    }
    return s;
}

WCHAR* _wcslwr(WCHAR* s)
{
    if (s != nullptr) {
        for (WCHAR* p = s; *p != 0; ++p)
            *p = towlower(*p);
    }
    return s;
}

WCHAR towupper(WCHAR c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 0x20) : c;
    if (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7)
        return static_cast<WCHAR>(c - 0x20);
    if (c == 0x00FF)
        return 0x0178;
    if (c == 0x0131)
        return u'I';
    if (c == 0x017F)
        return u'S';
    if (InEvenOddBlock(c))
        return (c & 1) ? static_cast<WCHAR>(c - 1) : c;
    if (InOddEvenBlock(c))
        return (c & 1) ? c : static_cast<WCHAR>(c - 1);
    if (c >= 0x0430 && c <= 0x044F)
        return static_cast<WCHAR>(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F)
        return static_cast<WCHAR>(c - 0x50);
    if (c == 0x04CF)
        return 0x04C0;
    return c;
}

WCHAR towlower(WCHAR c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 0x20) : c;
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7)
        return static_cast<WCHAR>(c + 0x20);
    if (c == 0x0178)
        return 0x00FF;
    if (c == 0x0130)
        return u'i';
    if (InEvenOddBlock(c))
        return (c & 1) ? c : static_cast<WCHAR>(c + 1);
    if (InOddEvenBlock(c))
        return (c & 1) ? static_cast<WCHAR>(c + 1) : c;
    if (c >= 0x0410 && c <= 0x042F)
        return static_cast<WCHAR>(c + 0x20);
    if (c >= 0x0400 && c <= 0x040F)
        return static_cast<WCHAR>(c + 0x50);
    if (c == 0x04C0)
        return 0x04CF;
    return c;
}

int iswdigit(WCHAR c)
{
    return c >= u'0' && c <= u'9';
}

int iswxdigit(WCHAR c)
{
    return iswdigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int iswspace(WCHAR c)
{
    return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 ||
           c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

int iswalpha(WCHAR c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (c < 0x100)
        return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
    if (c <= 0x02AF)
        return 1;  // Latin Extended-A and -B, IPA
    if (c >= 0x0386 && c <= 0x03FF)
        return c != 0x0387 && c != 0x03F6;  // Greek
    if (c >= 0x0400 && c <= 0x052F)
        return !(c >= 0x0482 && c <= 0x0489);  // Cyrillic letters, not the signs
    return 0;
}
