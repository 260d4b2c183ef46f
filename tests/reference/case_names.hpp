// Table-driven tests register each case as a test of its own, so that CTest
// lists it and a failure names it; its name comes from the case's label.
#ifndef TESTS_REFERENCE_CASE_NAMES_HPP
#define TESTS_REFERENCE_CASE_NAMES_HPP

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

// A test name for a label: letters and digits kept, '-' and '+' spelt out
// (so that "-1" and "1" stay apart), every other run of characters one '_'.
inline std::string caseName(const std::string& label) {
    std::string name;
    for (char c : label) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += c;
        } else if (c == '-' || c == '+') {
            name += c == '-' ? "minus" : "plus";
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name;
}

// Prints a case of type Type by its label, as CTest's name of the test shows
// it; to be used in the namespace that declares Type.
#define PRINT_CASES_BY_LABEL(Type) \
    inline void PrintTo(const Type& c, std::ostream* os) { *os << c.label; }

// Registers one test of Suite per element of cases (a container of structs
// with a `label`), named by caseName.
#define INSTANTIATE_CASES(Suite, cases)                                \
    INSTANTIATE_TEST_SUITE_P(Cases, Suite, ::testing::ValuesIn(cases), \
                             [](const auto& info) { return caseName(info.param.label); })

#endif
