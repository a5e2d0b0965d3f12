#include "model/case_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "model/csv.h"
#include "model/json_text.h"
#include "sizing/host_questions.h"

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

/// The design key of each slot, -1 for none: every case asks this of several slots, so it is
/// looked up, not searched.
constexpr std::array<int, kSlotCount + 1> DesignKeysBySlot() {
    std::array<int, kSlotCount + 1> keys{};
    for (int& key : keys) key = -1;
    for (std::size_t i = kStreamKeyCount; i < kKeys.size(); ++i) {
        const int slot = Index(kKeys[i].slot);
        if (slot < 1 || slot > kSlotCount || keys[static_cast<std::size_t>(slot)] >= 0) return {};  // all 0: fails below
        keys[static_cast<std::size_t>(slot)] = static_cast<int>(i);
    }
    return keys;
}
constexpr std::array<int, kSlotCount + 1> kDesignKeyOfSlot = DesignKeysBySlot();
static_assert(kDesignKeyOfSlot[0] == -1, "each design key writes a slot of its own");

int DesignKey(Slot slot) {
    const int index = Index(slot);
    return index < 0 || index > kSlotCount ? -1 : kDesignKeyOfSlot[static_cast<std::size_t>(index)];
}

/// Absolute zero [deg C]: no stream is colder.
constexpr double kAbsoluteZeroCelsius = -273.15;
/// Highest material code of the built-in material table.
constexpr double kLastMaterialCode = 5.0;

std::vector<std::string> KeyNames(bool design) {
    std::vector<std::string> names;
    if (!design) {
        names = {"name", "orientation", "design", "levels"};
        names.insert(names.end(), std::begin(kTitleBlockKeys), std::end(kTitleBlockKeys));
        names.insert(names.end(), MechanicalKeyNames().begin(), MechanicalKeyNames().end());
    }
    for (const CaseKey& k : kKeys)
        if (k.design == design) names.emplace_back(k.key);
    if (!design) names.insert(names.end(), SettlingKeyNames().begin(), SettlingKeyNames().end());
    return names;
}

std::string UnknownKeyMessage(const std::string& key, bool design) { return UnknownNameMessage("key", key, KeyNames(design)); }

constexpr std::size_t LongestKey() {
    std::size_t longest = 0;
    for (const CaseKey& k : kKeys) longest = std::max(longest, std::string_view(k.key).size());
    return longest;
}
static_assert(std::string_view("design.").size() + LongestKey() <= kEchoedCharacters, "every known key is echoed whole");

/// Where a key stands in the case file: its name's first occurrence in quotes, after the
/// "design" key for a design key. Keys are unique within the file, so this finds the one meant.
std::size_t KeyOffset(std::string_view text, const std::string& path) {
    std::size_t from = 0;
    std::string key = path;
    for (const char* block : {"design", "levels"}) {
        const std::string prefix = std::string(block) + ".";
        if (path.rfind(prefix, 0) != 0) continue;
        from = text.find("\"" + std::string(block) + "\"");
        if (from == std::string_view::npos) from = 0;
        key = path.substr(prefix.size());
    }
    return text.find("\"" + key + "\"", from);
}

[[noreturn]] void Refuse(std::string_view text, const std::string& source, const std::string& path, const std::string& reason) {
    throw RefusalAt(text, source, path, reason);
}

double NumberAt(const json& value, std::string_view text, const std::string& source, const std::string& path) {
    if (!value.is_number()) Refuse(text, source, path, "must be a number, not " + std::string(value.type_name()));
    return value.get<double>();
}

void ReadNumber(const std::string& key, const json& value, bool design, SizingCase& c, std::string_view text, const std::string& source) {
    const std::string path = design ? "design." + key : key;
    const int index = FindCaseKey(key, design);
    if (index < 0) Refuse(text, source, path, UnknownKeyMessage(key, design));
    const double v = NumberAt(value, text, source, path);
    const std::string problem = CheckValue(kKeys[static_cast<std::size_t>(index)], v);
    if (!problem.empty()) Refuse(text, source, path, problem);
    c.values[static_cast<std::size_t>(index)] = v;
}

