// The host's Ctrl-C flag, found at run time: neither host declares one in
// its MEX interface, and a module must load in both and in the stand-in.
#include "host/interrupt.hpp"

#include <csignal>
#include <cstdlib>

#include "kernel/interrupt.hpp"
#include "mex.h"

#ifdef _WIN32
#include <windows.h>

// After windows.h, whose types it takes; EnumProcessModules from kernel32.dll,
// not psapi.dll.
#define PSAPI_VERSION 2
#include <psapi.h>
#else
#include <dlfcn.h>
#endif

namespace {

struct HostFlag {
    // Octave's octave_interrupt_state: positive while a Ctrl-C waits to be
    // handled. Read through volatile: the signal handler or Octave's signal
    // thread writes it while the call runs.
    const volatile sig_atomic_t* octaveState = nullptr;
    // Octave's octave_handle_signal: throws Octave's own interrupt when one
    // waits.
    void (*octaveHandOver)() = nullptr;
    // MATLAB's utIsInterruptPending, of its libut.
    bool (*matlabPending)() = nullptr;
};

#ifdef _WIN32
// Windows keeps no process-wide symbol table: every loaded DLL is asked in
// turn (MATLAB's libut.dll, Octave's liboctave, the stand-in's libmx.dll).
void* hostSymbol(const char* name) {
    HMODULE modules[1024];
    DWORD bytes = 0;
    if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes)) return nullptr;
    const DWORD count = bytes / sizeof(HMODULE) < 1024 ? bytes / sizeof(HMODULE) : 1024;
    for (DWORD i = 0; i < count; ++i) {
        if (FARPROC found = GetProcAddress(modules[i], name)) {
            return reinterpret_cast<void*>(reinterpret_cast<void (*)()>(found));
        }
    }
    return nullptr;
}
#else
// The module itself defines neither name, so the lookup lands in the host's
// libraries (or the stand-in's), whichever loaded the module.
void* hostSymbol(const char* name) { return dlsym(RTLD_DEFAULT, name); }
#endif

// Resolved once per load of the module: the host's libraries outlive it,
// and a module unloaded by "clear mex" resolves afresh when it is loaded again.
const HostFlag& hostFlag() {
    static const HostFlag flag = [] {
        HostFlag found;
        found.octaveState = static_cast<const volatile sig_atomic_t*>(hostSymbol("octave_interrupt_state"));
        if (found.octaveState) {
            found.octaveHandOver = reinterpret_cast<void (*)()>(hostSymbol("octave_handle_signal"));
        } else {
            found.matlabPending = reinterpret_cast<bool (*)()>(hostSymbol("utIsInterruptPending"));
        }
        return found;
    }();
    return flag;
}

}  // namespace

bool interruptRequested() {
    const HostFlag& flag = hostFlag();
    if (flag.octaveState) return *flag.octaveState > 0;
    return flag.matlabPending && flag.matlabPending();
}

namespace host {

void endInterruptedCall(const char* id, const char* message) {
    const HostFlag& flag = hostFlag();
    if (flag.octaveHandOver && *flag.octaveState > 0) {
        mxArray* reason[2] = {mxCreateString(message), mxCreateString(id)};
        mexCallMATLAB(0, nullptr, 2, reason, "lasterr");
        mxDestroyArray(reason[0]);
        mxDestroyArray(reason[1]);
        flag.octaveHandOver();
    }
    mexErrMsgIdAndTxt(id, "%s", message);
    std::abort();  // the host's error call does not return
}

}  // namespace host
