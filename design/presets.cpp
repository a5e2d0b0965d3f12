#include "design/presets.h"

#include <cmath>

#include "common/default_times.h"
#include "common/vessel_rules.h"
#include "design/cost.h"

namespace kestrol::design {
namespace {

/// Flow parameter below which the velocity coefficient follows the logarithmic fit [-].
constexpr double kLogFitLimit = 0.05;
/// The logarithmic fit K = a + b ln X [ft/s].
constexpr double kLogFitA = 0.733;
constexpr double kLogFitB = 0.0899;
/// Ratio of the vertical trial's cylinder height to its diameter in the orientation choice.
constexpr double kTrialRatio = 5.0;

struct CostCoefficients {
    double a, b, c;                // vessel cost: exp(a + (b + c ln W) ln W)
    double lengthExponent;         // platforms and ladders
    double platformCoefficient;
    double diameterExponent;
};
// Vessel purchase cost Cv = exp(a + b ln W + c (ln W)^2), W the shell weight, and platforms and
// ladders Cp = k D^e L^f, both stated at a cost index of 252.5 (the finishing step rescales by CI/252.5).
//
// Horizontal: Seider, Seader, Lewin and Widagdo, Product and Process Design Principles, 3rd ed.,
// Wiley 2009, ch. 22 (as the IDAES-PSE costing documentation, unit_costing.rst, reproduces it):
// Cv = exp(8.9552 - 0.2330 ln W + 0.04333 (ln W)^2), W in lb, 1,000 < W < 920,000 lb, CE index 500;
// Cp = 2005 D^0.20294, D in ft. With W = 2.2046 W[kg] (ln 2.2046 = 0.79056) the set becomes
// b = -0.2330 + 2 x 0.04333 x 0.79056 = -0.1645 and a = 8.9552 - 0.2330 x 0.79056 +
// 0.04333 x 0.79056^2 + ln(252.5/500) = 8.1149; Cp = 2005 x 3.2808^0.20294 x 252.5/500 = 1288.6
// with D in m. So this set takes W in kg, fitted over 453.6 to 417,305 kg.
//
// Vertical: no source for (8.6, -0.2165, 0.0458) was found; the textbook's vertical fits have
// c = 0.02297 or 0.05482, not 0.0458. The platform term matches the textbook's
// 361.8 D^0.73960 L^0.70684 (ft, CE 500) in metres at 252.5: 361.8 x 3.2808^1.44644 x 0.505 = 1018.8.
// If the vessel set was converted the same way, its pound fit had b = -0.2165 - 2 x 0.0458 x
// 0.79056 = -0.2889; that fit is not established, so the review holds the weight it is fed to
// the pound range of the textbook's vertical fit (4,200 to 1,000,000 lb).
constexpr CostCoefficients kVerticalCosts = {8.6, -0.2165, 0.0458, 0.7068, 1017.0, 0.7396};
constexpr CostCoefficients kHorizontalCosts = {8.114, -0.1645, 0.0433, 0.0, 1288.3, 0.203};
/// [kg/lb], exact by definition.
constexpr double kKilogramsPerPound = 0.45359237;
constexpr CostFitRange kVerticalCostFit = {4200.0, 1000000.0, true};
constexpr CostFitRange kHorizontalCostFit = {1000.0 * kKilogramsPerPound, 920000.0 * kKilogramsPerPound, false};

// Where every preset starts: the fixed heights and the options, every other slot empty.
// 30 to 32 stay empty so that the finishing step looks the material up afresh.
constexpr SlotImage kPresetStart = ImageOf({
    {Slot::MistEliminatorHeight, 0.0},
    {Slot::SecondVapourAllowance, -kFoot},
    {Slot::VapourAllowance, -kFoot},
    {Slot::CostIndex, 252.5},
    {Slot::MaterialCode, 1.0},
    {Slot::CorrosionAllowance, 0.003175},
    {Slot::JointEfficiency, 1.0},
    {Slot::HeadStressMultiplier, 2.0},
    {Slot::HeadPressureCoefficient, 0.2},
    {Slot::HeadLengthFactor, 0.8116},
    {Slot::ShellPressureCoefficient, 0.4},
    {Slot::FirstPassFlag, 0.0},
});

double VelocityCoefficient(double flowParameter) {  // [ft/s]
    if (flowParameter <= kLogFitLimit) return kLogFitA + kLogFitB * std::log(flowParameter);
    if (flowParameter <= kFlatCoefficientFrom) return 0.463 * std::exp(-1.306 * flowParameter);
    return kFlatCoefficient;
}

/// Whether a vertical vessel at ratio 5 of the vapour-velocity diameter holds the liquid.
bool VerticalTrialHoldsLiquid(const StreamState& feed, double velocity, double lightTime, double heavyTime) {
    double trialDiameter = common::VapourLoadDiameter(feed.vapourVolumeFlow, velocity);
    // Unlike the path's first diameter, a trial that is not a number takes the least one too.
    if (!(trialDiameter >= kRoundingStep)) trialDiameter = kRoundingStep;
    double disengagement = 0.75 * trialDiameter;
    if (!(disengagement >= kFoot)) disengagement = kFoot;
    const double heavyFlow = feed.HasHeavyLiquid() ? feed.heavyLiquidVolumeFlow : 0.0;
    const double holdup = lightTime * feed.lightLiquidVolumeFlow + heavyTime * heavyFlow;
    const double d = trialDiameter;
    // The two feet are added one at a time, around the disengagement height.
    const double capacity = common::UprightLiquidRoom(d, kTrialRatio * d + kFoot - disengagement + kFoot);
    return capacity > holdup;
}

double PressureClassRatio(double pressure) {
    const double psi = pressure * kPsiPerKpa;  // the class goes by absolute psi: no atmosphere taken off
    if (psi <= 250.0) return -3.0;
    if (psi <= 500.0) return -4.0;
    if (psi > 500.0) return -5.0;
    return kEmptyValue;  // a pressure that is not a number is in no class: the ratio stays free
}

void WriteCostCoefficients(SlotAccess& slots, const CostCoefficients& c) {
    slots.Set(Slot::VesselCostA, c.a);
    slots.Set(Slot::VesselCostB, c.b);
    slots.Set(Slot::VesselCostC, c.c);
    slots.Set(Slot::PlatformCoefficient, c.platformCoefficient);
    slots.Set(Slot::PlatformDiameterExponent, c.diameterExponent);
    slots.Set(Slot::PlatformLengthExponent, c.lengthExponent);
}

}  // namespace

GasLoad EvaluateGasLoad(const StreamState& feed) {
    const double rhoL = feed.lightLiquidDensity;
    const double rhoV = feed.vapourDensity;
    const double wL = feed.lightLiquidMassFlow;
    const double wV = feed.vapourMassFlow;
    GasLoad load;
    const auto ending = [&load](GasLoadVerdict verdict) {
        load.verdict = verdict;
        return load;
    };
    if (!IsSetAndFinite(rhoL) || !IsSetAndFinite(rhoV) || !IsSetAndFinite(wL) || !IsSetAndFinite(wV)) return ending(GasLoadVerdict::InputUnset);
    const double flowRatio = wL / wV;
    load.flowParameter = flowRatio * std::sqrt(rhoV / rhoL);
    if (!std::isfinite(flowRatio)) return ending(GasLoadVerdict::FlowRatioNotFinite);
    if (!std::isfinite(load.flowParameter)) return ending(GasLoadVerdict::FlowParameterNotFinite);
    if (!(load.flowParameter > 0.0)) return ending(GasLoadVerdict::FlowParameterNotPositive);
    const double densityRoot = std::sqrt((rhoL - rhoV) / rhoV);
    load.velocity = VelocityCoefficient(load.flowParameter) * kFoot * densityRoot;
    if (!(densityRoot > 0.0)) return ending(GasLoadVerdict::DensitiesNotApart);
    if (!std::isfinite(load.velocity)) return ending(GasLoadVerdict::VelocityNotFinite);
    if (!(load.velocity > 0.0)) return ending(GasLoadVerdict::VelocityNotPositive);
    return ending(GasLoadVerdict::Usable);
}

CostFitRange VesselCostFitRange(bool vertical) { return vertical ? kVerticalCostFit : kHorizontalCostFit; }

double FlowParameterWhereFitReachesZero() { return std::exp(-kLogFitA / kLogFitB); }

double AllowableVapourVelocity(const StreamState& feed) {
    const GasLoad load = EvaluateGasLoad(feed);
    // A negative velocity (coefficient below 0 for a very dry feed) is kept as the fit gives it.
    const bool signedVelocity = load.verdict == GasLoadVerdict::Usable || load.verdict == GasLoadVerdict::VelocityNotPositive;
    double velocity = load.velocity;
    if (!signedVelocity || velocity == 0.0) return kEmptyValue;
    if (velocity > kMaxVapourVelocity) velocity = kMaxVapourVelocity;
    return velocity;
}

double PresetOptions(const StreamState& feed, SlotAccess& slots) {
    const std::int32_t orientation = TruncateToInt32(slots.Get(Slot::Orientation));
    const double velocity = AllowableVapourVelocity(feed);
    if (IsEmpty(velocity)) return kEmptyValue;
    // Nothing below reads a slot before writing it, so the constant presets can all be
    // written first, by the one copy that empties the rest.
    if (!slots.StartFrom(kPresetStart)) return kEmptyValue;
    slots.Set(Slot::Orientation, static_cast<double>(orientation));
    slots.Set(Slot::VapourVelocity, velocity);

    double heavyTime = kEmptyValue;
    if (feed.HasHeavyLiquid()) heavyTime = common::DefaultHeavyResidenceTime(feed, slots);  // writes Slot::HeavyResidenceTime
    const double lightTime = common::DefaultLightResidenceTime(feed, slots);                // writes Slot::LightResidenceTime

    // A vertical vessel keeps the empty ratio it started from.
    if (IsEmpty(slots.Get(Slot::Orientation)) && VerticalTrialHoldsLiquid(feed, velocity, lightTime, heavyTime)) {
        slots.Set(Slot::Orientation, 0.0);
    } else if (slots.Get(Slot::Orientation) != 0.0) {
        slots.Set(Slot::MinimumLevel, -kFoot);
        slots.Set(Slot::Orientation, 1.0);
        slots.Set(Slot::Ratio, PressureClassRatio(feed.pressure));
    }

    const double chosen = slots.Get(Slot::Orientation);
    if (chosen == 1.0) WriteCostCoefficients(slots, kHorizontalCosts);
    else if (chosen == 0.0) WriteCostCoefficients(slots, kVerticalCosts);
    return 0.0;
}

}  // namespace kestrol::design
