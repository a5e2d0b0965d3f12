#include "vertical/vertical_sizing.h"

#include <cmath>

#include "vertical/vertical_levels.h"
#include "common/holdup_split.h"
#include "common/default_times.h"
#include "vertical/residence_times.h"

namespace kestrol::vertical {
namespace {

/// Ratio step of the ratio searches [-].
constexpr double kRatioStep = 0.5;
/// Where the fixed-diameter search starts [-] (the first and the searching ratio are in the
/// header).
constexpr double kFixedDiameterStartRatio = 3.5;
/// Least disengagement heights with and without a mist eliminator [m].
constexpr double kLeastDisengagementWithMist = 0.3048;
constexpr double kLeastDisengagementWithoutMist = 1.0;
/// Thinnest liquid layer a raised level gives either liquid [m].
constexpr double kThinnestLayer = 0.1;
/// How much taller than the vessel its stack of heights may be [m].
constexpr double kStackTolerance = 0.01;

bool Present(double v) { return !IsEmpty(v); }

/// Steps after which every search has passed its limit: 0.1524 m from 0.1524 m passes 40 m
/// after 262 steps, 0.5 from 3.0 passes 40 after 75. The limits end the searches; the
/// budgets only make the bound visible.
constexpr int kDiameterSearchBudget = 263;
constexpr int kRatioSearchBudget = 76;

enum class Next { Heights, Fail };

/// One run of the path: the working copies of the fixed slots and the stream with its
/// temporarily changed heavy-liquid flow. The caller's stream is never touched, so every exit
/// leaves the heavy-liquid flow as it was.
class VerticalRun {
public:
    VerticalRun(const StreamState& feed, SlotAccess& slots) : feed_(feed), slots_(slots) {}

    double Size();

private:
    bool Heavy() const { return feed_.HasHeavyLiquid(); }
    int Pass() { return TruncateToInt32(slots_.Get(Slot::FirstPassFlag)); }
    bool Fixed(Slot s) { return IsFixed(slots_, s); }
    bool Holds(Slot s) { return Present(slots_.Get(s)); }
    double Magnitude(Slot s) { return std::fabs(slots_.Get(s)); }

    /// Liquid volume [m3] of the vessel below its four vapour-space heights.
    double AvailableVolume(double d, double ratio) const {
        return AvailableLiquidVolume(d, ratio, vapourAllowance_, disengagement_, mistEliminator_, secondAllowance_);
    }
    double RequiredVolume() const { return lightTime_ * feed_.lightLiquidVolumeFlow + heavyTime_ * feed_.heavyLiquidVolumeFlow; }
    double Levels() { return levels_.Run(feed_, slots_); }
    double Times() { return VerticalResidenceTimesFromLevels(feed_, slots_); }

    /// Grows the diameter by one step; false (the diameter emptied) once it passes the limit.
    bool GrowDiameter();
    /// Two-phase cases count the light liquid alone while they size.
    void CountLightLiquidAlone() {
        if (!Heavy()) feed_.heavyLiquidVolumeFlow = 0.0;
    }
    void EndLightLiquidAlone() {
        if (feed_.heavyLiquidVolumeFlow == 0.0) feed_.heavyLiquidVolumeFlow = kEmptyValue;
    }

    bool FindDiameter();
    /// Nothing but the flows given: ratio 3 if the liquid fits, else a wider vessel at ratio 5
    /// (or, at a fixed diameter, a taller one).
    Next SizeFromFlows();
    /// A ratio given: the diameter grows until the liquid fits.
    Next SizeWithRatio();
    /// A level or the height given: levels and times are worked out with the vessel, which
    /// grows until the liquid fits.
    Next SizeAroundLevels();
    bool HeightsLevelsAndChecks();
    bool LevelsAndTimes();
    bool RaiseToMinimumLevel();
    bool CloseHeights();

