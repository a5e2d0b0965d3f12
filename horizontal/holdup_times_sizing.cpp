#include "horizontal/holdup_times_sizing.h"

#include <cmath>

#include "horizontal/geometry.h"
#include "common/holdup_split.h"
#include "common/vessel_rules.h"

namespace kestrol::horizontal {
namespace {

/// Length-to-diameter ratio a free ratio starts from [-].
constexpr double kDefaultRatio = 3.0;
/// Step of every ratio search [-].
constexpr double kRatioStep = 0.1;
/// Ratio beyond which a vessel is not worth building this way [-].
constexpr double kMostRatio = 5.0;
/// Budget of ratio raises at a fixed diameter, and of diameters in the free search.
constexpr int kSearchTrials = 50;

/// What the host fixed and the values the search works with.
struct Working {
    bool heavy;
    bool diameterFixed;
    bool vapourSpaceFixed;
    double QV, QL, QH;
    double D, Hv, ratio, Vreq;
};

/// The volume below a vapour space of height Hv at diameter D [m3], at whatever ratio Slot::Ratio
/// holds: the ratio searches measure both volumes once, not at every step. The vapour space's
/// area is taken from `vapourSpace` when that is the space VapourSpaceHeight accepted there.
/// Most comparisons are decided from bounds on the volume above the liquid; it is measured
/// only when they leave one in doubt.
class VolumeBelowVapour {
public:
    VolumeBelowVapour(double D, double Hv, const VapourSpace& vapourSpace = {})
        : full_(MeasureFullVessel(D)), Hv_(Hv), vapourSpace_(vapourSpace), bounds_(BoundLiquidVolume(Hv, D, vapourSpace)) {}

    double At(SlotAccess& slots) { return LiquidVolumeAtRatio(slots, full_) - LiquidVolumeAtRatio(slots, Vapour()); }
    /// Whether At(slots) >= V, and whether At(slots) > V.
    bool AtLeast(SlotAccess& slots, double V) {
        const Range at = Bounds(slots);
        if (at.low >= V) return true;
        if (at.high < V) return false;
        return At(slots) >= V;
    }
    bool Above(SlotAccess& slots, double V) {
        const Range at = Bounds(slots);
        if (at.low > V) return true;
        if (at.high <= V) return false;
        return At(slots) > V;
    }

private:
    const LiquidVolumeParts& Vapour() {
        if (!vapourMeasured_) {
            vapour_ = MeasureLiquidVolume(Hv_, full_.D, vapourSpace_);
            vapourMeasured_ = true;
        }
        return vapour_;
    }
    Range Bounds(SlotAccess& slots) const {
        const double ratio = std::fabs(slots.Get(Slot::Ratio));
        const double full = LiquidVolumeAtRatio(slots, full_);
        const double room = kVolumeRoundingRoom * std::fabs(full);
        const double vapourLow = ratio * bounds_.area.low * bounds_.D + bounds_.headsFilled.low;
        const double vapourHigh = ratio * bounds_.area.high * bounds_.D + bounds_.headsFilled.high;
        return {full - vapourHigh - room, full - vapourLow + room};
    }

