// The component's one exception barrier and its floating-point guard. Calculations never
// throw; the barrier is there for allocation failures and bugs, so that nothing crosses the
// interface into a host.
#pragma once

#include <cfenv>
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
/// touches the environment: the driver's calls through the interface nest, and saving the
/// environment costs more than a whole presets step.
class FloatingPointGuard {
public:
    FloatingPointGuard() noexcept {
        if (depth_++ == 0) std::feholdexcept(&hostEnvironment_);
    }
    ~FloatingPointGuard() {
        if (--depth_ == 0) std::fesetenv(&hostEnvironment_);
    }
    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
    static inline thread_local int depth_ = 0;
    std::fenv_t hostEnvironment_{};
};

}  // namespace kestrol
