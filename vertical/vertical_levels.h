// Liquid levels of a vertical vessel from its residence times, and the hold-up time below
// the minimum level.
#pragma once

#include <array>

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::vertical {

/// Fills the levels that are not fixed; stores the hold-up time in *holdupTime when it holds
/// kEmptyValue (a null pointer asks for no time). 0.0 on success, kEmptyValue when no
/// admissible level exists.
double CalcVerticalLevels(const StreamState& feed, SlotAccess& slots, double* holdupTime);

/// CalcVerticalLevels for one sizing that calls it again and again under one floating-point
/// state, into one hold-up time. Run on exactly what its last successful run left (every slot,
/// flow and time it reads, as it reads them) it would write the values already there, so then
/// it is not run.
class RepeatedVerticalLevels {
public:
    explicit RepeatedVerticalLevels(double& holdupTime) : holdupTime_(&holdupTime) {}
    double Run(const StreamState& feed, SlotAccess& slots) {
        return leftKnown_ && SameAsLeft(feed, slots) ? 0.0 : RunAndKeep(feed, slots);
    }

private:
    using Inputs = std::array<double, 9>;
    Inputs Read(const StreamState& feed, const SlotAccess& slots) const;
    bool SameAsLeft(const StreamState& feed, const SlotAccess& slots) const;
    double RunAndKeep(const StreamState& feed, SlotAccess& slots);

    double* holdupTime_;
    Inputs left_{};
    bool leftKnown_ = false;
};

/// Level [m] below which a vertical vessel of diameter `diameter` [m] holds `volume` [m3],
/// the bottom head being a 2:1 ellipse. Inside the head the level is the smallest root of the
/// head's cubic that is not below `bound` and not above half the diameter; kEmptyValue when
/// there is none.
double LevelForVolumeVertical(double volume, double bound, double diameter);

/// Closed-form roots of x^3 + a x^2 + b x + c = 0. Returns 1 (one real root in roots[0], the
/// complex pair's real and imaginary parts in roots[1] and roots[2]), 2 (a repeated root),
/// 3 (three real roots), or 0 when the discriminant is not a number (roots left empty).
int SolveCubic(double a, double b, double c, std::array<double, 3>& roots);

/// The smallest real root of a SolveCubic result that is not below `bound`, else kEmptyValue.
double SmallestRootAbove(int rootCase, const std::array<double, 3>& roots, double bound);

}  // namespace kestrol::vertical
