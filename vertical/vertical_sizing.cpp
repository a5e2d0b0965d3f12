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
        return AvailableLiquidVolume(d, ratio, h10_, h11_, h12_, h34_);
    }
    double RequiredVolume() const {
        return t6_ * feed_.lightLiquidVolumeFlow + t8_ * feed_.heavyLiquidVolumeFlow;
    }
    double Levels() { return levels_.Run(feed_, slots_); }
    double Times() { return VerticalResidenceTimesFromLevels(feed_, slots_); }

    /// Grows D by one step; false (slot 1 emptied) once it passes the limit.
    bool GrowDiameter();
    /// Two-phase cases count the light liquid alone while they size.
    void CountLightLiquidAlone() {
        if (!Heavy()) feed_.heavyLiquidVolumeFlow = 0.0;
    }
    void EndLightLiquidAlone() {
        if (feed_.heavyLiquidVolumeFlow == 0.0) feed_.heavyLiquidVolumeFlow = kEmptyValue;
    }

    bool FindDiameter();
    Next CaseA();
    Next CaseB();
    Next CaseC();
    bool HeightsLevelsAndChecks();
    bool LevelsAndTimes();
    bool RaiseToMinimumLevel();
    bool CloseHeights();

    StreamState feed_;
    SlotAccess& slots_;
    double holdupTime_ = kEmptyValue;
    RepeatedVerticalLevels levels_{holdupTime_};
    int pass_ = 0;
    double d_ = kEmptyValue, l_ = kEmptyValue, r_ = kEmptyValue;
    double h5_ = kEmptyValue, t6_ = kEmptyValue, h7_ = kEmptyValue, t8_ = kEmptyValue;
    double h9_ = kEmptyValue, h10_ = 0.0, h11_ = kEmptyValue, h12_ = 0.0, h34_ = 0.0;
    // Whether the host fixed the diameter and the disengagement height, as the run found them:
    // it writes a fixed one never and a free one only with a length or the empty marker, so
    // neither changes while it runs.
    bool diameterFixed_ = false, disengagementFixed_ = false;
};

bool VerticalRun::GrowDiameter() {
    d_ = d_ + kRoundingStep;
    if (!(d_ <= kMostDiameter)) {
        slots_.Set(Slot::Diameter, kEmptyValue);
        return false;
    }
    if (!disengagementFixed_) h11_ = kDisengagementPerDiameter * d_;
    return true;
}

bool VerticalRun::FindDiameter() {
    if (Present(d_)) return IsUsableLength(d_);
    if (Present(r_) && Present(l_)) {
        d_ = l_ / (r_ + 0.5);
    } else {
        const double velocity = slots_.Get(Slot::VapourVelocity);
        if (IsEmpty(velocity) || velocity == 0.0) {
            slots_.Set(Slot::Diameter, kEmptyValue);
            return false;
        }
        d_ = common::FirstDiameter(feed_.vapourVolumeFlow, std::fabs(velocity), kLeastDiameter);
    }
    if (!IsUsableLength(d_)) {
        slots_.Set(Slot::Diameter, kEmptyValue);
        return false;
    }
    slots_.Set(Slot::Diameter, d_);
    return true;
}

Next VerticalRun::CaseA() {
    CountLightLiquidAlone();
    const double required = RequiredVolume();

    if (AvailableVolume(d_, kFirstRatio) > required) {
        r_ = pass_ == 0 ? -kFirstRatio : kFirstRatio;
        slots_.Set(Slot::Ratio, r_);
        l_ = (std::fabs(r_) + 0.5) * d_;
        if (!IsStorableResult(l_)) return Next::Fail;  // a host's huge diameter overflows it
        slots_.Set(Slot::OverallLength, l_);
        if (pass_ == 0) {
            // Store negated: the next pass reads these times as fixed.
            if (Present(t6_)) slots_.Set(Slot::LightResidenceTime, -t6_);
            const double qh = feed_.heavyLiquidVolumeFlow;
            if (Present(qh) && qh != 0.0 && Present(t8_)) slots_.Set(Slot::HeavyResidenceTime, -t8_);
        }
    } else if (!diameterFixed_) {
        for (int step = 0; AvailableVolume(d_, kSearchRatio) < required; ++step) {
            if (step >= kDiameterSearchBudget || !GrowDiameter()) return Next::Fail;
        }
        if (!disengagementFixed_) slots_.Set(Slot::DisengagementHeight, h11_);
        slots_.Set(Slot::Diameter, d_);
        // Compared as stored, not truncated: only an untouched first pass marks the ratio.
        r_ = slots_.Get(Slot::FirstPassFlag) == 0.0 ? -kSearchRatio : kSearchRatio;
        slots_.Set(Slot::Ratio, r_);
    } else {
        r_ = kFixedDiameterStartRatio;
        for (int step = 0; AvailableVolume(d_, r_) < required; ++step) {
            r_ = r_ + kRatioStep;
            if (step >= kRatioSearchBudget || !(r_ <= kMostRatio)) {
                slots_.Set(Slot::Ratio, kEmptyValue);
                return Next::Fail;
            }
        }
        slots_.Set(Slot::Ratio, r_);
    }
    EndLightLiquidAlone();
    return Next::Heights;
}

