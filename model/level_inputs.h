// What a case may say about its level set points: the times and the margin that place them, or
// any set point itself. A JSON case gives them in a "levels" block; a CSV batch as plain columns
// of the same names.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/values.h"

namespace kestrol::host {

struct CaseKey;

/// Positions of the level keys in LevelKeys() (and so in LevelInputs::values).
enum LevelKey : int {
    kSurgeTime,    ///< normal to high level [s]
    kAlarmTime,    ///< high to high-high and low-low to low level [s]
    kAlarmMargin,  ///< the least distance between two set points [m]
    kGivenHHLL,
    kGivenHLL,
    kGivenNLL,
    kGivenLLL,
    kGivenLLLL,
    kGivenHIL,
    kGivenNIL,
    kGivenLIL,
    kLevelKeyCount
};

/// The level keys, in LevelKey order.
const std::array<CaseKey, kLevelKeyCount>& LevelKeys();

/// Index of a level key, or -1.
int FindLevelKey(std::string_view key);

/// The level keys' names, for messages that suggest one.
std::vector<std::string> LevelKeyNames();

struct LevelInputs {
    /// By LevelKey; kEmptyValue where the case gives nothing.
    std::array<double, kLevelKeyCount> values;

    LevelInputs() { values.fill(kEmptyValue); }
    double Get(int key) const { return values[static_cast<std::size_t>(key)]; }
    bool Has(int key) const { return !IsEmpty(Get(key)); }
    bool Any() const;
};

}  // namespace kestrol::host
