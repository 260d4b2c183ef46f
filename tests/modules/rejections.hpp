// Every rejection the modules make, each with a call that causes it: the
// table the module tests run and docs/robustness.md shows.
#ifndef TESTS_MODULES_REJECTIONS_HPP
#define TESTS_MODULES_REJECTIONS_HPP

#include <functional>
#include <string>
#include <vector>

#include "case_names.hpp"
#include "module_calls.hpp"

struct Rejection {
    std::string label;  // the rejected input, as docs/robustness.md lists it
    std::function<Call(Example&)> call;
    std::string id;  // "<module>:<mnemonic>"
};

PRINT_CASES_BY_LABEL(Rejection)

const std::vector<Rejection>& rejectionTable();

// doc with the text between its rejection-table markers replaced by the
// table rendered from the modules' contracts and rejectionTable(); throws
// std::runtime_error when the markers are missing.
std::string withRejectionTable(const std::string& doc);

#endif
