// The weights of a sized vessel's nozzles at design conditions: each neck as schedule 40 pipe
// over a standard projection, and a weld-neck flange of the pressure class the design pressure
// and temperature call for. Reads the process layer's nozzle sizes; never changes them.
#pragma once

#include <array>
#include <cstddef>

#include "model/mechanical_inputs.h"
#include "process/nozzles.h"

namespace kestrol::mechanical {

/// The flange classes weighed here, lightest first; 0 where none applies.
inline constexpr int kFlangeClasses[] = {150, 300, 600, 900, 1500};

/// Working pressure [kPa, gauge] of a class of carbon-steel flange (material group 1.1) at a
/// metal temperature [deg C], straight-line between the listed temperatures; the first row's
/// below it; kEmptyValue above the last listed temperature or for a class not listed.
double FlangeRatingKpa(int flangeClass, double temperatureC);

/// The lightest class whose rating at `temperatureC` holds `gaugeKpa`; 0 when none does.
int ChooseFlangeClass(double gaugeKpa, double temperatureC);

/// Mass [kg] of one weld-neck flange of a nominal size [in] and class; kEmptyValue where the
/// table lists none (NPS 3 1/2, above NPS 24, a class not listed).
double WeldNeckFlangeMass(double nominalInches, int flangeClass);

/// Plain-end mass [kg/m] of steel pipe of outside diameter and wall [mm].
double PipeMassPerMetre(double outsideMm, double wallMm);

/// Distance [m] from the shell to the flange face of a nozzle of a nominal size [in].
double NozzleProjection(double nominalInches);

struct NozzleWeight {
    process::Service service = process::Service::Inlet;
    double nominalInches = 0.0;
    double neck = 0.0;    ///< [kg]
    double flange = 0.0;  ///< [kg]
    double Total() const { return neck + flange; }
};

/// Why the nozzles were not weighed.
enum class NozzleGap { None, NotSized, DoesNotFit, NoFlangeGroup, NoFlangeClass, NoFlangeMass };

struct NozzleWeights {
    bool computed = false;
    NozzleGap gap = NozzleGap::NotSized;
    int flangeClass = 0;
    std::array<NozzleWeight, 4> items{};
    std::size_t count = 0;
    double total = 0.0;  ///< [kg]
};

/// Weighs the nozzles of `nozzles` for a vessel of `grade` at a design pressure [kPa, absolute]
/// and temperature [deg C]. Nothing is weighed where a nozzle does not fit (none of the table, or
/// wider than the process layer allows for the shell), where the grade's flanges are not of
/// carbon steel, where no class holds the design point, or where the table lists no flange mass.
NozzleWeights WeighNozzles(const process::Nozzles& nozzles, host::PlateGrade grade, double designPressureKpa,
                           double designTemperatureC);

}  // namespace kestrol::mechanical
