// A sizing case as an engineer writes it: the stream in words and SI units, the orientation,
// the answers for a feed without liquid, and an optional design block that fixes options or
// dimensions. Read from a JSON case file or from one row of a CSV batch; the same key table
// serves both, so a CSV header uses the case file's words.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/slots.h"
#include "core/values.h"

namespace kestrol::host {

/// Input the host cannot hand to the object: the message names the file, row or key and says
/// what is wrong.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Orientation { Auto, Vertical, Horizontal };

/// What an input value must satisfy before it reaches the object.
enum class Rule {
    Positive,      ///< finite and > 0
    NonNegative,   ///< finite and >= 0
    Finite,        ///< any finite number
    Temperature,   ///< finite and not below absolute zero (deg C)
    Percent,       ///< 0.5 to 10: the share the object accepts from a host
    Fraction,      ///< > 0 and <= 1 (joint efficiency)
    MaterialCode,  ///< a whole number from 1 to 5
};

/// One numeric key of a case. Stream keys live at the top of a case file; design keys inside
/// its "design" object. In a CSV header both are plain columns.
struct CaseKey {
    const char* key;
    const char* words;  ///< what it is, for messages
    Rule rule;
    bool design;
    Slot slot;        ///< design keys: the vector slot it is written to
    bool writeFixed;  ///< design keys: written negative, so the sizing keeps it
};

/// Number of numeric keys; SizingCase::values is indexed like CaseKeys().
inline constexpr std::size_t kCaseKeyCount = 29;

/// The numeric keys, stream keys first.
const std::array<CaseKey, kCaseKeyCount>& CaseKeys();

/// Index of a numeric key in CaseKeys(), or -1.
int FindCaseKey(std::string_view key, bool design);

/// Positions of the stream keys in CaseKeys() (and so in SizingCase::values).
enum StreamKey : int {
    kPressure,
    kTemperature,
    kVapourMassFlow,
    kVapourDensity,
    kLightLiquidMassFlow,
    kLightLiquidDensity,
    kHeavyLiquidMassFlow,
    kHeavyLiquidDensity,
    kAssumedLiquidPercent,
    kAssumedLiquidDensity,
    kStreamKeyCount
};

struct SizingCase {
    std::string name;
    Orientation orientation = Orientation::Auto;
    /// By CaseKeys() position; kEmptyValue where the case gives nothing.
    std::array<double, kCaseKeyCount> values;

    SizingCase() { values.fill(kEmptyValue); }
    double Get(int key) const { return values[static_cast<std::size_t>(key)]; }
    bool Has(int key) const { return !IsEmpty(Get(key)); }
    bool HasDesign() const;
    bool HasHeavyLiquid() const { return Has(kHeavyLiquidMassFlow); }
    /// Whether the design block fixes or sets this slot.
    bool Gives(Slot slot) const;
};

/// Reads and checks a JSON case file. Throws InputError naming the file.
SizingCase LoadCaseFile(const std::string& path);
/// The same for JSON text; `source` names it in messages.
SizingCase ParseCaseJson(const std::string& text, const std::string& source);

/// Why a complete case cannot be handed to the object (bad value, unpaired flow and density,
/// a liquid lighter than the vapour), or an empty string when it can.
std::string CheckCase(const SizingCase& c);

/// Checks one value against its key's rule; an empty string when it passes.
std::string CheckValue(const CaseKey& key, double value);

/// "auto", "vertical", "horizontal" (case-insensitive); throws InputError otherwise.
Orientation ParseOrientation(std::string_view text);
const char* OrientationWord(Orientation o);

/// The closest of the candidates to `word` when it is close enough to be a likely typo,
/// else an empty string.
std::string NearestKey(std::string_view word, const std::vector<std::string>& candidates);

/// The keys a CSV header may name: name, orientation and every numeric key.
std::vector<std::string> CsvColumnNames();

}  // namespace kestrol::host
