// The mechanical design of a sized vessel at its design conditions: design pressure and
// temperature, the plate grade and joint efficiency, shell and head plates by the
// internal-pressure formulas, their MAWP and hydrotest pressure, the weights and the cost the
// design's own correlation gives for them. Shown beside the object's wall and cost, which it
// never changes.
#pragma once

#include "mechanical/internals_weight.h"
#include "mechanical/nozzle_weights.h"
#include "model/case_file.h"
#include "model/mechanical_inputs.h"
#include "model/sizing_run.h"

namespace kestrol::mechanical {

/// Atmospheric pressure [kPa]: below it the shell is under external pressure.
inline constexpr double kAtmosphereKpa = 101.325;
/// A vessel that runs under vacuum is designed for full vacuum: one atmosphere of external
/// pressure on the shell (Inflection Point Engineering, IPE-TM-300-05 Vacuum Design, 3: "Design
/// all equipment for Full Vacuum if the equipment normally operates under a vacuum condition";
/// ASME BPVC VIII-1 UG-28 gives the external-pressure rules) [kPa].
inline constexpr double kFullVacuumKpa = kAtmosphereKpa;

/// The thin-wall formulas hold while the wall is at most half the inside radius and the
/// pressure at most 0.385 S E (ASME BPVC VIII-1, 2015, UG-27(c)(1), circumferential stress);
/// past either the thick-wall formulas of its Mandatory Appendix 1-2 apply [-].
inline constexpr double kThinWallRadiusShare = 0.5;
inline constexpr double kThinWallStressShare = 0.385;

/// Design pressure [psig] for an operating gauge pressure [psig] (Seider, Seader, Lewin and
/// Widagdo, Product and Process Design Principles, 3rd ed., Wiley 2009, ch. 22, eq. for Pd):
/// 10 psig below 5 psig; exp(0.60608 + 0.91615 ln Po + 0.0015655 (ln Po)^2) from 5 to 1000
/// psig; 1.1 Po above.
double DesignPressurePsig(double operatingPsig);

/// Least plate for rigidity [m] at an inside diameter [m], corrosion allowance included
/// (Seider et al., as above, ch. 22).
double RigidityMinimum(double diameter);

/// Required thickness [m] of a cylindrical shell, circumferential stress (ASME BPVC VIII-1
/// UG-27(c)(1)): t = P R / (S E - 0.6 P), gauge pressure and stress in one unit, R the inside
/// radius [m]. NaN when S E <= 0.6 P.
double ShellThicknessRequired(double gaugePressure, double insideRadius, double stress, double efficiency);
/// Required thickness [m] of a 2:1 ellipsoidal head (ASME BPVC VIII-1 UG-32(d)):
/// t = P D / (2 S E - 0.2 P), D the inside diameter [m].
double HeadThicknessRequired(double gaugePressure, double insideDiameter, double stress, double efficiency);
/// The gauge pressure a shell of thickness t [m] (corrosion taken off) holds, UG-27(c)(1)
/// solved for P: S E t / (R + 0.6 t).
double ShellMawp(double thickness, double insideRadius, double stress, double efficiency);
/// The same for a 2:1 head, UG-32(d) solved for P: 2 S E t / (D + 0.2 t).
double HeadMawp(double thickness, double insideDiameter, double stress, double efficiency);
/// Hydrostatic test pressure (gauge) for an MAWP (gauge): 1.3 MAWP times the ratio of the
/// stress at test temperature to the stress at design temperature (ASME BPVC VIII-1 UG-99(b)).
double HydrotestPressure(double mawpGauge, double testStress, double designStress);
/// The next plate thickness [m] at or above `thickness`.
double RoundUpToPlate(double thickness);
/// Joint efficiency of a double-welded butt joint (Type 1) by extent of radiography.
double JointEfficiency(host::Radiography r);

struct Weights {
    double shell = kEmptyValue;      ///< [kg]
    double heads = kEmptyValue;      ///< both [kg]
    double nozzles = kEmptyValue;    ///< necks and flanges, where the nozzles are sized and weighed [kg]
    double internals = kEmptyValue;  ///< the mesh pad of an upright vessel, where it is weighed [kg]
    double empty = kEmptyValue;      ///< shell, heads, and the nozzles and internals where weighed
    double operating = kEmptyValue;  ///< empty and the liquid to the normal level
    double waterFull = kEmptyValue;  ///< empty and the vessel's volume of water
};

struct Design {
    bool computed = false;          ///< the case was sized and a grade applies at the design temperature
    double designPressureKpa = kEmptyValue;     ///< internal, absolute
    bool designPressureGiven = false;
    double designTemperatureC = kEmptyValue;
    bool designTemperatureGiven = false;
    bool fullVacuum = false;        ///< operating below atmospheric: also designed for full vacuum
    host::PlateGrade grade = host::PlateGrade::Unset;
    bool gradeFromMaterialCode = false;
    host::Radiography radiography = host::Radiography::Unset;
    double jointEfficiency = kEmptyValue;
    double corrosionAllowance = kEmptyValue;     ///< [m]
    double stressKpa = kEmptyValue;              ///< at the design temperature
    double testStressKpa = kEmptyValue;          ///< at the test temperature
    double shellRequired = kEmptyValue;          ///< formula + allowance, before the plate [m]
    double headRequired = kEmptyValue;
    double shellThickness = kEmptyValue;         ///< the plate [m]
    double headThickness = kEmptyValue;
    double rigidityMinimum = kEmptyValue;        ///< [m]
    double mawpKpa = kEmptyValue;                ///< absolute
    double hydrotestKpa = kEmptyValue;           ///< absolute
    double leastMetalTemperatureC = kEmptyValue; ///< the grade's MDMT
    double coldestMetalC = kEmptyValue;          ///< the lower of the operating and design temperatures
    bool pastRadius = false;                     ///< a plate thicker than half the inside radius
    bool pastStress = false;                     ///< P > 0.385 S E
    double thinWallLimitKpa = kEmptyValue;       ///< 0.385 S E, absolute
    double operatedWall = kEmptyValue;           ///< the object's own wall [m]
    Weights weights;
    NozzleWeights nozzleWeights;                 ///< the nozzles' necks and flanges, or why not
    InternalsWeight internalsWeight;             ///< the mesh pad, or why not
    double vesselCost = kEmptyValue;             ///< by the design's correlation, at design conditions [USD]
};

/// The design at design conditions of a case as sized; `computed` false when the case was not
/// sized, names no grade the material code maps to, or stands above its stress table.
Design DesignAtConditions(const host::SizingCase& c, const host::SizingOutcome& o);

}  // namespace kestrol::mechanical
