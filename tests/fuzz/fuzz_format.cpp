// The text runtime fed arbitrary formats and number texts: the formatter
// never writes past its count and always terminates, the parsers' end
// pointers stay inside the text, and the conversions are stable.
//
// The first byte picks the case, the second the output size; the rest is the
// format or text. A format gets a fixed argument list: pointers to a short
// text (valid read as 8-bit or 16-bit) and doubles, enough for the few
// conversions a format is allowed here, so every conversion reads something
// that was passed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/WinText.h"
#include "tests/fuzz/FuzzProgramRoot.h"

namespace {

const char16_t kArgText[] = u"fuzz";
constexpr int kMaxConversions = 6;

template <typename Char>
std::basic_string<Char> LimitConversions(std::basic_string<Char> format)
{
    int seen = 0;
    for (Char& c : format) {
        if (c == '%' && ++seen > kMaxConversions)
            c = 'x';
    }
    return format;
}

#define QAV_FUZZ_ARGS                                                                      \
    p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, p, \
        p, p, p, p, p, p, p, p, p, p, p, 1.5, -2.25, 1e300, 0.0, 3.0, 4.0, 5.0, 6.0

void FuzzWideFormat(const uint8_t* data, size_t size, size_t count)
{
    std::u16string format;
    for (size_t i = 0; i + 1 < size; i += 2)
        format.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    format = LimitConversions(format);
    const void* p = kArgText;
    char16_t* out = count > 0 ? new char16_t[count] : nullptr;
    const int r = swprintf(out, count, format.c_str(), QAV_FUZZ_ARGS);
    Check(r == -1 || (r >= 0 && static_cast<size_t>(r) < count && out[r] == 0));
    if (count > 0)
        Check(wcsnlen(out, count) < count);
    delete[] out;
    const std::u16string whole = qplat::Format(format.c_str(), QAV_FUZZ_ARGS);
    Check(whole.size() <= qplat::kFormatMaxLength);
}

void FuzzNarrowFormat(const uint8_t* data, size_t size, size_t count)
{
    std::string format(reinterpret_cast<const char*>(data), size);
    format = LimitConversions(std::string(format.c_str()));
    const void* p = kArgText;
    char* out = count > 0 ? new char[count] : nullptr;
    const int r = qplat_snprintf(out, count, format.c_str(), QAV_FUZZ_ARGS);
    Check(r == -1 || (r >= 0 && static_cast<size_t>(r) < count && out[r] == 0));
    delete[] out;
}

void FuzzParsers(const uint8_t* data, size_t size)
{
    std::u16string text;
    for (size_t i = 0; i < size; ++i)
        text.push_back(data[i] < 0x80 ? static_cast<char16_t>(data[i]) : static_cast<char16_t>(0x0400 + data[i]));
    const WCHAR* s = text.c_str();
    WCHAR* end = nullptr;
    (void)wcstod(s, &end);
    Check(end >= s && end <= s + text.size());
    for (int radix : {0, 2, 10, 16, 36, static_cast<int>(size % 40)}) {
        (void)wcstol(s, &end, radix);
        Check(end >= s && end <= s + text.size());
        (void)wcstoul(s, &end, radix);
        Check(end >= s && end <= s + text.size());
    }
    (void)_wtol(s);
    (void)_wtof(s);
    WCHAR digits[40];
    _itow(_wtoi(s), digits, static_cast<int>(size % 40));
    Check(wcslen(digits) < 34);
}

void FuzzConversions(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string once = qplat::FromUtf8(bytes);
    Check(qplat::FromUtf8(qplat::ToUtf8(once)) == once);

    std::u16string units;
    for (size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const std::u16string cleaned = qplat::FromUtf8(qplat::ToUtf8(units));
    Check(qplat::FromUtf8(qplat::ToUtf8(cleaned)) == cleaned);
    Check(cleaned.size() <= units.size());

    const std::u16string page = qplat::FromCodePage(bytes);
    Check(qplat::ToCodePage(page) == bytes);

    WCHAR upper[64];
    qplat::CopyField(upper, 64, units.c_str());
    _wcsupr(upper);
    const size_t len = wcslen(units.c_str());
    Check(wcslen(upper) == (len < 63 ? len : 63));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t count = data[1] % 80;
    switch (data[0] % 4) {
    case 0: FuzzWideFormat(data + 2, size - 2, count); break;
    case 1: FuzzNarrowFormat(data + 2, size - 2, count); break;
    case 2: FuzzParsers(data + 2, size - 2); break;
    default: FuzzConversions(data + 2, size - 2); break;
    }
    return 0;
}
