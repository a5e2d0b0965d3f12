#include "host/case_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace kestrol::host {
namespace {

using json = nlohmann::json;

/// Slot of a stream key: unused, the object takes stream values through its setters.
constexpr Slot kNoSlot = Slot::Spare39;

constexpr std::array<CaseKey, kCaseKeyCount> kKeys = {{
    {"pressure_kPa", "operating pressure (kPa absolute)", Rule::Positive, false, kNoSlot, false},
    {"temperature_C", "operating temperature (deg C)", Rule::Temperature, false, kNoSlot, false},
    {"vapour_mass_flow_kg_h", "vapour mass flow (kg/h)", Rule::Positive, false, kNoSlot, false},
    {"vapour_density_kg_m3", "vapour density (kg/m3)", Rule::Positive, false, kNoSlot, false},
    {"light_liquid_mass_flow_kg_h", "light liquid mass flow (kg/h)", Rule::Positive, false, kNoSlot, false},
    {"light_liquid_density_kg_m3", "light liquid density (kg/m3)", Rule::Positive, false, kNoSlot, false},
    {"heavy_liquid_mass_flow_kg_h", "heavy liquid mass flow (kg/h)", Rule::Positive, false, kNoSlot, false},
    {"heavy_liquid_density_kg_m3", "heavy liquid density (kg/m3)", Rule::Positive, false, kNoSlot, false},
    {"assumed_liquid_percent", "share of the vapour taken as liquid when the feed has none (%)", Rule::Percent, false, kNoSlot, false},
    {"assumed_liquid_density_kg_m3", "density of that assumed liquid (kg/m3)", Rule::Positive, false, kNoSlot, false},
    {"diameter_m", "inside diameter (m)", Rule::Positive, true, Slot::Diameter, true},
    {"overall_length_m", "overall length or height, heads included (m)", Rule::Positive, true, Slot::OverallLength, true},
    {"ratio", "ratio of cylindrical length to diameter", Rule::Positive, true, Slot::Ratio, true},
    {"light_liquid_layer_m", "light liquid layer thickness (m)", Rule::Positive, true, Slot::LightLayerThickness, true},
    {"light_liquid_residence_time_s", "light liquid residence time (s)", Rule::Positive, true, Slot::LightResidenceTime, true},
    {"heavy_liquid_level_m", "heavy liquid level above the bottom (m)", Rule::Positive, true, Slot::HeavyLevel, true},
    {"heavy_liquid_residence_time_s", "heavy liquid residence time (s)", Rule::Positive, true, Slot::HeavyResidenceTime, true},
    {"minimum_liquid_level_m", "minimum liquid level above the bottom (m)", Rule::Positive, true, Slot::MinimumLevel, true},
    {"vapour_space_allowance_m", "vapour space allowance (m)", Rule::Positive, true, Slot::VapourAllowance, true},
    {"disengagement_height_m", "disengagement height (m)", Rule::Positive, true, Slot::DisengagementHeight, true},
    {"mist_eliminator_height_m", "mist eliminator height, 0 for none (m)", Rule::NonNegative, true, Slot::MistEliminatorHeight, false},
    {"vapour_space_height_m", "vapour space under the top of a horizontal vessel (m)", Rule::Positive, true, Slot::VapourSpaceHeight, true},
    {"second_vapour_space_allowance_m", "second vapour space allowance (m)", Rule::Positive, true, Slot::SecondVapourAllowance, true},
    {"allowable_vapour_velocity_m_s", "allowable vapour velocity (m/s)", Rule::Positive, true, Slot::VapourVelocity, false},
    {"cost_index", "cost index", Rule::Positive, true, Slot::CostIndex, false},
    {"corrosion_allowance_m", "corrosion allowance (m)", Rule::NonNegative, true, Slot::CorrosionAllowance, false},
    {"material_code", "material code (1 to 5)", Rule::MaterialCode, true, Slot::MaterialCode, false},
    {"joint_efficiency", "weld joint efficiency (0 to 1)", Rule::Fraction, true, Slot::JointEfficiency, false},
    {"wall_thickness_m", "wall thickness (m)", Rule::Positive, true, Slot::WallThickness, true},
}};

static_assert(kKeys[kAssumedLiquidDensity].design == false && kKeys[kStreamKeyCount].design == true,
              "stream keys first, in StreamKey order");

/// The share of the vapour the object accepts as assumed liquid [%].
constexpr double kLeastPercent = 0.5;
constexpr double kMostPercent = 10.0;
/// Absolute zero [deg C]: no stream is colder.
constexpr double kAbsoluteZeroCelsius = -273.15;
/// Highest material code of the built-in material table.
constexpr double kLastMaterialCode = 5.0;

std::vector<std::string> KeyNames(bool design) {
    std::vector<std::string> names;
    if (!design) names = {"name", "orientation", "design"};
    for (const CaseKey& k : kKeys)
        if (k.design == design) names.emplace_back(k.key);
    return names;
}

std::string UnknownKeyMessage(const std::string& key, bool design) {
    std::string message = "unknown key \"" + key + "\"";
    const std::string nearest = NearestKey(key, KeyNames(design));
    if (!nearest.empty()) message += " (did you mean \"" + nearest + "\"?)";
    return message;
}

std::string Where(const std::string& source, const std::string& key) { return source + ": " + key + ": "; }

double NumberAt(const json& value, const std::string& source, const std::string& path) {
    if (!value.is_number())
        throw InputError(Where(source, path) + "must be a number, not " + std::string(value.type_name()));
    return value.get<double>();
}

void ReadNumbers(const json& object, bool design, SizingCase& c, const std::string& source) {
    for (const auto& item : object.items()) {
        const std::string path = design ? "design." + item.key() : item.key();
        const int index = FindCaseKey(item.key(), design);
        if (index < 0) throw InputError(source + ": " + UnknownKeyMessage(item.key(), design));
        const double v = NumberAt(item.value(), source, path);
        const std::string problem = CheckValue(kKeys[static_cast<std::size_t>(index)], v);
        if (!problem.empty()) throw InputError(Where(source, path) + problem);
        c.values[static_cast<std::size_t>(index)] = v;
    }
}

// Rejects a key given twice in one object, which the JSON library would silently resolve.
json ParseRejectingDuplicates(const std::string& text, const std::string& source) {
    std::vector<std::vector<std::string>> seen;
    auto callback = [&](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::object_start) seen.emplace_back();
        if (event == json::parse_event_t::object_end && !seen.empty()) seen.pop_back();
        if (event == json::parse_event_t::key && !seen.empty()) {
            const std::string key = parsed.get<std::string>();
            auto& keys = seen.back();
            if (std::find(keys.begin(), keys.end(), key) != keys.end())
                throw InputError(source + ": key \"" + key + "\" is given twice");
            keys.push_back(key);
        }
        return true;
    };
    try {
        return json::parse(text, callback);
    } catch (const json::exception& e) {
        // Also a number too large for a double: the library refuses it as out of range.
        std::string what = e.what();
        const auto bracket = what.find("] ");
        if (bracket != std::string::npos) what = what.substr(bracket + 2);
        throw InputError(source + ": malformed JSON: " + what);
    }
}

}  // namespace

