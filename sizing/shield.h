// The component's one exception barrier and its floating-point guard. Calculations never
// throw; the barrier is there for allocation failures and bugs, so that nothing crosses the
// interface into a host.
#pragma once

#include <cfenv>
#if defined(__x86_64__) && defined(__GLIBC__)
#include <xmmintrin.h>
#endif
#include <utility>

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
#if defined(__x86_64__) && defined(__GLIBC__)
    // Here every double operation, the C library's included, runs on SSE: its control and
    // status register is the whole environment that matters, and saving it costs a tenth of
    // a full environment save, which would otherwise dominate a sizing.
    static constexpr unsigned kAllExceptionMasks = 0x1F80;
    static constexpr unsigned kAllExceptionFlags = 0x003F;
    void Hold() noexcept {
        hostControl_ = _mm_getcsr();
        _mm_setcsr((hostControl_ | kAllExceptionMasks) & ~kAllExceptionFlags);
    }
    void Restore() noexcept { _mm_setcsr(hostControl_); }
    unsigned hostControl_ = 0;
#else
    // 32-bit x86 returns doubles through the x87 unit and its C library computes there too.
    void Hold() noexcept { std::feholdexcept(&hostEnvironment_); }
    void Restore() noexcept { std::fesetenv(&hostEnvironment_); }
    std::fenv_t hostEnvironment_{};
#endif
    static inline thread_local int depth_ = 0;
};

}  // namespace kestrol
