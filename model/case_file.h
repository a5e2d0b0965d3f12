// A sizing case as an engineer writes it: the stream in words and SI units, the orientation,
// the answers for a feed without liquid, and an optional design block that fixes options or
// dimensions. Read from a JSON case file or from one row of a CSV batch; the same key table
// serves both, so a CSV header uses the case file's words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "common/vessel_rules.h"
#include "core/slots.h"
#include "core/values.h"
#include "model/mechanical_inputs.h"
#include "model/process_inputs.h"
#include "model/title_block.h"
#include "model/level_inputs.h"

namespace kestrol::host {

/// Input the host cannot hand to the object: the message names the file, row or key and says
/// what is wrong. The parts are kept apart too, for the JSON error object.
class InputError : public std::runtime_error {
public:
    explicit InputError(const std::string& message) : std::runtime_error(message), reason_(message) {}
    /// "file:line:column: key: reason", leaving out what is not known (line 0, empty key).
    InputError(std::string file, std::string key, std::string reason, std::size_t line = 0, std::size_t column = 0);

    const std::string& File() const { return file_; }
    const std::string& Key() const { return key_; }
    const std::string& Reason() const { return reason_; }
    std::size_t Line() const { return line_; }
    std::size_t Column() const { return column_; }

private:
    std::string file_;
    std::string key_;
    std::string reason_;
    std::size_t line_ = 0;
    std::size_t column_ = 0;
};

/// What is wrong with a case, naming the key it comes from (empty when no one key is to blame).
struct InputProblem {
    std::string key;
    std::string reason;
    explicit operator bool() const { return !reason.empty(); }
    /// "key: reason".
    std::string Text() const { return key.empty() ? reason : key + ": " + reason; }
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

/// Two 2:1 elliptical heads, each a quarter diameter deep: overall length = (ratio + 0.5) x D.
inline constexpr double kHeadsOverDiameter = common::kHeadsPerDiameter;

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
    TitleBlock title;
    Orientation orientation = Orientation::Auto;
    /// By CaseKeys() position; kEmptyValue where the case gives nothing.
    std::array<double, kCaseKeyCount> values;
    /// The process design basis: fluid properties and internals the sizing does not read.
    ProcessInputs process;
    /// The "levels" block: what places the level set points.
    LevelInputs levels;
    /// The top-level keys of the mechanical design at design conditions.
    MechanicalInputs mechanical;

    SizingCase() { values.fill(kEmptyValue); }
    double Get(int key) const { return values[static_cast<std::size_t>(key)]; }
    bool Has(int key) const { return !IsEmpty(Get(key)); }
    bool HasDesign() const;
    bool HasHeavyLiquid() const { return Has(kHeavyLiquidMassFlow); }
    /// Whether the design block fixes or sets this slot.
    bool Gives(Slot slot) const;
    /// What the design block gives for this slot; kEmptyValue when nothing.
    double Given(Slot slot) const;
};

/// The machine ran out of memory for a step the host can name. Still a std::bad_alloc (Python
/// makes it MemoryError); its sentence is kept in the object, since the heap has no room.
class OutOfMemory : public std::bad_alloc {
public:
    explicit OutOfMemory(const char* sentence);
    /// `before`, the number, `after`.
    OutOfMemory(const char* before, std::uint64_t number, const char* after);
    const char* what() const noexcept override { return text_; }

private:
    char text_[160];
};

/// The most the host reads of one input [bytes]. Our choice: ten million rows of the example
/// batch take 0.71 GB, so an input beyond this is most likely endless (/dev/zero, a pipe that
/// never closes), and holding it would take the machine's memory.
inline constexpr std::uint64_t kInputLimitBytes = std::uint64_t{4} << 30;

/// The whole of a file, or of standard input for "-". Throws InputError naming the file, and
/// saying so when it is a directory or holds more than `limit` bytes; OutOfMemory when the
/// machine cannot hold it.
std::string ReadInputFile(const std::string& path, std::uint64_t limit = kInputLimitBytes);

/// Reads and checks a JSON case file. Throws InputError naming the file.
SizingCase LoadCaseFile(const std::string& path);
/// The same for JSON text; `source` names it in messages.
SizingCase ParseCaseJson(const std::string& text, const std::string& source);
/// The same for a parsed JSON value, for hosts that hold the case in memory already; `text`
/// places a refused key by line and column when the value was read from it.
SizingCase CaseFromJson(const nlohmann::json& root, const std::string& source, std::string_view text = {});

/// Why a complete case cannot be handed to the object (bad or missing value, unpaired flow and
/// density, a liquid lighter than the vapour, inconsistent dimensions), or no problem when it can.
InputProblem CheckCase(const SizingCase& c);

/// What the design block asks of a vessel of this orientation (0 vertical, 1 horizontal) that
/// the vessel cannot give, e.g. liquid levels above the top of a horizontal drum.
InputProblem CheckDesign(const SizingCase& c, int orientation);

/// Things that a case gives and the sizing will not use, in sentences for a warning line.
std::vector<std::string> CaseWarnings(const SizingCase& c);

/// The error for a problem with a key of a JSON case file: at the key's line and column
/// (design keys found inside "design"), or without a place when the file lacks the key.
InputError RefusalAt(std::string_view text, const std::string& source, const std::string& key, const std::string& reason);

/// Line and column (from 1) of a byte offset in text; {0, 0} past the end.
std::pair<std::size_t, std::size_t> LineAndColumn(std::string_view text, std::size_t offset);

/// Checks one value against its key's rule; an empty string when it passes.
std::string CheckValue(const CaseKey& key, double value);

/// "auto", "vertical", "horizontal" (case-insensitive); throws InputError otherwise.
Orientation ParseOrientation(std::string_view text);
const char* OrientationWord(Orientation o);

/// The closest of the candidates to `word` when it is close enough to be a likely typo,
/// else an empty string. Time grows with the candidates' lengths, not the word's: a word too
/// long to be a typo of a candidate is not compared with it.
std::string NearestKey(std::string_view word, const std::vector<std::string>& candidates);

/// Characters of an input's name or excerpt that a message repeats [characters]: more than the
/// longest key (31), so that a near miss is shown whole; a longer one is cut.
inline constexpr std::size_t kEchoedCharacters = 40;

/// Text from the input as a message repeats it: valid UTF-8 whatever the input held, a byte
/// that is not part of UTF-8 as a visible escape (\xD0, which tells the engineer what is in
/// the file, where a replacement character would not), and cut with "…" after `limit`
/// characters.
std::string Echo(std::string_view text, std::size_t limit = kEchoedCharacters);

/// "unknown <what> \"name\"", the name echoed, with the nearest candidate suggested:
/// the one message for an unknown key, column or command.
std::string UnknownNameMessage(std::string_view what, std::string_view name, const std::vector<std::string>& candidates);

/// Levels of arrays and objects a case holds [levels]: the case object and its design block.
/// Deeper text is refused before it is built (see ReadJson).
inline constexpr int kCaseNesting = 2;

/// Why a case deeper than kCaseNesting is refused, for every reader of a case.
inline constexpr const char* kCaseNestingReason =
    "nests too deeply: a case is an object of keys with one design block of numbers inside it, and nothing deeper";

/// The keys a CSV header may name: name, orientation and every numeric key.
std::vector<std::string> CsvColumnNames();

}  // namespace kestrol::host
