#include "review/review.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/stream_state.h"
#include "design/cost.h"
#include "design/presets.h"
#include "horizontal/geometry.h"
#include "review/mechanical_findings.h"
#include "vertical/vertical_sizing.h"

namespace kestrol::review {
namespace {

using host::Quantity;
using host::SizingCase;
using host::SizingOutcome;
using host::UnitSystem;

/// Smallest diameters the paths start from [m]: one rounding step upright, one foot lying down.
constexpr double kVerticalMinimumDiameter = kRoundingStep;
constexpr double kHorizontalMinimumDiameter = kFoot;
/// 2 / kRoundingStep [1/m]: the horizontal path's first diameter carries the vapour through the
/// full circle, rounded up to whole steps.
constexpr double kDiameterStepsFactor = 13.123359580052492;
/// Ratios at which the upright path stops: at least 3, and 5 before it widens instead.
constexpr double kVerticalRatioFloor = 3.0;
constexpr double kVerticalRatioCeiling = 5.0;
/// Residence time [s] that makes a liquid's hold-up negligible when the vapour alone is sized.
constexpr double kNegligibleResidenceTime = 1e-9;
/// Allowable velocity [m/s] that makes the vapour load negligible when the path's own least
/// vessel is sought.
constexpr double kUnboundedVelocity = 1e6;
/// Levels and heights are compared with this slack [m]: the raise to the minimum level adds
/// and takes 0.1 m, which may move the last bit.
constexpr double kLevelSlack = 1e-9;

/// A disengagement height more than this multiple of the rule's is spare height.
constexpr double kSpareHeightFactor = 2.0;

/// Share of difference between the exact hold-up and the promised one that is worth a note,
/// and a warning [-].
constexpr double kHoldupNoteShare = 0.01;
constexpr double kHoldupWarningShare = 0.05;
/// Full-precision circle constant: the exact volume is the review's own, not the sizing's
/// ten-digit one.
constexpr double kExactPi = 3.14159265358979323846;

/// Lowest flow parameter (WL/WV) sqrt(rhoV/rhoL) of the gas-load chart that the allowable-
/// velocity fit reproduces (Watkins, Hydrocarbon Processing 46(11), 1967, as fitted by
/// Blackwell, Chem. Eng. 1984; the chart's abscissa starts at 0.006) [-].
constexpr double kLeastFlowParameter = 0.006;

/// Where the searches stop [m] and [-]; past them a result was not searched for.
constexpr double kLargestSearchedDiameter = 40.0;
constexpr double kLargestSearchedRatio = 40.0;
struct Flows {
    double vapour = 0.0;  ///< [m3/s]
    double light = 0.0;   ///< [m3/s]
    double heavy = 0.0;   ///< [m3/s]; 0 for a two-phase case
    double flowParameter = 0.0;  ///< the gas-load correlation's [-]
};

/// The volume flows as the driver derives them, taking the assumed liquid when it asked.
Flows FlowsOf(const SizingCase& c, const SizingOutcome& o) {
    const StreamState feed = host::FeedAsSized(c, o.liquidAssumed);
    Flows f;
    f.vapour = feed.vapourVolumeFlow;
    f.light = feed.lightLiquidVolumeFlow;
    f.heavy = feed.HasHeavyLiquid() ? feed.heavyLiquidVolumeFlow : 0.0;
    f.flowParameter = design::EvaluateGasLoad(feed).flowParameter;
    return f;
}

/// A copy of the sized vector for the calculations that take their options from slots, with a
/// diameter of its own when one is given; what they write stays in the copy.
class OutcomeSlots final : public SlotAccess {
public:
    explicit OutcomeSlots(const SizingOutcome& o, double diameter = kEmptyValue) : SlotAccess(&storage_, this, &NoAllocation) {
        std::copy(o.values.begin() + 1, o.values.begin() + 1 + kSlotCount, values_.begin());
        if (!IsEmpty(diameter)) values_[static_cast<std::size_t>(Index(Slot::Diameter) - 1)] = diameter;
    }

private:
    static bool NoAllocation(void*, const SlotImage&) { return false; }
    std::array<double, kSlotCount> values_{};
    double* storage_ = values_.data();
};

double Magnitude(const SizingOutcome& o, Slot s) {
    const double v = o.At(s);
    return IsSetAndFinite(v) ? std::fabs(v) : 0.0;
}

int CaseKeyIndex(const char* key) { return host::FindCaseKey(key, true); }

/// Diameter [m] of the same case sized again with a negligible liquid hold-up, and with the
/// vapour load lifted too when `vapourToo`, so that only what is left counts; 0 when that
/// sizing fails.
double RelaxedDiameter(const SizingCase& c, int orientation, bool heavy, bool vapourToo) {
    static const int lightLayer = CaseKeyIndex("light_liquid_layer_m");
    static const int heavyLevel = CaseKeyIndex("heavy_liquid_level_m");
    static const int lightTime = CaseKeyIndex("light_liquid_residence_time_s");
    static const int heavyTime = CaseKeyIndex("heavy_liquid_residence_time_s");
    static const int velocity = CaseKeyIndex("allowable_vapour_velocity_m_s");
    SizingCase relaxed = c;
    relaxed.orientation = orientation == 0 ? host::Orientation::Vertical : host::Orientation::Horizontal;
    relaxed.values[static_cast<std::size_t>(lightLayer)] = kEmptyValue;
    relaxed.values[static_cast<std::size_t>(heavyLevel)] = kEmptyValue;
    relaxed.values[static_cast<std::size_t>(lightTime)] = kNegligibleResidenceTime;
    relaxed.values[static_cast<std::size_t>(heavyTime)] = heavy ? kNegligibleResidenceTime : kEmptyValue;
    if (vapourToo) relaxed.values[static_cast<std::size_t>(velocity)] = kUnboundedVelocity;
    const SizingOutcome o = host::SizeCase(relaxed);
    return o.Sized() ? Magnitude(o, Slot::Diameter) : 0.0;
}

/// What set a horizontal diameter larger than the vapour's first guess, for a case whose
/// design block fixes a level or the vapour space (another sizing method): the liquid when the
/// vessel is larger than without it, else the vapour space the vapour needs, or, when even that
/// is not needed, the least vessel the path builds. Sizes the case again, once or twice.
Constraint LyingByResizing(const SizingCase& c, const SizingOutcome& o, const Flows& f, Governing& g) {
    const double d = Magnitude(o, Slot::Diameter);
    const bool heavy = f.heavy > 0.0;
    const double vapourAlone = RelaxedDiameter(c, o.orientation, heavy, false);
    if (vapourAlone > 0.0) g.vapourDiameter = vapourAlone;
    if (!(vapourAlone > 0.0) || d > vapourAlone) return Constraint::LiquidHoldup;
    if (RelaxedDiameter(c, o.orientation, heavy, true) == d) {
        g.minimumDiameter = d;
        return Constraint::MinimumSize;
    }
    return Constraint::VapourLoad;
}

/// Whether the vapour finds its space in a horizontal vessel of diameter `d`, as the diameter
/// search tries it: from a fifth of the diameter (at least a foot) raised in 5 % steps, with
/// room left below it.
bool VapourSpaceFits(const SizingOutcome& o, const Flows& f, double d) {
    OutcomeSlots slots(o, d);
    StreamState feed;
    feed.vapourVolumeFlow = f.vapour;
    const double space = horizontal::VapourSpaceHeight(feed, slots, FifthOrFoot(d));
    return !IsEmpty(space) && space < d;
}

/// What set a horizontal diameter larger than the vapour's first guess, the search having
/// widened it step by step: the liquid when the vapour found its space one step smaller, else
/// the vapour load, or the least vessel when one step smaller leaves no room under a foot of
/// vapour space.
Constraint LyingBeyondFirstGuess(const SizingCase& c, const SizingOutcome& o, const Flows& f, double first, Scope scope, Governing& g) {
    if (c.Gives(Slot::LightLayerThickness) || c.Gives(Slot::HeavyLevel) || c.Gives(Slot::VapourSpaceHeight))
        return LyingByResizing(c, o, f, g);
    const double d = Magnitude(o, Slot::Diameter);
    const double smaller = d - kRoundingStep;
    // The diameter the vapour alone would take: the search's own steps, tried from the first.
    for (double trial = first; scope == Scope::Full && trial < d - kLevelSlack; trial += kRoundingStep) {
        if (VapourSpaceFits(o, f, trial)) {
            g.vapourDiameter = trial;
            break;
        }
    }
    if (smaller <= kFoot + kLevelSlack) {
        g.minimumDiameter = d;
        return Constraint::MinimumSize;
    }
    if (VapourSpaceFits(o, f, smaller)) return Constraint::LiquidHoldup;
    g.vapourDiameter = d;
    return Constraint::VapourLoad;
}

/// What set an upright diameter larger than the vapour's: the liquid, when one step less would
/// still leave room below the vapour-space heights; otherwise those heights alone, the least
/// vessel the path builds at its ratio.
Constraint UprightBeyondFirstGuess(const SizingCase& c, const SizingOutcome& o, double first, Governing& g) {
    const double d = Magnitude(o, Slot::Diameter);
    const double smaller = d - kRoundingStep;
    double disengagement = vertical::kDisengagementPerDiameter * smaller;
    if (c.Gives(Slot::DisengagementHeight)) {
        disengagement = Magnitude(o, Slot::DisengagementHeight);
    } else if (std::fabs(smaller - first) < kLevelSlack) {
        // The widening search starts from the disengagement rule with its minimum.
        disengagement = vertical::DisengagementRule(smaller, Magnitude(o, Slot::MistEliminatorHeight));
    }
    const double stack = Magnitude(o, Slot::VapourAllowance) + disengagement + Magnitude(o, Slot::MistEliminatorHeight) +
                         Magnitude(o, Slot::SecondVapourAllowance);
    const double room = kPiOver4 * smaller * smaller * (g.ratio * smaller - stack) + kPiOver24 * smaller * smaller * smaller;
    if (room > 0.0) return Constraint::LiquidHoldup;
    g.minimumDiameter = d;
    return Constraint::MinimumSize;
}

Governing FindGoverning(const SizingCase& c, const SizingOutcome& o, const Flows& f, Scope scope) {
    Governing g;
    g.upright = o.orientation == 0;
    const double d = Magnitude(o, Slot::Diameter);
    const double u = Magnitude(o, Slot::VapourVelocity);
    const double surface = (f.heavy > 0.0 ? Magnitude(o, Slot::HeavyLevel) : 0.0) + Magnitude(o, Slot::LightLayerThickness);
    g.ratio = Magnitude(o, Slot::Ratio);
    g.minimumDiameter = g.upright ? kVerticalMinimumDiameter : kHorizontalMinimumDiameter;

    // The first diameter each path tries carries the vapour: through the whole section upright
    // (at least one step), through the full circle lying down (at least one foot).
    double first = 0.0;
    if (u > 0.0) {
        if (g.upright) {
            first = RoundUpToStep(std::sqrt(4.0 * f.vapour / (kPi * u)));
            g.vapourLoadPercent = f.vapour / (kPiOver4 * d * d) / u * 100.0;
        } else {
            first = std::ceil(std::sqrt(f.vapour / (u * kPi)) * kDiameterStepsFactor) * kRoundingStep;
            const double space = horizontal::SegmentArea(d, d - surface);
            if (space > 0.0) g.vapourLoadPercent = f.vapour / space / u * 100.0;
        }
        if (first <= g.minimumDiameter) first = g.minimumDiameter;
        g.vapourDiameter = first;
    }

    if (c.Gives(Slot::Diameter) || (g.upright && c.Gives(Slot::Ratio) && c.Gives(Slot::OverallLength)) || !(first > 0.0)) {
        g.diameter = Constraint::Design;
    } else if (d == first) {
        g.diameter = d == g.minimumDiameter ? Constraint::MinimumSize : Constraint::VapourLoad;
    } else if (d > first) {
        g.diameter = g.upright ? UprightBeyondFirstGuess(c, o, first, g) : LyingBeyondFirstGuess(c, o, f, first, scope, g);
    } else {
        g.diameter = Constraint::Design;
    }

    if (!g.upright) {
        g.length = c.Gives(Slot::Ratio) ? Constraint::Design : Constraint::PressureClassRatio;
    } else if (c.Gives(Slot::Ratio) || c.Gives(Slot::OverallLength)) {
        g.length = Constraint::Design;
    } else if (g.ratio == kVerticalRatioFloor) {
        g.length = Constraint::RatioFloor;
    } else if (g.ratio == kVerticalRatioCeiling && (g.diameter == Constraint::LiquidHoldup || g.diameter == Constraint::MinimumSize)) {
        g.length = Constraint::RatioCeiling;
    } else {
        g.length = Constraint::LiquidHoldup;
    }
    return g;
}

class Collector {
public:
    explicit Collector(Review& r) : r_(r) {}
    Finding& Add(Code code, Severity severity, Mark mark = Mark::None) {
        Finding& f = r_.items[r_.count++];
        f = Finding{};
        f.code = code;
        f.severity = severity;
        f.mark = mark;
        return f;
    }

private:
    Review& r_;
};

void LevelFindings(Collector& out, const SizingOutcome& o, const Flows& f) {
    const double heavy = f.heavy > 0.0 ? Magnitude(o, Slot::HeavyLevel) : 0.0;
    const double surface = heavy + Magnitude(o, Slot::LightLayerThickness);
    const double minimum = Magnitude(o, Slot::MinimumLevel);
    if (minimum > 0.0 && surface < minimum - kLevelSlack) {
        Finding& w = out.Add(Code::LevelBelowMinimum, Severity::Warning, Mark::Level);
        w.Add("liquid_surface", surface, Quantity::Length);
        w.Add("minimum_liquid_level", minimum, Quantity::Length);
        if (f.heavy > 0.0) w.Add("heavy_liquid_level", heavy, Quantity::Length);
    }
}

void HeightFinding(Collector& out, const SizingCase& c, const SizingOutcome& o) {
    if (o.orientation != 0 || c.Gives(Slot::DisengagementHeight)) return;
    const double d = Magnitude(o, Slot::Diameter);
    const double rule = vertical::DisengagementRule(d, Magnitude(o, Slot::MistEliminatorHeight));
    const double height = Magnitude(o, Slot::DisengagementHeight);
    if (!(height > kSpareHeightFactor * rule)) return;
    Finding& w = out.Add(Code::HeightSetByRatio, Severity::Warning, Mark::Height);
    w.Add("disengagement_height", height, Quantity::Length);
    w.Add("disengagement_rule", rule, Quantity::Length);
    w.Add("spare_height", height - rule, Quantity::Length);
    w.Add("inside_diameter", d, Quantity::Length);
}

void HoldupFinding(Collector& out, const SizingOutcome& o, const Flows& f) {
    if (o.orientation != 1) return;
    const double d = Magnitude(o, Slot::Diameter);
    const double tangent = Magnitude(o, Slot::Ratio) * d;
    const double heavyLevel = f.heavy > 0.0 ? Magnitude(o, Slot::HeavyLevel) : 0.0;
    const double surface = heavyLevel + Magnitude(o, Slot::LightLayerThickness);
    const double lightTime = Magnitude(o, Slot::LightResidenceTime);
    const double heavyTime = f.heavy > 0.0 ? Magnitude(o, Slot::HeavyResidenceTime) : 0.0;
    const double promised = lightTime * f.light + heavyTime * f.heavy;
    if (!(promised > 0.0) || !(d > 0.0)) return;
    const double exact = ExactLiquidVolume(surface, d, tangent);
    const double share = (exact - promised) / promised;
    const double size = std::fabs(share);
    if (!(size > kHoldupNoteShare)) return;
    Finding& n = out.Add(Code::HoldupDiffers, size > kHoldupWarningShare ? Severity::Warning : Severity::Note);
    n.Add("difference_percent", share * 100.0, Quantity::Plain);
    n.Add("exact_holdup", exact, Quantity::Volume);
    n.Add("promised_holdup", promised, Quantity::Volume);
    n.Add("liquid_surface", surface, Quantity::Length);
    const double heavyExact = f.heavy > 0.0 ? ExactLiquidVolume(heavyLevel, d, tangent) : 0.0;
    if (f.light > 0.0) n.Add("exact_light_residence_time", (exact - heavyExact) / f.light, Quantity::Time);
    if (f.heavy > 0.0) n.Add("exact_heavy_residence_time", heavyExact / f.heavy, Quantity::Time);
}

// A correlation that gives no positive velocity leaves the case not sized (SizingOutcome::Sized),
// so what is left to say here is that the velocity it gave comes from below its chart.
void GasLoadFinding(Collector& out, const SizingCase& c, const SizingOutcome& o, const Flows& f) {
    if (c.Gives(Slot::VapourVelocity) || !(f.flowParameter < kLeastFlowParameter)) return;
    Finding& w = out.Add(Code::GasLoadOutOfRange, Severity::Warning);
    w.Add("flow_parameter", f.flowParameter, Quantity::Plain);
    w.Add("least_flow_parameter", kLeastFlowParameter, Quantity::Plain);
    w.Add("allowable_vapour_velocity", Magnitude(o, Slot::VapourVelocity), Quantity::Velocity);
}

void RangeFindings(Collector& out, const SizingOutcome& o) {
    const double d = Magnitude(o, Slot::Diameter);
    if (d > kLargestSearchedDiameter) {
        Finding& w = out.Add(Code::DiameterBeyondRange, Severity::Warning);
        w.Add("inside_diameter", d, Quantity::Length);
        w.Add("largest_searched_diameter", kLargestSearchedDiameter, Quantity::Length);
    }
    const double ratio = Magnitude(o, Slot::Ratio);
    if (ratio > kLargestSearchedRatio) {
        Finding& w = out.Add(Code::RatioBeyondRange, Severity::Warning);
        w.Add("ratio", ratio, Quantity::Plain);
        w.Add("largest_searched_ratio", kLargestSearchedRatio, Quantity::Plain);
    }
}

int Rank(const Finding& f) {
    if (f.code == Code::Governing) return 0;
    return f.severity == Severity::Warning ? 1 : 2;
}

std::string Shown(double si, Quantity q, UnitSystem units) {
    const host::Unit unit = host::UnitOf(q, units);
    std::string text = host::FormatNumber(host::Convert(si, q, units), unit.digits);
    if (unit.symbol[0] != '\0') text += std::string(" ") + unit.symbol;
    return text;
}

std::string Percent(double share) { return host::FormatNumber(share, 0) + "%"; }

std::string RatioText(double r) { return host::FormatNumber(r, std::floor(r) == r ? 0 : 1); }

std::string ConstraintWords(Constraint c, const Governing& g, UnitSystem units) {
    switch (c) {
        case Constraint::VapourLoad: return "the vapour load";
        case Constraint::LiquidHoldup: return "the liquid hold-up";
        case Constraint::RatioFloor: return "the ratio floor of " + RatioText(g.ratio);
        case Constraint::RatioCeiling: return "the ratio ceiling of " + RatioText(g.ratio);
        case Constraint::PressureClassRatio: return "the pressure-class ratio of " + RatioText(g.ratio);
        case Constraint::MinimumSize: return "the minimum size of " + Shown(g.minimumDiameter, Quantity::Length, units);
        case Constraint::Design: return "the design block";
        case Constraint::None: break;
    }
    return "nothing known";
}

}  // namespace

double ExactLiquidVolume(double h, double D, double tangentLength) {
    const double r = 0.5 * D;
    const double headDepth = 0.25 * D;
    const double level = std::clamp(h, 0.0, D);
    const double segment = r * r * std::acos((r - level) / r) - (r - level) * std::sqrt(2.0 * r * level - level * level);
    // Both heads together: each is half an ellipsoid of semi-axes r, r and D/4.
    const double heads = kExactPi * headDepth * level * level * (1.0 - level / (3.0 * r));
    return tangentLength * segment + heads;
}

const char* CodeName(Code code) {
    switch (code) {
        case Code::Governing: return "governing";
        case Code::LevelBelowMinimum: return "level-below-minimum";
        case Code::HeightSetByRatio: return "height-set-by-ratio";
        case Code::HoldupDiffers: return "holdup-differs";
        case Code::GasLoadOutOfRange: return "gas-load-out-of-range";
        case Code::DiameterBeyondRange: return "diameter-beyond-range";
        case Code::RatioBeyondRange: return "ratio-beyond-range";
        case Code::WallBeyondRange: return "wall-beyond-range";
        case Code::WallThickerThanPlate: return "wall-thicker-than-plate";
        case Code::ExternalPressure: return "external-pressure";
        case Code::WallBelowRigidity: return "wall-below-rigidity";
        case Code::WallThinnerThanRequired: return "wall-thinner-than-required";
        case Code::TemperatureOutsideMaterial: return "temperature-outside-material";
        case Code::WeightOutsideCorrelation: return "weight-outside-correlation";
        case Code::DesignPressure: return "design-pressure";
        case Code::WeightAndCost: return "weight-and-cost";
    }
    return "";
}

const char* ShortText(Code code) {
    switch (code) {
        case Code::LevelBelowMinimum: return "below the minimum level";
        case Code::HeightSetByRatio: return "height set by the ratio";
        default: return CodeName(code);
    }
}

const char* ConstraintKey(Constraint c) {
    switch (c) {
        case Constraint::VapourLoad: return "vapour-load";
        case Constraint::LiquidHoldup: return "liquid-holdup";
        case Constraint::RatioFloor: return "ratio-floor";
        case Constraint::RatioCeiling: return "ratio-ceiling";
        case Constraint::PressureClassRatio: return "pressure-class-ratio";
        case Constraint::MinimumSize: return "minimum-size";
        case Constraint::Design: return "design";
        case Constraint::None: break;
    }
    return "";
}

double Finding::Get(const char* name) const {
    for (std::size_t i = 0; i < count; ++i)
        if (std::strcmp(values[i].name, name) == 0) return values[i].si;
    return 0.0;
}

bool Review::HasWarning() const {
    for (const Finding& f : *this)
        if (f.severity == Severity::Warning) return true;
    return false;
}

const Finding* Review::Find(Code code) const& {
    for (const Finding& f : *this)
        if (f.code == code) return &f;
    return nullptr;
}

Review ReviewCase(const SizingCase& c, const SizingOutcome& o, Scope scope) {
    Review r;
    if (!o.Sized() || (o.orientation != 0 && o.orientation != 1)) return r;
    const Flows flows = FlowsOf(c, o);
    r.governing = FindGoverning(c, o, flows, scope);
    Collector out(r);
    Finding& governing = out.Add(Code::Governing, Severity::Note);
    governing.Add("inside_diameter", Magnitude(o, Slot::Diameter), Quantity::Length);
    governing.Add("vapour_alone_diameter", r.governing.vapourDiameter, Quantity::Length);
    governing.Add("vapour_load_percent", r.governing.vapourLoadPercent, Quantity::Plain);
    governing.Add("ratio", r.governing.ratio, Quantity::Plain);

    LevelFindings(out, o, flows);
    HeightFinding(out, c, o);
    HoldupFinding(out, o, flows);
    GasLoadFinding(out, c, o, flows);
    RangeFindings(out, o);
    mechanical::AddFindings(r, c, o);

    // Stable by rank; an insertion sort, as a batch reviews every case and the list is short.
    for (std::size_t i = 1; i < r.count; ++i) {
        const Finding moving = r.items[i];
        std::size_t at = i;
        for (; at > 0 && Rank(r.items[at - 1]) > Rank(moving); --at) r.items[at] = r.items[at - 1];
        r.items[at] = moving;
    }
    return r;
}

std::string Describe(const Finding& f, const Governing& g, UnitSystem units) {
    auto show = [&](const char* name) {
        for (std::size_t i = 0; i < f.count; ++i)
            if (std::strcmp(f.values[i].name, name) == 0) return Shown(f.values[i].si, f.values[i].quantity, units);
        return std::string("-");
    };
    switch (f.code) {
        case Code::Governing: {
            std::string text = "Diameter set by " + ConstraintWords(g.diameter, g, units);
            std::string detail;
            if (g.vapourLoadPercent >= 0.0) detail = Percent(g.vapourLoadPercent) + " of the allowable velocity";
            if (g.diameter == Constraint::LiquidHoldup && g.vapourDiameter > 0.0)
                detail += (detail.empty() ? "" : "; ") + std::string("the vapour alone needs ") + Shown(g.vapourDiameter, Quantity::Length, units);
            if (!detail.empty()) text += " (" + detail + ")";
            return text + "; " + (g.upright ? "height" : "length") + " set by " + ConstraintWords(g.length, g, units) + ".";
        }
        case Code::LevelBelowMinimum:
            return "The liquid surface at " + show("liquid_surface") + " lies below the minimum liquid level of " +
                   show("minimum_liquid_level") + ".";
        case Code::HeightSetByRatio:
            return "The disengagement height of " + show("disengagement_height") + " is " + show("spare_height") + " more than the " +
                   show("disengagement_rule") + " the disengagement rule gives for a diameter of " + show("inside_diameter") +
                   ": the ratio, not the process, sets the height.";
        case Code::HoldupDiffers: {
            const double share = f.Get("difference_percent");
            std::string text = "The exact volume under the liquid surface at " + show("liquid_surface") + " is " +
                               host::FormatNumber(std::fabs(share), 1) + "% " + (share >= 0.0 ? "more" : "less") +
                               " than the hold-up the residence times promise (" + show("exact_holdup") + " against " +
                               show("promised_holdup") + "); the exact volume gives ";
            const bool heavy = f.Get("exact_heavy_residence_time") != 0.0;
            text += show("exact_light_residence_time") + " of light liquid";
            if (heavy) text += " and " + show("exact_heavy_residence_time") + " of heavy liquid";
            return text + ".";
        }
        case Code::GasLoadOutOfRange: {
            char parameter[32];
            std::snprintf(parameter, sizeof parameter, "%.3g", f.Get("flow_parameter"));
            return std::string("The flow parameter of ") + parameter + " lies below the " + host::FormatNumber(kLeastFlowParameter, 3) +
                   " where the gas-load correlation is defined, so the allowable velocity of " + show("allowable_vapour_velocity") +
                   " is an extrapolation.";
        }
        case Code::DiameterBeyondRange:
            return "The diameter of " + show("inside_diameter") + " is past the " + show("largest_searched_diameter") +
                   " that the sizing searches treat as their limit.";
        case Code::RatioBeyondRange:
            return "The ratio of " + RatioText(f.Get("ratio")) + " is past the 40 that the sizing searches treat as their limit.";
        case Code::WallBeyondRange:
        case Code::WallThickerThanPlate:
        case Code::ExternalPressure:
        case Code::WallBelowRigidity:
        case Code::WallThinnerThanRequired:
        case Code::TemperatureOutsideMaterial:
        case Code::WeightOutsideCorrelation:
        case Code::DesignPressure:
        case Code::WeightAndCost: return mechanical::Describe(f, show);
    }
    return {};
}

}  // namespace kestrol::review
