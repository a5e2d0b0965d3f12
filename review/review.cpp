#include "review/review.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>

#include "common/vessel_rules.h"
#include "core/stream_state.h"
#include "design/cost.h"
#include "design/presets.h"
#include "horizontal/geometry.h"
#include "horizontal/holdup_times_sizing.h"
#include "review/level_findings.h"
#include "review/mechanical_findings.h"
#include "review/outcome_slots.h"
#include "review/settling_findings.h"
#include "vertical/vertical_sizing.h"

namespace kestrol::review {
namespace {

using host::Quantity;
using host::SizingCase;
using host::SizingOutcome;
using host::UnitSystem;

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

/// Lowest flow parameter (WL/WV) sqrt(rhoV/rhoL) of the gas-load chart that the allowable-
/// velocity fit reproduces (Watkins, Hydrocarbon Processing 46(11), 1967, as fitted by
/// Blackwell, Chem. Eng. 1984; the chart's abscissa starts at 0.006) [-].
constexpr double kLeastFlowParameter = 0.006;
/// Highest flow parameter of the same chart [-]: its abscissa spans 0.006 to 5.4 (CalebBell/
/// fluids, fluids/separator.py, K_separator_Watkins, notes on the chart's range).
constexpr double kMostFlowParameter = 5.4;
/// Six-term fit of that chart: K = exp(sum of a_i (ln X)^i, i = 0 to 5) [ft/s], the fit the same
/// docstring gives as Blackwell's (Chemical Process Design on a Programmable Calculator,
/// McGraw-Hill 1984; the function's own code files these coefficients under Branan, Pocket
/// Guide to Chemical Engineering, 1999). It gives 0.0744 ft/s at X = 2 and 0.0232 ft/s at 5.
constexpr double kChartFit[] = {-1.942936, -0.814894, -0.179390, -0.0123790, 0.000386235, 0.000259550};

/// Share of the hold-up time that, lying below the minimum level, leaves most of the hold-up
/// without work [-]: more than half.
constexpr double kMostOfTheHoldup = 0.5;
/// Thinnest light-liquid layer of a three-phase vessel the review passes [m]: 1 ft, the light-
/// liquid height the three-phase procedure of Monnery and Svrcek ("Successfully specify three-
/// phase separators", Chem. Eng. Prog., September 1994) designs with, upright (interface to the
/// light-liquid nozzle) and lying down alike, as kpatvt/sim21 implements it
/// (sim21/design/DesignSep3Phase.py: Hl = 1.0 ft, Hll = 1.0 ft).
constexpr double kThinnestLightLayer = kFoot;

/// Where the searches stop [m] and [-]; past them a result was not searched for.
constexpr double kLargestSearchedDiameter = vertical::kMostDiameter;
constexpr double kLargestSearchedRatio = vertical::kMostRatio;

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

int CaseKeyIndex(const char* key) { return host::FindCaseKey(key, true); }

/// The design block fixes the shape of the vessel: its length (height) or its ratio.
bool GivesShape(const SizingCase& c) { return c.Gives(Slot::Ratio) || c.Gives(Slot::OverallLength); }

/// K of the gas-load chart's fit at flow parameter x [ft/s].
double ChartCoefficient(double x) {
    const double l = std::log(x);
    double sum = 0.0;
    for (std::size_t i = std::size(kChartFit); i-- > 0;) sum = sum * l + kChartFit[i];
    return std::exp(sum);
}

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
    return o.Sized() ? o.MagnitudeAt(Slot::Diameter) : 0.0;
}

/// What set a horizontal diameter larger than the vapour's first guess, for a case whose
/// design block fixes a level or the vapour space (another sizing method): the liquid when the
/// vessel is larger than without it, else the vapour space the vapour needs, or, when even that
/// is not needed, the least vessel the path builds. Sizes the case again, once or twice.
Constraint LyingByResizing(const SizingCase& c, const SizingOutcome& o, const Flows& f, Governing& g) {
    const double d = o.MagnitudeAt(Slot::Diameter);
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
    const double d = o.MagnitudeAt(Slot::Diameter);
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
    const double d = o.MagnitudeAt(Slot::Diameter);
    const double smaller = d - kRoundingStep;
    double disengagement = vertical::kDisengagementPerDiameter * smaller;
    if (c.Gives(Slot::DisengagementHeight)) {
        disengagement = o.MagnitudeAt(Slot::DisengagementHeight);
    } else if (std::fabs(smaller - first) < kLevelSlack) {
        // The widening search starts from the disengagement rule with its minimum.
        disengagement = vertical::DisengagementRule(smaller, o.MagnitudeAt(Slot::MistEliminatorHeight));
    }
    const double room = vertical::AvailableLiquidVolume(smaller, g.ratio, o.MagnitudeAt(Slot::VapourAllowance), disengagement,
                                                        o.MagnitudeAt(Slot::MistEliminatorHeight), o.MagnitudeAt(Slot::SecondVapourAllowance));
    if (room > 0.0) return Constraint::LiquidHoldup;
    g.minimumDiameter = d;
    return Constraint::MinimumSize;
}

Governing FindGoverning(const SizingCase& c, const SizingOutcome& o, const Flows& f, Scope scope) {
    Governing g;
    g.upright = o.orientation == 0;
    const double d = o.MagnitudeAt(Slot::Diameter);
    const double u = o.MagnitudeAt(Slot::VapourVelocity);
    const double surface = (f.heavy > 0.0 ? o.MagnitudeAt(Slot::HeavyLevel) : 0.0) + o.MagnitudeAt(Slot::LightLayerThickness);
    g.ratio = o.MagnitudeAt(Slot::Ratio);
    g.minimumDiameter = g.upright ? vertical::kLeastDiameter : horizontal::kLeastDiameter;

    // The first diameter each path tries carries the vapour: through the whole section upright
    // (at least one step), through the full circle lying down (at least one foot).
    double first = 0.0;
    if (u > 0.0) {
        if (g.upright) {
            first = common::FirstDiameter(f.vapour, u, vertical::kLeastDiameter);
            g.vapourLoadPercent = f.vapour / (kPiOver4 * d * d) / u * 100.0;
        } else {
            first = common::FirstDiameter(f.vapour, u, horizontal::kLeastDiameter);
            const double space = horizontal::SegmentArea(d, d - surface);
            if (space > 0.0) g.vapourLoadPercent = f.vapour / space / u * 100.0;
        }
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

    if (GivesShape(c)) {
        g.length = Constraint::Design;  // a given length fixes a lying drum's ratio as much as a given ratio does
    } else if (!g.upright) {
        g.length = Constraint::PressureClassRatio;
    } else if (g.ratio == vertical::kFirstRatio) {
        g.length = Constraint::RatioFloor;
    } else if (g.ratio == vertical::kSearchRatio && (g.diameter == Constraint::LiquidHoldup || g.diameter == Constraint::MinimumSize)) {
        g.length = Constraint::RatioCeiling;
    } else {
        g.length = Constraint::LiquidHoldup;
    }
    return g;
}

class Collector {
public:
    explicit Collector(Review& r) : r_(r) {}
    Finding& Add(Code code, Severity severity, Mark mark = Mark::None) { return r_.Add(code, severity, mark); }

private:
    Review& r_;
};

/// The disengagement height of an upright vessel against its rule, when the design block does
/// not give that height.
struct Disengagement {
    double height = 0.0;  ///< [m]
    double rule = 0.0;    ///< [m]
    bool Spare() const { return height > kSpareHeightFactor * rule; }
};

std::optional<Disengagement> DisengagementOf(const SizingCase& c, const SizingOutcome& o) {
    if (o.orientation != 0 || c.Gives(Slot::DisengagementHeight)) return std::nullopt;
    const double d = o.MagnitudeAt(Slot::Diameter);
    return Disengagement{o.MagnitudeAt(Slot::DisengagementHeight), vertical::DisengagementRule(d, o.MagnitudeAt(Slot::MistEliminatorHeight))};
}

/// The hold-up time below the minimum level [s] the host asked for; negative when unknown.
double HoldupBelowMinimum(const SizingOutcome& o) {
    const double t = o.values[static_cast<std::size_t>(host::kHoldupIndex)];
    return IsSetAndFinite(t) && t >= 0.0 ? t : -1.0;
}

/// The same case sized again with the light-liquid layer given; what the sizing then builds.
std::optional<SizingOutcome> SizedWithLightLayer(const SizingCase& c, int orientation, double layer) {
    static const int lightLayer = CaseKeyIndex("light_liquid_layer_m");
    SizingCase again = c;
    again.orientation = orientation == 0 ? host::Orientation::Vertical : host::Orientation::Horizontal;
    again.values[static_cast<std::size_t>(lightLayer)] = layer;
    SizingOutcome o = host::SizeCase(again);
    if (!o.Sized()) return std::nullopt;
    return o;
}

/// Whether the liquid surface lies below the minimum level.
bool SurfaceBelowMinimum(const SizingOutcome& o, const Flows& f) {
    const double surface = (f.heavy > 0.0 ? o.MagnitudeAt(Slot::HeavyLevel) : 0.0) + o.MagnitudeAt(Slot::LightLayerThickness);
    const double minimum = o.MagnitudeAt(Slot::MinimumLevel);
    return minimum > 0.0 && surface < minimum - kLevelSlack;
}

// A level below the minimum in a vessel whose height the ratio floor sets, with spare height
// above the liquid, has one cause and one remedy: give the level. So it is one finding, and the
// spare height is not reported again on its own.
void LevelFindings(Collector& out, const SizingCase& c, const SizingOutcome& o, const Flows& f, Scope scope) {
    const double heavy = f.heavy > 0.0 ? o.MagnitudeAt(Slot::HeavyLevel) : 0.0;
    const double surface = heavy + o.MagnitudeAt(Slot::LightLayerThickness);
    const double minimum = o.MagnitudeAt(Slot::MinimumLevel);
    const std::optional<Disengagement> disengagement = DisengagementOf(c, o);
    const bool spare = disengagement && disengagement->Spare();
    const bool freeShape = !GivesShape(c);
    const bool below = SurfaceBelowMinimum(o, f);
    if (below) {
        Finding& w = out.Add(Code::LevelBelowMinimum, o.liquidAssumed ? Severity::Note : Severity::Warning, Mark::Level);
        w.assumedLiquid = o.liquidAssumed;
        w.Add("liquid_surface", surface, Quantity::Length);
        w.Add("minimum_liquid_level", minimum, Quantity::Length);
        if (f.heavy > 0.0) w.Add("heavy_liquid_level", heavy, Quantity::Length);
        if (spare && freeShape) {
            const double layer = minimum - heavy;
            w.Add("spare_height", disengagement->height - disengagement->rule, Quantity::Length);
            w.Add("least_light_layer", layer, Quantity::Length);
            const double holdupBelow = HoldupBelowMinimum(o);
            if (f.heavy == 0.0 && holdupBelow > 0.0) w.Add("least_light_residence_time", holdupBelow, Quantity::Time);
            if (scope == Scope::Full) {
                if (const std::optional<SizingOutcome> again = SizedWithLightLayer(c, o.orientation, layer)) {
                    w.Add("inside_diameter", o.MagnitudeAt(Slot::Diameter), Quantity::Length);
                    w.Add("overall_height", o.MagnitudeAt(Slot::OverallLength), Quantity::Length);
                    w.Add("diameter_with_layer", again->MagnitudeAt(Slot::Diameter), Quantity::Length);
                    w.Add("height_with_layer", again->MagnitudeAt(Slot::OverallLength), Quantity::Length);
                }
            }
        }
    }
    if (!spare || (below && freeShape)) return;
    const double d = o.MagnitudeAt(Slot::Diameter);
    Finding& h = freeShape ? out.Add(Code::HeightSetByRatio, Severity::Warning, Mark::Height)
                           : out.Add(Code::SpareHeightInGivenVessel, Severity::Note, Mark::None);
    h.Add("disengagement_height", disengagement->height, Quantity::Length);
    h.Add("disengagement_rule", disengagement->rule, Quantity::Length);
    h.Add("spare_height", disengagement->height - disengagement->rule, Quantity::Length);
    h.Add("inside_diameter", d, Quantity::Length);
    if (!freeShape) {
        h.Add("overall_height", o.MagnitudeAt(Slot::OverallLength), Quantity::Length);
        if (c.Gives(Slot::Ratio) && !c.Gives(Slot::OverallLength)) h.Add("given_ratio", o.MagnitudeAt(Slot::Ratio), Quantity::Plain);
    }
}

void WorkingHoldupFinding(Collector& out, const SizingOutcome& o, const Flows& f) {
    const double q = f.light + f.heavy;
    const double below = HoldupBelowMinimum(o);
    const double lightTime = o.MagnitudeAt(Slot::LightResidenceTime);
    const double heavyTime = f.heavy > 0.0 ? o.MagnitudeAt(Slot::HeavyResidenceTime) : 0.0;
    if (!(q > 0.0) || below < 0.0 || SurfaceBelowMinimum(o, f)) return;
    const double held = (lightTime * f.light + heavyTime * f.heavy) / q;  // the time the whole hold-up fills in
    if (!(held > 0.0) || !(below > kMostOfTheHoldup * held)) return;
    Finding& w = out.Add(Code::LittleWorkingHoldup, o.liquidAssumed ? Severity::Note : Severity::Warning);
    w.assumedLiquid = o.liquidAssumed;
    w.Add("holdup_time", held, Quantity::Time);
    w.Add("holdup_time_below_minimum_level", below, Quantity::Time);
    w.Add("working_holdup_time", held - below, Quantity::Time);
    w.Add("below_minimum_percent", below / held * 100.0, Quantity::Plain);
    w.Add("minimum_liquid_level", o.MagnitudeAt(Slot::MinimumLevel), Quantity::Length);
}

void LightLayerFinding(Collector& out, const SizingOutcome& o, const Flows& f) {
    const double layer = o.MagnitudeAt(Slot::LightLayerThickness);
    if (!(f.heavy > 0.0) || !(layer < kThinnestLightLayer)) return;
    Finding& w = out.Add(Code::ThinLiquidLayer, Severity::Warning);
    w.Add("light_liquid_layer", layer, Quantity::Length);
    w.Add("thinnest_light_layer", kThinnestLightLayer, Quantity::Length);
    w.Add("heavy_liquid_level", o.MagnitudeAt(Slot::HeavyLevel), Quantity::Length);
}

void ResidenceTimeFinding(Collector& out, const SizingCase& c, const SizingOutcome& o, const Flows& f) {
    struct Time {
        Slot slot;
        const char* given;
        const char* reported;
    };
    const Time times[] = {{Slot::LightResidenceTime, "given_light_residence_time", "light_residence_time"},
                          {Slot::HeavyResidenceTime, "given_heavy_residence_time", "heavy_residence_time"}};
    Finding* w = nullptr;
    for (const Time& t : times) {
        if (t.slot == Slot::HeavyResidenceTime && !(f.heavy > 0.0)) continue;
        const double reported = o.At(t.slot);
        if (!c.Gives(t.slot) || !IsSetAndFinite(reported) || host::IsGivenValue(c, o, Index(t.slot))) continue;
        if (w == nullptr) w = &out.Add(Code::ResidenceTimeChanged, Severity::Warning);
        w->Add(t.given, c.Given(t.slot), Quantity::Time);
        w->Add(t.reported, std::fabs(reported), Quantity::Time);
    }
}

// The design's vessel is what it is; a ratio far from the usual upright shape is worth a word.
void ShapeFinding(Collector& out, const SizingOutcome& o, const Governing& g) {
    if (!g.upright || g.length != Constraint::Design) return;
    if (!(g.ratio < vertical::kFirstRatio) && !(g.ratio > vertical::kSearchRatio)) return;
    Finding& n = out.Add(Code::RatioOutsidePractice, Severity::Note);
    n.Add("ratio", g.ratio, Quantity::Plain);
    n.Add("least_usual_ratio", vertical::kFirstRatio, Quantity::Plain);
    n.Add("most_usual_ratio", vertical::kSearchRatio, Quantity::Plain);
    n.Add("overall_height", o.MagnitudeAt(Slot::OverallLength), Quantity::Length);
}

void HoldupFinding(Collector& out, const SizingOutcome& o, const Flows& f) {
    if (o.orientation != 1) return;
    const double d = o.MagnitudeAt(Slot::Diameter);
    const double tangent = o.MagnitudeAt(Slot::Ratio) * d;
    const double heavyLevel = f.heavy > 0.0 ? o.MagnitudeAt(Slot::HeavyLevel) : 0.0;
    const double surface = heavyLevel + o.MagnitudeAt(Slot::LightLayerThickness);
    const double lightTime = o.MagnitudeAt(Slot::LightResidenceTime);
    const double heavyTime = f.heavy > 0.0 ? o.MagnitudeAt(Slot::HeavyResidenceTime) : 0.0;
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
// so what is left to say is where the velocity it gave leaves its chart, and whether the
// ceiling, not the correlation, set it.
void GasLoadFinding(Collector& out, const SizingCase& c, const SizingOutcome& o, const Flows& f) {
    if (c.Gives(Slot::VapourVelocity)) return;
    const double x = f.flowParameter;
    const bool belowChart = x < kLeastFlowParameter;
    const bool flat = x > design::kFlatCoefficientFrom;
    const double velocity = o.gasLoad ? o.gasLoad->velocity : kEmptyValue;
    const bool capped = IsSetAndFinite(velocity) && velocity > design::kMaxVapourVelocity;
    if (!belowChart && !flat && !capped) return;
    Finding& w = out.Add(Code::GasLoadOutOfRange, belowChart || flat ? Severity::Warning : Severity::Note);
    w.Add("flow_parameter", x, Quantity::Plain);
    if (belowChart) w.Add("least_flow_parameter", kLeastFlowParameter, Quantity::Plain);
    if (flat) {
        w.Add("flat_coefficient_from", design::kFlatCoefficientFrom, Quantity::Plain);
        w.Add("design_coefficient_ft_s", design::kFlatCoefficient, Quantity::Plain);
        w.Add("most_flow_parameter", kMostFlowParameter, Quantity::Plain);
        if (!(x > kMostFlowParameter)) w.Add("chart_coefficient_ft_s", ChartCoefficient(x), Quantity::Plain);
    }
    if (capped) {
        w.Add("correlation_velocity", velocity, Quantity::Velocity);
        w.Add("velocity_ceiling", design::kMaxVapourVelocity, Quantity::Velocity);
    }
    w.Add("allowable_vapour_velocity", o.MagnitudeAt(Slot::VapourVelocity), Quantity::Velocity);
}

void RangeFindings(Collector& out, const SizingOutcome& o) {
    const double d = o.MagnitudeAt(Slot::Diameter);
    if (d > kLargestSearchedDiameter) {
        Finding& w = out.Add(Code::DiameterBeyondRange, Severity::Warning);
        w.Add("inside_diameter", d, Quantity::Length);
        w.Add("largest_searched_diameter", kLargestSearchedDiameter, Quantity::Length);
    }
    const double ratio = o.MagnitudeAt(Slot::Ratio);
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

/// Most digits added to a unit's so that two compared numbers print apart.
constexpr int kMostExtraDigits = 6;

/// Two values of one quantity, each with as many digits beyond its unit's as it takes to print
/// them apart (when they differ at all).
std::pair<std::string, std::string> ShownApart(double a, double b, Quantity q, UnitSystem units) {
    const host::Unit unit = host::UnitOf(q, units);
    const double ca = host::Convert(a, q, units), cb = host::Convert(b, q, units);
    int digits = unit.digits;
    std::string ta = host::FormatNumber(ca, digits), tb = host::FormatNumber(cb, digits);
    for (int extra = 0; ta == tb && ca != cb && extra < kMostExtraDigits; ++extra) {
        ++digits;
        ta = host::FormatNumber(ca, digits);
        tb = host::FormatNumber(cb, digits);
    }
    if (unit.symbol[0] != '\0') {
        ta += std::string(" ") + unit.symbol;
        tb += std::string(" ") + unit.symbol;
    }
    return {ta, tb};
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

/// A length given as a case key is printed to 0.1 mm [1/m].
constexpr double kKeyDigitsPerMetre = 1e4;

// The slack keeps a last bit of a sum of steps from adding a digit.
std::string KeyMetresAtLeast(double metres) {
    return host::FormatNumber(std::ceil((metres - kLevelSlack) * kKeyDigitsPerMetre) / kKeyDigitsPerMetre, 4);
}

std::string KeyMetresAtMost(double metres) {
    return host::FormatNumber(std::floor((metres + kLevelSlack) * kKeyDigitsPerMetre) / kKeyDigitsPerMetre, 4);
}

const char* CodeName(Code code) {
    switch (code) {
        case Code::Governing: return "governing";
        case Code::LevelBelowMinimum: return "level-below-minimum";
        case Code::HeightSetByRatio: return "height-set-by-ratio";
        case Code::SpareHeightInGivenVessel: return "spare-height-in-given-vessel";
        case Code::LittleWorkingHoldup: return "little-working-holdup";
        case Code::ThinLiquidLayer: return "thin-liquid-layer";
        case Code::HoldupDiffers: return "holdup-differs";
        case Code::ResidenceTimeChanged: return "residence-time-changed";
        case Code::GasLoadOutOfRange: return "gas-load-out-of-range";
        case Code::RatioOutsidePractice: return "ratio-outside-practice";
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
        case Code::SettlingNotChecked: return "settling-not-checked";
        case Code::CutSizeAboveTarget: return "cut-size-above-target";
        case Code::SettlingLawOutOfRange: return "settling-law-out-of-range";
        case Code::EliminatorLoadOutsideWindow: return "eliminator-load-outside-window";
        case Code::NozzleTooLarge: return "nozzle-too-large";
        case Code::LevelsAboveVapourSpace: return "levels-above-vapour-space";
        case Code::NormalLevelBelowLowLevel: return "normal-level-below-low-level";
        case Code::LevelsTooClose: return "levels-too-close";
        case Code::WallThinnerThanDesign: return "wall-thinner-than-design";
        case Code::DesignWallBeyondRange: return "design-wall-beyond-range";
        case Code::BelowMinimumMetalTemperature: return "below-minimum-metal-temperature";
    }
    return "";
}

const char* ShortText(Code code) {
    switch (code) {
        case Code::LevelBelowMinimum: return "below the minimum level";
        case Code::HeightSetByRatio: return "height set by the ratio";
        case Code::ThinLiquidLayer: return "thin light-liquid layer";
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

bool Finding::Has(const char* name) const {
    for (std::size_t i = 0; i < count; ++i)
        if (std::strcmp(values[i].name, name) == 0) return true;
    return false;
}

Finding& Review::Add(Code code, Severity severity, Mark mark) {
    Finding& f = items[count++];
    f = Finding{};
    f.code = code;
    f.severity = severity;
    f.mark = mark;
    return f;
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
    governing.Add("inside_diameter", o.MagnitudeAt(Slot::Diameter), Quantity::Length);
    governing.Add("vapour_alone_diameter", r.governing.vapourDiameter, Quantity::Length);
    governing.Add("vapour_load_percent", r.governing.vapourLoadPercent, Quantity::Plain);
    governing.Add("ratio", r.governing.ratio, Quantity::Plain);

    LevelFindings(out, c, o, flows, scope);
    WorkingHoldupFinding(out, o, flows);
    LightLayerFinding(out, o, flows);
    HoldupFinding(out, o, flows);
    ResidenceTimeFinding(out, c, o, flows);
    GasLoadFinding(out, c, o, flows);
    ShapeFinding(out, o, r.governing);
    RangeFindings(out, o);
    mechanical::AddFindings(r, c, o);
    settling::AddFindings(r, c, o);
    levels::AddFindings(r, c, o);

    // By rank, then in code order, so that a list of codes alone gives back its order; an
    // insertion sort, as a batch reviews every case and the list is short.
    const auto after = [](const Finding& a, const Finding& b) {
        return Rank(a) != Rank(b) ? Rank(a) > Rank(b) : a.code > b.code;
    };
    for (std::size_t i = 1; i < r.count; ++i) {
        const Finding moving = r.items[i];
        std::size_t at = i;
        for (; at > 0 && after(r.items[at - 1], moving); --at) r.items[at] = r.items[at - 1];
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
        case Code::LevelBelowMinimum: {
            std::string text = std::string(f.assumedLiquid ? "The surface of the assumed liquid (the feed has none) at " : "The liquid surface at ") +
                               show("liquid_surface") + " lies below the minimum liquid level of " + show("minimum_liquid_level") + ".";
            if (!f.Has("spare_height")) return text;
            // The keys take SI units; each bound is rounded up, so that the value printed suffices (the
            // slack keeps a last bit of a sum of steps from adding a digit).
            text += " The vessel has " + show("spare_height") + " of spare height above the liquid: giving light_liquid_layer_m of at least " +
                    KeyMetresAtLeast(f.Get("least_light_layer"));
            if (f.Has("least_light_residence_time"))
                text += " (or light_liquid_residence_time_s of at least " + host::FormatNumber(std::ceil(f.Get("least_light_residence_time")), 0) + ")";
            text += " lifts the normal level to the minimum";
            if (!f.Has("diameter_with_layer")) return text + ".";
            const bool noLarger = f.Get("diameter_with_layer") <= f.Get("inside_diameter") && f.Get("height_with_layer") <= f.Get("overall_height");
            return text + (noLarger ? " at no cost in size (sized so: " : " (sized so: ") + show("diameter_with_layer") + " by " +
                   show("height_with_layer") + ").";
        }
        case Code::HeightSetByRatio:
            return "The disengagement height of " + show("disengagement_height") + " is " + show("spare_height") + " more than the " +
                   show("disengagement_rule") + " the disengagement rule gives for a diameter of " + show("inside_diameter") +
                   ": the ratio, not the process, sets the height.";
        case Code::SpareHeightInGivenVessel: {
            const std::string given = f.Has("given_ratio") ? "The given ratio of " + RatioText(f.Get("given_ratio")) + " makes the vessel " +
                                                                 show("overall_height") + " high"
                                                           : "The given height of " + show("overall_height");
            return given + " leaves a disengagement height of " + show("disengagement_height") + ", " + show("spare_height") +
                   " more than the " + show("disengagement_rule") + " the disengagement rule gives for a diameter of " +
                   show("inside_diameter") + ": room the given vessel has above the liquid, not a height the process asks for.";
        }
        case Code::LittleWorkingHoldup:
            return std::string(f.assumedLiquid ? "Of the assumed liquid's (the feed has none) " : "Of the ") + show("holdup_time") +
                   " of hold-up, " + show("holdup_time_below_minimum_level") + " (" + Percent(f.Get("below_minimum_percent")) +
                   ") lie below the minimum liquid level of " + show("minimum_liquid_level") + ": only " + show("working_holdup_time") +
                   " of it is held above that level.";
        case Code::ThinLiquidLayer:
            return "The light-liquid layer of " + show("light_liquid_layer") + " on the heavy liquid at " + show("heavy_liquid_level") +
                   " is thinner than the " + show("thinnest_light_layer") + " (1 ft) a three-phase separator's light liquid is commonly designed with.";
        case Code::ResidenceTimeChanged: {
            std::string text;
            if (f.Has("given_light_residence_time"))
                text = "The light-liquid residence time given as " + show("given_light_residence_time") + " is reported as " +
                       show("light_residence_time");
            if (f.Has("given_heavy_residence_time"))
                text += (text.empty() ? "The" : ", and the") + std::string(" heavy-liquid residence time given as ") +
                        show("given_heavy_residence_time") + " is reported as " + show("heavy_residence_time");
            return text + ": the sizing did not keep the time it was given.";
        }
        case Code::RatioOutsidePractice:
            return "The given vessel's T/T height is " + host::FormatNumber(f.Get("ratio"), 2) + " times its diameter (" + show("overall_height") +
                   " overall), outside the " + RatioText(f.Get("least_usual_ratio")) + " to " + RatioText(f.Get("most_usual_ratio")) +
                   " an upright separator is usually built to.";
        case Code::HoldupDiffers: {
            const double share = f.Get("difference_percent");
            const auto [exact, promised] = ShownApart(f.Get("exact_holdup"), f.Get("promised_holdup"), Quantity::Volume, units);
            std::string text = "The exact volume under the liquid surface at " + show("liquid_surface") + " is " +
                               host::FormatNumber(std::fabs(share), 1) + "% " + (share >= 0.0 ? "more" : "less") +
                               " than the hold-up the residence times promise (" + exact + " against " + promised +
                               "); the exact volume gives ";
            const bool heavy = f.Get("exact_heavy_residence_time") != 0.0;
            text += show("exact_light_residence_time") + " of light liquid";
            if (heavy) text += " and " + show("exact_heavy_residence_time") + " of heavy liquid";
            return text + ".";
        }
        case Code::GasLoadOutOfRange: {
            char parameter[32];
            std::snprintf(parameter, sizeof parameter, "%.3g", f.Get("flow_parameter"));
            std::string text;
            if (f.Has("least_flow_parameter")) {
                text = std::string("The flow parameter of ") + parameter + " lies below the " + host::FormatNumber(f.Get("least_flow_parameter"), 3) +
                       " where the gas-load correlation is defined, so the allowable velocity of " + show("allowable_vapour_velocity") +
                       " is an extrapolation.";
            }
            if (f.Has("flat_coefficient_from")) {
                text = std::string("The flow parameter of ") + parameter + " lies above the " + RatioText(f.Get("flat_coefficient_from")) +
                       " past which the gas-load correlation holds its coefficient at " + host::FormatNumber(f.Get("design_coefficient_ft_s"), 2) +
                       " ft/s, while the chart it follows keeps falling";
                if (f.Has("chart_coefficient_ft_s")) {
                    char chart[32];
                    std::snprintf(chart, sizeof chart, "%.3g", f.Get("chart_coefficient_ft_s"));
                    text += std::string(" (to ") + chart + " ft/s here, by the chart's fit): the allowable velocity of " +
                            show("allowable_vapour_velocity") + " is " +
                            host::FormatNumber(f.Get("design_coefficient_ft_s") / f.Get("chart_coefficient_ft_s"), 2) + " times the chart's.";
                } else {
                    text += " and ends at " + RatioText(f.Get("most_flow_parameter")) + ": the allowable velocity of " +
                            show("allowable_vapour_velocity") + " is past the chart.";
                }
            }
            if (f.Has("correlation_velocity")) {
                text += (text.empty() ? "" : " ") + std::string("The correlation gives ") + show("correlation_velocity") +
                        "; the sizing caps it at " + show("velocity_ceiling") + ".";
            }
            return text;
        }
        case Code::DiameterBeyondRange:
            return "The diameter of " + show("inside_diameter") + " is past the " + show("largest_searched_diameter") +
                   " that the sizing searches treat as their limit.";
        case Code::RatioBeyondRange:
            return "The ratio of " + RatioText(f.Get("ratio")) + " is past the " + RatioText(f.Get("largest_searched_ratio")) +
                   " that the sizing searches treat as their limit.";
        case Code::WallBeyondRange:
        case Code::WallThickerThanPlate:
        case Code::ExternalPressure:
        case Code::WallBelowRigidity:
        case Code::WallThinnerThanRequired:
        case Code::TemperatureOutsideMaterial:
        case Code::WeightOutsideCorrelation:
        case Code::DesignPressure:
        case Code::WeightAndCost:
        case Code::WallThinnerThanDesign:
        case Code::DesignWallBeyondRange:
        case Code::BelowMinimumMetalTemperature: return mechanical::Describe(f, show);
        case Code::SettlingNotChecked:
        case Code::CutSizeAboveTarget:
        case Code::SettlingLawOutOfRange:
        case Code::EliminatorLoadOutsideWindow:
        case Code::NozzleTooLarge: return settling::Describe(f, show);
        case Code::LevelsAboveVapourSpace:
        case Code::NormalLevelBelowLowLevel:
        case Code::LevelsTooClose: return levels::Describe(f, show);
    }
    return {};
}

}  // namespace kestrol::review
