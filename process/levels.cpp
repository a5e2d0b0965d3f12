#include "process/levels.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/stream_state.h"
#include "model/level_inputs.h"
#include "vertical/head_volume.h"

namespace kestrol::process {
namespace {

/// Full-precision circle constant: the exact volume is the ladder's own (and the review's), not
/// the sizing's ten-digit one.
constexpr double kExactPi = 3.14159265358979323846;

/// Halvings of a level bracket at most: a bracket of a 40 m vessel is then far below a
/// double's resolution, and the search stops earlier when the midpoint no longer moves.
constexpr int kBisectionBudget = 200;

constexpr const char* kNames[kSetPointCount] = {"HHLL", "HLL", "NLL", "LLL", "LLLL", "HIL", "NIL", "LIL"};
constexpr const char* kKeys[kSetPointCount] = {"hhll_m", "hll_m", "nll_m", "lll_m", "llll_m", "hil_m", "nil_m", "lil_m"};
constexpr const char* kTimeNames[kLevelTimeCount] = {"holdup", "surge", "high_alarm", "low_alarm"};
static_assert(host::kGivenLIL - host::kGivenHHLL + 1 == static_cast<int>(kSetPointCount), "one level key per set point, in SetPoint order");

std::size_t At(SetPoint p) { return static_cast<std::size_t>(p); }
std::size_t At(LevelTime t) { return static_cast<std::size_t>(t); }


/// Highest level the vessel holds [m]: a lying drum's top; upright the cylinder goes on.
double Top(const VesselShape& shape) { return shape.upright ? std::numeric_limits<double>::infinity() : shape.diameter; }

/// The level in [lo, hi] below which the vessel holds `target` [m3], by halving the bracket.
double Bisect(const VesselShape& shape, double lo, double hi, double target) {
    for (int step = 0; step < kBisectionBudget; ++step) {
        const double mid = 0.5 * (lo + hi);
        if (!(mid > lo && mid < hi)) break;
        (VolumeBelow(shape, mid) < target ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

}  // namespace

const char* SetPointName(SetPoint p) { return kNames[At(p)]; }
const char* SetPointKey(SetPoint p) { return kKeys[At(p)]; }
const char* LevelTimeName(LevelTime t) { return kTimeNames[At(t)]; }

double ExactLiquidVolume(double h, double D, double tangentLength) {
    const double r = 0.5 * D;
    const double headDepth = 0.25 * D;
    const double level = std::clamp(h, 0.0, D);
    const double segment = r * r * std::acos((r - level) / r) - (r - level) * std::sqrt(2.0 * r * level - level * level);
    // Both heads together: each is half an ellipsoid of semi-axes r, r and D/4.
    const double heads = kExactPi * headDepth * level * level * (1.0 - level / (3.0 * r));
    return tangentLength * segment + heads;
}

double VolumeBelow(const VesselShape& shape, double h) {
    if (!(h > 0.0)) return 0.0;
    if (!shape.upright) return ExactLiquidVolume(h, shape.diameter, shape.tangentLength);
    return vertical::VolumeBelowForTimes(h, shape.diameter);
}

double LevelAfter(const VesselShape& shape, double from, double volume) {
    const double target = VolumeBelow(shape, from) + volume;
    if (!(target > 0.0)) return 0.0;
    const double d = shape.diameter;
    if (shape.upright) {
        const double head = d / 4.0;
        // Above the head the volume is linear in the level: its inverse is exact.
        if (target > VolumeBelow(shape, head)) return target / (kPiOver4 * (d * d)) + d * vertical::kOneTwelfth;
        return Bisect(shape, 0.0, head, target);
    }
    if (target >= VolumeBelow(shape, d)) return d;
    return Bisect(shape, 0.0, d, target);
}

Ladder PlaceLevels(const LevelBasis& b) {
    Ladder l;
    l.heights.fill(kEmptyValue);
    l.vapourSpaceBottom = b.vapourSpaceBottom;
    l.alarmMargin = b.alarmMargin;
    l.surgeTime = b.surgeTime;
    l.alarmTime = b.alarmTime;
    l.threePhase = b.heavyFlow > 0.0;
    const VesselShape& shape = b.shape;
    const double top = Top(shape);
    const auto pick = [&](SetPoint p, double placed) {
        const double given = b.given[At(p)];
        return l.heights[At(p)] = IsEmpty(given) ? placed : given;
    };
    // Alarm levels keep the margin from their neighbour even when the time asks for less.
    const auto above = [&](double from, double volume) { return std::max(LevelAfter(shape, from, volume), std::min(from + b.alarmMargin, top)); };
    const auto below = [&](double from, double volume) { return std::min(LevelAfter(shape, from, -volume), std::max(from - b.alarmMargin, 0.0)); };

    const double q = b.liquidFlow;
    const double nll = pick(SetPoint::NLL, b.surface);
    const double lll = pick(SetPoint::LLL, b.minimum);
    const double hll = pick(SetPoint::HLL, LevelAfter(shape, nll, b.surgeTime * q));
    const double hhll = pick(SetPoint::HHLL, above(hll, b.alarmTime * q));
    const double llll = pick(SetPoint::LLLL, below(lll, b.alarmTime * q));
    if (l.threePhase) {
        const double nil = pick(SetPoint::NIL, b.heavyLevel);
        pick(SetPoint::HIL, above(nil, b.alarmTime * b.heavyFlow));
        pick(SetPoint::LIL, below(nil, b.alarmTime * b.heavyFlow));
    }

    const std::pair<double, double> stretches[kLevelTimeCount] = {{lll, nll}, {nll, hll}, {hll, hhll}, {llll, lll}};
    for (std::size_t i = 0; i < kLevelTimeCount; ++i) {
        l.volumes[i] = VolumeBelow(shape, stretches[i].second) - VolumeBelow(shape, stretches[i].first);
        l.times[i] = q > 0.0 ? l.volumes[i] / q : kEmptyValue;
    }
    return l;
}

std::optional<LevelBasis> BasisOf(const host::SizingCase& c, const host::SizingOutcome& o) {
    if (!o.Sized() || (o.orientation != 0 && o.orientation != 1)) return std::nullopt;
    LevelBasis b;
    const double d = o.MagnitudeAt(Slot::Diameter);
    b.shape = VesselShape{o.orientation == 0, d, o.MagnitudeAt(Slot::Ratio) * d};
    const StreamState feed = host::FeedAsSized(c, o.liquidAssumed);
    const bool heavy = feed.HasHeavyLiquid();
    b.heavyFlow = heavy ? feed.heavyLiquidVolumeFlow : 0.0;
    b.liquidFlow = feed.lightLiquidVolumeFlow + b.heavyFlow;
    b.heavyLevel = heavy ? o.MagnitudeAt(Slot::HeavyLevel) : 0.0;
    b.surface = b.heavyLevel + o.MagnitudeAt(Slot::LightLayerThickness);
    b.minimum = o.MagnitudeAt(Slot::MinimumLevel);
    if (b.shape.upright) {
        b.vapourSpaceBottom = b.surface + o.MagnitudeAt(Slot::VapourAllowance);
    } else {
        const double space = o.MagnitudeAt(Slot::VapourSpaceHeight);
        b.vapourSpaceBottom = space > 0.0 ? d - space : d;
    }
    const host::LevelInputs& in = c.levels;
    if (in.Has(host::kSurgeTime)) b.surgeTime = in.Get(host::kSurgeTime);
    if (in.Has(host::kAlarmTime)) b.alarmTime = in.Get(host::kAlarmTime);
    if (in.Has(host::kAlarmMargin)) b.alarmMargin = in.Get(host::kAlarmMargin);
    for (std::size_t i = 0; i < kSetPointCount; ++i) b.given[i] = in.Get(host::kGivenHHLL + static_cast<int>(i));
    if (!heavy)
        for (SetPoint p : {SetPoint::HIL, SetPoint::NIL, SetPoint::LIL}) b.given[At(p)] = kEmptyValue;
    return b;
}

std::optional<Ladder> LevelsOf(const host::SizingCase& c, const host::SizingOutcome& o) {
    const std::optional<LevelBasis> b = BasisOf(c, o);
    if (!b) return std::nullopt;
    return PlaceLevels(*b);
}

}  // namespace kestrol::process