Next VerticalRun::CaseB() {
    if (diameterFixed_) return Next::Heights;
    CountLightLiquidAlone();
    const double required = RequiredVolume();
    for (int step = 0; AvailableVolume(d_, r_) < required; ++step) {
        if (step >= kDiameterSearchBudget || !GrowDiameter()) return Next::Fail;
    }
    if (!disengagementFixed_) slots_.Set(Slot::DisengagementHeight, h11_);
    slots_.Set(Slot::Diameter, d_);
    EndLightLiquidAlone();
    return Next::Heights;
}

Next VerticalRun::CaseC() {
    if (!Heavy()) return Next::Heights;
    const bool levelsFromHeavyTime = !Present(t8_) && !Present(h5_);
    const bool levelsFromHeavyLevel = !Present(h7_) && !Present(t6_);
    if (!levelsFromHeavyTime && !levelsFromHeavyLevel) return Next::Heights;
    const int given = (diameterFixed_ ? 1 : 0) + (Present(r_) ? 1 : 0) + (Present(l_) ? 1 : 0);
    if (given >= 2) return Next::Heights;

    if (!Fixed(Slot::Ratio)) {
        r_ = kFirstRatio;
        slots_.Set(Slot::Ratio, r_);
    }
    if (!diameterFixed_) slots_.Set(Slot::Diameter, d_);

    // Each round grows D or r by one step until a limit refuses it.
    for (int round = 0; round <= kDiameterSearchBudget + kRatioSearchBudget; ++round) {
        if (Present(t8_) && Present(h5_)) {
            if (IsEmpty(Levels()) || IsEmpty(Times())) return Next::Fail;
            t6_ = Magnitude(Slot::LightResidenceTime);
        } else if (Present(h7_) && Present(t6_)) {
            if (IsEmpty(Times()) || IsEmpty(Levels())) return Next::Fail;
            t8_ = Magnitude(Slot::HeavyResidenceTime);
        }
        if (AvailableVolume(d_, r_) >= RequiredVolume()) {
            h5_ = Magnitude(Slot::LightLayerThickness);
            h7_ = Magnitude(Slot::HeavyLevel);
            return Next::Heights;
        }
        if (!diameterFixed_ && (r_ >= kSearchRatio || Fixed(Slot::Ratio))) {
            if (!GrowDiameter()) return Next::Fail;
            slots_.Set(Slot::Diameter, d_);
        } else {
            if (Fixed(Slot::Ratio)) return Next::Fail;
            r_ = r_ + kRatioStep;
            if (!(r_ <= kMostRatio)) {
                slots_.Set(Slot::Ratio, kEmptyValue);
                return Next::Fail;
            }
            slots_.Set(Slot::Ratio, r_);
        }
    }
    return Next::Fail;
}

bool VerticalRun::LevelsAndTimes() {
    const bool heavy = Heavy();
    if (Present(h5_) && (Present(h7_) || !heavy)) return true;
    if (Holds(Slot::LightResidenceTime) && (Holds(Slot::HeavyResidenceTime) || !heavy)) {
        if (IsEmpty(Levels())) return false;
        if (heavy) h7_ = Magnitude(Slot::HeavyLevel);
        h5_ = Magnitude(Slot::LightLayerThickness);
    } else if (Holds(Slot::LightLayerThickness) && (Holds(Slot::HeavyResidenceTime) || !heavy)) {
        if (IsEmpty(Levels()) || IsEmpty(Times())) return false;
        t6_ = Magnitude(Slot::LightResidenceTime);
        if (heavy) h7_ = Magnitude(Slot::HeavyLevel);
    } else if (Holds(Slot::LightResidenceTime) && (Holds(Slot::HeavyLevel) || !heavy)) {
        if (IsEmpty(Times()) || IsEmpty(Levels())) return false;
        h5_ = Magnitude(Slot::LightLayerThickness);
        if (heavy) t8_ = Magnitude(Slot::HeavyResidenceTime);
    }
    return true;
}

