#include "kernel/fault.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>

void setFault(Fault& fault, const char* mnemonic, const char* input, const char* format, ...) {
    if (fault) return;
    fault.mnemonic = mnemonic;
    fault.input = input;
    va_list args;
    va_start(args, format);
    std::vsnprintf(fault.detail, sizeof fault.detail, format, args);
    va_end(args);
}

bool isWholeInRange(double x, double low, double high) { return x >= low && x <= high && std::trunc(x) == x; }
