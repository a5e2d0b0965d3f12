// Option presets that start every sizing case, and the orientation choice.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::design {

/// Empties the vector but for the orientation and presets every option; 0.0 when done,
/// kEmptyValue (vector untouched) when the stream gives no usable vapour velocity or the
/// vector cannot be allocated.
double PresetOptions(const StreamState& feed, SlotAccess& slots);

/// Ceiling of the allowable vapour velocity [m/s].
inline constexpr double kMaxVapourVelocity = 2.0;
/// Flow parameter above which the velocity coefficient stays flat [-], and that flat
/// coefficient [ft/s].
inline constexpr double kFlatCoefficientFrom = 1.0;
inline constexpr double kFlatCoefficient = 0.14;

/// What the gas-load correlation makes of a feed, in the order its steps meet the inputs.
enum class GasLoadVerdict {
    Usable,                    ///< a finite velocity above 0
    InputUnset,                ///< a density or mass flow of vapour or light liquid is unset or not finite
    FlowRatioNotFinite,        ///< WL / WV overflows: the vapour flow is too small beside the liquid's
    FlowParameterNotFinite,    ///< sqrt(rhoV / rhoL) overflows or is not a number
    FlowParameterNotPositive,  ///< X is 0 (it underflowed) or negative
    DensitiesNotApart,         ///< sqrt((rhoL - rhoV) / rhoV) is 0 or not a number: the liquid is not denser
    VelocityNotFinite,         ///< the velocity overflows: the vapour density is too small beside the liquid's
    VelocityNotPositive,       ///< K <= 0: the logarithmic fit has fallen through zero (X below about 2.9e-4)
};

/// The correlation's working values for one feed: the flow parameter X = (WL/WV) sqrt(rhoV/rhoL)
/// [-] and the velocity u = K ft sqrt((rhoL - rhoV)/rhoV) [m/s] before its ceiling, each
/// kEmptyValue when a step before it failed.
struct GasLoad {
    double flowParameter = kEmptyValue;
    double velocity = kEmptyValue;
    GasLoadVerdict verdict = GasLoadVerdict::InputUnset;
};

/// The gas-load correlation at the feed; the allowable velocity below comes from it.
GasLoad EvaluateGasLoad(const StreamState& feed);

/// Flow parameter [-] at which the logarithmic fit reaches K = 0 (about 2.88e-4): below it the
/// correlation gives a negative velocity.
double FlowParameterWhereFitReachesZero();

/// The weights W over which an orientation's vessel-cost correlation was fitted, in the unit its
/// W was fitted in; the finishing step feeds it the weight in kg either way.
struct CostFitRange {
    double least;
    double most;
    bool pounds;  ///< fitted in lb, not kg
};
CostFitRange VesselCostFitRange(bool vertical);

/// Allowable vapour velocity [m/s] of the feed, at most 2.0; kEmptyValue when the stream
/// inputs give none (unset or non-finite inputs, a flow parameter that is not > 0, a
/// velocity that is not finite or exactly 0). A negative velocity is returned as it is.
double AllowableVapourVelocity(const StreamState& feed);

}  // namespace kestrol::design
