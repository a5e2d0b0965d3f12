#include "process/settling.h"

#include <algorithm>
#include <cmath>

#include "core/stream_state.h"
#include "horizontal/geometry.h"

namespace kestrol::process {
namespace {

using host::MistEliminator;
using host::SizingCase;
using host::SizingOutcome;

/// Highest Reynolds number of the drag expression [-] (Barati et al. 2014, as above: Re <= 2e5).
constexpr double kMostDragReynolds = 2e5;
/// Stokes' law holds to Re = 0.3 (Rhodes, Introduction to Particle Technology, Wiley 2013, as
/// CalebBell/fluids, fluids/drag.py, Stokes, gives its range) [-].
constexpr double kMostStokesReynolds = 0.3;
/// Newton's regime, where the drag coefficient is nearly constant, from Re = 500 (Ulrich and
/// Vasudevan, Chemical Engineering Process Design and Economics, 2nd ed., 2004, as
/// CalebBell/fluids, fluids/separator.py, v_Sounders_Brown, notes) [-].
constexpr double kLeastNewtonReynolds = 500.0;

/// Bisection on ln Re over [kLeastLnReynolds, kMostLnReynolds]: 24 units of ln halve to below a
/// double's resolution of the logarithm in about 60 steps; 100 leave room.
constexpr int kCutSizeSteps = 100;
constexpr double kLeastLnReynolds = -28.0;  // Re of 7e-13
constexpr double kMostLnReynolds = 28.0;    // Re of 1.4e12

/// Largest droplet a gravity section passes on to the outlet without an element [m]: 100 um,
/// the least droplet a vessel separates by inertia alone (Raschig GmbH, "Overview of the
/// separation systems", droplet separators, table of limit droplets: vessel > 100 um).
constexpr double kGravityTargetBare = 100e-6;
/// With a wire-mesh pad, the largest droplet the gravity section may leave it [m]: 120 um, the
/// top of the 1 to 100/120 um the knitted-wire demisters are made for (STRIKO Verfahrenstechnik,
/// glossary, "drop size"). No such range was found cited for vane packs or cyclones, which get
/// no target.
constexpr double kGravityTargetMesh = 120e-6;

/// Water droplets from oil and oil droplets from water that a three-phase separator's liquid
/// sections are commonly designed to remove [m]: 500 um and 200 um, the two ends of the
/// "Target: 200-500 um removal" of Midstream Calculator, "Three-Phase Separator Design",
/// section 2, Separation Physics, table of key factors (droplet size), read as the larger
/// water droplet settling from oil and the smaller oil droplet rising through water.
constexpr double kHeavyInLightTarget = 500e-6;
constexpr double kLightInHeavyTarget = 200e-6;

/// Wire-mesh pad load factor, York's fit as Svrcek and Monnery give it ("Design two-phase
/// separators within the right limits", Chem. Eng. Prog., October 1993, 53-60; as CalebBell/
/// fluids, fluids/separator.py, K_separator_demister_York): K [ft/s] of P [psia].
constexpr double kYorkLeastPsia = 1.0;
constexpr double kYorkFlatFromPsia = 15.0;
constexpr double kYorkFlatToPsia = 40.0;
constexpr double kYorkMostPsia = 5500.0;
constexpr double kYorkLow[] = {0.1821, 0.0029, 0.0460};  // K = a + b P + c ln P below 15 psia
constexpr double kYorkFlat = 0.35;
constexpr double kYorkHigh[] = {0.430, -0.023};          // K = a + b ln P above 40 psia
/// A horizontal pad takes 1.25 times the upright one's K (Watkins, as the same function applies it).
constexpr double kHorizontalPadFactor = 1.25;
/// A pad runs from 0.2 to 1.0 times its largest velocity (DS Demister, design data, "operation
/// velocity: Vact = 0.2 (min) to 1.0 (max) x Vmax") [-].
constexpr double kPadLeastShare = 0.2;
constexpr double kPsiPerKpa = 0.1450377;  ///< [psi/kPa], as the cost step converts

double Magnitude(const SizingOutcome& o, Slot s) { return std::fabs(o.At(s)); }

double YorkK(double pressureKpa, bool horizontal) {
    const double p = std::clamp(pressureKpa * kPsiPerKpa, kYorkLeastPsia, kYorkMostPsia);
    double k = kYorkFlat;
    if (p < kYorkFlatFromPsia) {
        k = kYorkLow[0] + kYorkLow[1] * p + kYorkLow[2] * std::log(p);
    } else if (p >= kYorkFlatToPsia) {
        k = kYorkHigh[0] + kYorkHigh[1] * std::log(p);
    }
    return k * kFoot * (horizontal ? kHorizontalPadFactor : 1.0);
}

void NoteMissing(Settling& s, const char* key) {
    for (const char*& slot : s.missing) {
        if (slot == key) return;
        if (slot == nullptr) {
            slot = key;
            return;
        }
    }
}

/// A liquid droplet settling through the other liquid by Stokes' law.
DropletCheck LiquidCheck(double velocity, double dropletDensity, double continuousDensity, double viscosity, double target) {
    DropletCheck d;
    if (!(velocity > 0.0)) return d;
    d.made = true;
    d.velocity = velocity;
    d.cutSize = StokesCutSize(velocity, dropletDensity, continuousDensity, viscosity);
    d.reynolds = continuousDensity * velocity * d.cutSize / viscosity;
    d.lawOutOfRange = d.reynolds > kMostStokesReynolds;
    d.target = target;
    return d;
}

}  // namespace

const char* DragRegimeKey(DragRegime r) {
    switch (r) {
        case DragRegime::Stokes: return "stokes";
        case DragRegime::Intermediate: return "intermediate";
        case DragRegime::Newton: return "newton";
        case DragRegime::OutOfRange: return "out-of-range";
        case DragRegime::None: break;
    }
    return "";
}

double DragCoefficient(double re) {
    return 5.4856e9 * std::tanh(4.3774e-9 / re) + 0.0709 * std::tanh(700.6574 / re) + 0.3894 * std::tanh(74.1539 / re) -
           0.1198 * std::tanh(7429.0843 / re) + 1.7174 * std::tanh(9.9851 / (re + 2.3384)) + 0.4744;
}

CutSize TerminalCutSize(double velocity, double dropletDensity, double continuousDensity, double viscosity) {
    if (!(velocity > 0.0) || !(viscosity > 0.0) || !(continuousDensity > 0.0)) return {};
    const double difference = std::fabs(dropletDensity - continuousDensity);
    // At the terminal velocity U, 3 Cd rho_c U^2 = 4 g d (rho_d - rho_c); with d = Re mu / (rho_c U)
    // the diameter leaves one equation in Re alone: Cd(Re) / Re = 4 g (rho_d - rho_c) mu / (3 rho_c^2 U^3),
    // whose left side falls as Re grows.
    const double target = 4.0 * kGravity * difference * viscosity / (3.0 * continuousDensity * continuousDensity * velocity * velocity * velocity);
    double lo = kLeastLnReynolds, hi = kMostLnReynolds;
    for (int step = 0; step < kCutSizeSteps && hi - lo > 0.0; ++step) {
        const double mid = 0.5 * (lo + hi);
        if (mid == lo || mid == hi) break;
        const double re = std::exp(mid);
        (DragCoefficient(re) / re > target ? lo : hi) = mid;
    }
    const double re = std::exp(0.5 * (lo + hi));
    return {re * viscosity / (continuousDensity * velocity), re};
}

double StokesCutSize(double velocity, double dropletDensity, double continuousDensity, double viscosity) {
    return std::sqrt(18.0 * viscosity * velocity / (kGravity * std::fabs(dropletDensity - continuousDensity)));
}

DragRegime RegimeOf(double re) {
    if (re > kMostDragReynolds) return DragRegime::OutOfRange;
    if (re > kLeastNewtonReynolds) return DragRegime::Newton;
    if (re > kMostStokesReynolds) return DragRegime::Intermediate;
    return DragRegime::Stokes;
}

MistEliminator ElementOf(const SizingCase& c, const SizingOutcome& o) {
    if (c.process.mistEliminator != MistEliminator::Unset) return c.process.mistEliminator;
    return Magnitude(o, Slot::MistEliminatorHeight) > 0.0 ? MistEliminator::Mesh : MistEliminator::None;
}

Settling SettleCase(const SizingCase& c, const SizingOutcome& o) {
    Settling s;
    if (!o.Sized() || (o.orientation != 0 && o.orientation != 1)) return s;
    const host::ProcessInputs& p = c.process;
    const StreamState feed = host::FeedAsSized(c, o.liquidAssumed);
    const bool heavy = feed.HasHeavyLiquid();
    s.upright = o.orientation == 0;
    const double d = Magnitude(o, Slot::Diameter);
    const double heavyLevel = heavy ? Magnitude(o, Slot::HeavyLevel) : 0.0;
    const double lightLayer = Magnitude(o, Slot::LightLayerThickness);
    const double surface = heavyLevel + lightLayer;
    const double rhoV = feed.vapourDensity;
    const double rhoL = feed.lightLiquidDensity;

    s.elementGiven = p.mistEliminator != MistEliminator::Unset;
    s.element = ElementOf(c, o);

    // The vapour's velocity where droplets settle against it: up through the whole section
    // upright, across the vapour space above the liquid lying down.
    const double area = s.upright ? kPiOver4 * d * d : horizontal::SegmentArea(d, d - surface);
    const double u = area > 0.0 ? feed.vapourVolumeFlow / area : 0.0;
    if (s.element != MistEliminator::None && u > 0.0) {
        s.elementK = u * std::sqrt(rhoV / (rhoL - rhoV));
        if (s.element == MistEliminator::Mesh) {
            s.elementKMost = YorkK(c.Get(host::kPressure), !s.upright);
            s.elementKLeast = kPadLeastShare * s.elementKMost;
        }
    }

    if (IsEmpty(p.vapourViscosity)) {
        NoteMissing(s, "vapour_viscosity_Pa_s");
    } else if (u > 0.0) {
        double velocity = u;
        if (!s.upright) {
            // A droplet at the top of the vapour space must reach the liquid while the vapour
            // crosses the cylinder: the tangent length, the heads' room not counted.
            s.effectiveLength = Magnitude(o, Slot::Ratio) * d;
            s.fallHeight = d - surface;
            velocity = s.effectiveLength > 0.0 ? s.fallHeight * u / s.effectiveLength : 0.0;
        }
        const CutSize cut = TerminalCutSize(velocity, rhoL, rhoV, p.vapourViscosity);
        if (cut.diameter > 0.0) {
            s.vapour.made = true;
            s.vapour.velocity = velocity;
            s.vapour.cutSize = cut.diameter;
            s.vapour.reynolds = cut.reynolds;
            s.regime = RegimeOf(cut.reynolds);
            s.vapour.lawOutOfRange = s.regime == DragRegime::OutOfRange;
            s.vapour.target = s.element == MistEliminator::None ? kGravityTargetBare
                              : s.element == MistEliminator::Mesh ? kGravityTargetMesh
                                                                  : 0.0;
        }
    }

    if (!heavy) return s;
    const double rhoH = feed.heavyLiquidDensity;
    const double lightTime = Magnitude(o, Slot::LightResidenceTime);
    const double heavyTime = Magnitude(o, Slot::HeavyResidenceTime);
    // Lying down, a droplet crosses its layer in that liquid's time; upright, it settles against
    // the liquid's own velocity through the section (the light liquid rises to its outlet, the
    // heavy one falls to its own).
    const double section = kPiOver4 * d * d;
    const double lightVelocity = s.upright ? feed.lightLiquidVolumeFlow / section : (lightTime > 0.0 ? lightLayer / lightTime : 0.0);
    const double heavyVelocity = s.upright ? feed.heavyLiquidVolumeFlow / section : (heavyTime > 0.0 ? heavyLevel / heavyTime : 0.0);
    if (IsEmpty(p.lightLiquidViscosity)) {
        NoteMissing(s, "light_liquid_viscosity_Pa_s");
    } else {
        s.heavyInLight = LiquidCheck(lightVelocity, rhoH, rhoL, p.lightLiquidViscosity, kHeavyInLightTarget);
    }
    if (IsEmpty(p.heavyLiquidViscosity)) {
        NoteMissing(s, "heavy_liquid_viscosity_Pa_s");
    } else {
        s.lightInHeavy = LiquidCheck(heavyVelocity, rhoL, rhoH, p.heavyLiquidViscosity, kLightInHeavyTarget);
    }
    return s;
}

}  // namespace kestrol::process
