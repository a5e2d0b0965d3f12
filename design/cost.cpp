#include "design/cost.h"

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

namespace kestrol::design {
namespace {

/// [deg F per deg C].
constexpr double kFahrenheitPerCelsius = 1.8;
/// [deg F] at 0 deg C.
constexpr double kFahrenheitAtZeroCelsius = 32.0;
/// [kPa/psi], for the tabulated stresses.
constexpr double kKpaPerPsi = 6.89475908677537;
/// Inside radius in inches per metre of diameter (39.37 in/m, halved).
constexpr double kRadiusInchesPerMetre = 19.685;
/// The thickness is rounded up to whole sixteenths of an inch.
constexpr double kSixteenthsPerInch = 16.0;
/// Thinnest wall before corrosion allowance [in].
constexpr double kMinimumWallInches = 0.125;
/// 1 / 252.5: the cost correlations are stated at a cost index of 252.5.
constexpr double kPerCorrelationIndex = 0.0039603960396039604;

/// Allowable stress up to and including a design temperature [deg F -> psi].
struct StressStep {
    double upToF;
    double psi;
};
constexpr double kAnyHotter = std::numeric_limits<double>::infinity();

constexpr StressStep kStressA[] = {
    {650.0, 13700.0}, {700.0, 13200.0}, {800.0, 10200.0}, {900.0, 6500.0}, {kAnyHotter, 2500.0},
};
constexpr StressStep kStressB[] = {
    {100.0, 18700.0}, {200.0, 15600.0}, {400.0, 12900.0},  {700.0, 11000.0},
    {900.0, 10100.0}, {1000.0, 9700.0}, {1100.0, 8800.0},  {1200.0, 6000.0},
    {1300.0, 3700.0}, {1400.0, 2300.0}, {kAnyHotter, 1400.0},
};
constexpr StressStep kStressC[] = {
    {100.0, 18700.0}, {200.0, 16100.0},  {400.0, 13300.0},  {700.0, 11300.0},
    {900.0, 10800.0}, {1000.0, 10600.0}, {1100.0, 10300.0}, {1200.0, 7400.0},
    {1300.0, 4100.0}, {1400.0, 2200.0},  {kAnyHotter, 1700.0},
};
constexpr StressStep kStressD[] = {
    {200.0, 1600.0}, {250.0, 1400.0}, {300.0, 1200.0}, {350.0, 1000.0}, {kAnyHotter, 800.0},
};

struct StressTable {
    const StressStep* steps;
    std::size_t count;
};
template <std::size_t N>
constexpr StressTable TableOf(const StressStep (&steps)[N]) {
    return {steps, N};
}

struct Material {
    std::int32_t code;
    double costFactor;  ///< [-]
    double density;     ///< [kg/m3]
    StressTable stress;
    MaterialFamily family;
};
constexpr Material kMaterials[] = {
    {1, 1.0, 7861.087973345294, TableOf(kStressA), MaterialFamily::CarbonSteel},
    {2, 1.68, 8027.167296725828, TableOf(kStressB), MaterialFamily::StainlessSteel},
    {3, 2.07, 8027.167296725828, TableOf(kStressC), MaterialFamily::StainlessSteel},
    {4, 2.7, 2675.0, TableOf(kStressD), MaterialFamily::Aluminium},
    {5, 1.0, 7861.087973345294, TableOf(kStressA), MaterialFamily::CarbonSteel},
};
/// Cost factor of a code the table does not know.
constexpr double kUnknownCostFactor = 1.0;

/// The material the code names, or nullptr. An empty slot reads as code 32767, which is unknown.
const Material* CurrentMaterial(SlotAccess& slots) {
    const std::int32_t code = TruncateToInt32(std::fabs(slots.Get(Slot::MaterialCode)));
    for (const Material& m : kMaterials)
        if (m.code == code) return &m;
    return nullptr;
}

double StressPsi(const StressTable& table, double designTemperatureF) {
    const StressStep* last = table.steps + (table.count - 1);
    for (const StressStep* s = table.steps; s != last; ++s)
        if (designTemperatureF <= s->upToF) return s->psi;
    return last->psi;  // every higher temperature, NaN included
}

double CostFactorOf(const Material* m) { return m ? m->costFactor : kUnknownCostFactor; }
double DensityOf(const Material* m) { return m ? m->density : kEmptyValue; }
double StressKpaOf(const Material* m, double designTemperatureF) {
    return m ? StressPsi(m->stress, designTemperatureF) * kKpaPerPsi : kEmptyValue;
}

/// |slot| when the slot is set, kEmptyValue when empty.
double MagnitudeIfSet(SlotAccess& slots, Slot slot) {
    const double v = slots.Get(slot);
    return IsEmpty(v) ? kEmptyValue : std::fabs(v);
}

/// A slot that gives a length: finite, non-zero and not the empty marker.
bool HoldsUsableMagnitude(double v) { return !IsEmpty(v) && std::isfinite(v) && std::fabs(v) > 0.0; }

/// Wall thickness [in] before corrosion allowance, or NaN when there is none: a pressure
/// that is not a number, or a formula with no positive denominator under positive pressure
/// (no stress to hold it).
double PressureWallInches(const WallFormulas& formulas, double p, double diameter, double efficiency, double stressKpa) {
    if (!std::isfinite(p)) return std::numeric_limits<double>::quiet_NaN();
    const double r = diameter * kRadiusInchesPerMetre;
    const double sp = stressKpa * kPsiPerKpa;
    bool evaluated = false;
    double t = 0.0;

    if (!IsEmpty(formulas.shellPressureCoefficient)) {
        const double denominator = efficiency * sp - formulas.shellPressureCoefficient * p;
        if (p > 0.0 && !(denominator > 0.0)) return std::numeric_limits<double>::quiet_NaN();
        t = p * r / denominator;
        evaluated = true;
    }
    if (!IsEmpty(formulas.headStressMultiplier) && !IsEmpty(formulas.headPressureCoefficient)) {
        const double denominator = formulas.headStressMultiplier * efficiency * sp - formulas.headPressureCoefficient * p;
        if (p > 0.0 && !(denominator > 0.0)) return std::numeric_limits<double>::quiet_NaN();
        const double head = p * r / denominator;
        if (!evaluated || head > t) t = head;
        evaluated = true;
    }
    // Written so that a NaN from a degenerate formula also takes the minimum.
    if (!evaluated || !(t >= kMinimumWallInches)) t = kMinimumWallInches;
    return t;
}

/// The pressure wall plus the corrosion allowance [in], before rounding; NaN when there is none.
double AllowedWallInches(const WallFormulas& formulas, double p, double diameter, double efficiency, double stressKpa,
                         double corrosionAllowance) {
    return corrosionAllowance * kInchesPerMetre + PressureWallInches(formulas, p, diameter, efficiency, stressKpa);
}

/// std::pow, but for the exponent 0 that the horizontal platform correlation has: x to the
/// power of +0 or -0 is exactly 1 for every x, NaN included (C Annex F, F.10.4.4).
double PowerOf(double x, double exponent) { return exponent == 0.0 ? 1.0 : std::pow(x, exponent); }

}  // namespace

WallFormulas WallFormulasOf(SlotAccess& slots) {
    return {MagnitudeIfSet(slots, Slot::ShellPressureCoefficient), MagnitudeIfSet(slots, Slot::HeadStressMultiplier),
            MagnitudeIfSet(slots, Slot::HeadPressureCoefficient)};
}

double GaugePressurePsig(double pressureKpa) { return pressureKpa * kPsiPerKpa - kAtmospherePsi; }
double AbsolutePressureKpa(double pressurePsig) { return (pressurePsig + kAtmospherePsi) / kPsiPerKpa; }

double RequiredWallThickness(double pressurePsig, double diameter, double efficiency, double stressKpa, double corrosionAllowance,
                             const WallFormulas& formulas) {
    const double inches = AllowedWallInches(formulas, pressurePsig, diameter, efficiency, stressKpa, corrosionAllowance);
    const double thickness = inches / kInchesPerMetre;
    return std::isfinite(thickness) ? thickness : kEmptyValue;
}

double ShellThickness(double pressurePsig, double diameter, double efficiency, double stressKpa, double corrosionAllowance,
                      const WallFormulas& formulas) {
    const double inches = AllowedWallInches(formulas, pressurePsig, diameter, efficiency, stressKpa, corrosionAllowance);
    const double thickness = std::ceil(inches * kSixteenthsPerInch) * kMetresPerSixteenth;
    return std::isfinite(thickness) ? thickness : kEmptyValue;
}

double DesignTemperatureF(double celsius) { return celsius * kFahrenheitPerCelsius + kFahrenheitAtZeroCelsius; }
double CelsiusOf(double designTemperatureF) { return (designTemperatureF - kFahrenheitAtZeroCelsius) / kFahrenheitPerCelsius; }

MaterialFamily FamilyOf(SlotAccess& slots) {
    const Material* m = CurrentMaterial(slots);
    return m ? m->family : MaterialFamily::Unknown;
}

double StressTableTopF(SlotAccess& slots) {
    const Material* m = CurrentMaterial(slots);
    // The last row stands for every hotter temperature; the one before it is the last one listed.
    return m && m->stress.count > 1 ? m->stress.steps[m->stress.count - 2].upToF : kEmptyValue;
}

double VesselWeight(double diameter, double length, double headLengthFactor, double density, double thickness) {
    return kPi * diameter * (headLengthFactor * diameter + length) * density * thickness;
}

double DensityOfMaterialCode(int code) {
    for (const Material& m : kMaterials)
        if (m.code == code) return m.density;
    return kEmptyValue;
}

double CostFactorOfMaterialCode(int code) {
    for (const Material& m : kMaterials)
        if (m.code == code) return m.costFactor;
    return kUnknownCostFactor;
}

double VesselCostOf(double weight, double a, double b, double c, double costIndex, double costFactor) {
    const double lnW = std::log(weight);
    return std::exp(a + (b + c * lnW) * lnW) * (costIndex * kPerCorrelationIndex) * costFactor;
}

double MaterialCostFactor(SlotAccess& slots) { return CostFactorOf(CurrentMaterial(slots)); }

double MaterialDensity(SlotAccess& slots) {
    const double stored = MagnitudeIfSet(slots, Slot::MaterialDensity);
    return IsEmpty(stored) ? DensityOf(CurrentMaterial(slots)) : stored;
}

double AllowableStress(SlotAccess& slots, double designTemperatureF) {
    const double stored = MagnitudeIfSet(slots, Slot::AllowableStress);
    return IsEmpty(stored) ? StressKpaOf(CurrentMaterial(slots), designTemperatureF) : stored;
}

double EstimateVesselCost(const StreamState& feed, SlotAccess& slots) {
    const double diameterSlot = slots.Get(Slot::Diameter);
    if (!HoldsUsableMagnitude(diameterSlot)) return kEmptyValue;
    const double lengthSlot = slots.Get(Slot::OverallLength);
    if (!HoldsUsableMagnitude(lengthSlot)) return kEmptyValue;

    const double d = std::fabs(diameterSlot);
    const double l = std::fabs(lengthSlot);
    const double costIndex = std::fabs(slots.Get(Slot::CostIndex));
    const double storedAllowance = MagnitudeIfSet(slots, Slot::CorrosionAllowance);
    const double corrosionAllowance = IsEmpty(storedAllowance) ? 0.0 : storedAllowance;
    const double efficiency = std::fabs(slots.Get(Slot::JointEfficiency));

    // Looked up once: nothing below writes the code.
    const Material* material = CurrentMaterial(slots);
    double costFactor = MagnitudeIfSet(slots, Slot::MaterialCostFactor);
    if (IsEmpty(costFactor)) {
        costFactor = CostFactorOf(material);
        slots.Set(Slot::MaterialCostFactor, costFactor);
    }

    // Working units of this step only; the stored inputs keep kPa and deg C.
    const double p = GaugePressurePsig(feed.pressure);
    const double temperatureF = DesignTemperatureF(feed.temperature);

    // An unknown code has no density: the slot stays empty and no weight follows.
    double density = MagnitudeIfSet(slots, Slot::MaterialDensity);
    if (IsEmpty(density)) {
        density = DensityOf(material);  // the table's densities are positive
        slots.Set(Slot::MaterialDensity, density);
    }

    double stress = MagnitudeIfSet(slots, Slot::AllowableStress);
    if (IsEmpty(stress)) {
        stress = StressKpaOf(material, temperatureF);
        slots.Set(Slot::AllowableStress, stress);
    }

    double thickness = FixedValue(slots, Slot::WallThickness);
    if (IsEmpty(thickness)) {
        thickness = ShellThickness(p, d, efficiency, stress, corrosionAllowance, WallFormulasOf(slots));
        slots.Set(Slot::WallThickness, thickness);
    }

    // The costs are numbers of any sign; refusal is tracked apart from their values.
    bool vesselCostKnown = false;
    double vesselCost = kEmptyValue;
    if (!IsEmpty(thickness) && !IsEmpty(density)) {
        const double weight = VesselWeight(d, l, std::fabs(slots.Get(Slot::HeadLengthFactor)), density, thickness);
        if (std::isfinite(weight) && weight > 0.0) {
            const double a = slots.Get(Slot::VesselCostA);
            const double b = slots.Get(Slot::VesselCostB);
            const double c = slots.Get(Slot::VesselCostC);
            vesselCost = VesselCostOf(weight, a, b, c, costIndex, costFactor);
            vesselCostKnown = std::isfinite(vesselCost);
        }
    }
    slots.Set(Slot::VesselCost, vesselCostKnown ? vesselCost : kEmptyValue);

    const double platformCost = slots.Get(Slot::PlatformCoefficient) * std::pow(d, slots.Get(Slot::PlatformDiameterExponent)) *
                                PowerOf(l, slots.Get(Slot::PlatformLengthExponent)) * costIndex * kPerCorrelationIndex;
    const bool platformCostKnown = std::isfinite(platformCost);
    slots.Set(Slot::PlatformCost, platformCostKnown ? platformCost : kEmptyValue);

    const double total = vesselCost + platformCost;
    if (!vesselCostKnown || !platformCostKnown || !std::isfinite(total)) {
        slots.Set(Slot::TotalCost, kEmptyValue);
        return kEmptyValue;
    }
    slots.Set(Slot::TotalCost, total);
    return 0.0;
}

}  // namespace kestrol::design