void ReadLevel(const std::string& key, const json& value, SizingCase& c, std::string_view text, const std::string& source) {
    const std::string path = "levels." + key;
    const int index = FindLevelKey(key);
    if (index < 0) Refuse(text, source, path, UnknownNameMessage("key", key, LevelKeyNames()));
    const double v = NumberAt(value, text, source, path);
    const std::string problem = CheckValue(LevelKeys()[static_cast<std::size_t>(index)], v);
    if (!problem.empty()) Refuse(text, source, path, problem);
    c.levels.values[static_cast<std::size_t>(index)] = v;
}

/// The key whose value starts at `offset` ("key": value), or an empty string.
std::string KeyBefore(std::string_view text, std::size_t offset) {
    if (offset == std::string_view::npos) return {};
    const std::size_t colon = text.find_last_not_of(" \t\r\n", offset == 0 ? 0 : offset - 1);
    if (colon == std::string_view::npos || text[colon] != ':') return {};
    const std::size_t close = text.find_last_not_of(" \t\r\n", colon - 1);
    if (close == std::string_view::npos || text[close] != '"' || close == 0) return {};
    const std::size_t open = text.rfind('"', close - 1);
    if (open == std::string_view::npos) return {};
    const std::string key(text.substr(open + 1, close - open - 1));
    return FindCaseKey(key, true) >= 0 ? "design." + key : key;
}

/// The library's message without its own place (ours comes first) and with the text it last
/// read echoed: the end of it, where the error is, and valid UTF-8 though the input's bytes
/// there may not be.
std::string LibraryReason(std::string reason) {
    const std::size_t place = reason.find(": ");
    if (reason.rfind("[json.exception.", 0) == 0 && place != std::string::npos) reason.erase(0, place + 2);
    if (reason.rfind("syntax error while parsing ", 0) == 0) {
        const std::size_t dash = reason.find(" - ");
        if (dash != std::string::npos) reason.erase(0, dash + 3);
    }
    const std::string opening = "last read: '";
    const std::size_t from = reason.find(opening);
    if (from != std::string::npos) {
        const std::size_t start = from + opening.size();
        std::size_t end = reason.rfind("'; expected ");
        if (end == std::string::npos || end < start) end = reason.size() - 1;
        if (end > start) {
            std::string_view excerpt = std::string_view(reason).substr(start, end - start);
            std::string shown;
            if (excerpt.size() > kEchoedCharacters) {
                excerpt.remove_prefix(excerpt.size() - kEchoedCharacters);
                // Start on a character, not inside one.
                for (int k = 0; k < 3 && !excerpt.empty() && (static_cast<unsigned char>(excerpt.front()) & 0xC0) == 0x80; ++k)
                    excerpt.remove_prefix(1);
                shown = "…";
            }
            shown += Echo(excerpt, std::string::npos);
            reason.replace(start, end - start, shown);
        }
    }
    return Echo(reason, std::string::npos);
}

InputError NulRefusal(std::string_view text, const std::string& source, std::size_t offset) {
    const auto [line, column] = LineAndColumn(text, offset);
    return InputError(source, "", "malformed JSON: a NUL byte, which JSON text never holds (nothing but blanks may follow the object)", line,
                      column);
}

// Rejects a key given twice in one object, which the JSON library would silently resolve.
json ParseRejectingDuplicates(const std::string& text, const std::string& source) {
    std::vector<std::unordered_set<std::string>> seen;
    std::string twice;
    auto callback = [&](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::object_start) seen.emplace_back();
        if (event == json::parse_event_t::object_end && !seen.empty()) seen.pop_back();
        if (event == json::parse_event_t::key && !seen.empty() && twice.empty()) {
            std::string key = parsed.get<std::string>();
            if (!seen.back().insert(key).second) twice = std::move(key);
        }
        return true;
    };
    json root = ReadJson<json>(text, source, kCaseNesting, kCaseNestingReason, callback);
    if (!twice.empty()) {
        const std::size_t first = text.find("\"" + twice + "\"");
        const auto [line, column] = LineAndColumn(text, text.find("\"" + twice + "\"", first + 1));
        throw InputError(source, Echo(twice), "key \"" + Echo(twice) + "\" is given twice", line, column);
    }
    return root;
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

double SizingCase::Given(Slot slot) const {
    const int key = DesignKey(slot);
    return key < 0 ? kEmptyValue : values[static_cast<std::size_t>(key)];
}

