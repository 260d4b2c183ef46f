#include "kernel/interrupt.hpp"

void setInterrupted(Fault& fault) {
    setFault(fault, "interrupted", nullptr, "Interrupted: the call was stopped by Ctrl-C before it ended.");
}
