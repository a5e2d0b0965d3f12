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
/// its own control state and flags back afterwards: several hosts unmask exceptions, and a
/// trap inside the component would take the host down. Only the outermost guard of a thread
/// touches the environment: the driver's calls through the interface nest.
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
#endif
#if defined(__x86_64__) && defined(__GLIBC__)
    // Here every double operation, the C library's included, runs on SSE: its control and
    // status register is the whole environment that matters, and saving it costs a tenth of
    // a full environment save, which would otherwise dominate a sizing.
    void Hold() noexcept {
        hostControl_ = _mm_getcsr();
        _mm_setcsr((hostControl_ | kAllExceptionMasks) & ~kAllExceptionFlags);
    }
    void Restore() noexcept { _mm_setcsr(hostControl_); }
    unsigned hostControl_ = 0;
#elif defined(__i386__) || defined(__x86_64__)
    // Both units by hand. 32-bit x86 returns doubles through the x87 unit, and mingw-w64's
    // feholdexcept only clears the SSE flags without masking them, nor did its fesetenv give
    // the control words back: a host that unmasked exceptions trapped inside the DLL.
    /// x87 control word bits 0 to 5: the same six exceptions' masks.
    static constexpr unsigned short kX87ExceptionMasks = 0x3F;
    void Hold() noexcept {
        hostControl_ = _mm_getcsr();
        __asm__ __volatile__("fnstcw %0" : "=m"(hostX87Control_));
        const unsigned short masked = static_cast<unsigned short>(hostX87Control_ | kX87ExceptionMasks);
        __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(masked));
        _mm_setcsr((hostControl_ | kAllExceptionMasks) & ~kAllExceptionFlags);
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
    void Hold() noexcept { std::feholdexcept(&hostEnvironment_); }
    void Restore() noexcept { std::fesetenv(&hostEnvironment_); }
    std::fenv_t hostEnvironment_{};
#endif
    static inline thread_local int depth_ = 0;
};

}  // namespace kestrol
