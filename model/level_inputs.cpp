#include "model/level_inputs.h"

#include "model/case_file.h"

namespace kestrol::host {
namespace {

/// Level keys name no slot: the sizing never sees them.
constexpr Slot kNoSlot = Slot::Spare39;

constexpr std::array<CaseKey, kLevelKeyCount> kLevelKeys = {{
    {"surge_time_s", "surge time from the normal to the high level (s)", Rule::NonNegative, false, kNoSlot, false},
    {"alarm_time_s", "time from an alarm level to its trip level (s)", Rule::NonNegative, false, kNoSlot, false},
    {"alarm_margin_m", "least distance between two level set points (m)", Rule::NonNegative, false, kNoSlot, false},
    {"hhll_m", "high-high liquid level above the bottom (m)", Rule::NonNegative, false, kNoSlot, false},
    {"hll_m", "high liquid level above the bottom (m)", Rule::NonNegative, false, kNoSlot, false},
    {"nll_m", "normal liquid level above the bottom (m)", Rule::NonNegative, false, kNoSlot, false},
    {"lll_m", "low liquid level above the bottom (m)", Rule::NonNegative, false, kNoSlot, false},
    {"llll_m", "low-low liquid level above the bottom (m)", Rule::NonNegative, false, kNoSlot, false},
    {"hil_m", "high interface level above the bottom (m)", Rule::NonNegative, false, kNoSlot, false},
    {"nil_m", "normal interface level above the bottom (m)", Rule::NonNegative, false, kNoSlot, false},
    {"lil_m", "low interface level above the bottom (m)", Rule::NonNegative, false, kNoSlot, false},
}};

}  // namespace

const std::array<CaseKey, kLevelKeyCount>& LevelKeys() { return kLevelKeys; }

int FindLevelKey(std::string_view key) {
    for (std::size_t i = 0; i < kLevelKeys.size(); ++i)
        if (key == kLevelKeys[i].key) return static_cast<int>(i);
    return -1;
}

std::vector<std::string> LevelKeyNames() {
    std::vector<std::string> names;
    for (const CaseKey& k : kLevelKeys) names.emplace_back(k.key);
    return names;
}

bool LevelInputs::Any() const {
    for (double v : values)
        if (!IsEmpty(v)) return true;
    return false;
}

}  // namespace kestrol::host
