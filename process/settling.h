// Droplet settling in a sized vessel: the largest droplet the vapour carries out of the gravity
// section, the droplets each liquid carries out of the other, and the load on a mist
// eliminator. Reads the case and the sized vector; never changes a sized number.
#pragma once

#include "model/case_file.h"
#include "model/sizing_run.h"

namespace kestrol::process {

/// Standard gravity [m/s2] (CGPM 1901, the conventional value).
inline constexpr double kGravity = 9.80665;

/// Where a droplet's Reynolds number puts its drag.
enum class DragRegime { None, Stokes, Intermediate, Newton, OutOfRange };

/// "stokes", "intermediate", "newton", "out-of-range"; empty for None.
const char* DragRegimeKey(DragRegime r);

/// Drag coefficient of a smooth sphere at Reynolds number `re` (> 0) [-], one expression from
/// the Stokes regime to Newton's: Barati, Neyshabouri and Ahmadi, "Development of empirical
/// models with high accuracy for estimation of drag coefficient of flow around a smooth
/// sphere: an evolutionary approach", Powder Technology 257 (2014) 11-19, their eq. for
/// Re <= 2e5 (as CalebBell/fluids, fluids/drag.py, Barati, gives it).
double DragCoefficient(double re);

struct CutSize {
    double diameter = 0.0;  ///< [m]
    double reynolds = 0.0;  ///< [-], of that droplet at that velocity
};

/// The droplet whose terminal velocity in the continuous phase equals `velocity` [m/s]:
/// larger droplets settle against it, smaller ones are carried. Densities [kg/m3], viscosity
/// of the continuous phase [Pa s]. The drag coefficient is iterated on the Reynolds number
/// (bisection on its logarithm, see kCutSizeSteps); {0, 0} for a velocity that is not positive.
CutSize TerminalCutSize(double velocity, double dropletDensity, double continuousDensity, double viscosity);

/// Stokes' law solved for the diameter: d = sqrt(18 mu U / (g |rho_d - rho_c|)) [m].
double StokesCutSize(double velocity, double dropletDensity, double continuousDensity, double viscosity);

/// The regime of a gas droplet's drag at Reynolds number `re`.
DragRegime RegimeOf(double re);

/// One droplet check: the cut size against its target.
struct DropletCheck {
    bool made = false;        ///< the inputs it needs were given and the vessel has the layer
    double cutSize = 0.0;     ///< [m]
    double target = 0.0;      ///< [m]; 0 where no target applies
    double reynolds = 0.0;    ///< [-]
    double velocity = 0.0;    ///< the settling velocity the droplet must reach [m/s]
    bool lawOutOfRange = false;
    bool AboveTarget() const { return made && target > 0.0 && cutSize > target; }
};

struct Settling {
    bool upright = true;
    DropletCheck vapour;            ///< liquid droplets carried by the vapour
    DragRegime regime = DragRegime::None;
    double effectiveLength = 0.0;   ///< lying down: the length the vapour crosses [m]
    double fallHeight = 0.0;        ///< lying down: the vapour space a droplet falls through [m]
    host::MistEliminator element = host::MistEliminator::None;
    bool elementGiven = false;      ///< the case named the element (else it follows the sized height)
    double elementK = 0.0;          ///< vapour load factor at the element [m/s]; 0 when no element
    double elementKLeast = 0.0;     ///< its window [m/s]; 0 where no window is cited for the element
    double elementKMost = 0.0;
    DropletCheck heavyInLight;      ///< heavy droplets in the light liquid
    DropletCheck lightInHeavy;      ///< light droplets in the heavy liquid
    /// Keys whose absence left a check unmade; nullptr after the last.
    const char* missing[3] = {nullptr, nullptr, nullptr};
    bool KOutsideWindow() const { return elementKMost > 0.0 && (elementK > elementKMost || elementK < elementKLeast); }
};

/// The vapour's element: as the case names it, else a mesh pad wherever the sizing left a
/// mist-eliminator height.
host::MistEliminator ElementOf(const host::SizingCase& c, const host::SizingOutcome& o);

/// The settling checks of a sized case; nothing made for a case that is not sized.
Settling SettleCase(const host::SizingCase& c, const host::SizingOutcome& o);

}  // namespace kestrol::process
