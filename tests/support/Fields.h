// Several fields checked in one expectation that still says which of them
// failed: EXPECT_TRUE(FieldsAre(FIELD_IS(t.wYear, 2025), FIELD_IS(t.wMonth, 1)))
// lists every field that differs, named by the expression that reads it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

namespace qtest {

// A text (an array or a pointer) is compared as a string, anything else as it is.
template <class A, class D = std::decay_t<A>>
using HeldAs = std::conditional_t<
    std::is_same_v<D, char16_t*> || std::is_same_v<D, const char16_t*>, std::u16string,
    std::conditional_t<std::is_same_v<D, char*> || std::is_same_v<D, const char*>, std::string, D>>;

template <class A, class E>
struct NamedField {
    const char* name;
    A actual;
    E expected;
};

template <class A, class E>
NamedField<HeldAs<A>, HeldAs<E>> MakeField(const char* name, const A& actual, const E& expected)
{
    return {name, HeldAs<A>(actual), HeldAs<E>(expected)};
}

template <class... A, class... E>
::testing::AssertionResult FieldsAre(const NamedField<A, E>&... fields)
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