const std::array<CaseKey, kCaseKeyCount>& CaseKeys() { return kKeys; }

int FindCaseKey(std::string_view key, bool design) {
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        if (kKeys[i].design == design && key == kKeys[i].key) return static_cast<int>(i);
    return -1;
}

bool SizingCase::HasDesign() const {
    for (std::size_t i = kStreamKeyCount; i < kKeys.size(); ++i)
        if (!IsEmpty(values[i])) return true;
    return false;
}

bool SizingCase::Gives(Slot slot) const {
    for (std::size_t i = kStreamKeyCount; i < kKeys.size(); ++i)
        if (kKeys[i].slot == slot && !IsEmpty(values[i])) return true;
    return false;
}

std::string CheckValue(const CaseKey& key, double v) {
    if (!std::isfinite(v)) return "must be a finite number";
    if (IsEmpty(v)) return "-32767 is the sizing object's empty marker and cannot be given";
    switch (key.rule) {
        case Rule::Positive:
            if (!(v > 0.0)) return "must be greater than 0, not " + json(v).dump();
            break;
        case Rule::NonNegative:
            if (!(v >= 0.0)) return "must not be negative, not " + json(v).dump();
            break;
        case Rule::Finite: break;
        case Rule::Temperature:
            if (!(v >= kAbsoluteZeroCelsius)) return "is below absolute zero (-273.15 deg C): " + json(v).dump();
            break;
        case Rule::Percent:
            if (!(v >= kLeastPercent && v <= kMostPercent)) return "must be between 0.5 and 10 (%), not " + json(v).dump();
            break;
        case Rule::Fraction:
            if (!(v > 0.0 && v <= 1.0)) return "must be greater than 0 and at most 1, not " + json(v).dump();
            break;
        case Rule::MaterialCode:
            if (!(v >= 1.0 && v <= kLastMaterialCode && std::floor(v) == v))
                return "must be a whole number from 1 to 5, not " + json(v).dump();
            break;
    }
    return {};
}

