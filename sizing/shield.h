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

/// Runs a computing method under one fixed floating-point state and gives the host its own
/// control state and flags back afterwards. Exceptions are masked because several hosts
/// unmask them and a trap inside the component would take the host down; rounding is to
/// nearest with denormals kept (and 64-bit x87 precision) because a host that rounds another
/// way, or a library built with fast-math that set flush-to-zero at start-up, would otherwise
/// move step-rounded sizes by a whole step. Only the outermost guard of a thread touches the
/// environment: a host's callback may call the object's methods from inside Calculate.
class FloatingPointGuard {
public:
    FloatingPointGuard() noexcept {
        if (depth_++ == 0) Hold();
    }
    ~FloatingPointGuard() {
        if (--depth_ == 0) Restore();
    }
    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
#if defined(__i386__) || defined(__x86_64__)
    /// MXCSR bits 7 to 12: masks of invalid, denormal, divide-by-zero, overflow, underflow, inexact.
    static constexpr unsigned kAllExceptionMasks = 0x1F80;
    /// MXCSR bits 0 to 5: the six status flags.
    static constexpr unsigned kAllExceptionFlags = 0x003F;
    /// MXCSR bits 13-14 (rounding control; 0 is to nearest), 15 (flush-to-zero) and 6
    /// (denormals-are-zero).
    static constexpr unsigned kSseRoundingAndFlushing = 0xE040;
    /// What the computation runs under: every exception masked, no flag raised, round to
    /// nearest, denormals neither flushed nor read as zero.
    static unsigned ComputingControl(unsigned host) noexcept {
        return (host | kAllExceptionMasks) & ~(kAllExceptionFlags | kSseRoundingAndFlushing);
    }
#endif
#if defined(__x86_64__) && defined(__GLIBC__)
    // Here every double operation, the C library's included, runs on SSE: its control and
    // status register is the whole environment that matters, and saving it costs a tenth of
    // a full environment save, which would otherwise dominate a sizing.
    void Hold() noexcept {
        hostControl_ = _mm_getcsr();
        _mm_setcsr(ComputingControl(hostControl_));
    }
    void Restore() noexcept { _mm_setcsr(hostControl_); }
    unsigned hostControl_ = 0;
#elif defined(__i386__) || defined(__x86_64__)
    // Both units by hand. 32-bit x86 returns doubles through the x87 unit, and mingw-w64's
    // feholdexcept only clears the SSE flags without masking them, nor did its fesetenv give
    // the control words back: a host that unmasked exceptions trapped inside the DLL.
    // The C library's functions there (exp, log, pow, the trigonometric ones) compute on the
    // x87 unit and are written for its 64-bit precision: under it their doubles agree with the
    // SSE2 build's bit for bit in all but 6 of 67,684 conformance numbers, under 53 bits (the
    // default of many hosts' runtimes) in all but 642. So the precision is fixed at 64 bits
    // rather than left to the host.
    /// x87 control word bits 0 to 5: the same six exceptions' masks.
    static constexpr unsigned short kX87ExceptionMasks = 0x3F;
    /// x87 control word bits 8-9 (precision) and 10-11 (rounding).
    static constexpr unsigned short kX87PrecisionAndRounding = 0x0F00;
    /// Precision control 11: 64-bit significands, so that the C library's x87 code (exp, pow)
    /// rounds once, to the double it returns, as the SSE2 reference maths does; at 53 bits it
    /// rounds every step and misses the last bit of many results. Rounding 00: to nearest.
    static constexpr unsigned short kX87ExtendedToNearest = 0x0300;
    void Hold() noexcept {
        hostControl_ = _mm_getcsr();
        __asm__ __volatile__("fnstcw %0" : "=m"(hostX87Control_));
        const unsigned short computing = static_cast<unsigned short>(
            ((hostX87Control_ | kX87ExceptionMasks) & ~kX87PrecisionAndRounding) | kX87ExtendedToNearest);
        __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(computing));
        _mm_setcsr(ComputingControl(hostControl_));
    }
    void Restore() noexcept {
        // x87 flags cleared first: an unmasked exception with its flag raised traps at the
        // host's next x87 instruction.
        __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(hostX87Control_));
        _mm_setcsr(hostControl_);
    }
    unsigned hostControl_ = 0;
    unsigned short hostX87Control_ = 0;
#else
    void Hold() noexcept {
        std::feholdexcept(&hostEnvironment_);
        std::fesetround(FE_TONEAREST);
    }
    void Restore() noexcept { std::fesetenv(&hostEnvironment_); }
    std::fenv_t hostEnvironment_{};
#endif
    static inline thread_local int depth_ = 0;
};

}  // namespace kestrol
