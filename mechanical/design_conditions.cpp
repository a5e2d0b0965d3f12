#include "mechanical/design_conditions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "design/cost.h"
#include "horizontal/geometry.h"
#include "mechanical/plate_grades.h"
#include "process/nozzles.h"
#include "vertical/head_volume.h"

namespace kestrol::mechanical {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr double kLeastOperatingPsig = 5.0;
constexpr double kLeastDesignPsig = 10.0;
constexpr double kHighestFittedPsig = 1000.0;
constexpr double kDesignPressureA = 0.60608;
constexpr double kDesignPressureB = 0.91615;
constexpr double kDesignPressureC = 0.0015655;
constexpr double kHighPressureMargin = 1.1;

/// Minimum plate for rigidity, corrosion allowance included: under 4 ft of diameter 1/4 in,
/// under 6 ft 5/16 in, under 8 ft 3/8 in, under 10 ft 7/16 in, under 12 ft 1/2 in (Seider et
/// al., as in the header, ch. 22, pressure vessels). The table stops at 12 ft; larger drums are
/// held to 1/2 in.
struct RigidityStep {
    double underFeet;  ///< [ft]
    int sixteenths;    ///< [1/16 in]
};
constexpr RigidityStep kRigidity[] = {{4.0, 4}, {6.0, 5}, {8.0, 6}, {10.0, 7}, {12.0, 8}};
constexpr int kRigidityBeyondTable = 8;

/// Default design temperature margin over the operating temperature: at least 25 deg F
/// [13.9 deg C] "to assure safe operation in the event of minor temperature excursions"
/// (industrialseparation.com, Establishing the Maximum Design Temperature, 2018) [deg C].
constexpr double kDesignTemperatureMarginC = 25.0 / 1.8;

/// Joint efficiencies of Type 1 butt joints, full, spot and no radiography (ASME BPVC VIII-1
/// Table UW-12, columns (a), (b), (c)) [-].
constexpr double kFullRadiography = 1.00;
constexpr double kSpotRadiography = 0.85;
constexpr double kNoRadiography = 0.70;

/// Hydrostatic test at 1.3 times the MAWP (ASME BPVC VIII-1 UG-99(b), editions since the 1999
/// addenda) [-]. The test temperature is taken as ambient, the stress table's first row.
constexpr double kHydrotestFactor = 1.3;
constexpr double kTestTemperatureC = 20.0;

/// Plate thicknesses [in] as carbon-steel plate is listed: 1/8 in to 1 1/8 in by sixteenths,
/// then to 2 in by eighths (Moss, Pressure Vessel Design Manual, 3rd ed., Elsevier 2004,
/// Table 2-18). Past 2 in the eighths go on.
constexpr double kPlateSixteenthsUpToInches = 1.125;
constexpr double kPlateListEndsInches = 2.0;
constexpr double kSixteenthInch = 0.0625;
constexpr double kEighthInch = 0.125;
constexpr double kThinnestPlateInches = 0.125;
constexpr double kMetresPerInch = 0.0254;

/// Weight of one 2:1 ellipsoidal head: 1.084 D^2 t times the density, D the mean diameter
/// (Moss, as above, Formulas for Calculating Vessel Weights, 2.0) [-].
constexpr double kEllipsoidalHeadArea = 1.084;

/// Water for the test weight, at a specific gravity of 1 [kg/m3]: our rounding.
constexpr double kWaterDensity = 1000.0;

/// A copy of the sized slots, for the geometry that takes its options from slots.
class CopiedSlots final : public SlotAccess {
public:
    explicit CopiedSlots(const host::SizingOutcome& o) : SlotAccess(&storage_, this, &NoAllocation) {
        std::copy(o.values.begin() + 1, o.values.begin() + 1 + kSlotCount, values_.begin());
    }

private:
    static bool NoAllocation(void*, const SlotImage&) { return false; }
    std::array<double, kSlotCount> values_{};
    double* storage_ = values_.data();
};


/// Volume [m3] below a level [m] of the vessel as the path measures it.
double VolumeBelow(const host::SizingOutcome& o, double level, double diameter) {
    if (!(level > 0.0)) return 0.0;
    if (o.orientation == 0) return vertical::VolumeBelowForLevels(level, diameter);
    CopiedSlots slots(o);
    return horizontal::HorizontalLiquidVolume(slots, level, diameter);
}

/// Mass [kg] of the liquid to the normal level: the heavy liquid to its level, the light
/// liquid (or the liquid assumed) on it.
double LiquidMass(const host::SizingCase& c, const host::SizingOutcome& o, double diameter) {
    const double heavyLevel = c.HasHeavyLiquid() ? o.MagnitudeAt(Slot::HeavyLevel) : 0.0;
    const double surface = heavyLevel + o.MagnitudeAt(Slot::LightLayerThickness);
    const double lightDensity = c.Has(host::kLightLiquidDensity) ? c.Get(host::kLightLiquidDensity)
                                : c.Has(host::kAssumedLiquidDensity) ? c.Get(host::kAssumedLiquidDensity)
                                                                     : 0.0;
    const double heavyVolume = VolumeBelow(o, heavyLevel, diameter);
    const double heavy = heavyLevel > 0.0 ? heavyVolume * c.Get(host::kHeavyLiquidDensity) : 0.0;
    return heavy + (VolumeBelow(o, surface, diameter) - heavyVolume) * lightDensity;
}

}  // namespace

