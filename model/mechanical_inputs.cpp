#include "model/mechanical_inputs.h"

#include <charconv>
#include <cmath>
#include <string>

#include <nlohmann/json.hpp>

namespace kestrol::host {
namespace {

using json = nlohmann::json;

constexpr const char* kDesignPressure = "design_pressure_kPa";
constexpr const char* kDesignTemperature = "design_temperature_C";
constexpr const char* kMaterial = "material";
constexpr const char* kRadiography = "radiography";
constexpr const char* kCorrosionAllowance = "corrosion_allowance_mm";

/// Absolute zero [deg C], as the operating temperature is held to it.
constexpr double kAbsoluteZeroCelsius = -273.15;

constexpr PlateGrade kGrades[] = {PlateGrade::SA516Gr70, PlateGrade::SA516Gr70LowTemperature, PlateGrade::SA240Type304,
                                  PlateGrade::SA240Type316};
static_assert(sizeof kGrades / sizeof kGrades[0] == kPlateGradeCount, "every grade can be named");
constexpr Radiography kExtents[] = {Radiography::Full, Radiography::Spot, Radiography::None};

std::string Quoted(std::string_view s) { return json(std::string(s)).dump(); }

std::string ReadNumber(std::string_view key, double v, MechanicalInputs& m) {
    if (!std::isfinite(v)) return "must be a finite number";
    if (IsEmpty(v)) return "-32767 is the sizing object's empty marker and cannot be given";
    if (key == kDesignPressure) {
        if (!(v > 0.0)) return "must be greater than 0 (kPa absolute), not " + json(v).dump();
        m.designPressureKpa = v;
    } else if (key == kDesignTemperature) {
        if (!(v >= kAbsoluteZeroCelsius)) return "is below absolute zero (-273.15 deg C): " + json(v).dump();
        m.designTemperatureC = v;
    } else {
        if (!(v >= 0.0)) return "must not be negative, not " + json(v).dump();
        m.corrosionAllowanceMm = v;
    }
    return {};
}

std::string ReadWord(std::string_view key, std::string_view word, MechanicalInputs& m) {
    if (key == kMaterial) {
        for (PlateGrade g : kGrades) {
            if (word == PlateGradeKey(g)) {
                m.material = g;
                return {};
            }
        }
        return "must name a plate grade (SA-516-70, SA-516-70-LT, SA-240-304, SA-240-316), not " + Quoted(word);
    }
    for (Radiography r : kExtents) {
        if (word == RadiographyKey(r)) {
            m.radiography = r;
            return {};
        }
    }
    return "must be \"full\", \"spot\" or \"none\", not " + Quoted(word);
}

bool IsWordKey(std::string_view key) { return key == kMaterial || key == kRadiography; }

}  // namespace

const char* PlateGradeKey(PlateGrade g) {
    switch (g) {
        case PlateGrade::SA516Gr70: return "SA-516-70";
        case PlateGrade::SA516Gr70LowTemperature: return "SA-516-70-LT";
        case PlateGrade::SA240Type304: return "SA-240-304";
        case PlateGrade::SA240Type316: return "SA-240-316";
        case PlateGrade::Unset: break;
    }
    return "";
}

const char* RadiographyKey(Radiography r) {
    switch (r) {
        case Radiography::Full: return "full";
        case Radiography::Spot: return "spot";
        case Radiography::None: return "none";
        case Radiography::Unset: break;
    }
    return "";
}

const std::vector<std::string>& MechanicalKeyNames() {
    static const std::vector<std::string> names = {kDesignPressure, kDesignTemperature, kMaterial, kRadiography, kCorrosionAllowance};
    return names;
}

bool IsMechanicalKey(std::string_view key) {
    for (const std::string& name : MechanicalKeyNames())
        if (key == name) return true;
    return false;
}

std::string ReadMechanicalJson(std::string_view key, const json& value, MechanicalInputs& m) {
    if (IsWordKey(key)) {
        if (!value.is_string()) return "must be a string, not " + std::string(value.type_name());
        return ReadWord(key, value.get<std::string>(), m);
    }
    if (!value.is_number()) return "must be a number, not " + std::string(value.type_name());
    return ReadNumber(key, value.get<double>(), m);
}

std::string ReadMechanicalField(std::string_view key, std::string_view field, MechanicalInputs& m) {
    if (field.empty()) return {};
    if (IsWordKey(key)) return ReadWord(key, field, m);
    double v = 0.0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), v);
    if (error != std::errc() || end != field.data() + field.size()) return Quoted(field) + " is not a number";
    return ReadNumber(key, v, m);
}

bool IsMechanicalWordKey(int key) { return IsWordKey(MechanicalKeyNames()[static_cast<std::size_t>(key)]); }

std::string ReadMechanicalNumber(int key, double v, MechanicalInputs& m) {
    const std::string& name = MechanicalKeyNames()[static_cast<std::size_t>(key)];
    if (IsWordKey(name)) return "must be a string, not number";
    return ReadNumber(name, v, m);
}

void ClearMechanicalValue(int key, MechanicalInputs& m) {
    const std::string& name = MechanicalKeyNames()[static_cast<std::size_t>(key)];
    if (name == kDesignPressure) m.designPressureKpa = kEmptyValue;
    else if (name == kDesignTemperature) m.designTemperatureC = kEmptyValue;
    else if (name == kMaterial) m.material = PlateGrade::Unset;
    else if (name == kRadiography) m.radiography = Radiography::Unset;
    else m.corrosionAllowanceMm = kEmptyValue;
}

MechanicalValue GetMechanicalValue(int key, const MechanicalInputs& m) {
    const std::string& name = MechanicalKeyNames()[static_cast<std::size_t>(key)];
    if (name == kDesignPressure) return {m.designPressureKpa, {}};
    if (name == kDesignTemperature) return {m.designTemperatureC, {}};
    if (name == kMaterial) return {kEmptyValue, PlateGradeKey(m.material)};
    if (name == kRadiography) return {kEmptyValue, RadiographyKey(m.radiography)};
    return {m.corrosionAllowanceMm, {}};
}

}  // namespace kestrol::host
