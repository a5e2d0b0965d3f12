// What a case says about the vessel's mechanical design: the design pressure and temperature,
// the plate grade, the extent of radiography and the corrosion allowance. Top-level keys of a
// case file (beside the stream they are the conditions of), flat columns of a CSV batch.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/values.h"

namespace kestrol::host {

/// The plate grades a case may name; mechanical/ holds their stress tables.
enum class PlateGrade { Unset, SA516Gr70, SA516Gr70LowTemperature, SA240Type304, SA240Type316 };
inline constexpr int kPlateGradeCount = 4;

/// Extent of radiography of the butt welds; sets the joint efficiency.
enum class Radiography { Unset, Full, Spot, None };

struct MechanicalInputs {
    double designPressureKpa = kEmptyValue;     ///< absolute [kPa]
    double designTemperatureC = kEmptyValue;    ///< [deg C]
    PlateGrade material = PlateGrade::Unset;
    Radiography radiography = Radiography::Unset;
    double corrosionAllowanceMm = kEmptyValue;  ///< [mm]
};

/// "SA-516-70" and so on, as a case names the grade; empty for Unset.
const char* PlateGradeKey(PlateGrade g);
/// "full", "spot", "none"; empty for Unset.
const char* RadiographyKey(Radiography r);

/// The keys, in the order a CSV batch echoes them.
const std::vector<std::string>& MechanicalKeyNames();
bool IsMechanicalKey(std::string_view key);

/// Reads one key of a JSON case into `m`; the reason it is refused, or empty.
std::string ReadMechanicalJson(std::string_view key, const nlohmann::json& value, MechanicalInputs& m);
/// The same for one CSV field (empty means not given).
std::string ReadMechanicalField(std::string_view key, std::string_view field, MechanicalInputs& m);

// By MechanicalKeyNames() index, for a host that sets keys one by one.
/// Whether the key takes words (material, radiography) rather than a number.
bool IsMechanicalWordKey(int key);
/// Reads a number a host already holds; refused for a word key.
std::string ReadMechanicalNumber(int key, double v, MechanicalInputs& m);
/// Leaves the key not given.
void ClearMechanicalValue(int key, MechanicalInputs& m);
/// What the case holds for the key: a number (kEmptyValue when not given) or words (empty
/// when not given).
struct MechanicalValue {
    double number = kEmptyValue;
    std::string word;
};
MechanicalValue GetMechanicalValue(int key, const MechanicalInputs& m);

}  // namespace kestrol::host
