// A host's floating-point control words, read and set as a host would, for the tests and the
// interface fuzzer that check what the component does with them. x86 only.
#pragma once

#if defined(__i386__) || defined(__x86_64__)
#include <ostream>

#include <xmmintrin.h>

namespace kestrol::testing_support {

struct ControlState {
    unsigned short x87;
    unsigned int sse;  ///< MXCSR without the status flags
    bool operator==(const ControlState& other) const { return x87 == other.x87 && sse == other.sse; }
};
inline void PrintTo(const ControlState& state, std::ostream* os) { *os << std::hex << state.x87 << "/" << state.sse; }

inline ControlState ReadControl() {
    ControlState state{};
    __asm__ __volatile__("fnstcw %0" : "=m"(state.x87));
    state.sse = _mm_getcsr() & ~0x3Fu;
    return state;
}

/// Clears the x87 flags first: with an exception unmasked, a raised flag would trap at once.
inline void WriteControl(const ControlState& state) {
    __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(state.x87));
    _mm_setcsr(state.sse);
}

}  // namespace kestrol::testing_support
#endif
