#include "review/level_findings.h"

#include <cmath>
#include <optional>

#include "process/levels.h"
#include "review/outcome_slots.h"

namespace kestrol::review::levels {
namespace {

using host::Quantity;
using process::Ladder;
using process::LevelTime;
using process::SetPoint;

/// Heights are compared with this slack [m], so that a set point placed exactly at the margin
/// (a sum that may lose its last bit) is not too close.
constexpr double kSlack = 1e-9;
/// Names a pair's lower end that is the vessel's bottom rather than a set point.
constexpr double kBottom = -1.0;

// A ladder the case asked for (its levels block gives something) that does not fit is a
// warning. Placed from the defaults alone it is a note: the sizing leaves no room above the
// normal level (the vapour space starts there) and does not raise the level to the minimum, so
// nearly every vessel it builds would warn, and a batch's --strict gate would stop on each.
Finding& Add(Review& r, Code code, const host::SizingCase& c, bool assumed) {
    Finding& f = r.Add(code, c.levels.Any() && !assumed ? Severity::Warning : Severity::Note);
    f.assumedLiquid = assumed;
    return f;
}

double PointCode(SetPoint p) { return static_cast<double>(static_cast<int>(p)); }

std::string PointName(double code) { return code < 0.0 ? "the bottom" : process::SetPointName(static_cast<SetPoint>(static_cast<int>(code))); }

/// A pair of neighbouring set points. The ladder runs bottom up through the interface levels
/// (under a light liquid), which must lie below the low-low level, and the liquid levels.
struct Pair {
    double lower;  ///< a SetPoint as a number, or kBottom
    SetPoint upper;
};

void TooClose(Review& r, const host::SizingCase& c, const Ladder& l, const process::LevelBasis& b, bool assumed) {
    std::optional<Pair> worst;
    double worstGap = 0.0;
    int count = 0;
    const auto check = [&](double lowerCode, double lowerHeight, SetPoint upper) {
        const double gap = l.Height(upper) - lowerHeight;
        // A normal level below the low level is its own finding.
        if (upper == SetPoint::NLL && gap < 0.0) return;
        if (!(gap < l.alarmMargin - kSlack)) return;
        ++count;
        if (!worst || gap < worstGap) {
            worst = Pair{lowerCode, upper};
            worstGap = gap;
        }
    };
    const SetPoint liquid[] = {SetPoint::LLLL, SetPoint::LLL, SetPoint::NLL, SetPoint::HLL, SetPoint::HHLL};
    double lowerCode = kBottom, lowerHeight = 0.0;
    if (l.threePhase) {
        for (SetPoint p : {SetPoint::LIL, SetPoint::NIL, SetPoint::HIL}) {
            check(lowerCode, lowerHeight, p);
            lowerCode = PointCode(p);
            lowerHeight = l.Height(p);
        }
    }
    for (SetPoint p : liquid) {
        check(lowerCode, lowerHeight, p);
        lowerCode = PointCode(p);
        lowerHeight = l.Height(p);
    }
    if (!worst) return;
    const double lower = worst->lower < 0.0 ? 0.0 : l.Height(static_cast<SetPoint>(static_cast<int>(worst->lower)));
    Finding& w = Add(r, Code::LevelsTooClose, c, assumed);
    w.Add("lower_point", worst->lower, Quantity::Plain);
    w.Add("upper_point", PointCode(worst->upper), Quantity::Plain);
    w.Add("lower_height", lower, Quantity::Length);
    w.Add("upper_height", l.Height(worst->upper), Quantity::Length);
    w.Add("distance", worstGap, Quantity::Length);
    w.Add("alarm_margin", l.alarmMargin, Quantity::Length);
    w.Add("pairs_too_close", count, Quantity::Plain);
    if (worst->upper == SetPoint::HLL && b.liquidFlow > 0.0) {
        const double nll = l.Height(SetPoint::NLL);
        const double margin = process::VolumeBelow(b.shape, nll + l.alarmMargin) - process::VolumeBelow(b.shape, nll);
        w.Add("least_surge_time", margin / b.liquidFlow, Quantity::Time);
    }
}

}  // namespace

void AddFindings(Review& r, const host::SizingCase& c, const host::SizingOutcome& o) {
    const std::optional<process::LevelBasis> b = process::BasisOf(c, o);
    if (!b) return;
    const Ladder l = process::PlaceLevels(*b);
    const bool assumed = o.liquidAssumed;
    const double hhll = l.Height(SetPoint::HHLL), nll = l.Height(SetPoint::NLL), lll = l.Height(SetPoint::LLL);
    if (hhll > l.vapourSpaceBottom + kSlack) {
        Finding& w = Add(r, Code::LevelsAboveVapourSpace, c, assumed);
        w.Add("hhll", hhll, Quantity::Length);
        w.Add("vapour_space_bottom", l.vapourSpaceBottom, Quantity::Length);
        w.Add("excess", hhll - l.vapourSpaceBottom, Quantity::Length);
        if (b->liquidFlow > 0.0) {
            const double room = process::VolumeBelow(b->shape, l.vapourSpaceBottom) - process::VolumeBelow(b->shape, nll);
            w.Add("room_time", room / b->liquidFlow, Quantity::Time);
            w.Add("surge_and_alarm_time", l.Time(LevelTime::Surge) + l.Time(LevelTime::HighAlarm), Quantity::Time);
        }
        if (b->shape.upright) w.Add("least_vapour_allowance", o.MagnitudeAt(Slot::VapourAllowance) + hhll - l.vapourSpaceBottom, Quantity::Length);
    }
    if (nll < lll - kSlack) {
        Finding& w = Add(r, Code::NormalLevelBelowLowLevel, c, assumed);
        w.Add("nll", nll, Quantity::Length);
        w.Add("lll", lll, Quantity::Length);
        w.Add("shortfall", lll - nll, Quantity::Length);
        if (IsSetAndFinite(l.Time(LevelTime::Holdup))) w.Add("holdup_time", l.Time(LevelTime::Holdup), Quantity::Time);
    }
    TooClose(r, c, l, *b, assumed);
}

std::string Describe(const Finding& f, const std::function<std::string(const char*)>& show) {
    switch (f.code) {
        case Code::LevelsAboveVapourSpace: {
            std::string text = "HHLL at " + show("hhll") + " lies " + show("excess") + " above the bottom of the vapour space at " +
                               show("vapour_space_bottom") + ".";
            if (f.Has("room_time") && f.Get("room_time") >= 1.0)
                text += " The room above the normal level holds " + show("room_time") + " of liquid inflow; the surge and high-alarm stretches take " +
                        show("surge_and_alarm_time") + ": give surge_time_s and alarm_time_s (in a levels block) that add up to at most " +
                        show("room_time");
            else
                text += " The vapour space starts at the normal level, so the vessel has no room above it for the surge and the alarm: give the room";
            if (f.Has("least_vapour_allowance")) return text + ", or a vapour_space_allowance_m of at least " + KeyMetresAtLeast(f.Get("least_vapour_allowance")) + ".";
            return text + ", or a larger diameter_m.";
        }
        case Code::NormalLevelBelowLowLevel: {
            std::string text = std::string(f.assumedLiquid ? "For the assumed liquid (the feed has none), the" : "The") + " normal level NLL at " +
                               show("nll") + " lies " + show("shortfall") + " below the low level LLL at " + show("lll");
            if (f.Has("holdup_time")) text += ", so the hold-up between them runs the wrong way (" + show("holdup_time") + " of inflow)";
            return text + ": lift the normal level by at least " + show("shortfall") +
                   " (a larger light_liquid_layer_m or residence time), or give a minimum_liquid_level_m of at most " + KeyMetresAtMost(f.Get("nll")) + ".";
        }
        case Code::LevelsTooClose: {
            const std::string upper = PointName(f.Get("upper_point"));
            const std::string lower = PointName(f.Get("lower_point"));
            const bool inverted = f.Get("distance") < 0.0;
            std::string text = upper + " at " + show("upper_height") + " lies " + (inverted ? "" : "only ") + show("distance") +
                               (inverted ? " below " : " above ") + lower + " at " + show("lower_height") +
                               (inverted ? ", where it should stand at least the alarm margin of " + show("alarm_margin") + " above it"
                                         : ", closer than the alarm margin of " + show("alarm_margin"));
            const double pairs = f.Get("pairs_too_close");
            if (pairs > 1.0) text += " (the closest of " + host::FormatNumber(pairs, 0) + " pairs that close)";
            text += ": ";
            if (f.Has("least_surge_time")) return text + "give a surge_time_s of at least " + show("least_surge_time") + " (in a levels block), or a smaller alarm_margin_m.";
            if (f.Get("lower_point") < 0.0) return text + "raise " + upper + " (through the minimum liquid level or the levels block), or give a smaller alarm_margin_m.";
            return text + "move " + upper + " up or " + lower + " down (in a levels block), or give a smaller alarm_margin_m.";
        }
        default: break;
    }
    return {};
}

}  // namespace kestrol::review::levels
