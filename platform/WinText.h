// The 16-bit text runtime the program calls: the handheld's wide-character C
// library, over char16_t. Every number is formatted and parsed with a '.'
// decimal point whatever the host locale says.
//
// The names are the runtime's own; they overload the host's wchar_t functions
// on the char16_t parameter types, so the program's code reads as it would on
// the handheld. Conversions to and from UTF-8 and the scheme files' 8-bit code
// page are for the edges only (file names, the display, logs).
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/WinDef.h"

// Lengths, copies and compares. Copies into fixed fields of a record go
// through wcsncpy (or qplat::CopyField, which always terminates).
size_t wcslen(const WCHAR* s);
size_t wcsnlen(const WCHAR* s, size_t maxLen);
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n);
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t n);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n);
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n);
const WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcschr(WCHAR* s, WCHAR c);
const WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(WCHAR* s, WCHAR c);
const WCHAR* wcsstr(const WCHAR* s, const WCHAR* sub);
WCHAR* wcsstr(WCHAR* s, const WCHAR* sub);
WCHAR* _wcsupr(WCHAR* s);
WCHAR* _wcslwr(WCHAR* s);

// Case mapping for ASCII, Latin-1, Latin Extended-A and Cyrillic (U+0400..U+04FF).
// Pass a WCHAR: with a char or int argument, towupper('a') matches the host's
// wint_t version as well as this one and does not compile. Likewise a bare
// nullptr as the text of wcslen, wcscpy and the like needs a type.
WCHAR towupper(WCHAR c);
WCHAR towlower(WCHAR c);
int iswdigit(WCHAR c);
int iswspace(WCHAR c);
int iswalpha(WCHAR c);
int iswxdigit(WCHAR c);

// Numbers. _itow and _ltow support radix 2..36 (negative values only in radix 10,
// as the handheld's runtime does); the parsers stop at the first character that
// does not belong to the number and saturate on overflow.
WCHAR* _itow(int value, WCHAR* buffer, int radix);
WCHAR* _ltow(LONG value, WCHAR* buffer, int radix);
LONG _wtol(const WCHAR* s);
int _wtoi(const WCHAR* s);
double _wtof(const WCHAR* s);
double wcstod(const WCHAR* s, WCHAR** end);
LONG wcstol(const WCHAR* s, WCHAR** end, int radix);
ULONG wcstoul(const WCHAR* s, WCHAR** end, int radix);

// Formatting: %s (16-bit text; %hs and %S take 8-bit text), %c, %d %i %u %ld %lu,
// %x %X, %f %e %g, with flags '-', '0', '+', ' ', width and precision (also '*'),
// and %%. swprintf takes the count of WCHARs in the buffer and always terminates;
// it returns the number of characters written without the terminator, or -1
// when the text had to be cut. _snwprintf is the same call under its other name.
// Also understood: %o, %a, %p, '#', h/hh, ll and I64 (64 bits); l means the
// handheld's 32-bit LONG/ULONG. %n stores nothing. A null %s prints "(null)".
// 8-bit text meeting 16-bit text goes through the code page below.
int swprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...);
int vswprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args);
int _snwprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...);
int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list args);
// 8-bit formatting of the same grammar (scheme files, diagnostic lines).
int qplat_snprintf(char* buffer, size_t count, const char* format, ...);
int qplat_vsnprintf(char* buffer, size_t count, const char* format, va_list args);

namespace qplat {

// Copies at most fieldLen - 1 characters and always terminates within the field:
// the way to store a text into a fixed record field.
void CopyField(WCHAR* field, size_t fieldLen, const WCHAR* src);
// Length of a stored fixed field that may lack its terminator.
inline size_t FieldLength(const WCHAR* field, size_t fieldLen) { return wcsnlen(field, fieldLen); }
// A stored field as a bounded string.
std::u16string FieldText(const WCHAR* field, size_t fieldLen);

// Conversions at the edges.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);
// The 8-bit code page of the scheme files and the sensor replies: Windows-1251
// (ASCII below 0x80, Cyrillic above).
std::string ToCodePage(std::u16string_view text);
std::u16string FromCodePage(std::string_view text);
char ToCodePageChar(WCHAR c);
WCHAR FromCodePageChar(unsigned char c);

// A std::u16string formatted with the runtime's formatter, cut at
// kFormatMaxLength characters.
inline constexpr size_t kFormatMaxLength = size_t{1} << 20;
std::u16string Format(const WCHAR* format, ...);
std::u16string FormatV(const WCHAR* format, va_list args);

}  // namespace qplat
