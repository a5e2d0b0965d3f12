// One case as a script or a spreadsheet builds it, key by key or from a case file, and its
// sizing through the host's result model: the numbers and sentences of `kestrol size` and of a
// CSV batch row. No COM types: the automation object converts its VARIANTs to and from these.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "model/case_file.h"
#include "model/sizing_run.h"
#include "review/review.h"

namespace kestrol::automation {

/// A value a script hands in, as the object reads its VARIANT.
struct ScriptValue {
    enum class Kind { Missing, Number, Text, Other };
    Kind kind = Kind::Missing;  ///< Missing: Empty or Null, which unset the key
    double number = 0.0;
    std::string text;  ///< Text: the string (UTF-8); Other: what it is, for the message ("a Boolean")
};

/// A value handed back: Null where nothing was given or computed.
struct ScriptResult {
    enum class Kind { Null, Number, Text };
    Kind kind = Kind::Null;
    double number = 0.0;
    std::string text;
};

/// Where a case built key by key comes from, in reports and messages.
inline constexpr const char* kScriptSource = "Kestrol.Sizing";

class ScriptCase {
public:
    /// A new, empty case: every key unset, the orientation "auto".
    void Clear();
    /// Sets a key of the CSV batch format (the case file's keys, design keys flat). Text is
    /// read as a batch cell is, a number as that cell's number; Missing unsets the key. Throws
    /// host::InputError with the command line's sentence for an unknown key or a bad value, and
    /// then leaves the case as it was. Any change forgets the last sizing.
    void SetValue(const std::string& key, const ScriptValue& value);
    /// What the case holds for the key (Null where nothing is given); throws host::InputError
    /// for an unknown key.
    ScriptResult Value(const std::string& key) const;
    /// Replaces the case by a case file's; throws host::InputError naming the file, and then
    /// leaves the case as it was.
    void LoadCase(const std::string& path);
    /// The same for the text of a case file that `source` names.
    void LoadCaseText(const std::string& text, const std::string& source);

    /// Sizes the case as `kestrol size` does; true when sized. Input the command line would
    /// refuse makes the status "bad input"; nothing is thrown for it.
    bool Size();

    // What the last Size() found; each throws host::InputError before the first Size() after
    // a change.
    /// "sized", "not sized" or "bad input", as in a batch.
    std::string Status() const;
    /// Why the case was not sized or was refused; empty when sized.
    std::string Message() const;
    /// A result column of the batch by name; throws host::InputError for an unknown name.
    ScriptResult Result(const std::string& name) const;
    /// The document of `kestrol size --format json`: the report, or for refused input its
    /// error object.
    std::string Json() const;
    /// The text report in "si" or "us" units; throws for refused input, as the command line
    /// prints no report for it.
    std::string Report(const std::string& units) const;
    /// The drawing; throws when the vessel was not sized.
    std::string Svg() const;
    /// The datasheet of `kestrol size --datasheet` (SI units, dated by host::DatasheetDate());
    /// throws when the vessel was not sized.
    std::string Datasheet() const;
    /// The design review, the governing line first; `index` counts from 1.
    std::size_t FindingCount() const;
    std::string FindingCode(long index) const;
    std::string FindingSeverity(long index) const;
    std::string FindingText(long index) const;
    /// Slot 1 to 39 of the sizing vector as the object left it.
    double GetValue(long slot) const;

    /// The batch's result column names, in the order a batch writes them.
    static const std::vector<std::string>& ResultNames();
    /// As `kestrol --version` prints it, without the line end.
    static std::string Version();

private:
    struct Sizing {
        host::SizingCase sized;
        host::SizingOutcome outcome;
        host::InputProblem refusal;  ///< refused before the object saw the case
        review::Review review;
        std::string source;
    };
    const Sizing& Last() const;
    const review::Finding& FindingAt(long index) const;

    host::SizingCase case_;
    std::string source_ = kScriptSource;
    std::optional<Sizing> last_;
};

}  // namespace kestrol::automation