bool SizingCase::Gives(Slot slot) const { return !IsEmpty(Given(slot)); }

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
            static_assert(kLeastAssumedPercent == 0.5 && kMostAssumedPercent == 10.0, "the message below names the bounds");
            if (!(v >= kLeastAssumedPercent && v <= kMostAssumedPercent))
                return "must be between 0.5 and 10 (%), not " + json(v).dump();
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

InputError::InputError(std::string file, std::string key, std::string reason, std::size_t line, std::size_t column)
    : std::runtime_error([&] {
          std::string text = file;
          if (line > 0) text += ":" + std::to_string(line) + ":" + std::to_string(column);
          if (!text.empty()) text += ": ";
          if (!key.empty()) text += key + ": ";
          return text + reason;
      }()),
      file_(std::move(file)),
      key_(std::move(key)),
      reason_(std::move(reason)),
      line_(line),
      column_(column) {}

namespace {

std::string Shown(double v) { return json(v).dump(); }

const char* KeyName(int key) { return kKeys[static_cast<std::size_t>(key)].key; }
/// Relative disagreement of a given diameter, ratio and length that is still taken as rounding
/// of the last digits (a ratio written to three or four significant figures).
constexpr double kGeometryTolerance = 1e-3;

InputProblem CheckGeometry(const SizingCase& c) {
    const bool d = c.Gives(Slot::Diameter), l = c.Gives(Slot::OverallLength), r = c.Gives(Slot::Ratio);
    const double diameter = c.Given(Slot::Diameter), length = c.Given(Slot::OverallLength), ratio = c.Given(Slot::Ratio);
    if (d && l && !(length > kHeadsOverDiameter * diameter))
        return {"overall_length_m", Shown(length) + " m is not longer than the two heads of a vessel of diameter_m " + Shown(diameter) +
                                        " (" + Shown(kHeadsOverDiameter * diameter) + " m)"};
    if (d && l && r) {
        const double implied = (ratio + kHeadsOverDiameter) * diameter;
        if (std::fabs(implied - length) > kGeometryTolerance * length)
            return {"overall_length_m", "diameter_m " + Shown(diameter) + ", ratio " + Shown(ratio) + " and overall_length_m " + Shown(length) +
                                            " disagree: (" + Shown(ratio) + " + 0.5) x " + Shown(diameter) + " = " + Shown(implied) +
                                            " m; give two of the three"};
    }
    return {};
}

}  // namespace

