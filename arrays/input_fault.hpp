// How a kernel reports input outside its contract without knowing the host:
// a mnemonic for the error identifier and a finished message.
#ifndef ARRAYS_INPUT_FAULT_HPP
#define ARRAYS_INPUT_FAULT_HPP

struct InputFault {
    const char* mnemonic = nullptr;  // null while the inputs are within the contract
    char message[512] = {};
    explicit operator bool() const { return mnemonic != nullptr; }
};

// Records the first fault only; later calls leave it as it is.
void setFault(InputFault& fault, const char* mnemonic, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// True when x is finite, whole and within [low, high].
bool isWholeInRange(double x, double low, double high);

#endif