bool VerticalRun::RaiseToMinimumLevel() {
    const bool heavy = Heavy();
    const bool tooLow = heavy ? h7_ + h5_ < h9_ : h5_ < h9_;
    if (!tooLow) return true;
    for (Slot s : {Slot::LightLayerThickness, Slot::LightResidenceTime, Slot::HeavyLevel, Slot::HeavyResidenceTime})
        if (Fixed(s)) return true;

    if (heavy) {
        const double ql = feed_.lightLiquidVolumeFlow;
        const double qh = feed_.heavyLiquidVolumeFlow;
        if (!(ql + qh > 0.0)) return false;
        h5_ = h9_ * ql / (ql + qh);
        if (h5_ < kThinnestLayer) {
            h5_ = kThinnestLayer;
            h7_ = h9_ - kThinnestLayer;
        } else {
            h7_ = h9_ * qh / (ql + qh);
            if (h7_ < kThinnestLayer) {
                h7_ = kThinnestLayer;
                h5_ = h9_ - kThinnestLayer;
            }
        }
        if (!IsStorableResult(h5_) || !IsStorableResult(h7_)) return false;
        slots_.Set(Slot::LightLayerThickness, h5_);
        slots_.Set(Slot::HeavyLevel, h7_);
        // The heavy time follows from the raised level.
        slots_.Set(Slot::HeavyResidenceTime, kEmptyValue);
        t8_ = kEmptyValue;
    } else {
        h5_ = h9_;
        if (!IsStorableResult(h5_)) return false;
        slots_.Set(Slot::LightLayerThickness, h5_);
        slots_.Set(Slot::LightResidenceTime, kEmptyValue);
        t6_ = kEmptyValue;
    }
    return true;
}

bool VerticalRun::CloseHeights() {
    const double quarter = d_ / 4.0;
    const double stack = quarter + h34_ + h10_ + h7_ + h5_ + h12_ + h11_;
    if (stack == l_) return true;
    // A height that takes up the difference is stored when not negative; one that is not a
    // number at all (an infinite height or diameter from the host) ends the run instead.
    if (!disengagementFixed_) {
        h11_ = l_ - quarter - h7_ - h5_ - h10_ - h12_ - h34_;
        if (!std::isfinite(h11_)) return false;
        if (h11_ >= 0.0) slots_.Set(Slot::DisengagementHeight, h11_);
    } else if (!Fixed(Slot::SecondVapourAllowance)) {
        h34_ = l_ - quarter - h7_ - h5_ - h10_ - h12_ - h11_;
        if (!std::isfinite(h34_)) return false;
        if (h34_ >= 0.0) slots_.Set(Slot::SecondVapourAllowance, h34_);
    } else if (!Fixed(Slot::VapourAllowance)) {
        h10_ = l_ - quarter - h7_ - h5_ - h11_ - h12_ - h34_;
        if (!std::isfinite(h10_)) return false;
        if (h10_ >= 0.0) slots_.Set(Slot::VapourAllowance, h10_);
    } else {
        const double spare = l_ - quarter - h7_ - h5_ - h10_ - h11_ - h12_ - h34_;
        if (!(spare >= -kStackTolerance)) return false;
    }
    return true;
}

bool VerticalRun::HeightsLevelsAndChecks() {
    if (IsEmpty(slots_.Get(Slot::MinimumLevel))) {
        h9_ = RoundUpToStep(d_ / 4.0 + kFoot);
        if (!IsStorableResult(h9_)) return false;  // rounding a host's huge diameter overflows
        slots_.Set(Slot::MinimumLevel, h9_);
    }
    if (Present(r_) && !Present(l_)) {
        l_ = (std::fabs(r_) + 0.5) * d_;
        if (!IsStorableResult(l_)) return false;
        slots_.Set(Slot::OverallLength, l_);
    }
    // A first three-phase pass shares the liquid room of the sized vessel between the two
    // liquids; without a settled height there is no such room to share.
    if (pass_ == 0 && Heavy() && Present(l_)) {
        const double room = common::UprightLiquidRoom(d_, l_ - d_ / 2.0 - h34_ - h10_ - h11_ - h12_);
        if (IsEmpty(common::SplitHoldupVolume(feed_, slots_, room))) return false;
        t6_ = Magnitude(Slot::LightResidenceTime);
        t8_ = Magnitude(Slot::HeavyResidenceTime);
    }
    if (!LevelsAndTimes()) return false;
    if (!RaiseToMinimumLevel()) return false;

    const bool heavy = Heavy();
    if (!Holds(Slot::LightResidenceTime) || (!Holds(Slot::HeavyResidenceTime) && heavy)) {
        if (IsEmpty(Times())) return false;
        if (heavy) t8_ = Magnitude(Slot::HeavyResidenceTime);
        t6_ = Magnitude(Slot::LightResidenceTime);
    }
    if (!Holds(Slot::OverallLength)) {
        l_ = d_ / 4.0 + Magnitude(Slot::SecondVapourAllowance) + Magnitude(Slot::MistEliminatorHeight) +
             Magnitude(Slot::DisengagementHeight) + Magnitude(Slot::VapourAllowance);
        if (heavy) l_ = l_ + Magnitude(Slot::HeavyLevel);
        l_ = l_ + Magnitude(Slot::LightLayerThickness);
        if (!IsStorableResult(l_)) return false;
        slots_.Set(Slot::OverallLength, l_);
    }
    if (!Present(r_)) {
        const double ratio = (l_ - d_ / 2.0) / d_;
        if (!IsStorableResult(ratio)) return false;
        slots_.Set(Slot::Ratio, ratio);
    }
    if (!heavy) h7_ = 0.0;

    if (!CloseHeights()) return false;
    if (!(h11_ >= 0.0) || !(h10_ >= 0.0)) return false;
    if (!(l_ - d_ / 4.0 >= Magnitude(Slot::MinimumLevel))) return false;

    if (slots_.Get(Slot::FirstPassFlag) == 0.0) {
        // Store negated: the next pass reads these times as fixed.
        if (Present(t6_)) slots_.Set(Slot::LightResidenceTime, -t6_);
        if (heavy && Present(t8_)) slots_.Set(Slot::HeavyResidenceTime, -t8_);
        slots_.Set(Slot::FirstPassFlag, 1.0);
    }
    return !IsEmpty(Levels());
}

