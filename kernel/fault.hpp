// How a kernel reports inputs outside its contract without knowing the host:
// the reason, the input it concerns and what is wrong with it. The host turns
// these into "<module>:<mnemonic>" and a message that opens with the input's
// number and name as the caller counts them.
#ifndef KERNEL_FAULT_HPP
#define KERNEL_FAULT_HPP

struct Fault {
    const char* mnemonic = nullptr;  // null while the inputs are within the contract
    // The input at fault by the symbol its module's help gives it ("P",
    // "counts"); null for a fault of the call rather than of one input.
    const char* input = nullptr;
    // What is wrong: a clause that opens with "must" when it concerns the
    // input as a whole, else one that names the part first ("entry (4, 2)
    // must ..."). Positions are 1-based; other inputs are named by symbol.
    char detail[512] = {};
    // The sequence of a batch the fault is in (0-based), or -1.
    long long sequence = -1;
    explicit operator bool() const { return mnemonic != nullptr; }
};

// Records the first fault only; later calls leave it as it is.
void setFault(Fault& fault, const char* mnemonic, const char* input, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// True when x is finite, whole and within [low, high].
bool isWholeInRange(double x, double low, double high);

#endif
