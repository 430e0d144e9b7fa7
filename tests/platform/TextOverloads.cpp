// The runtime overloads the host's wchar_t functions on char16_t. This unit
// includes the host's own wide-character headers next to it and checks that
// every char16_t call resolves to the runtime, with no ambiguity.
//
// One call cannot be made unambiguous: towupper/towlower/isw* with a plain
// char or int argument (for example towupper('a')) matches the host's
// wint_t version and ours equally well and does not compile. The program
// always passes a WCHAR, which picks ours exactly. Likewise a bare nullptr
// (or NULL) as the text of wcslen, wcscpy and the like is ambiguous: a null
// text must be typed (const WCHAR* none = nullptr).
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>
#include <type_traits>

#include <gtest/gtest.h>

#include "platform/WinText.h"
#include "tests/support/Fields.h"

namespace {

TEST(TextOverloads, CharSixteenCallsResolveNextToHostHeaders)
{
    WCHAR buf[64];
    const WCHAR* cbuf = buf;
    wcscpy(buf, u"Abc");
    wcsncpy(buf + 3, u"d", 2);
    wcscat(buf, u"e");
    wcsncat(buf, u"fgh", 1);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(wcslen(buf), 6u), FIELD_IS(wcsnlen(buf, 3), 3u),
                                 FIELD_IS(wcscmp(buf, u"Abcdef"), 0), FIELD_IS(wcsncmp(buf, u"Abx", 2), 0),
                                 FIELD_IS(_wcsicmp(buf, u"ABCDEF"), 0), FIELD_IS(_wcsnicmp(buf, u"abX", 2), 0)));
    static_assert(std::is_same_v<decltype(wcschr(buf, u'c')), WCHAR*>);
    static_assert(std::is_same_v<decltype(wcschr(cbuf, u'c')), const WCHAR*>);
    static_assert(std::is_same_v<decltype(wcsrchr(cbuf, u'c')), const WCHAR*>);
    static_assert(std::is_same_v<decltype(wcsstr(buf, u"c")), WCHAR*>);
    static_assert(std::is_same_v<decltype(towupper(u'a')), WCHAR>);
    EXPECT_EQ(wcschr(buf, u'c'), buf + 2);
    EXPECT_EQ(wcschr(buf, 'c'), buf + 2);  // a char for the character converts
    EXPECT_EQ(wcsrchr(cbuf, u'A'), cbuf);
    EXPECT_EQ(wcsstr(buf, u"de"), buf + 3);
    EXPECT_EQ(towupper(u'ж'), u'Ж');
    EXPECT_EQ(towlower(WCHAR{'Q'}), u'q');
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(iswdigit(buf[0]) != 0, false), FIELD_IS(iswalpha(buf[0]) != 0, true),
                                 FIELD_IS(iswspace(u' ') != 0, true), FIELD_IS(iswxdigit(u'F') != 0, true)));
    _wcsupr(buf);
    _wcslwr(buf);

    EXPECT_EQ(swprintf(buf, 64, u"%d", 5), 1);
    EXPECT_EQ(_snwprintf(buf, 64, u"%s", u"x"), 1);
    EXPECT_EQ(_itow(12, buf, 10), buf);
    EXPECT_EQ(_ltow(12, buf, 10), buf);
    EXPECT_EQ(_wtol(buf), 12);
    EXPECT_EQ(_wtoi(buf), 12);
    EXPECT_EQ(_wtof(buf), 12.0);
    WCHAR* end = nullptr;
    EXPECT_EQ(wcstol(buf, &end, 10), 12);
    EXPECT_EQ(wcstoul(buf, &end, 10), 12u);
    EXPECT_EQ(wcstod(buf, &end), 12.0);
    static_assert(std::is_same_v<decltype(wcstol(buf, &end, 10)), LONG>);

    // The host's own wide functions stay usable beside them.
    wchar_t host[8];
    EXPECT_EQ(std::swprintf(host, 8, L"%d", 7), 1);
    EXPECT_EQ(std::wcslen(host), 1u);
    EXPECT_EQ(::wcslen(host), 1u);
    EXPECT_EQ(std::towupper(static_cast<wint_t>(L'a')), static_cast<wint_t>(L'A'));
    char narrow[8];
    EXPECT_EQ(std::snprintf(narrow, sizeof(narrow), "%d", 3), 1);
}

}  // namespace
