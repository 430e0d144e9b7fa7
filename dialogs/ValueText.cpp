#include "dialogs/ValueText.h"

#include <cstdint>

#include "platform/WinText.h"
#include "screens/ResultTable.h"
#include "settings/DeviceSetup.h"

bool UsesInches(const ParamBlock& block)
{
    return GetUnitFactor(block.unitSystem) != VALUE_MILLI_DIVISOR;
}

LONG LengthDivisor(const ParamBlock& block)
{
    return GetUnitFactor(block.unitSystem);
}

int ValueDecimals(const ParamBlock& block)
{
    return UsesInches(block) ? 3 : 2;
}

int LengthUnitTextId(const ParamBlock& block)
{
    return UsesInches(block) ? TEXT_UNIT_INCH : TEXT_UNIT_MM;
}

void FormatScaledValue(LONG word, LONG divisor, int decimals, WCHAR* text, size_t chars)
{
    if (!text || chars == 0) return;
    if (divisor < 1) divisor = 1;
    if (decimals < 0) decimals = 0;
    if (decimals > 6) decimals = 6;
    uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    // |word| * 10^6 stays far below 2^64.
    const uint64_t magnitude = word < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(word)) : static_cast<uint64_t>(word);
    const uint64_t scaled = magnitude * scale;
    uint64_t q = scaled / static_cast<uint64_t>(divisor);
    if (2 * (scaled % static_cast<uint64_t>(divisor)) >= static_cast<uint64_t>(divisor)) ++q;
    const bool negative = word < 0 && q != 0;
    const unsigned long long whole = q / scale;
    const unsigned long long fraction = q % scale;
    if (decimals == 0)
        swprintf(text, chars, u"%s%llu", negative ? u"-" : u"", whole);
    else
        swprintf(text, chars, u"%s%llu.%0*llu", negative ? u"-" : u"", whole, decimals, fraction);
}

bool ParseScaledValue(const WCHAR* text, LONG divisor, LONG* word)
{
    if (!text || !word || divisor < 1) return false;
    const WCHAR* p = text;
    while (*p == u' ' || *p == u'\t') ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
    // The digits of the number without its point, most significant first,
    // and how many places follow the point. Leading zeros do not change the
    // digits' integer, so they are not kept.
    constexpr int kMaxDigits = 160;
    int digits[kMaxDigits];
    int count = 0, afterPoint = 0, seen = 0;
    bool point = false;
    for (;; ++p) {
        if (*p >= u'0' && *p <= u'9') {
            ++seen;
            if (point) ++afterPoint;
            if (count == 0 && *p == u'0') continue;
            if (count >= kMaxDigits) return false;
            digits[count++] = *p - u'0';
        } else if (*p == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    while (*p == u' ' || *p == u'\t') ++p;
    if (*p != 0 || seen == 0) return false;
    // value = digits * divisor / 10^afterPoint, truncated: multiply the
    // decimal digits by the divisor, then drop the last afterPoint digits.
    int product[kMaxDigits + 12] = {};  // least significant first
    int length = 0;
    int64_t carry = 0;
    for (int i = count - 1; i >= 0; --i) {
        const int64_t v = static_cast<int64_t>(digits[i]) * divisor + carry;
        product[length++] = static_cast<int>(v % 10);
        carry = v / 10;
    }
    while (carry > 0) {
        product[length++] = static_cast<int>(carry % 10);
        carry /= 10;
    }
    const int64_t limit = negative ? int64_t{2147483648} : int64_t{2147483647};
    int64_t value = 0;
    for (int i = length - 1; i >= afterPoint; --i) {
        value = value * 10 + product[i];
        if (value > limit) return false;
    }
    *word = static_cast<LONG>(negative ? -value : value);
    return true;
}

bool NormaliseEntry(const WCHAR* entry, LONG divisor, int decimals, WCHAR* text, size_t chars, LONG* word)
{
    LONG typed = 0, shown = 0;
    WCHAR buffer[VALUE_TEXT_CHARS];
    if (!ParseScaledValue(entry, divisor, &typed)) return false;
    FormatScaledValue(typed, divisor, decimals, buffer, VALUE_TEXT_CHARS);
    // The shown text is what gets saved; rounding may carry it past the range.
    if (!ParseScaledValue(buffer, divisor, &shown)) return false;
    if (text && chars > 0) qplat::CopyField(text, chars, buffer);
    if (word) *word = shown;
    return true;
}

int RefusedEntryTextId(const WCHAR* entry)
{
    // The shape ParseScaledValue takes: blanks, a sign, digits with at most
    // one point (at least one digit), blanks.
    const WCHAR* p = entry ? entry : u"";
    while (*p == u' ' || *p == u'\t') ++p;
    if (*p == u'+' || *p == u'-') ++p;
    bool point = false, digit = false;
    for (;; ++p) {
        if (*p >= u'0' && *p <= u'9')
            digit = true;
        else if (*p == u'.' && !point)
            point = true;
        else
            break;
    }
    while (*p == u' ' || *p == u'\t') ++p;
    return digit && *p == 0 ? TEXT_OUT_OF_RANGE : TEXT_NOT_A_NUMBER;
}

bool SameName(const WCHAR* a, const WCHAR* b)
{
    return wcsncmp(a, b, NAME_FIELD_CHARS) == 0;
}

bool IsCurrentName(const WCHAR* name, const WCHAR* current)
{
    return current && current[0] != 0 && SameName(name, current);
}

void CopyName(WCHAR* field, const WCHAR* name)
{
    qplat::CopyField(field, NAME_FIELD_CHARS, name ? name : u"");
}
