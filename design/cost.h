// The finishing step of every sizing: wall thickness, weight and purchase cost.
#pragma once

#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol::design {

/// [psi/kPa]: the step works in US customary units inside.
inline constexpr double kPsiPerKpa = 0.1450377;
/// Atmospheric pressure [psi], taken off to give the design pressure in psig.
inline constexpr double kAtmospherePsi = 14.696;
/// [in/m], for the corrosion allowance and the wall.
inline constexpr double kInchesPerMetre = 39.37;
/// One sixteenth of an inch [m], 1 / (16 x 39.37): the wall is rounded up to whole sixteenths.
inline constexpr double kMetresPerSixteenth = 0.0015875031750063502;

/// 0.0 after writing its results, kEmptyValue when it could not (the diameter or length unusable,
/// no stress or density for the material, a thickness, weight or cost that does not come out).
/// A second run with unchanged inputs writes the same bits as the first.
double EstimateVesselCost(const StreamState& feed, SlotAccess& slots);

/// Whether a sizing path ends with the finishing step, or leaves it to a caller that runs it
/// next on the same slots (Calculate does): one run then writes what the two would.
enum class Finish { Cost, LeaveToCaller };

/// Cost factor of the material code [-]; 1.0 for a code not in the table.
double MaterialCostFactor(SlotAccess& slots);

/// |Slot::MaterialDensity| when set, else the density of the material code [kg/m3];
/// kEmptyValue for a code not in the table.
double MaterialDensity(SlotAccess& slots);

/// Design temperature [deg F] of a temperature [deg C], as the stress lookup takes it.
double DesignTemperatureF(double celsius);
/// The temperature [deg C] of a design temperature [deg F]: DesignTemperatureF undone.
double CelsiusOf(double designTemperatureF);

/// What the material code is made of, as far as the table says.
enum class MaterialFamily { CarbonSteel, StainlessSteel, Aluminium, Unknown };
MaterialFamily FamilyOf(SlotAccess& slots);

/// The highest design temperature [deg F] the stress table of the material code
/// lists; its last row is held for every hotter temperature. kEmptyValue for a code not in the table.
double StressTableTopF(SlotAccess& slots);

/// |Slot::AllowableStress| when set, else the allowable stress of the material code at the
/// design temperature [kPa]; kEmptyValue for a code not in the table.
double AllowableStress(SlotAccess& slots, double designTemperatureF);

/// Coefficients of the shell formula (pressure coefficient) and of the head formula (stress
/// multiplier and pressure coefficient), as magnitudes; kEmptyValue switches a formula off.
struct WallFormulas {
    double shellPressureCoefficient = kEmptyValue;
    double headStressMultiplier = kEmptyValue;
    double headPressureCoefficient = kEmptyValue;
};

/// The formulas as the shell and head coefficient slots set them.
WallFormulas WallFormulasOf(SlotAccess& slots);

/// Gauge pressure [psig] from an absolute pressure [kPa], as the wall formulas take it.
double GaugePressurePsig(double pressureKpa);
/// The absolute pressure [kPa] that GaugePressurePsig turns into `pressurePsig`.
double AbsolutePressureKpa(double pressurePsig);

/// Wall thickness [m] the formulas ask at gauge pressure `pressurePsig`, before the rounding
/// ShellThickness adds: the larger formula, at least 1/8 in, plus the corrosion allowance [m].
/// kEmptyValue when it does not come out finite.
double RequiredWallThickness(double pressurePsig, double diameter, double efficiency, double stressKpa, double corrosionAllowance,
                             const WallFormulas& formulas);

/// Wall thickness [m] at gauge pressure `pressurePsig` for inside diameter `diameter` [m],
/// joint efficiency, allowable stress [kPa] and corrosion allowance [m]: the larger of the
/// formulas, at least 1/8 in, plus the allowance, rounded up to whole sixteenths of an inch.
/// kEmptyValue when it does not come out finite.
double ShellThickness(double pressurePsig, double diameter, double efficiency, double stressKpa, double corrosionAllowance,
                      const WallFormulas& formulas);

/// Density [kg/m3] the material table gives a material code; kEmptyValue for a code not in it.
double DensityOfMaterialCode(int code);
/// Cost factor [-] the material table gives a material code; 1.0 for a code not in it.
double CostFactorOfMaterialCode(int code);

/// Purchase cost of a vessel [USD] of weight [kg] by the orientation's correlation
/// exp(a + (b + c ln W) ln W), brought to the cost index and the material cost factor.
double VesselCostOf(double weight, double a, double b, double c, double costIndex, double costFactor);

/// Weight [kg] of shell and heads: diameter and overall length [m], the head allowance as a
/// multiple of the diameter, material density [kg/m3] and wall thickness [m].
double VesselWeight(double diameter, double length, double headLengthFactor, double density, double thickness);

}  // namespace kestrol::design
