// Several fields checked in one expectation that still says which of them
// failed: each is named by the expression that reads it, and a failure lists
// every field that differs, with what it holds and what was expected.
//
//   EXPECT_TRUE(FieldsAre(FIELD_IS(t.wYear, 2025), FIELD_IS(t.wMonth, 1)));
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

namespace qtest {

// How a field is held for the comparison: a 16-bit or 8-bit text (an array or
// a pointer) as a string, anything else as it is.
template <class A, class D = std::decay_t<A>>
using HeldAs = std::conditional_t<
    std::is_same_v<D, char16_t*> || std::is_same_v<D, const char16_t*>, std::u16string,
    std::conditional_t<std::is_same_v<D, char*> || std::is_same_v<D, const char*>, std::string, D>>;

template <class T>
struct Field {
    const char* name;
    T actual;
    T expected;
};

template <class A, class E>
Field<HeldAs<A>> MakeField(const char* name, const A& actual, const E& expected)
{
    return {name, HeldAs<A>(actual), static_cast<HeldAs<A>>(expected)};
}

template <class... T>
::testing::AssertionResult FieldsAre(const Field<T>&... fields)
{
    std::string wrong;
    const auto note = [&wrong](const auto& f) {
        if (!(f.actual == f.expected))
            wrong += std::string("\n  ") + f.name + " is " + ::testing::PrintToString(f.actual) + ", expected " +
                     ::testing::PrintToString(f.expected);
    };
    (note(fields), ...);
    if (wrong.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "fields that differ:" << wrong;
}

}  // namespace qtest

// A field named by the expression that reads it.
#define FIELD_IS(actual, expected) ::qtest::MakeField(#actual, actual, expected)
