#include "module_calls.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

standin::MexFunction module(const std::string& name) {
    static std::map<std::string, standin::MexFunction> loaded;
    auto found = loaded.find(name);
    if (found != loaded.end()) return found->second;
    return loaded[name] = standin::loadModule(std::string(STANDIN_MODULE_DIR) + "/" + name + ".so");
}

}  // namespace

Arrays::~Arrays() {
    for (mxArray* a : owned_) standin::destroyArray(a);
}

mxArray* Arrays::keep(mxArray* a) {
    owned_.push_back(a);
    return a;
}

const mxArray* Arrays::dbl(std::size_t m, std::size_t n, std::vector<double> v) {
    return keep(standin::createDouble(m, n, v));
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

standin::CallOutcome run(const Call& call) {
    std::vector<std::vector<double>> before;
    for (const mxArray* in : call.inputs) before.push_back(standin::values(in));
    standin::setMemoryLimit(call.memoryLimit);
    standin::setInterrupt(call.interrupted);
    standin::CallOutcome outcome =
        standin::callGateway(module(call.module), call.module.c_str(), call.nlhs, call.inputs);
    standin::setInterrupt(false);
    standin::setMemoryLimit(SIZE_MAX);
    for (std::size_t i = 0; i < call.inputs.size(); ++i) {
        EXPECT_TRUE(sameBits(standin::values(call.inputs[i]), before[i])) << call.module << " changed input " << i + 1;
    }
    return outcome;
}

std::vector<double> result(const Call& call, std::size_t rows, std::size_t cols) {
    standin::CallOutcome outcome = run(call);
    EXPECT_FALSE(outcome.failed()) << call.module << ": " << outcome.errorId << ": " << outcome.errorMessage;
    if (outcome.failed()) return {};
    EXPECT_EQ(mxGetM(outcome.result), rows) << call.module;
    EXPECT_EQ(mxGetN(outcome.result), cols) << call.module;
    std::vector<double> values = standin::values(outcome.result);
    standin::destroyArray(outcome.result);
    return values;
}

Call acceptedCall(const std::string& module, Example& x) {
    if (module == "Ortesk_count_mex") return {module, {x.unused, x.S}};
    if (module == "Ortesk_slots_mex") return {module, {x.unused, x.S, x.counts}};
    if (module == "Quivane_mex") return {module, {x.a3, x.w, x.list, x.codes, x.cum}};
    if (module == "Quivane_states_mex") return {module, {x.S, x.w}};
    return {module, {x.T3, x.ones, x.S, x.P}};
}

Call scratchTakingCall(const std::string& module, Example& x) {
    Call c = acceptedCall(module, x);
    if (module == "Quivane_mex") c.inputs.push_back(x.arrays.keep(standin::createText("sparse")));
    return c;
}
