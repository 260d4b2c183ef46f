#include "arrays/input_fault.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>

void setFault(InputFault& fault, const char* mnemonic, const char* format, ...) {
    if (fault) return;
    fault.mnemonic = mnemonic;
    va_list args;
    va_start(args, format);
    std::vsnprintf(fault.message, sizeof fault.message, format, args);
    va_end(args);
}

bool isWholeInRange(double x, double low, double high) {
    return x >= low && x <= high && std::trunc(x) == x;
}