std::string CheckCase(const SizingCase& c) {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (IsEmpty(c.values[i])) continue;
        const std::string problem = CheckValue(kKeys[i], c.values[i]);
        if (!problem.empty()) return std::string(kKeys[i].key) + ": " + problem;
    }
    // A flow without its density (or the reverse) would reach the object as a division by
    // the empty marker, or be dropped silently; neither is what the engineer meant.
    const std::pair<int, int> pairs[] = {{kLightLiquidMassFlow, kLightLiquidDensity}, {kHeavyLiquidMassFlow, kHeavyLiquidDensity}};
    for (const auto& [flow, density] : pairs) {
        if (c.Has(flow) != c.Has(density)) {
            const int given = c.Has(flow) ? flow : density;
            const int missing = c.Has(flow) ? density : flow;
            return std::string(kKeys[static_cast<std::size_t>(given)].key) + " is given without " + kKeys[static_cast<std::size_t>(missing)].key;
        }
    }
    if (c.HasHeavyLiquid() && !c.Has(kLightLiquidMassFlow))
        return "heavy_liquid_mass_flow_kg_h is given without a light liquid: give the liquid as light_liquid_mass_flow_kg_h";
    const double vapour = c.Get(kVapourDensity);
    if (c.Has(kVapourDensity)) {
        for (int liquid : {kLightLiquidDensity, kHeavyLiquidDensity, kAssumedLiquidDensity}) {
            if (c.Has(liquid) && !(c.Get(liquid) > vapour))
                return std::string(kKeys[static_cast<std::size_t>(liquid)].key) + ": a liquid must be denser than the vapour (" +
                       json(c.Get(liquid)).dump() + " kg/m3 is not more than the vapour's " + json(vapour).dump() + " kg/m3)";
        }
    }
    if (c.HasHeavyLiquid() && !(c.Get(kHeavyLiquidDensity) > c.Get(kLightLiquidDensity)))
        return "heavy_liquid_density_kg_m3: the heavy liquid must be denser than the light liquid";
    return {};
}

Orientation ParseOrientation(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (lower == "auto" || lower.empty()) return Orientation::Auto;
    if (lower == "vertical") return Orientation::Vertical;
    if (lower == "horizontal") return Orientation::Horizontal;
    std::string message = "must be \"auto\", \"vertical\" or \"horizontal\", not \"" + std::string(text) + "\"";
    const std::string nearest = NearestKey(lower, {"auto", "vertical", "horizontal"});
    if (!nearest.empty()) message += " (did you mean \"" + nearest + "\"?)";
    throw InputError(message);
}

const char* OrientationWord(Orientation o) {
    switch (o) {
        case Orientation::Vertical: return "vertical";
        case Orientation::Horizontal: return "horizontal";
        case Orientation::Auto: break;
    }
    return "auto";
}

std::string NearestKey(std::string_view word, const std::vector<std::string>& candidates) {
    // Edit distance, case-insensitive; a likely typo is within a third of the word's length.
    auto lower = [](char ch) { return std::tolower(static_cast<unsigned char>(ch)); };
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(2, word.size() / 3) + 1;
    std::vector<std::size_t> previous, current;
    for (const std::string& candidate : candidates) {
        previous.resize(candidate.size() + 1);
        current.resize(candidate.size() + 1);
        for (std::size_t j = 0; j <= candidate.size(); ++j) previous[j] = j;
        for (std::size_t i = 1; i <= word.size(); ++i) {
            current[0] = i;
            for (std::size_t j = 1; j <= candidate.size(); ++j) {
                const std::size_t substitution = previous[j - 1] + (lower(word[i - 1]) == lower(candidate[j - 1]) ? 0 : 1);
                current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
            }
            std::swap(previous, current);
        }
        if (previous[candidate.size()] < bestDistance) {
            bestDistance = previous[candidate.size()];
            best = candidate;
        }
    }
    return best;
}

std::vector<std::string> CsvColumnNames() {
    std::vector<std::string> names = {"name", "orientation"};
    for (const CaseKey& k : kKeys) names.emplace_back(k.key);
    return names;
}

SizingCase ParseCaseJson(const std::string& text, const std::string& source) {
    const json root = ParseRejectingDuplicates(text, source);
    if (!root.is_object()) throw InputError(source + ": a case file holds one JSON object, not " + std::string(root.type_name()));
    SizingCase c;
    json numbers = json::object();
    for (const auto& item : root.items()) {
        const std::string& key = item.key();
        if (key == "name") {
            if (!item.value().is_string()) throw InputError(Where(source, key) + "must be a string");
            c.name = item.value().get<std::string>();
        } else if (key == "orientation") {
            if (!item.value().is_string()) throw InputError(Where(source, key) + "must be a string: \"auto\", \"vertical\" or \"horizontal\"");
            try {
                c.orientation = ParseOrientation(item.value().get<std::string>());
            } catch (const InputError& e) {
                throw InputError(Where(source, key) + e.what());
            }
        } else if (key == "design") {
            if (!item.value().is_object()) throw InputError(Where(source, key) + "must be an object of design keys");
            ReadNumbers(item.value(), true, c, source);
        } else {
            numbers[key] = item.value();
        }
    }
    ReadNumbers(numbers, false, c, source);
    const std::string problem = CheckCase(c);
    if (!problem.empty()) throw InputError(source + ": " + problem);
    return c;
}

SizingCase LoadCaseFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw InputError(path + ": cannot be read (" + std::strerror(errno) + ")");
    std::ostringstream text;
    text << file.rdbuf();
    return ParseCaseJson(text.str(), path);
}

}  // namespace kestrol::host
