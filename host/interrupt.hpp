// How a call that Ctrl-C stopped ends, host by host.
#ifndef HOST_INTERRUPT_HPP
#define HOST_INTERRUPT_HPP

namespace host {

// Ends the call as the error id with message, the host's flag left set so
// that the host's own handling of Ctrl-C follows. Octave forgets a waiting
// Ctrl-C whenever a try/catch catches an error, so there the call ends as
// Octave's own interrupt, which no try/catch catches, with id and message
// kept as the last error (lasterr).
[[noreturn]] void endInterruptedCall(const char* id, const char* message);

}  // namespace host

#endif