InputProblem CheckCase(const SizingCase& c) {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (IsEmpty(c.values[i])) continue;
        const std::string problem = CheckValue(kKeys[i], c.values[i]);
        if (!problem.empty()) return {kKeys[i].key, problem};
    }
    for (std::size_t i = 0; i < LevelKeys().size(); ++i) {
        if (IsEmpty(c.levels.values[i])) continue;
        const std::string problem = CheckValue(LevelKeys()[i], c.levels.values[i]);
        if (!problem.empty()) return {LevelKeys()[i].key, problem};
    }
    for (int key : {kPressure, kTemperature, kVapourMassFlow, kVapourDensity})
        if (!c.Has(key)) return {KeyName(key), std::string("is required: the ") + kKeys[static_cast<std::size_t>(key)].words + " is missing"};
    // A flow without its density (or the reverse) would reach the object as a division by
    // the empty marker, or be dropped silently; neither is what the engineer meant.
    const std::pair<int, int> pairs[] = {{kLightLiquidMassFlow, kLightLiquidDensity}, {kHeavyLiquidMassFlow, kHeavyLiquidDensity}};
    for (const auto& [flow, density] : pairs) {
        if (c.Has(flow) != c.Has(density)) {
            const int given = c.Has(flow) ? flow : density;
            const int missing = c.Has(flow) ? density : flow;
            return {KeyName(given), std::string("is given without ") + KeyName(missing)};
        }
    }
    if (c.HasHeavyLiquid() && !c.Has(kLightLiquidMassFlow))
        return {KeyName(kHeavyLiquidMassFlow), "is given without a light liquid: give the liquid as light_liquid_mass_flow_kg_h"};
    // The object would ask for these through its callback and stop without them.
    if (!c.Has(kLightLiquidMassFlow)) {
        if (!c.Has(kAssumedLiquidPercent))
            return {KeyName(kAssumedLiquidPercent), "is required: the feed carries no liquid, so the sizing takes part of the vapour as liquid; "
                                                    "give assumed_liquid_percent (0.5 to 10) and assumed_liquid_density_kg_m3, or the light "
                                                    "liquid's flow and density"};
        if (!c.Has(kAssumedLiquidDensity))
            return {KeyName(kAssumedLiquidDensity), "is required: the feed carries no liquid and the assumed liquid needs a density"};
    }
    const double vapour = c.Get(kVapourDensity);
    for (int liquid : {kLightLiquidDensity, kHeavyLiquidDensity, kAssumedLiquidDensity}) {
        if (c.Has(liquid) && !(c.Get(liquid) > vapour))
            return {KeyName(liquid), "a liquid must be denser than the vapour (" + Shown(c.Get(liquid)) + " kg/m3 is not more than the vapour's " +
                                         Shown(vapour) + " kg/m3)"};
    }
    if (c.HasHeavyLiquid() && !(c.Get(kHeavyLiquidDensity) > c.Get(kLightLiquidDensity)))
        return {KeyName(kHeavyLiquidDensity), "the heavy liquid must be denser than the light liquid (" + Shown(c.Get(kHeavyLiquidDensity)) +
                                                  " kg/m3 is not more than the light liquid's " + Shown(c.Get(kLightLiquidDensity)) + " kg/m3)"};
    if (!c.HasHeavyLiquid()) {
        for (Slot heavyOnly : {Slot::HeavyLevel, Slot::HeavyResidenceTime})
            if (c.Gives(heavyOnly))
                return {KeyName(DesignKey(heavyOnly)),
                        "the feed has no heavy liquid: give heavy_liquid_mass_flow_kg_h and heavy_liquid_density_kg_m3, or leave this key out"};
        for (int interfaceKey : {kGivenHIL, kGivenNIL, kGivenLIL})
            if (c.levels.Has(interfaceKey))
                return {LevelKeys()[static_cast<std::size_t>(interfaceKey)].key,
                        "the feed has no heavy liquid, so no interface: give heavy_liquid_mass_flow_kg_h and heavy_liquid_density_kg_m3, or leave this key out"};
    }
    return CheckGeometry(c);
}

InputProblem CheckDesign(const SizingCase& c, int orientation) {
    const double heavy = c.Gives(Slot::HeavyLevel) ? c.Given(Slot::HeavyLevel) : 0.0;
    const double light = c.Gives(Slot::LightLayerThickness) ? c.Given(Slot::LightLayerThickness) : 0.0;
    const char* levelKey = c.Gives(Slot::LightLayerThickness) ? "light_liquid_layer_m" : "heavy_liquid_level_m";
    // Worded only for a refusal: every sized case passes through here.
    const auto levels = [&] {
        return c.Gives(Slot::LightLayerThickness) && c.Gives(Slot::HeavyLevel)
                   ? "the liquid levels (" + Shown(heavy) + " + " + Shown(light) + " = " + Shown(heavy + light) + " m) reach"
                   : "a liquid level of " + Shown(heavy + light) + " m reaches";
    };
    if (orientation == 1) {
        if (c.Gives(Slot::OverallLength) && !c.Gives(Slot::Diameter) && !c.Gives(Slot::Ratio))
            return {"overall_length_m", "a horizontal vessel's length follows from its diameter and ratio; give diameter_m or ratio with it"};
        const double diameter = c.Gives(Slot::Diameter)                                      ? c.Given(Slot::Diameter)
                                : c.Gives(Slot::OverallLength) && c.Gives(Slot::Ratio) ? c.Given(Slot::OverallLength) / (c.Given(Slot::Ratio) + kHeadsOverDiameter)
                                                                                             : 0.0;
        if (diameter > 0.0 && heavy + light >= diameter)
            return {levelKey, levels() + " the top of a horizontal vessel of " + Shown(diameter) + " m diameter"};
        // Around one level the diameter is found from the other liquid's time alone; the time
        // of the liquid whose level is given would be a second answer for the same liquid.
        const bool oneLevel = c.HasHeavyLiquid() && c.Gives(Slot::HeavyLevel) != c.Gives(Slot::LightLayerThickness);
        const Slot levelTime = c.Gives(Slot::HeavyLevel) ? Slot::HeavyResidenceTime : Slot::LightResidenceTime;
        if (oneLevel && diameter == 0.0 && c.Gives(levelTime))
            return {KeyName(DesignKey(levelTime)), std::string("is given with ") + levelKey +
                                                       ", which decides that time: around one liquid level the diameter is found from the other "
                                                       "liquid's residence time; leave this key out, or give diameter_m"};
    } else if (orientation == 0) {
        double length = c.Gives(Slot::OverallLength) ? c.Given(Slot::OverallLength) : 0.0;
        if (length == 0.0 && c.Gives(Slot::Diameter) && c.Gives(Slot::Ratio))
            length = (c.Given(Slot::Ratio) + kHeadsOverDiameter) * c.Given(Slot::Diameter);
        if (length > 0.0 && heavy + light >= length)
            return {levelKey, levels() + " the top of a vertical vessel " + Shown(length) + " m high"};
    }
    return {};
}