    StreamState feed_;
    SlotAccess& slots_;
    double holdupTime_ = kEmptyValue;
    RepeatedVerticalLevels levels_{holdupTime_};
    int pass_ = 0;
    double diameter_ = kEmptyValue, height_ = kEmptyValue, ratio_ = kEmptyValue;
    double lightLayer_ = kEmptyValue, lightTime_ = kEmptyValue, heavyLevel_ = kEmptyValue, heavyTime_ = kEmptyValue;
    double minimumLevel_ = kEmptyValue, vapourAllowance_ = 0.0, disengagement_ = kEmptyValue, mistEliminator_ = 0.0, secondAllowance_ = 0.0;
    // Whether the host fixed the diameter and the disengagement height, as the run found them:
    // it writes a fixed one never and a free one only with a length or the empty marker, so
    // neither changes while it runs.
    bool diameterFixed_ = false, disengagementFixed_ = false;
};

bool VerticalRun::GrowDiameter() {
    diameter_ = diameter_ + kRoundingStep;
    if (!(diameter_ <= kMostDiameter)) {
        slots_.Set(Slot::Diameter, kEmptyValue);
        return false;
    }
    if (!disengagementFixed_) disengagement_ = kDisengagementPerDiameter * diameter_;
    return true;
}

bool VerticalRun::FindDiameter() {
    if (Present(diameter_)) return IsUsableLength(diameter_);
    if (Present(ratio_) && Present(height_)) {
        diameter_ = height_ / (ratio_ + common::kHeadsPerDiameter);
    } else {
        const double velocity = slots_.Get(Slot::VapourVelocity);
        if (IsEmpty(velocity) || velocity == 0.0) {
            slots_.Set(Slot::Diameter, kEmptyValue);
            return false;
        }
        diameter_ = common::FirstDiameter(feed_.vapourVolumeFlow, std::fabs(velocity), kLeastDiameter);
    }
    if (!IsUsableLength(diameter_)) {
        slots_.Set(Slot::Diameter, kEmptyValue);
        return false;
    }
    slots_.Set(Slot::Diameter, diameter_);
    return true;
}

Next VerticalRun::SizeFromFlows() {
    CountLightLiquidAlone();
    const double required = RequiredVolume();

    if (AvailableVolume(diameter_, kFirstRatio) > required) {
        ratio_ = pass_ == 0 ? -kFirstRatio : kFirstRatio;
        slots_.Set(Slot::Ratio, ratio_);
        height_ = (std::fabs(ratio_) + common::kHeadsPerDiameter) * diameter_;
        if (!IsStorableResult(height_)) return Next::Fail;  // a host's huge diameter overflows it
        slots_.Set(Slot::OverallLength, height_);
        if (pass_ == 0) {
            // Store negated: the next pass reads these times as fixed.
            if (Present(lightTime_)) slots_.Set(Slot::LightResidenceTime, -lightTime_);
            const double heavyFlow = feed_.heavyLiquidVolumeFlow;
            if (Present(heavyFlow) && heavyFlow != 0.0 && Present(heavyTime_)) slots_.Set(Slot::HeavyResidenceTime, -heavyTime_);
        }
    } else if (!diameterFixed_) {
        for (int step = 0; AvailableVolume(diameter_, kSearchRatio) < required; ++step) {
            if (step >= kDiameterSearchBudget || !GrowDiameter()) return Next::Fail;
        }
        if (!disengagementFixed_) slots_.Set(Slot::DisengagementHeight, disengagement_);
        slots_.Set(Slot::Diameter, diameter_);
        // Compared as stored, not truncated: only an untouched first pass marks the ratio.
        ratio_ = slots_.Get(Slot::FirstPassFlag) == 0.0 ? -kSearchRatio : kSearchRatio;
        slots_.Set(Slot::Ratio, ratio_);
    } else {
        ratio_ = kFixedDiameterStartRatio;
        for (int step = 0; AvailableVolume(diameter_, ratio_) < required; ++step) {
            ratio_ = ratio_ + kRatioStep;
            if (step >= kRatioSearchBudget || !(ratio_ <= kMostRatio)) {
                slots_.Set(Slot::Ratio, kEmptyValue);
                return Next::Fail;
            }
        }
        slots_.Set(Slot::Ratio, ratio_);
    }
    EndLightLiquidAlone();
    return Next::Heights;
}

Next VerticalRun::SizeWithRatio() {
    if (diameterFixed_) return Next::Heights;
    CountLightLiquidAlone();
    const double required = RequiredVolume();
    for (int step = 0; AvailableVolume(diameter_, ratio_) < required; ++step) {
        if (step >= kDiameterSearchBudget || !GrowDiameter()) return Next::Fail;
    }
    if (!disengagementFixed_) slots_.Set(Slot::DisengagementHeight, disengagement_);
    slots_.Set(Slot::Diameter, diameter_);
    EndLightLiquidAlone();
    return Next::Heights;
}

Next VerticalRun::SizeAroundLevels() {
    if (!Heavy()) return Next::Heights;
    const bool levelsFromHeavyTime = !Present(heavyTime_) && !Present(lightLayer_);
    const bool levelsFromHeavyLevel = !Present(heavyLevel_) && !Present(lightTime_);
    if (!levelsFromHeavyTime && !levelsFromHeavyLevel) return Next::Heights;
    const int given = (diameterFixed_ ? 1 : 0) + (Present(ratio_) ? 1 : 0) + (Present(height_) ? 1 : 0);
    if (given >= 2) return Next::Heights;

    if (!Fixed(Slot::Ratio)) {
        ratio_ = kFirstRatio;
        slots_.Set(Slot::Ratio, ratio_);
    }
    if (!diameterFixed_) slots_.Set(Slot::Diameter, diameter_);

    // Each round grows D or r by one step until a limit refuses it.
    for (int round = 0; round <= kDiameterSearchBudget + kRatioSearchBudget; ++round) {
        if (Present(heavyTime_) && Present(lightLayer_)) {
            if (IsEmpty(Levels()) || IsEmpty(Times())) return Next::Fail;
            lightTime_ = Magnitude(Slot::LightResidenceTime);
        } else if (Present(heavyLevel_) && Present(lightTime_)) {
            if (IsEmpty(Times()) || IsEmpty(Levels())) return Next::Fail;
            heavyTime_ = Magnitude(Slot::HeavyResidenceTime);
        }
        if (AvailableVolume(diameter_, ratio_) >= RequiredVolume()) {
            lightLayer_ = Magnitude(Slot::LightLayerThickness);
            heavyLevel_ = Magnitude(Slot::HeavyLevel);
            return Next::Heights;
        }
        if (!diameterFixed_ && (ratio_ >= kSearchRatio || Fixed(Slot::Ratio))) {
            if (!GrowDiameter()) return Next::Fail;
            slots_.Set(Slot::Diameter, diameter_);
        } else {
            if (Fixed(Slot::Ratio)) return Next::Fail;
            ratio_ = ratio_ + kRatioStep;
            if (!(ratio_ <= kMostRatio)) {
                slots_.Set(Slot::Ratio, kEmptyValue);
                return Next::Fail;
            }
            slots_.Set(Slot::Ratio, ratio_);
        }
    }
    return Next::Fail;
}

bool VerticalRun::LevelsAndTimes() {
    const bool heavy = Heavy();
    if (Present(lightLayer_) && (Present(heavyLevel_) || !heavy)) return true;
    if (Holds(Slot::LightResidenceTime) && (Holds(Slot::HeavyResidenceTime) || !heavy)) {
        if (IsEmpty(Levels())) return false;
        if (heavy) heavyLevel_ = Magnitude(Slot::HeavyLevel);
        lightLayer_ = Magnitude(Slot::LightLayerThickness);
    } else if (Holds(Slot::LightLayerThickness) && (Holds(Slot::HeavyResidenceTime) || !heavy)) {
        if (IsEmpty(Levels()) || IsEmpty(Times())) return false;
        lightTime_ = Magnitude(Slot::LightResidenceTime);
        if (heavy) heavyLevel_ = Magnitude(Slot::HeavyLevel);
    } else if (Holds(Slot::LightResidenceTime) && (Holds(Slot::HeavyLevel) || !heavy)) {
        if (IsEmpty(Times()) || IsEmpty(Levels())) return false;
        lightLayer_ = Magnitude(Slot::LightLayerThickness);
        if (heavy) heavyTime_ = Magnitude(Slot::HeavyResidenceTime);
    }
    return true;
}

bool VerticalRun::RaiseToMinimumLevel() {
    const bool heavy = Heavy();
    const bool tooLow = heavy ? heavyLevel_ + lightLayer_ < minimumLevel_ : lightLayer_ < minimumLevel_;
    if (!tooLow) return true;
    for (Slot s : {Slot::LightLayerThickness, Slot::LightResidenceTime, Slot::HeavyLevel, Slot::HeavyResidenceTime})
        if (Fixed(s)) return true;

    if (heavy) {
        const double lightFlow = feed_.lightLiquidVolumeFlow;
        const double heavyFlow = feed_.heavyLiquidVolumeFlow;
        if (!(lightFlow + heavyFlow > 0.0)) return false;
        lightLayer_ = minimumLevel_ * lightFlow / (lightFlow + heavyFlow);
        if (lightLayer_ < kThinnestLayer) {
            lightLayer_ = kThinnestLayer;
            heavyLevel_ = minimumLevel_ - kThinnestLayer;
        } else {
            heavyLevel_ = minimumLevel_ * heavyFlow / (lightFlow + heavyFlow);
            if (heavyLevel_ < kThinnestLayer) {
                heavyLevel_ = kThinnestLayer;
                lightLayer_ = minimumLevel_ - kThinnestLayer;
            }
        }
        if (!IsStorableResult(lightLayer_) || !IsStorableResult(heavyLevel_)) return false;
        slots_.Set(Slot::LightLayerThickness, lightLayer_);
        slots_.Set(Slot::HeavyLevel, heavyLevel_);
        // The heavy time follows from the raised level.
        slots_.Set(Slot::HeavyResidenceTime, kEmptyValue);
        heavyTime_ = kEmptyValue;
    } else {
        lightLayer_ = minimumLevel_;
        if (!IsStorableResult(lightLayer_)) return false;
        slots_.Set(Slot::LightLayerThickness, lightLayer_);
        slots_.Set(Slot::LightResidenceTime, kEmptyValue);
        lightTime_ = kEmptyValue;
    }
    return true;
}

bool VerticalRun::CloseHeights() {
    const double quarter = diameter_ / 4.0;
    const double stack = quarter + secondAllowance_ + vapourAllowance_ + heavyLevel_ + lightLayer_ + mistEliminator_ + disengagement_;
    if (stack == height_) return true;
    // A height that takes up the difference is stored when not negative; one that is not a
    // number at all (an infinite height or diameter from the host) ends the run instead.
    if (!disengagementFixed_) {
        disengagement_ = height_ - quarter - heavyLevel_ - lightLayer_ - vapourAllowance_ - mistEliminator_ - secondAllowance_;
        if (!std::isfinite(disengagement_)) return false;
        if (disengagement_ >= 0.0) slots_.Set(Slot::DisengagementHeight, disengagement_);
    } else if (!Fixed(Slot::SecondVapourAllowance)) {
        secondAllowance_ = height_ - quarter - heavyLevel_ - lightLayer_ - vapourAllowance_ - mistEliminator_ - disengagement_;
        if (!std::isfinite(secondAllowance_)) return false;
        if (secondAllowance_ >= 0.0) slots_.Set(Slot::SecondVapourAllowance, secondAllowance_);
    } else if (!Fixed(Slot::VapourAllowance)) {
        vapourAllowance_ = height_ - quarter - heavyLevel_ - lightLayer_ - disengagement_ - mistEliminator_ - secondAllowance_;
        if (!std::isfinite(vapourAllowance_)) return false;
        if (vapourAllowance_ >= 0.0) slots_.Set(Slot::VapourAllowance, vapourAllowance_);
    } else {
        const double spare =
            height_ - quarter - heavyLevel_ - lightLayer_ - vapourAllowance_ - disengagement_ - mistEliminator_ - secondAllowance_;
        if (!(spare >= -kStackTolerance)) return false;
    }
    return true;
}

bool VerticalRun::HeightsLevelsAndChecks() {
    if (IsEmpty(slots_.Get(Slot::MinimumLevel))) {
        minimumLevel_ = RoundUpToStep(diameter_ / 4.0 + kFoot);
        if (!IsStorableResult(minimumLevel_)) return false;  // rounding a host's huge diameter overflows
        slots_.Set(Slot::MinimumLevel, minimumLevel_);
    }
    if (Present(ratio_) && !Present(height_)) {
        height_ = (std::fabs(ratio_) + common::kHeadsPerDiameter) * diameter_;
        if (!IsStorableResult(height_)) return false;
        slots_.Set(Slot::OverallLength, height_);
    }
    // A first three-phase pass shares the liquid room of the sized vessel between the two
    // liquids; without a settled height there is no such room to share.
    if (pass_ == 0 && Heavy() && Present(height_)) {
        const double room = common::UprightLiquidRoom(
            diameter_, height_ - diameter_ / 2.0 - secondAllowance_ - vapourAllowance_ - disengagement_ - mistEliminator_);
        if (IsEmpty(common::SplitHoldupVolume(feed_, slots_, room))) return false;
        lightTime_ = Magnitude(Slot::LightResidenceTime);
        heavyTime_ = Magnitude(Slot::HeavyResidenceTime);
    }
    if (!LevelsAndTimes()) return false;
    if (!RaiseToMinimumLevel()) return false;

    const bool heavy = Heavy();
    if (!Holds(Slot::LightResidenceTime) || (!Holds(Slot::HeavyResidenceTime) && heavy)) {
        if (IsEmpty(Times())) return false;
        if (heavy) heavyTime_ = Magnitude(Slot::HeavyResidenceTime);
        lightTime_ = Magnitude(Slot::LightResidenceTime);
    }
    if (!Holds(Slot::OverallLength)) {
        height_ = diameter_ / 4.0 + Magnitude(Slot::SecondVapourAllowance) + Magnitude(Slot::MistEliminatorHeight) +
                  Magnitude(Slot::DisengagementHeight) + Magnitude(Slot::VapourAllowance);
        if (heavy) height_ = height_ + Magnitude(Slot::HeavyLevel);
        height_ = height_ + Magnitude(Slot::LightLayerThickness);
        if (!IsStorableResult(height_)) return false;
        slots_.Set(Slot::OverallLength, height_);
    }
    if (!Present(ratio_)) {
        const double ratio = (height_ - diameter_ / 2.0) / diameter_;
        if (!IsStorableResult(ratio)) return false;
        slots_.Set(Slot::Ratio, ratio);
    }
    if (!heavy) heavyLevel_ = 0.0;

    if (!CloseHeights()) return false;
    if (!(disengagement_ >= 0.0) || !(vapourAllowance_ >= 0.0)) return false;
    if (!(height_ - diameter_ / 4.0 >= Magnitude(Slot::MinimumLevel))) return false;

    if (slots_.Get(Slot::FirstPassFlag) == 0.0) {
        // Store negated: the next pass reads these times as fixed.
        if (Present(lightTime_)) slots_.Set(Slot::LightResidenceTime, -lightTime_);
        if (heavy && Present(heavyTime_)) slots_.Set(Slot::HeavyResidenceTime, -heavyTime_);
        slots_.Set(Slot::FirstPassFlag, 1.0);
    }
    return !IsEmpty(Levels());
}

double VerticalRun::Size() {
    const double vapourFlow = feed_.vapourVolumeFlow;
    const double lightFlow = feed_.lightLiquidVolumeFlow;
    const double heavyFlow = feed_.heavyLiquidVolumeFlow;
    if (!(std::isfinite(vapourFlow) && vapourFlow >= 0.0)) return kEmptyValue;
    if (!(std::isfinite(lightFlow) && lightFlow > 0.0)) return kEmptyValue;
    if (!(IsEmpty(heavyFlow) || (std::isfinite(heavyFlow) && heavyFlow >= 0.0))) return kEmptyValue;

    diameter_ = FixedValue(slots_, Slot::Diameter);
    diameterFixed_ = Present(diameter_);
    height_ = FixedValue(slots_, Slot::OverallLength);
    ratio_ = FixedValue(slots_, Slot::Ratio);
    lightLayer_ = FixedValue(slots_, Slot::LightLayerThickness);
    lightTime_ = FixedValue(slots_, Slot::LightResidenceTime);
    heavyLevel_ = FixedValue(slots_, Slot::HeavyLevel);
    heavyTime_ = FixedValue(slots_, Slot::HeavyResidenceTime);
    disengagement_ = FixedValue(slots_, Slot::DisengagementHeight);
    disengagementFixed_ = Present(disengagement_);
    minimumLevel_ = FixedValue(slots_, Slot::MinimumLevel);
    vapourAllowance_ = Magnitude(Slot::VapourAllowance);
    mistEliminator_ = Magnitude(Slot::MistEliminatorHeight);
    secondAllowance_ = Magnitude(Slot::SecondVapourAllowance);

    // Without a mist eliminator the vapour must rise at half the allowable velocity. The
    // halving is in place, so a second call halves again. A height that is not a number says
    // neither "eliminator" nor "none": the velocity is written back as it was.
    const double velocity = slots_.Get(Slot::VapourVelocity);
    if (Present(velocity)) slots_.Set(Slot::VapourVelocity, mistEliminator_ == 0.0 ? velocity / 2.0 : velocity);

    pass_ = Pass();
    if (Heavy() && !Present(heavyTime_) && !Present(heavyLevel_) && pass_ == 0)
        heavyTime_ = common::DefaultHeavyResidenceTime(feed_, slots_);
    if (!Present(lightTime_) && pass_ == 0) lightTime_ = common::DefaultLightResidenceTime(feed_, slots_);

    pass_ = Pass();
    if (pass_ != 0 && Heavy() && !Present(heavyTime_) && !Present(heavyLevel_)) return kEmptyValue;
    if (!Present(lightTime_) && !Present(lightLayer_)) return kEmptyValue;

    if (!FindDiameter()) return kEmptyValue;

    if (!disengagementFixed_) {
        disengagement_ = DisengagementRule(diameter_, mistEliminator_);
        slots_.Set(Slot::DisengagementHeight, disengagement_);
    }

    Next next = Next::Fail;
    if (Present(lightLayer_) || (Present(heavyLevel_) && Heavy()) || Present(height_)) {
        next = SizeAroundLevels();
    } else if (Present(ratio_)) {
        next = SizeWithRatio();
    } else {
        next = SizeFromFlows();
    }
    if (next == Next::Fail || !HeightsLevelsAndChecks()) return kEmptyValue;
    return 0.0;
}

}  // namespace

double SizeVertical(const StreamState& feed, SlotAccess& slots, design::Finish finish) {
    VerticalRun run(feed, slots);
    if (IsEmpty(run.Size())) return kEmptyValue;
    // The finishing step sees the stream as the host gave it.
    if (finish == design::Finish::Cost) design::EstimateVesselCost(feed, slots);
    return 0.0;
}

double DisengagementRule(double diameter, double mistEliminatorHeight) {
    double height = kDisengagementPerDiameter * diameter;
    // The least height depends on the eliminator; a height that is not a number sets none.
    if (mistEliminatorHeight > 0.0 && height < kLeastDisengagementWithMist) height = kLeastDisengagementWithMist;
    if (mistEliminatorHeight == 0.0 && height < kLeastDisengagementWithoutMist) height = kLeastDisengagementWithoutMist;
    return height;
}

}  // namespace kestrol::vertical
