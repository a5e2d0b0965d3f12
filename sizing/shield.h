// The component's one exception barrier and its floating-point guard. Calculations never
// throw; the barrier is there for allocation failures and bugs, so that nothing crosses the
// interface into a host.
#pragma once

#include <cfenv>
#include <utility>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace kestrol {

template <class R, class F>
R Shielded(R onFailure, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (...) {
        return onFailure;  // nothing crosses the interface, nothing is logged
    }
}

/// Masks floating-point exceptions for the lifetime of a computing method and gives the host
/// its own control state back afterwards, with the status flags cleared: several hosts unmask
/// exceptions, and a trap inside the component would take the host down.
///
/// On x86 the two units are handled directly: not every C library's feholdexcept masks the
/// SSE unit (mingw-w64's only clears its flags), nor does its fesetenv reliably give the
/// control words back, and the doubles are computed there.
class FloatingPointGuard {
public:
#if defined(__i386__) || defined(__x86_64__)
    FloatingPointGuard() noexcept : hostSse_(_mm_getcsr()) {
        __asm__ __volatile__("fnstcw %0" : "=m"(hostX87_));
        const unsigned short maskedX87 = static_cast<unsigned short>(hostX87_ | kX87ExceptionMasks);
        __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(maskedX87));
        _mm_setcsr((hostSse_ | kSseExceptionMasks) & ~kSseStatusFlags);
    }
    ~FloatingPointGuard() {
        // Flags first: loading an unmasking control word over a raised flag would trap.
        __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(hostX87_));
        _mm_setcsr(hostSse_ & ~kSseStatusFlags);
    }
#else
    FloatingPointGuard() noexcept { std::feholdexcept(&hostEnvironment_); }
    ~FloatingPointGuard() {
        std::feclearexcept(FE_ALL_EXCEPT);
        std::fesetenv(&hostEnvironment_);
        std::feclearexcept(FE_ALL_EXCEPT);
    }
#endif
    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
#if defined(__i386__) || defined(__x86_64__)
    /// x87 control word bits 0 to 5: invalid, denormal, divide-by-zero, overflow, underflow, precision.
    static constexpr unsigned short kX87ExceptionMasks = 0x3F;
    /// MXCSR bits 7 to 12: the same six exceptions' masks.
    static constexpr unsigned int kSseExceptionMasks = 0x1F80u;
    /// MXCSR bits 0 to 5: the six status flags.
    static constexpr unsigned int kSseStatusFlags = 0x3Fu;
    unsigned int hostSse_;
    unsigned short hostX87_ = 0;
#else
    std::fenv_t hostEnvironment_;
#endif
};

}  // namespace kestrol