std::vector<std::string> CaseWarnings(const SizingCase& c) {
    std::vector<std::string> warnings;
    if (c.Has(kLightLiquidMassFlow)) {
        for (int key : {kAssumedLiquidPercent, kAssumedLiquidDensity})
            if (c.Has(key))
                warnings.push_back(std::string(KeyName(key)) + " is not used: the feed carries liquid (light_liquid_mass_flow_kg_h)");
    }
    return warnings;
}

InputError RefusalAt(std::string_view text, const std::string& source, const std::string& key, const std::string& reason) {
    const bool design = key.find('.') == std::string::npos && FindCaseKey(key, true) >= 0;
    const bool level = key.find('.') == std::string::npos && FindLevelKey(key) >= 0;
    const std::string path = design ? "design." + key : level ? "levels." + key : key;
    const std::size_t offset = KeyOffset(text, path);
    // A missing key has no place in the file.
    if (offset == std::string::npos) return InputError(source, Echo(path), reason);
    const auto [line, column] = LineAndColumn(text, offset);
    return InputError(source, Echo(path), reason, line, column);
}

std::pair<std::size_t, std::size_t> LineAndColumn(std::string_view text, std::size_t offset) {
    if (offset > text.size()) return {0, 0};
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return {line, offset - lineStart + 1};
}

Orientation ParseOrientation(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (lower == "auto" || lower.empty()) return Orientation::Auto;
    if (lower == "vertical") return Orientation::Vertical;
    if (lower == "horizontal") return Orientation::Horizontal;
    std::string message = "must be \"auto\", \"vertical\" or \"horizontal\", not \"" + Echo(text) + "\"";
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
        // The distance is at least the difference in length: a word that much longer or
        // shorter cannot come closer, and a long one is not walked through.
        const std::size_t apart = word.size() > candidate.size() ? word.size() - candidate.size() : candidate.size() - word.size();
        if (apart >= bestDistance) continue;
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

std::string Echo(std::string_view text, std::size_t limit) {
    constexpr std::size_t kLongestCharacter = 4;  // bytes of a UTF-8 character
    // The first limit + 1 characters lie within this many bytes: nothing after them is looked at.
    if (limit < text.size() / kLongestCharacter) text = text.substr(0, (limit + 1) * kLongestCharacter);
    std::string shown;
    std::size_t characters = 0;
    while (!text.empty()) {
        const std::size_t bad = FirstInvalidUtf8(text);
        const std::string_view valid = text.substr(0, bad);
        for (std::size_t i = 0; i < valid.size(); ++i) {
            const bool starts = (static_cast<unsigned char>(valid[i]) & 0xC0) != 0x80;
            if (starts && characters++ == limit) return shown + "…";
            shown.push_back(valid[i]);
        }
        if (bad == std::string_view::npos) break;
        if (characters++ == limit) return shown + "…";
        constexpr char kHex[] = "0123456789ABCDEF";
        const auto byte = static_cast<unsigned char>(text[bad]);
        shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        text.remove_prefix(bad + 1);
    }
    return shown;
}

std::string UnknownNameMessage(std::string_view what, std::string_view name, const std::vector<std::string>& candidates) {
    std::string message = "unknown " + std::string(what) + " \"" + Echo(name) + "\"";
    const std::string nearest = NearestKey(name, candidates);
    if (!nearest.empty()) message += " (did you mean \"" + nearest + "\"?)";
    return message;
}

std::size_t DeepOpening(std::string_view text, int deepest) {
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quoted) {
            if (ch == '\\') ++i;
            else if (ch == '"') quoted = false;
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == '[' || ch == '{') {
            if (++depth > deepest) return i;
        } else if (ch == ']' || ch == '}') {
            --depth;
        }
    }
    return std::string_view::npos;
}