    LiquidVolumeParts full_;
    double Hv_;
    VapourSpace vapourSpace_;
    LiquidVolumeBounds bounds_;
    LiquidVolumeParts vapour_{};
    bool vapourMeasured_ = false;
};

/// Writes every result of the sized vessel: its diameter and ratio unless fixed, the levels,
/// the vapour space and the residence times that are missing. 0.0, or kEmptyValue when one
/// does not come out.
double WriteSizedVessel(const StreamState& feed, SlotAccess& slots, const Working& w) {
    if (!IsFixed(slots, Slot::Diameter) && !StoreResult(slots, Slot::Diameter, w.D)) return kEmptyValue;
    if (!IsFixed(slots, Slot::Ratio) && !StoreResult(slots, Slot::Ratio, w.ratio)) return kEmptyValue;
    const double D = w.D;
    double hH = 0.0;
    if (!w.vapourSpaceFixed) {
        double heldUp = std::fabs(slots.Get(Slot::LightResidenceTime)) * w.QL;
        if (w.heavy) {
            const double heavyHoldup = std::fabs(slots.Get(Slot::HeavyResidenceTime)) * w.QH;
            hH = LevelForVolume(slots, heavyHoldup);
            if (!StoreResult(slots, Slot::HeavyLevel, hH)) return kEmptyValue;
            heldUp = heldUp + heavyHoldup;
        }
        const double hTop = LevelForVolume(slots, heldUp);
        if (!StoreResult(slots, Slot::LightLayerThickness, hTop - hH)) return kEmptyValue;
        if (!StoreResult(slots, Slot::VapourSpaceHeight, D - hTop)) return kEmptyValue;
    } else if (w.heavy && !IsFixed(slots, Slot::LightResidenceTime)) {
        hH = LevelForVolume(slots, std::fabs(slots.Get(Slot::HeavyResidenceTime)) * w.QH);
        if (!StoreResult(slots, Slot::HeavyLevel, hH)) return kEmptyValue;
        if (!StoreResult(slots, Slot::LightLayerThickness, D - hH - w.Hv)) return kEmptyValue;
        slots.Set(Slot::LightResidenceTime, kEmptyValue);
    } else if (w.heavy) {
        // The vapour space and the light liquid are counted down from the top.
        const double lightTime = std::fabs(slots.Get(Slot::LightResidenceTime));
        hH = D - LevelForVolume(slots, HorizontalLiquidVolume(slots, w.Hv, D) + lightTime * w.QL);
        if (!StoreResult(slots, Slot::HeavyLevel, hH)) return kEmptyValue;
        slots.Set(Slot::HeavyResidenceTime, kEmptyValue);
        if (!StoreResult(slots, Slot::LightLayerThickness, D - hH - w.Hv)) return kEmptyValue;
    } else {
        if (!StoreResult(slots, Slot::LightLayerThickness, D - w.Hv)) return kEmptyValue;
        if (!IsFixed(slots, Slot::LightResidenceTime)) slots.Set(Slot::LightResidenceTime, kEmptyValue);
    }
    const bool timesMissing = IsEmpty(slots.Get(Slot::LightResidenceTime)) ||
                              (w.heavy && IsEmpty(slots.Get(Slot::HeavyResidenceTime)));
    if (timesMissing && IsEmpty(ResidenceTimesFromLevels(feed, slots))) return kEmptyValue;
    return 0.0;
}

/// Everything given: the volume below the vapour space sets the times that are not fixed.
double RateGivenVessel(const StreamState& feed, SlotAccess& slots, const Working& w) {
    const bool lightFixed = IsFixed(slots, Slot::LightResidenceTime);
    if (lightFixed && (!w.heavy || IsFixed(slots, Slot::HeavyResidenceTime))) return kEmptyValue;
    const double available = VolumeBelowVapour(w.D, w.Hv).At(slots);
    if (w.heavy) {
        if (IsEmpty(common::SplitHoldupVolume(feed, slots, available))) return kEmptyValue;
    } else if (!lightFixed) {
        if (!StoreResult(slots, Slot::LightResidenceTime, available / w.QL)) return kEmptyValue;
    }
    return WriteSizedVessel(feed, slots, w);
}

/// Diameter and vapour space given: the smallest ratio, in steps, that holds Vreq.
double SearchRatio(const StreamState& feed, SlotAccess& slots, Working& w) {
    if (VapourSpaceHeight(feed, slots, w.Hv) != w.Hv) return kEmptyValue;  // bit for bit: too small otherwise
    if (!(w.ratio <= kMostRatio)) return kEmptyValue;
    // Every pass adds a step and the last test stops the search past the limit, so it ends
    // within (limit / step) + 1 passes from any ratio at or above 0.
    VolumeBelowVapour available(w.D, w.Hv);
    for (;;) {
        w.ratio = w.ratio + kRatioStep;
        slots.Set(Slot::Ratio, w.ratio);
        if (available.Above(slots, w.Vreq)) {
            if (!(w.ratio <= kMostRatio)) return kEmptyValue;
            break;
        }
        if (!(w.ratio + kRatioStep <= kMostRatio)) return kEmptyValue;
    }
    return WriteSizedVessel(feed, slots, w);
}

/// Diameter given: the vapour space the velocity needs, then a ratio that holds Vreq.
double SearchVapourSpaceAtDiameter(const StreamState& feed, SlotAccess& slots, Working& w) {
    VapourSpace accepted;
    w.Hv = VapourSpaceHeight(feed, slots, FifthOrFoot(w.D), &accepted);
    if (IsEmpty(w.Hv)) return kEmptyValue;
    const bool ratioFixed = IsFixed(slots, Slot::Ratio);
    const bool lightFixed = IsFixed(slots, Slot::LightResidenceTime);
    const bool heavyFixed = IsFixed(slots, Slot::HeavyResidenceTime);
    VolumeBelowVapour available(w.D, w.Hv, accepted);
    if (ratioFixed && lightFixed && (!w.heavy || heavyFixed)) {
        if (!available.AtLeast(slots, w.Vreq)) return kEmptyValue;
        return WriteSizedVessel(feed, slots, w);
    }
    int raises = 0;
    while (!available.AtLeast(slots, w.Vreq) && !IsFixed(slots, Slot::Ratio)) {
        if (raises == kSearchTrials) return kEmptyValue;
        w.ratio = w.ratio + kRatioStep;
        slots.Set(Slot::Ratio, w.ratio);
        ++raises;
    }
    if (lightFixed) {
        // The light time alone is given: the heavy time must already be there to be used.
        if (w.heavy && !heavyFixed && !(slots.Get(Slot::HeavyResidenceTime) > 0.0)) return kEmptyValue;
        return WriteSizedVessel(feed, slots, w);
    }
    if (heavyFixed && w.heavy) return WriteSizedVessel(feed, slots, w);
    const double belowVapour = HorizontalLiquidVolume(slots, w.D - w.Hv, w.D);
    if (w.heavy) {
        if (IsEmpty(common::SplitHoldupVolume(feed, slots, belowVapour))) return kEmptyValue;
    } else if (!StoreResult(slots, Slot::LightResidenceTime, belowVapour / w.QL)) {
        return kEmptyValue;
    }
    return WriteSizedVessel(feed, slots, w);
}

/// Diameter free: grow it step by step, raising a free ratio first at each diameter.
double SearchDiameter(const StreamState& feed, SlotAccess& slots, Working& w) {
    const double fixedHv = FixedValue(slots, Slot::VapourSpaceHeight);
    // Only a free ratio is raised, and only to positive values: it stays free.
    const bool ratioFixed = IsFixed(slots, Slot::Ratio);
    double D = w.D;
    for (int trial = 0; trial < kSearchTrials; ++trial, D = D + kRoundingStep) {
        slots.Set(Slot::Diameter, D);
        // A fixed ratio is all a diameter that surely fails would have tried; a free one
        // would be raised on the measured volume.
        if (ratioFixed && MostLiquidBelowVapour(feed, slots, D) < w.Vreq) continue;
        const double Hv0 = w.vapourSpaceFixed ? fixedHv : FifthOrFoot(D);
        VapourSpace accepted;
        const double Hv = VapourSpaceHeight(feed, slots, Hv0, &accepted);
        if (IsEmpty(Hv) || (w.vapourSpaceFixed && Hv != Hv0)) continue;
        double ratio = std::fabs(slots.Get(Slot::Ratio));
        VolumeBelowVapour available(D, Hv, accepted);
        if (available.AtLeast(slots, w.Vreq)) {
            w.D = D;
            w.Hv = Hv;
            w.ratio = ratio;
            return WriteSizedVessel(feed, slots, w);
        }
        if (ratioFixed) continue;
        // The ratio that suffices is kept for the next diameter, not accepted here.
        while (ratio <= kMostRatio) {
            ratio = ratio + kRatioStep;
            slots.Set(Slot::Ratio, ratio);
            if (available.Above(slots, w.Vreq)) break;
        }
    }
    return kEmptyValue;
}

}  // namespace

double SizeFromHoldupTimes(const StreamState& feed, SlotAccess& slots) {
    Working w{};
    w.heavy = feed.HasHeavyLiquid();
    w.QV = feed.vapourVolumeFlow;
    w.QL = feed.lightLiquidVolumeFlow;
    w.QH = feed.heavyLiquidVolumeFlow;
    const double U = std::fabs(slots.Get(Slot::VapourVelocity));

    if (!IsFixed(slots, Slot::Ratio)) slots.Set(Slot::Ratio, kDefaultRatio);
    w.diameterFixed = IsFixed(slots, Slot::Diameter);
    w.vapourSpaceFixed = IsFixed(slots, Slot::VapourSpaceHeight);
    if (!w.diameterFixed) {
        double first;
        if (w.vapourSpaceFixed) {
            first = 2.0 * FixedValue(slots, Slot::VapourSpaceHeight);
        } else {
            first = common::VapourLoadDiameter(w.QV, U);
        }
        if (first <= kLeastDiameter) first = kLeastDiameter;
        if (!IsUsableLength(first)) {
            slots.Set(Slot::Diameter, kEmptyValue);
            return kEmptyValue;
        }
        slots.Set(Slot::Diameter, first);
    }
    w.D = std::fabs(slots.Get(Slot::Diameter));
    if (!IsUsableLength(w.D)) return kEmptyValue;
    w.Hv = std::fabs(slots.Get(Slot::VapourSpaceHeight));
    w.ratio = std::fabs(slots.Get(Slot::Ratio));
    w.Vreq = std::fabs(slots.Get(Slot::LightResidenceTime)) * w.QL;
    if (w.heavy) w.Vreq = w.Vreq + std::fabs(slots.Get(Slot::HeavyResidenceTime)) * w.QH;

    // After the first sizing of a case the times must stay as that sizing fixed them.
    if (TruncateToInt32(slots.Get(Slot::FirstPassFlag)) != 0) {
        if (!IsFixed(slots, Slot::LightResidenceTime)) return kEmptyValue;
        if (w.heavy && !IsFixed(slots, Slot::HeavyResidenceTime)) return kEmptyValue;
    }

    if (!w.diameterFixed) return SearchDiameter(feed, slots, w);
    if (!w.vapourSpaceFixed) return SearchVapourSpaceAtDiameter(feed, slots, w);
    if (IsFixed(slots, Slot::Ratio)) return RateGivenVessel(feed, slots, w);
    return SearchRatio(feed, slots, w);
}

}  // namespace kestrol::horizontal
