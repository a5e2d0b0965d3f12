// Plate grades for the wall at design conditions: allowable stress by temperature, the coldest
// metal temperature each takes without further testing, and the material code nearest to it.
#pragma once

#include <cstddef>

#include "model/mechanical_inputs.h"

namespace kestrol::mechanical {

/// Allowable stress [ksi] up to a metal temperature [deg F] (a row of the table).
struct StressRow {
    double temperatureF;
    double ksi;
};

struct GradeData {
    host::PlateGrade grade;
    const char* words;             ///< e.g. "carbon steel plate, SA-516 grade 70"
    const StressRow* stress;
    std::size_t rows;
    double leastTemperatureF;      ///< minimum design metal temperature without impact testing [deg F]
    int materialCode;              ///< the design's material code of the same family, for density and cost factor
};

/// The data of a grade; nullptr for Unset.
const GradeData* DataOf(host::PlateGrade grade);

/// The grade nearest to a design material code: 1 and 5 (carbon steel) SA-516-70, 2 SA-240-304,
/// 3 SA-240-316; Unset for 4 (aluminium, no grade here) and any other code.
host::PlateGrade GradeOfMaterialCode(int code);

/// Allowable stress [kPa] at a metal temperature [deg C], straight-line between the listed
/// temperatures; the first row's below it; kEmptyValue above the last listed temperature.
double AllowableStressKpa(host::PlateGrade grade, double temperatureC);

/// The highest metal temperature [deg C] the grade's table lists.
double HighestListedC(host::PlateGrade grade);

/// Minimum design metal temperature [deg C] of the grade.
double LeastMetalTemperatureC(host::PlateGrade grade);

/// Coldest design temperature [deg F] at which carbon-steel plate (P-No. 1) is used without
/// impact testing: -20 deg F (-29 deg C) (ASME BPVC VIII-1 UG-20(f)(3)).
inline constexpr double kCarbonSteelLeastF = -20.0;

}  // namespace kestrol::mechanical