void RefuseNesting(std::string_view text, const std::string& source, int deepest, const char* reason) {
    // The parser refused at this depth, so the text before is JSON and the scan finds its place.
    const std::size_t offset = DeepOpening(text, deepest);
    const auto [line, column] = LineAndColumn(text, offset);
    throw InputError(source, Echo(KeyBefore(text, offset)), reason, line, column);
}

InputError MalformedJson(std::string_view text, const std::string& source, const nlohmann::json::exception& error) {
    const std::size_t nul = text.find('\0');
    if (const auto* parse = dynamic_cast<const json::parse_error*>(&error)) {
        const std::size_t offset = parse->byte == 0 ? 0 : parse->byte - 1;
        if (offset == nul) return NulRefusal(text, source, nul);
        const auto [line, column] = LineAndColumn(text, offset);
        return InputError(source, "", "malformed JSON: " + LibraryReason(error.what()), line, column);
    }
    // A number too large for a double: the library refuses it as out of range, naming the
    // number, which finds its place.
    std::string what = error.what();
    const auto bracket = what.find("] ");
    if (bracket != std::string::npos) what = what.substr(bracket + 2);
    std::size_t offset = std::string::npos;
    const auto open = what.find('\''), close = what.rfind('\'');
    if (open != std::string::npos && close > open) offset = text.find(what.substr(open + 1, close - open - 1));
    const auto [line, column] = LineAndColumn(text, offset);
    return InputError(source, KeyBefore(text, offset), "malformed JSON: " + Echo(what, std::string::npos) + " (a number beyond the range of a double)",
                      line, column);
}

void RefuseNul(std::string_view text, const std::string& source) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) throw NulRefusal(text, source, nul);
}

std::vector<std::string> CsvColumnNames() {
    std::vector<std::string> names = {"name", "orientation"};
    names.insert(names.end(), std::begin(kTitleBlockKeys), std::end(kTitleBlockKeys));
    for (const CaseKey& k : kKeys) names.emplace_back(k.key);
    names.insert(names.end(), SettlingKeyNames().begin(), SettlingKeyNames().end());
    for (const CaseKey& k : LevelKeys()) names.emplace_back(k.key);
    names.insert(names.end(), MechanicalKeyNames().begin(), MechanicalKeyNames().end());
    return names;
}

SizingCase ParseCaseJson(const std::string& text, const std::string& source) {
    return CaseFromJson(ParseRejectingDuplicates(text, source), source, text);
}

SizingCase CaseFromJson(const json& root, const std::string& source, std::string_view text) {
    if (!root.is_object()) throw InputError(source, "", "a case file holds one JSON object, not " + std::string(root.type_name()));
    SizingCase c;
    // Read after the design block, in key order; pointed at, not copied: a copy recurses as
    // deep as the value, and a value built in memory has had no depth check.
    std::vector<std::pair<const std::string*, const json*>> numbers;
    for (const auto& item : root.items()) {
        const std::string& key = item.key();
        if (key == "name") {
            if (!item.value().is_string()) Refuse(text, source, key, "must be a string");
            c.name = item.value().get<std::string>();
        } else if (std::string* field = TitleField(c.title, key)) {
            if (!item.value().is_string()) Refuse(text, source, key, "must be a string");
            *field = item.value().get<std::string>();
        } else if (key == "orientation") {
            if (!item.value().is_string()) Refuse(text, source, key, "must be a string: \"auto\", \"vertical\" or \"horizontal\"");
            try {
                c.orientation = ParseOrientation(item.value().get<std::string>());
            } catch (const InputError& e) {
                Refuse(text, source, key, e.Reason());
            }
        } else if (key == "design") {
            if (!item.value().is_object()) Refuse(text, source, key, "must be an object of design keys");
            for (const auto& designItem : item.value().items()) ReadNumber(designItem.key(), designItem.value(), true, c, text, source);
        } else if (IsMechanicalKey(key)) {
            const std::string problem = ReadMechanicalJson(key, item.value(), c.mechanical);
            if (!problem.empty()) Refuse(text, source, key, problem);
        } else if (const int settling = FindSettlingKey(key); settling >= 0) {
            const json& v = item.value();
            if (!v.is_number() && !v.is_string()) Refuse(text, source, key, "must be a number or a string, not " + std::string(v.type_name()));
            const std::string why = ReadSettlingValue(settling, v.is_number(), v.is_number() ? v.get<double>() : 0.0,
                                                      v.is_string() ? v.get_ref<const std::string&>() : std::string(), c.process);
            if (!why.empty()) Refuse(text, source, key, why);
        } else if (key == "levels") {
            if (!item.value().is_object()) Refuse(text, source, key, "must be an object of level keys");
            for (const auto& levelItem : item.value().items()) ReadLevel(levelItem.key(), levelItem.value(), c, text, source);
        } else {
            numbers.emplace_back(&key, &item.value());
        }
    }
    for (const auto& [key, value] : numbers) ReadNumber(*key, *value, false, c, text, source);
    if (const InputProblem problem = CheckCase(c)) throw RefusalAt(text, source, problem.key, problem.reason);
    return c;
}

