// Level set points of a sized vessel: the low-low, low, normal, high and high-high liquid levels
// and, under a light liquid, the low, normal and high interface levels; the liquid volume
// between neighbouring set points by the vessel's exact geometry, and the time each holds at
// the liquid inflow. Read from a finished sizing; nothing here writes into one.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "core/values.h"
#include "model/case_file.h"
#include "model/sizing_run.h"

namespace kestrol::process {

enum class SetPoint { HHLL, HLL, NLL, LLL, LLLL, HIL, NIL, LIL };
inline constexpr std::size_t kSetPointCount = 8;

/// "HHLL", ...: as JSON and the report name them.
const char* SetPointName(SetPoint p);
/// The case key that gives the set point, e.g. "hhll_m".
const char* SetPointKey(SetPoint p);

/// The stretches of the ladder whose times are reported.
enum class LevelTime { Holdup, Surge, HighAlarm, LowAlarm };
inline constexpr std::size_t kLevelTimeCount = 4;

/// "holdup", "surge", "high_alarm", "low_alarm".
const char* LevelTimeName(LevelTime t);

/// Surge time from the normal to the high level [s] when the case gives none: 3 min, the least
/// residence time "within the controllable range" when the surge volume is unspecified
/// (industrialseparation.com, "Length of Vessel", 2018-04-10, a design practice for gas-liquid
/// separators). The same practice's "Liquid Surge Volume" page asks 4 to 20 min between the
/// maximum and minimum levels by where the product goes (storage, a column, a heater); a case
/// does not say, so the figure for an unspecified surge is taken, above the normal level the
/// sizing's residence time already holds.
inline constexpr double kDefaultSurgeTime = 180.0;

/// Time from an alarm level to its trip [s] when the case gives none: 5 min, the least the same
/// practice ("Length of Vessel") asks between the high level alarm and the automatic shutdown
/// level "for compressor protection", at the largest liquid rate. It is the one time it names
/// for that stretch; the low side, for which it names none, takes the same.
inline constexpr double kDefaultAlarmTime = 300.0;

/// Least distance between two neighbouring set points [m] when the case gives none: 6 in, the
/// least surge height of Svrcek and Monnery's vertical procedure ("Design two-phase separators
/// within the right limits", Chem. Eng. Prog., October 1993), as kpatvt/sim21 implements it
/// (sim21/design/DesignSep2Phase.py, Vertical.Solve: Hs at least 0.5 ft).
inline constexpr double kDefaultAlarmMargin = 0.1524;

/// Exact liquid volume [m3] up to level h [m] of a horizontal cylinder of tangent length
/// `tangentLength` and diameter D [m] with two 2:1 elliptical heads, full-precision pi.
double ExactLiquidVolume(double h, double D, double tangentLength);

/// The vessel as the volumes below a level see it.
struct VesselShape {
    bool upright = true;
    double diameter = 0.0;       ///< [m]
    double tangentLength = 0.0;  ///< cylindrical length or height [m]
};

/// Liquid volume [m3] below level h [m]: lying down the exact volume above; upright the bottom
/// head's cubic and the cylinder over it, exact for a 2:1 head (the cylinder carried on past its
/// top, so that a level the vessel cannot hold still has its volume).
double VolumeBelow(const VesselShape& shape, double h);

/// The level [m] at which the vessel holds `volume` [m3] more (less, for a negative volume)
/// than at `from`: at most the top of a lying drum, at least the bottom.
double LevelAfter(const VesselShape& shape, double from, double volume);

/// What places the ladder, read from a sized case.
struct LevelBasis {
    VesselShape shape;
    double liquidFlow = 0.0;  ///< every liquid together [m3/s]
    double heavyFlow = 0.0;   ///< [m3/s]; 0 for a two-phase case
    double surface = 0.0;     ///< the sized liquid surface [m]
    double minimum = 0.0;     ///< the sized minimum liquid level [m]
    double heavyLevel = 0.0;  ///< the sized heavy-liquid level [m]
    /// Where the vapour space starts [m]: upright the top of the vapour allowance over the
    /// sized surface, lying down the bottom of the vapour space under the top.
    double vapourSpaceBottom = 0.0;
    double surgeTime = kDefaultSurgeTime;      ///< [s]
    double alarmTime = kDefaultAlarmTime;      ///< [s]
    double alarmMargin = kDefaultAlarmMargin;  ///< [m]
    /// Set points the case gives, by SetPoint; kEmptyValue where it gives none.
    std::array<double, kSetPointCount> given{};

    LevelBasis() { given.fill(kEmptyValue); }
};

struct Ladder {
    /// By SetPoint [m]; kEmptyValue for the interface levels of a two-phase case.
    std::array<double, kSetPointCount> heights{};
    /// By LevelTime: the liquid volume of each stretch [m3] and its time at the inflow [s],
    /// negative where the stretch runs downward (a normal level below the low level).
    std::array<double, kLevelTimeCount> volumes{};
    std::array<double, kLevelTimeCount> times{};
    double vapourSpaceBottom = 0.0;  ///< [m]
    double alarmMargin = 0.0;        ///< [m]
    double surgeTime = 0.0;          ///< asked [s]
    double alarmTime = 0.0;          ///< asked [s]
    bool threePhase = false;

    double Height(SetPoint p) const { return heights[static_cast<std::size_t>(p)]; }
    double Time(LevelTime t) const { return times[static_cast<std::size_t>(t)]; }
    double Volume(LevelTime t) const { return volumes[static_cast<std::size_t>(t)]; }
};

/// Places every set point: NLL the sized surface, LLL the sized minimum level, HLL the surge
/// time above NLL, HHLL the alarm time above HLL and LLLL below LLL, each at least the margin
/// away; the interface levels the alarm time at the heavy liquid's inflow (and the margin)
/// either side of the sized heavy level. A set point the case gives is taken as given.
Ladder PlaceLevels(const LevelBasis& basis);

/// The basis of a sized case, or nothing when the case was not sized.
std::optional<LevelBasis> BasisOf(const host::SizingCase& c, const host::SizingOutcome& o);

/// The ladder of a sized case, or nothing when the case was not sized.
std::optional<Ladder> LevelsOf(const host::SizingCase& c, const host::SizingOutcome& o);

}  // namespace kestrol::process