double DesignPressurePsig(double operatingPsig) {
    if (!(operatingPsig >= kLeastOperatingPsig)) return kLeastDesignPsig;
    if (operatingPsig > kHighestFittedPsig) return kHighPressureMargin * operatingPsig;
    const double lnPo = std::log(operatingPsig);
    return std::exp(kDesignPressureA + kDesignPressureB * lnPo + kDesignPressureC * lnPo * lnPo);
}

double RigidityMinimum(double diameter) {
    const double feet = diameter / kFoot;
    for (const RigidityStep& step : kRigidity)
        if (feet < step.underFeet) return step.sixteenths * design::kMetresPerSixteenth;
    return kRigidityBeyondTable * design::kMetresPerSixteenth;
}

double ShellThicknessRequired(double p, double r, double s, double e) {
    const double denominator = s * e - 0.6 * p;
    return denominator > 0.0 ? p * r / denominator : kNaN;
}

double HeadThicknessRequired(double p, double d, double s, double e) {
    const double denominator = 2.0 * s * e - 0.2 * p;
    return denominator > 0.0 ? p * d / denominator : kNaN;
}

double ShellMawp(double t, double r, double s, double e) { return s * e * t / (r + 0.6 * t); }
double HeadMawp(double t, double d, double s, double e) { return 2.0 * s * e * t / (d + 0.2 * t); }

double HydrotestPressure(double mawpGauge, double testStress, double designStress) {
    return kHydrotestFactor * mawpGauge * (testStress / designStress);
}

double RoundUpToPlate(double thickness) {
    const double inches = std::max(thickness / kMetresPerInch, kThinnestPlateInches);
    // A thickness a hair over a plate, from the conversion alone, stays on it.
    const double tolerance = 1e-9;
    double plate = 0.0;
    if (inches <= kPlateSixteenthsUpToInches + tolerance) {
        plate = std::ceil(inches / kSixteenthInch - tolerance) * kSixteenthInch;
    } else {
        plate = std::ceil(inches / kEighthInch - tolerance) * kEighthInch;
    }
    static_assert(kPlateListEndsInches > kPlateSixteenthsUpToInches, "eighths follow the sixteenths");
    return plate * kMetresPerInch;
}

double JointEfficiency(host::Radiography r) {
    switch (r) {
        case host::Radiography::Spot: return kSpotRadiography;
        case host::Radiography::None: return kNoRadiography;
        case host::Radiography::Full:
        case host::Radiography::Unset: break;
    }
    return kFullRadiography;
}

