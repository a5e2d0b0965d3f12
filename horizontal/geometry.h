// Geometry of a horizontal vessel with two 2:1 elliptical heads: filled areas and volumes, the
// level that holds a volume, the vapour space the vapour velocity needs, and the residence
// times that liquid levels give. Levels are measured up from the bottom of the vessel.
#pragma once

#include <cmath>

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::horizontal {

/// Filled area [m2] of a circle of diameter D [m] up to level h [m]; h is clamped to [0, D].
/// A segment measured down from the top has the same area, so this is also the area of a
/// vapour space of height h.
double SegmentArea(double D, double h);

/// The arc-cosine of x in [0, 1] by a cheap polynomial fit, within 1e-4 rad of the library's.
double ArcCosineFit(double x);

/// Room for the rounding of a liquid volume when it is compared through bounds, as a share of
/// the volume [-]: far wider than the few roundings of the exact volume and of its bounds.
inline constexpr double kVolumeRoundingRoom = 1.0e-12;

/// Bounds within which a value surely lies. A NaN bound decides nothing: every comparison
/// with it fails, and the caller measures instead.
struct Range {
    double low, high;
};

/// Bounds of SegmentArea(D, h) from the arc-cosine fit: they take in the fit's error and the
/// rounding of both areas.
Range FitSegmentArea(double D, double h);

/// The upper bound of such a fit when it shows the area surely positive; +infinity otherwise.
double FittedAreaCeiling(const Range& fit);

/// Bounds of y to the power of the heads' fill exponent, from a polynomial fit, for y in
/// [0, 0.55]; NaN bounds elsewhere.
Range FitHeadPower(double y);

/// Liquid volume [m3] up to level h of a vessel of diameter D and the ratio in Slot::Ratio.
double HorizontalLiquidVolume(SlotAccess& slots, double h, double D);

/// HorizontalLiquidVolume(slots, D, D): the whole vessel [m3].
double FullVesselVolume(SlotAccess& slots, double D);

/// A vapour space that VapourSpaceHeight accepted: the diameter it read, the height, and the
/// area there, which the sizing needs again for the liquid below it: measured, or, when the
/// fit alone showed that it carries the flow, only bounded (the area stays empty).
struct VapourSpace {
    double D = kEmptyValue, h = kEmptyValue, area = kEmptyValue;
    Range areaRange = {kEmptyValue, kEmptyValue};
    bool measured = false;
};

/// The liquid volume up to one level of one vessel, but for its ratio: a search that only
/// raises the ratio measures the area and the heads' share once. Multiplied out in the very
/// order HorizontalLiquidVolume uses, so the volume keeps its bits.
struct LiquidVolumeParts {
    double D, area, headsFilled;
};

/// The parts of HorizontalLiquidVolume(slots, h, D), with the filled area taken from `known`
/// when it was measured at this very diameter and level (compared bit for bit); and of
/// FullVesselVolume(slots, D).
LiquidVolumeParts MeasureLiquidVolume(double h, double D, const VapourSpace& known = {});
LiquidVolumeParts MeasureFullVessel(double D);

/// The same parts within bounds, without measuring: the area from the fit, or from `known`
/// when it is this very space, and the heads' share from the fit of the power.
struct LiquidVolumeBounds {
    double D;
    Range area, headsFilled;
};
LiquidVolumeBounds BoundLiquidVolume(double h, double D, const VapourSpace& known);

/// The volume [m3] those parts hold at the ratio now in Slot::Ratio.
inline double LiquidVolumeAtRatio(SlotAccess& slots, const LiquidVolumeParts& m) {
    return std::fabs(slots.Get(Slot::Ratio)) * m.area * m.D + m.headsFilled;
}

/// Level [m] at which the stored vessel holds volume V [m3]; 0.0 when none is found
/// (a volume too small to matter gives 0.0 as well).
double LevelForVolume(SlotAccess& slots, double V);

/// The smallest height, h itself (bit for bit) or h raised in steps of 5 %, at which the
/// vapour flow keeps within the allowable velocity; kEmptyValue when none fits below D. The
/// space found is described in `accepted` when given.
double VapourSpaceHeight(const StreamState& feed, SlotAccess& slots, double h, VapourSpace* accepted = nullptr);

/// An upper bound of the liquid volume [m3] that the vessel of diameter D at the ratio in
/// Slot::Ratio holds below any vapour space VapourSpaceHeight accepts there, with room for the
/// rounding of that volume: such a space has at least the area the vapour needs, and the
/// heads' share of it is not negative, so the liquid is at most the full vessel less that
/// area along the cylinder. NaN when the flow and velocity set no area.
double MostLiquidBelowVapour(const StreamState& feed, SlotAccess& slots, double D);

/// Whether a vapour space of area A carries the flow QV within the velocity U.
inline bool AreaCarries(double QV, double U, double A) { return QV / A <= U; }

/// Whether a vapour space of height h under the top of a vessel of diameter D carries the
/// flow QV within the velocity U: the test each trial of VapourSpaceHeight makes.
inline bool VapourSpaceCarries(double QV, double U, double D, double h) { return AreaCarries(QV, U, SegmentArea(D, h)); }

/// Residence time [s] of a liquid of flow q held up to level h, once the hold-up of the
/// other liquid (qOther times the heavy time) is taken away.
double ResidenceTimeAtLevel(SlotAccess& slots, double qOther, double q, double h);

/// Fills both times from the light layer and the heavy level: 0.0, or kEmptyValue (with that slot
/// left as it was) when a time comes out negative or not finite.
double ResidenceTimesFromLevels(const StreamState& feed, SlotAccess& slots);

}  // namespace kestrol::horizontal
