#include "horizontal/one_level_sizing.h"

#include <cmath>

#include "common/vessel_rules.h"
#include "horizontal/geometry.h"

namespace kestrol::horizontal {
namespace {

/// Least computed free level [m], and the tolerance on the room for the free liquid [m3].
constexpr double kLeastFreeLevel = 0.05;
constexpr double kVolumeTolerance = 0.05;
/// First diameter over a fixed vapour space [-].
constexpr double kDiameterPerVapourSpace = 3.0;
/// 0.3 * pi with the ten-digit pi: the vapour's share of the circle in the first estimate.
constexpr double kVapourShareOfCircle = 0.9424777961999999;
/// Enlargement when the fixed level and the vapour space do not fit in the diameter [-].
constexpr double kEnlargement = 1.3;
/// Diameter at which the ratio is probed once, when the first diameters lack room [m].
constexpr double kProbeDiameter = 4.572;
/// Step of the ratio in the probe and when a very small vessel has too much room [-].
constexpr double kRatioStep = 0.5;
/// The probe gives up on ratios beyond this [-].
constexpr double kMostProbeRatio = 40.0;
/// Whole vessel per D^3 beside the quarter of the ratio: the two heads, 1/12 [-].
constexpr double kHeadsShare = 0.08333333333333333;
/// Budget of passes of the free-diameter search.
constexpr int kMostPasses = 10000;
/// Enlargements right after a shrink that show the search has come round.
constexpr int kRoundTrips = 2;

struct Case {
    bool heavyGiven;      ///< the heavy level is the fixed one, else the light layer
    double QV, QL, QH;
    double hH, hL;        ///< kEmptyValue while not known
    bool hHKnown, hLKnown;
    double Vfree;         ///< hold-up the free liquid needs [m3]
    double lightTime, heavyTime;  ///< fixed times, else kEmptyValue
    bool vapourSpaceFixed;
};

double WholeVessel(SlotAccess& slots, double D) {
    const double cube = D * D * D;
    return kPi * cube * (0.25 * std::fabs(slots.Get(Slot::Ratio)) + kHeadsShare);
}

/// Room for the free liquid at diameter D under a vapour space Hv [m3].
double Room(SlotAccess& slots, const Case& c, double D, double Hv) {
    if (c.heavyGiven) {
        return WholeVessel(slots, D) - HorizontalLiquidVolume(slots, c.hH, D) - HorizontalLiquidVolume(slots, Hv, D);
    }
    // From the top, the vapour space and the light layer together fill what a level of
    // hL + Hv would fill from the bottom.
    return WholeVessel(slots, D) - HorizontalLiquidVolume(slots, c.hL + Hv, D);
}

double Results(SlotAccess& slots, Case& c, double D) {
    if (!IsFixed(slots, Slot::Diameter) && !StoreResult(slots, Slot::Diameter, D)) return kEmptyValue;
    if (c.hHKnown) {
        if (!IsFixed(slots, Slot::HeavyResidenceTime) &&
            !StoreResult(slots, Slot::HeavyResidenceTime, HorizontalLiquidVolume(slots, c.hH, D) / c.QH)) {
            return kEmptyValue;
        }
    } else {
        c.hH = LevelForVolume(slots, c.heavyTime * c.QH);
        if (!StoreResult(slots, Slot::HeavyLevel, c.hH)) return kEmptyValue;
    }
    if (c.hLKnown) {
        const double stored = slots.Get(Slot::LightResidenceTime);
        if (IsEmpty(stored) || stored > 0.0) {
            const double light = (HorizontalLiquidVolume(slots, c.hH + c.hL, D) -
                                  std::fabs(slots.Get(Slot::HeavyResidenceTime)) * c.QH) / c.QL;
            if (!StoreResult(slots, Slot::LightResidenceTime, light)) return kEmptyValue;
        }
    } else {
        const double hTop = LevelForVolume(slots, std::fabs(slots.Get(Slot::HeavyResidenceTime)) * c.QH + c.lightTime * c.QL);
        c.hL = hTop - c.hH;
        if (!StoreResult(slots, Slot::LightLayerThickness, c.hL)) return kEmptyValue;
    }
    if (!c.vapourSpaceFixed && !StoreResult(slots, Slot::VapourSpaceHeight, D - c.hL - c.hH)) return kEmptyValue;
    return 0.0;
}

/// Records the level the free liquid takes, when the fixed diameter sets it.
bool StoreFreeLevel(SlotAccess& slots, Case& c, double level) {
    if (c.heavyGiven) {
        c.hL = level;
        c.hLKnown = true;
        return StoreResult(slots, Slot::LightLayerThickness, level);
    }
    c.hH = level;
    c.hHKnown = true;
    return StoreResult(slots, Slot::HeavyLevel, level);
}

double SizeAtFixedDiameter(const StreamState& feed, SlotAccess& slots, Case& c, double D) {
    if (!IsUsableLength(D)) return kEmptyValue;
    const double freeTime = c.heavyGiven ? c.lightTime : c.heavyTime;
    if (!IsEmpty(freeTime)) return Results(slots, c, D);
    const double hF = c.heavyGiven ? c.hH : c.hL;
    if (c.vapourSpaceFixed) {
        const double Hv = FixedValue(slots, Slot::VapourSpaceHeight);
        const double level = D - hF - Hv;
        if (!(level >= 0.0)) return kEmptyValue;
        if (!StoreFreeLevel(slots, c, level)) return kEmptyValue;
        return Results(slots, c, D);
    }
    const double Hv = VapourSpaceHeight(feed, slots, FifthOrFoot(D));
    if (IsEmpty(Hv)) return kEmptyValue;
    const double level = D - Hv - hF;
    if (!(level >= kLeastFreeLevel)) return kEmptyValue;
    if (!StoreFreeLevel(slots, c, level)) return kEmptyValue;
    slots.Set(Slot::VapourSpaceHeight, Hv);
    return Results(slots, c, D);
}

/// The vapour space of a pass: the host's, or the one the velocity needs, written to Slot::VapourSpaceHeight
/// (kEmptyValue there too when there is none).
double PassVapourSpace(const StreamState& feed, SlotAccess& slots, const Case& c, double D) {
    if (c.vapourSpaceFixed) return FixedValue(slots, Slot::VapourSpaceHeight);
    const double Hv = VapourSpaceHeight(feed, slots, FifthOrFoot(D));
    slots.Set(Slot::VapourSpaceHeight, Hv);  // empty when none fits: the pass fails on it
    return Hv;
}

/// Once only: raises a free ratio at the probe diameter until the free liquid fits there,
/// then puts the diameter and vapour space back. false when the vessel cannot be made to fit.
bool ProbeRatio(const StreamState& feed, SlotAccess& slots, const Case& c, double savedD, double savedHv) {
    double Hv = savedHv;
    slots.Set(Slot::Diameter, kProbeDiameter);
    if (!c.vapourSpaceFixed) {
        Hv = VapourSpaceHeight(feed, slots, savedHv);
        if (IsEmpty(Hv)) return false;
    }
    double shortfall = c.Vfree - Room(slots, c, kProbeDiameter, Hv);
    // Each pass raises the ratio by a step up to a limit, so the probe ends.
    while (!(shortfall <= kVolumeTolerance)) {
        if (std::isnan(shortfall) || IsFixed(slots, Slot::Ratio)) return false;
        const double ratio = std::fabs(slots.Get(Slot::Ratio)) + kRatioStep;
        if (!(ratio <= kMostProbeRatio)) return false;
        slots.Set(Slot::Ratio, ratio);
        if (!c.vapourSpaceFixed) {
            Hv = VapourSpaceHeight(feed, slots, Hv);
            if (IsEmpty(Hv)) return false;
        }
        shortfall = c.Vfree - Room(slots, c, kProbeDiameter, Hv);
    }
    slots.Set(Slot::Diameter, savedD);
    if (!c.vapourSpaceFixed) slots.Set(Slot::VapourSpaceHeight, savedHv);
    return true;
}

double SearchDiameter(const StreamState& feed, SlotAccess& slots, Case& c) {
    if (IsFixed(slots, Slot::LightResidenceTime) && IsFixed(slots, Slot::HeavyResidenceTime)) return kEmptyValue;
    if (IsEmpty(c.heavyGiven ? c.lightTime : c.heavyTime)) return kEmptyValue;  // nothing to size the free liquid by

    double D;
    if (c.vapourSpaceFixed) {
        D = kDiameterPerVapourSpace * FixedValue(slots, Slot::VapourSpaceHeight);
        if (!IsUsableLength(D)) {
            slots.Set(Slot::Diameter, kEmptyValue);
            return kEmptyValue;
        }
        slots.Set(Slot::Diameter, D);
    } else {
        const double U = std::fabs(slots.Get(Slot::VapourVelocity));
        D = common::VapourLoadDiameter(c.QV, U, kVapourShareOfCircle);
        if (!IsUsableLength(D)) {
            slots.Set(Slot::Diameter, kEmptyValue);
            return kEmptyValue;
        }
    }
    const double hF = c.heavyGiven ? c.hH : c.hL;

    bool probed = false;
    bool lastPassShrank = false;
    int enlargementsAfterShrink = 0;
    double shrunkD = D;
    double shrunkHv = kEmptyValue;
    for (int pass = 0; pass < kMostPasses; ++pass) {
        // An enlargement over an infinite level or vapour space gives no diameter at all.
        if (!IsUsableLength(D)) {
            slots.Set(Slot::Diameter, kEmptyValue);
            return kEmptyValue;
        }
        slots.Set(Slot::Diameter, D);
        const double Hv = PassVapourSpace(feed, slots, c, D);
        if (IsEmpty(Hv)) return kEmptyValue;
        if (D - hF - Hv < 0.0) {
            // Shrinking into a diameter that the fixed level and vapour space overfill, and
            // enlarging out of it again, would go round for ever: the second time, settle
            // for the last diameter that had too much room.
            if (lastPassShrank && ++enlargementsAfterShrink == kRoundTrips) {
                slots.Set(Slot::Diameter, shrunkD);
                if (!c.vapourSpaceFixed) slots.Set(Slot::VapourSpaceHeight, shrunkHv);
                return Results(slots, c, shrunkD);
            }
            lastPassShrank = false;
            D = kEnlargement * (hF + Hv);
            continue;
        }
        lastPassShrank = false;
        const double room = Room(slots, c, D, Hv);
        const double shortfall = c.Vfree - room;
        if (std::isnan(shortfall)) return kEmptyValue;
        if (shortfall > kVolumeTolerance) {
            if (!probed) {
                if (!ProbeRatio(feed, slots, c, D, Hv)) return kEmptyValue;
                probed = true;
            }
            D = D + kRoundingStep;
            continue;
        }
        if (room - c.Vfree <= kVolumeTolerance) return Results(slots, c, D);
        // Too much room.
        if (probed) return Results(slots, c, D);
        if (D >= kFoot) {
            shrunkD = D;
            shrunkHv = Hv;
            lastPassShrank = true;
            D = D - kRoundingStep;
            continue;
        }
        if (IsFixed(slots, Slot::Ratio)) return Results(slots, c, D);
        const double ratio = std::fabs(slots.Get(Slot::Ratio)) - kRatioStep;
        if (!(ratio >= 0.0)) return Results(slots, c, D);
        slots.Set(Slot::Ratio, ratio);
    }
    return kEmptyValue;
}

}  // namespace

double SizeFromOneLevel(const StreamState& feed, SlotAccess& slots) {
    if (IsEmpty(slots.Get(Slot::Ratio))) return kEmptyValue;
    const double heavyLevel = FixedValue(slots, Slot::HeavyLevel);
    const double lightLayer = FixedValue(slots, Slot::LightLayerThickness);
    // Exactly one level is the host's; the other liquid must exist to be fitted.
    if (IsEmpty(heavyLevel) == IsEmpty(lightLayer)) return kEmptyValue;
    if (!feed.HasHeavyLiquid()) return kEmptyValue;

    Case c{};
    c.heavyGiven = !IsEmpty(heavyLevel);
    c.QV = feed.vapourVolumeFlow;
    c.QL = feed.lightLiquidVolumeFlow;
    c.QH = feed.heavyLiquidVolumeFlow;
    c.hH = heavyLevel;
    c.hL = lightLayer;
    c.hHKnown = c.heavyGiven;
    c.hLKnown = !c.heavyGiven;
    c.lightTime = FixedValue(slots, Slot::LightResidenceTime);
    c.heavyTime = FixedValue(slots, Slot::HeavyResidenceTime);
    c.Vfree = c.heavyGiven ? c.lightTime * c.QL : c.heavyTime * c.QH;
    c.vapourSpaceFixed = IsFixed(slots, Slot::VapourSpaceHeight);

    if (IsFixed(slots, Slot::Diameter)) return SizeAtFixedDiameter(feed, slots, c, FixedValue(slots, Slot::Diameter));
    return SearchDiameter(feed, slots, c);
}

}  // namespace kestrol::horizontal
