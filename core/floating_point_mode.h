// The floating-point modes that decide the bits of a result besides its operands. A result
// kept for reuse is reused only under the mode it was computed in: a host may change the
// rounding direction between two calls.
#pragma once

#include <cfenv>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace kestrol {

/// Rounding direction, flush-to-zero and denormals-are-zero; on 32-bit x86 also the x87
/// control word, through which the mathematics library returns.
inline unsigned FloatingPointMode() noexcept {
#if defined(__i386__) || defined(__x86_64__)
    constexpr unsigned kStatusFlags = 0x3F;  // MXCSR bits 0 to 5 change as it computes
    unsigned mode = _mm_getcsr() & ~kStatusFlags;
#if defined(__i386__)
    unsigned short x87Control = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(x87Control));
    mode ^= static_cast<unsigned>(x87Control) << 16;
#endif
    return mode;
#else
    return static_cast<unsigned>(std::fegetround());
#endif
}

}  // namespace kestrol