OutOfMemory::OutOfMemory(const char* sentence) : OutOfMemory(sentence, 0, nullptr) {}

OutOfMemory::OutOfMemory(const char* before, std::uint64_t number, const char* after) {
    char* const last = text_ + sizeof text_ - 1;
    char* at = text_;
    auto append = [&](const char* text) {
        while (*text != '\0' && at != last) *at++ = *text++;
    };
    append(before);
    if (after != nullptr) {
        at = std::to_chars(at, last, number).ptr;  // leaves `at` as it was when the number does not fit
        append(after);
    }
    *at = '\0';
}

namespace {

/// Bytes read at a time [bytes]: large enough that the calls cost nothing beside the copying.
constexpr std::size_t kReadBlock = std::size_t{1} << 16;

InputError TooLarge(const std::string& path, const std::string& what, std::uint64_t limit) {
    constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
    const std::string bytes = limit % kGiB == 0 ? std::to_string(limit / kGiB) + " GiB" : std::to_string(limit) + " bytes";
    return InputError(path, "", what + "holds more than " + bytes + ", the most the host reads of one input");
}

/// All of `in` into one string, read once: `expected` (the file's size, when known) is
/// reserved so that the text is never copied to grow.
std::string ReadAll(std::istream& in, const std::string& path, const std::string& what, std::uint64_t expected, std::uint64_t limit) {
    std::string text;
    try {
        if (expected > 0) text.reserve(static_cast<std::size_t>(expected));
        std::vector<char> block(kReadBlock);
        while (in) {
            in.read(block.data(), static_cast<std::streamsize>(block.size()));
            const auto got = static_cast<std::size_t>(in.gcount());
            if (text.size() + got > limit) throw TooLarge(path, what, limit);
            text.append(block.data(), got);
        }
    } catch (const std::bad_alloc&) {
        throw OutOfMemory("the machine ran out of memory holding ", std::max<std::uint64_t>(expected, text.size()), " bytes of input");
    }
    if (in.bad()) throw InputError(path, "", what + "cannot be read (" + std::strerror(errno) + ")");
    return text;
}

}  // namespace

std::string ReadInputFile(const std::string& path, std::uint64_t limit) {
    if (path == "-") return ReadAll(std::cin, "-", "standard input ", 0, limit);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) throw InputError(path, "", "is a directory, not a case file or a CSV batch");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw InputError(path, "", std::string("cannot be read (") + std::strerror(errno) + ")");
    // A device or a pipe has no size and is read until it ends or passes the limit.
    std::uintmax_t size = 0;
    if (std::filesystem::is_regular_file(path, error)) size = std::filesystem::file_size(path, error);
    if (error) size = 0;
    if (size > limit) throw TooLarge(path, "", limit);
    return ReadAll(file, path, "", size, limit);
}

SizingCase LoadCaseFile(const std::string& path) { return ParseCaseJson(ReadInputFile(path), path); }

}  // namespace kestrol::host