double VerticalRun::Size() {
    const double qv = feed_.vapourVolumeFlow;
    const double ql = feed_.lightLiquidVolumeFlow;
    const double qh = feed_.heavyLiquidVolumeFlow;
    if (!(std::isfinite(qv) && qv >= 0.0)) return kEmptyValue;
    if (!(std::isfinite(ql) && ql > 0.0)) return kEmptyValue;
    if (!(IsEmpty(qh) || (std::isfinite(qh) && qh >= 0.0))) return kEmptyValue;

    d_ = FixedValue(slots_, Slot::Diameter);
    diameterFixed_ = Present(d_);
    l_ = FixedValue(slots_, Slot::OverallLength);
    r_ = FixedValue(slots_, Slot::Ratio);
    h5_ = FixedValue(slots_, Slot::LightLayerThickness);
    t6_ = FixedValue(slots_, Slot::LightResidenceTime);
    h7_ = FixedValue(slots_, Slot::HeavyLevel);
    t8_ = FixedValue(slots_, Slot::HeavyResidenceTime);
    h11_ = FixedValue(slots_, Slot::DisengagementHeight);
    disengagementFixed_ = Present(h11_);
    h9_ = FixedValue(slots_, Slot::MinimumLevel);
    h10_ = Magnitude(Slot::VapourAllowance);
    h12_ = Magnitude(Slot::MistEliminatorHeight);
    h34_ = Magnitude(Slot::SecondVapourAllowance);

    // Without a mist eliminator the vapour must rise at half the allowable velocity. The
    // halving is in place, so a second call halves again. A height that is not a number says
    // neither "eliminator" nor "none": the velocity is written back as it was.
    const double velocity = slots_.Get(Slot::VapourVelocity);
    if (Present(velocity)) slots_.Set(Slot::VapourVelocity, h12_ == 0.0 ? velocity / 2.0 : velocity);

    pass_ = Pass();
    if (Heavy() && !Present(t8_) && !Present(h7_) && pass_ == 0) t8_ = common::DefaultHeavyResidenceTime(feed_, slots_);
    if (!Present(t6_) && pass_ == 0) t6_ = common::DefaultLightResidenceTime(feed_, slots_);

    pass_ = Pass();
    if (pass_ != 0 && Heavy() && !Present(t8_) && !Present(h7_)) return kEmptyValue;
    if (!Present(t6_) && !Present(h5_)) return kEmptyValue;

    if (!FindDiameter()) return kEmptyValue;

    if (!disengagementFixed_) {
        h11_ = DisengagementRule(d_, h12_);
        slots_.Set(Slot::DisengagementHeight, h11_);
    }

    Next next = Next::Fail;
    if (Present(h5_) || (Present(h7_) && Heavy()) || Present(l_)) {
        next = CaseC();
    } else if (Present(r_)) {
        next = CaseB();
    } else {
        next = CaseA();
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
    double h11 = kDisengagementPerDiameter * diameter;
    // The least height depends on the eliminator; a height that is not a number sets none.
    if (mistEliminatorHeight > 0.0 && h11 < kLeastDisengagementWithMist) h11 = kLeastDisengagementWithMist;
    if (mistEliminatorHeight == 0.0 && h11 < kLeastDisengagementWithoutMist) h11 = kLeastDisengagementWithoutMist;
    return h11;
}

}  // namespace kestrol::vertical
