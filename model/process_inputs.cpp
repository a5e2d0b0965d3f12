#include "model/process_inputs.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>

#include "model/case_file.h"

namespace kestrol::host {
namespace {

enum SettlingKey : int { kVapourViscosity, kLightViscosity, kHeavyViscosity, kMistEliminator, kInletDevice, kSettlingKeyCount };

constexpr std::array<const char*, kSettlingKeyCount> kSettlingKeys = {
    "vapour_viscosity_Pa_s", "light_liquid_viscosity_Pa_s", "heavy_liquid_viscosity_Pa_s", "mist_eliminator", "inlet_device"};

constexpr const char* kMistWords[] = {"none", "mesh", "vane", "cyclone"};
constexpr const char* kInletWords[] = {"none", "half_pipe", "vane", "cyclone"};


std::string Quoted(const char* const* words, std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text += (i == 0 ? "\"" : i + 1 == n ? " or \"" : ", \"") + std::string(words[i]) + "\"";
    return text;
}

/// Position of the word among `words`, or -1.
int WordIndex(std::string_view word, const char* const* words, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (word == words[i]) return static_cast<int>(i);
    return -1;
}

}  // namespace

bool IsSettlingWordKey(int key) { return key == kMistEliminator || key == kInletDevice; }

const std::vector<std::string>& SettlingKeyNames() {
    static const std::vector<std::string> names(kSettlingKeys.begin(), kSettlingKeys.end());
    return names;
}

int FindSettlingKey(std::string_view key) {
    for (std::size_t i = 0; i < kSettlingKeys.size(); ++i)
        if (key == kSettlingKeys[i]) return static_cast<int>(i);
    return -1;
}

std::string ReadSettlingValue(int key, bool isNumber, double number, std::string_view word, ProcessInputs& p) {
    if (IsSettlingWordKey(key)) {
        const bool mist = key == kMistEliminator;
        const char* const* words = mist ? kMistWords : kInletWords;
        const std::size_t n = mist ? std::size(kMistWords) : std::size(kInletWords);
        if (isNumber) return "must be a string: " + Quoted(words, n);
        const int at = WordIndex(word, words, n);
        if (at < 0) return "\"" + Echo(word) + "\" is not one of " + Quoted(words, n);
        if (mist) {
            p.mistEliminator = static_cast<MistEliminator>(at + 1);
        } else {
            p.inletDevice = static_cast<InletDevice>(at + 1);
        }
        return {};
    }
    if (!isNumber) return "must be a number";
    if (!std::isfinite(number) || !(number > 0.0)) return "must be a positive number (a dynamic viscosity in Pa s)";
    double& slot = key == kVapourViscosity ? p.vapourViscosity : key == kLightViscosity ? p.lightLiquidViscosity : p.heavyLiquidViscosity;
    slot = number;
    return {};
}

std::string ReadSettlingField(int key, std::string_view field, ProcessInputs& p) {
    if (field.empty()) return {};
    if (IsSettlingWordKey(key)) return ReadSettlingValue(key, false, 0.0, field, p);
    double v = 0.0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), v);
    if (error != std::errc() || end != field.data() + field.size()) return "\"" + Echo(field) + "\" is not a number";
    return ReadSettlingValue(key, true, v, {}, p);
}

namespace {

template <typename Inputs>
auto* SettlingNumber(int key, Inputs& p) {
    switch (key) {
        case kVapourViscosity: return &p.vapourViscosity;
        case kLightViscosity: return &p.lightLiquidViscosity;
        case kHeavyViscosity: return &p.heavyLiquidViscosity;
        default: return static_cast<decltype(&p.vapourViscosity)>(nullptr);
    }
}

}  // namespace

SettlingValue GetSettlingValue(int key, const ProcessInputs& p) {
    if (key == kMistEliminator) return {kEmptyValue, MistEliminatorWord(p.mistEliminator)};
    if (key == kInletDevice) return {kEmptyValue, InletDeviceWord(p.inletDevice)};
    const double* number = SettlingNumber(key, p);
    return {number != nullptr ? *number : kEmptyValue, ""};
}

void ClearSettlingValue(int key, ProcessInputs& p) {
    if (key == kMistEliminator) p.mistEliminator = MistEliminator::Unset;
    if (key == kInletDevice) p.inletDevice = InletDevice::Unset;
    if (double* number = SettlingNumber(key, p)) *number = kEmptyValue;
}

const char* MistEliminatorWord(MistEliminator m) { return m == MistEliminator::Unset ? "" : kMistWords[static_cast<int>(m) - 1]; }

const char* InletDeviceWord(InletDevice d) { return d == InletDevice::Unset ? "" : kInletWords[static_cast<int>(d) - 1]; }

}  // namespace kestrol::host