Design DesignAtConditions(const host::SizingCase& c, const host::SizingOutcome& o) {
    Design d;
    const host::MechanicalInputs& in = c.mechanical;
    const double operatingKpa = c.Get(host::kPressure);
    const double operatingC = c.Get(host::kTemperature);
    d.fullVacuum = operatingKpa < kAtmosphereKpa;
    d.designPressureGiven = !IsEmpty(in.designPressureKpa);
    d.designPressureKpa = d.designPressureGiven ? in.designPressureKpa
                                                : design::AbsolutePressureKpa(DesignPressurePsig(design::GaugePressurePsig(operatingKpa)));
    d.designTemperatureGiven = !IsEmpty(in.designTemperatureC);
    d.designTemperatureC = d.designTemperatureGiven ? in.designTemperatureC : operatingC + kDesignTemperatureMarginC;
    d.coldestMetalC = std::min(operatingC, d.designTemperatureC);
    d.radiography = in.radiography == host::Radiography::Unset ? host::Radiography::Full : in.radiography;
    d.jointEfficiency = JointEfficiency(d.radiography);
    d.grade = in.material;
    if (d.grade == host::PlateGrade::Unset) {
        const double code = o.At(Slot::MaterialCode);
        d.grade = IsSetAndFinite(code) ? GradeOfMaterialCode(TruncateToInt32(std::fabs(code))) : host::PlateGrade::Unset;
        d.gradeFromMaterialCode = true;
    }
    d.leastMetalTemperatureC = LeastMetalTemperatureC(d.grade);
    d.operatedWall = o.Sized() ? o.MagnitudeAt(Slot::WallThickness) : kEmptyValue;
    const GradeData* grade = DataOf(d.grade);
    if (!o.Sized() || grade == nullptr) return d;

    d.corrosionAllowance = !IsEmpty(in.corrosionAllowanceMm) ? in.corrosionAllowanceMm / 1000.0 : o.MagnitudeAt(Slot::CorrosionAllowance);
    d.stressKpa = AllowableStressKpa(d.grade, d.designTemperatureC);
    d.testStressKpa = AllowableStressKpa(d.grade, kTestTemperatureC);
    if (IsEmpty(d.stressKpa)) return d;

    const double diameter = o.MagnitudeAt(Slot::Diameter);
    const double radius = 0.5 * diameter;
    const double gauge = std::max(d.designPressureKpa - kAtmosphereKpa, 0.0);
    const double s = d.stressKpa;
    const double e = d.jointEfficiency;
    d.shellRequired = ShellThicknessRequired(gauge, radius, s, e) + d.corrosionAllowance;
    d.headRequired = HeadThicknessRequired(gauge, diameter, s, e) + d.corrosionAllowance;
    d.rigidityMinimum = RigidityMinimum(diameter);
    d.thinWallLimitKpa = kThinWallStressShare * s * e + kAtmosphereKpa;
    d.pastStress = gauge > kThinWallStressShare * s * e;
    if (!std::isfinite(d.shellRequired) || !std::isfinite(d.headRequired)) {
        d.pastRadius = true;  // no wall holds this pressure by the thin-wall formulas
        return d;
    }
    d.shellThickness = RoundUpToPlate(std::max(d.shellRequired, d.rigidityMinimum));
    d.headThickness = RoundUpToPlate(std::max(d.headRequired, d.rigidityMinimum));
    d.pastRadius = d.shellThickness - d.corrosionAllowance > kThinWallRadiusShare * radius;

    const double mawpGauge = std::min(ShellMawp(d.shellThickness - d.corrosionAllowance, radius, s, e),
                                      HeadMawp(d.headThickness - d.corrosionAllowance, diameter, s, e));
    d.mawpKpa = mawpGauge + kAtmosphereKpa;
    d.hydrotestKpa = HydrotestPressure(mawpGauge, d.testStressKpa, s) + kAtmosphereKpa;
    d.computed = true;

    // Weights: the design's density for the grade's family.
    const double density = design::DensityOfMaterialCode(grade->materialCode);
    const double tangent = o.MagnitudeAt(Slot::Ratio) * diameter;
    const double ts = d.shellThickness, th = d.headThickness;
    d.weights.shell = kPi * (diameter + ts) * ts * tangent * density;
    d.weights.heads = 2.0 * kEllipsoidalHeadArea * (diameter + th) * (diameter + th) * th * density;
    d.nozzleWeights = WeighNozzles(process::SizeNozzles(c, o), d.grade, d.designPressureKpa, d.designTemperatureC);
    if (d.nozzleWeights.computed) d.weights.nozzles = d.nozzleWeights.total;
    d.internalsWeight = WeighInternals(c, o);
    if (d.internalsWeight.computed) d.weights.internals = d.internalsWeight.pad;
    d.weights.empty = d.weights.shell + d.weights.heads + (d.nozzleWeights.computed ? d.weights.nozzles : 0.0) +
                      (d.internalsWeight.computed ? d.weights.internals : 0.0);
    d.weights.operating = d.weights.empty + LiquidMass(c, o, diameter);
    const double fullVolume = kPiOver4 * diameter * diameter * tangent + 2.0 * kPiOver24 * diameter * diameter * diameter;
    d.weights.waterFull = d.weights.empty + fullVolume * kWaterDensity;

    // The cost as the design prices its own vessel, the wall at design conditions in its place.
    const double priced = design::VesselWeight(diameter, o.MagnitudeAt(Slot::OverallLength), o.MagnitudeAt(Slot::HeadLengthFactor), density,
                                               std::max(ts, th));
    const double cost = design::VesselCostOf(priced, o.At(Slot::VesselCostA), o.At(Slot::VesselCostB), o.At(Slot::VesselCostC),
                                             o.MagnitudeAt(Slot::CostIndex), design::CostFactorOfMaterialCode(grade->materialCode));
    d.vesselCost = std::isfinite(cost) ? cost : kEmptyValue;
    return d;
}

}  // namespace kestrol::mechanical
