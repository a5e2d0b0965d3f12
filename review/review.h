// The design review: reads a finished case (its inputs, its design block and the sized vector)
// and says what set the size and which results an engineer should look at twice. It never
// writes into a sizing; the outputs above it print what it finds.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "model/case_file.h"
#include "model/result_fields.h"
#include "model/sizing_run.h"
#include "process/levels.h"

namespace kestrol::review {

enum class Severity { Note, Warning };

/// Stable codes, in the order a report lists notes of the same severity.
enum class Code {
    Governing,
    LevelBelowMinimum,
    HeightSetByRatio,
    SpareHeightInGivenVessel,
    LittleWorkingHoldup,
    ThinLiquidLayer,
    HoldupDiffers,
    ResidenceTimeChanged,
    GasLoadOutOfRange,
    RatioOutsidePractice,
    DiameterBeyondRange,
    RatioBeyondRange,
    WallBeyondRange,
    WallThickerThanPlate,
    ExternalPressure,
    WallBelowRigidity,
    WallThinnerThanRequired,
    TemperatureOutsideMaterial,
    WeightOutsideCorrelation,
    DesignPressure,
    WeightAndCost,
    SettlingNotChecked,
    CutSizeAboveTarget,
    SettlingLawOutOfRange,
    EliminatorLoadOutsideWindow,
    NozzleTooLarge,
    LevelsAboveVapourSpace,
    NormalLevelBelowLowLevel,
    LevelsTooClose,
    WallThinnerThanDesign,
    DesignWallBeyondRange,
    BelowMinimumMetalTemperature,
};
inline constexpr std::size_t kCodeCount = 32;
static_assert(kCodeCount == static_cast<std::size_t>(Code::BelowMinimumMetalTemperature) + 1, "every code has its place in a review");

/// A length [m] as a sentence suggests it for a case key in metres, whatever the report's
/// units: to 0.1 mm, rounded up for a least value and down for a most, so that the value
/// printed suffices.
std::string KeyMetresAtLeast(double metres);
std::string KeyMetresAtMost(double metres);

/// "level-below-minimum" and so on: what batches count and scripts test.
const char* CodeName(Code code);
/// A few words for a drawing's label, e.g. "below the minimum level".
const char* ShortText(Code code);

/// What set a dimension.
enum class Constraint { None, VapourLoad, LiquidHoldup, RatioFloor, RatioCeiling, PressureClassRatio, MinimumSize, Design };

/// "vapour-load", "liquid-holdup", ... as the CSV and JSON write it; empty for None.
const char* ConstraintKey(Constraint c);

struct Governing {
    Constraint diameter = Constraint::None;
    Constraint length = Constraint::None;
    bool upright = true;               ///< a vertical vessel: its length is a height
    double ratio = 0.0;                ///< |Slot::Ratio| [-]
    double minimumDiameter = 0.0;      ///< the least diameter the path builds for this case [m]
    double vapourDiameter = 0.0;       ///< diameter the vapour load alone needs [m]; 0 when unknown
    double vapourLoadPercent = -1.0;   ///< actual over allowable vapour velocity [%]; negative when unknown
};

/// What a drawing marks in the warning colour.
enum class Mark { None, Level, Height };

/// One compared value: its name (as JSON writes it), the number in SI units and how to show it.
struct Value {
    const char* name = "";
    double si = 0.0;
    host::Quantity quantity = host::Quantity::Plain;
};

struct Finding {
    Code code = Code::Governing;
    Severity severity = Severity::Note;
    Mark mark = Mark::None;
    std::array<Value, 12> values{};
    std::size_t count = 0;
    /// The feed has no liquid: the finding speaks of the liquid the host assumed.
    bool assumedLiquid = false;

    void Add(const char* name, double si, host::Quantity q) { values[count++] = Value{name, si, q}; }
    /// The value of that name; 0 when there is none.
    double Get(const char* name) const;
    bool Has(const char* name) const;
};

/// Every finding of one case, the governing line first, then warnings, then notes.
struct Review {
    Governing governing;
    std::array<Finding, kCodeCount> items{};
    std::size_t count = 0;

    const Finding* begin() const { return items.data(); }
    const Finding* end() const { return items.data() + count; }
    bool HasWarning() const;
    /// A new, empty finding of this code at the end of the list.
    Finding& Add(Code code, Severity severity, Mark mark = Mark::None);
    const Finding* Find(Code code) const&;
    /// A finding points into its review, which must outlive it.
    const Finding* Find(Code code) const&& = delete;
};

/// How much a review works out: everything a report prints, or only what a batch writes (the
/// codes, what governed and the vapour load, without the diameter the vapour alone would take).
enum class Scope { Full, Batch };

/// Reviews a case the host has sized. An outcome that is not sized gets no findings.
Review ReviewCase(const host::SizingCase& c, const host::SizingOutcome& outcome, Scope scope = Scope::Full);

/// One sentence with the numbers and their units.
std::string Describe(const Finding& f, const Governing& g, host::UnitSystem units);

/// Exact liquid volume [m3] up to level h [m] of a cylinder of tangent length `tangentLength`
/// and diameter D [m] with two 2:1 elliptical heads: the level set points' rule, one for both.
using process::ExactLiquidVolume;

}  // namespace kestrol::review
