// Sizes one case through ISeparatorSizing, the way a simulator drives the object, and keeps
// what the engineer needs to see: the HRESULT, the orientation, the vector and the hold-up
// time below the minimum level.
#pragma once

#include <cmath>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/stream_state.h"
#include "design/presets.h"
#include "model/case_file.h"
#include "sizing/separator_sizing.h"

namespace kestrol::host {

/// Index of the hold-up time below the minimum level in SizingOutcome::values, after the
/// vector's own slots: it comes from a level query, not from a slot.
inline constexpr int kHoldupIndex = kSlotCount + 1;

struct SizingOutcome {
    /// S_OK, or the code that stopped the object before it could size.
    HRESULT result = S_OK;
    /// 0 vertical, 1 horizontal, -1 when the object never got that far.
    int orientation = -1;
    /// The object chose the orientation (the case asked for "auto").
    bool orientationChosen = false;
    /// The object asked the host for the share and density of an assumed liquid.
    bool liquidAssumed = false;
    /// The sizing path reported failure (known only when the host called it itself).
    bool pathFailed = false;
    /// Input the host refused once the orientation was known (a design the path cannot honour),
    /// or that the object refused through its HRESULT; the case was not sized.
    InputProblem refusal;
    /// Slots 1 to 39 as the sizing left them, then the hold-up time; index 0 unused.
    std::array<double, kHoldupIndex + 1> values;
    /// The gas-load correlation at the feed as the object derived it, once the object got as
    /// far as its presets.
    std::optional<design::GasLoad> gasLoad;
    /// The design block gave the allowable vapour velocity: the correlation's is not used.
    bool velocityGiven = false;
    /// In a rating, the preset residence time [s] the host fixed for a liquid the design block
    /// gave neither a level nor a time (light, heavy), so that the path could size the rest by
    /// it; kEmptyValue where the host fixed none.
    double defaultLightTime = kEmptyValue;
    double defaultHeavyTime = kEmptyValue;

    SizingOutcome() { values.fill(kEmptyValue); }
    double At(Slot s) const { return values[static_cast<std::size_t>(Index(s))]; }
    /// |slot|, or 0 when the slot holds no finite value: what the layers above measure with.
    double MagnitudeAt(Slot s) const {
        const double v = At(s);
        return IsSetAndFinite(v) ? std::fabs(v) : 0.0;
    }
    /// The vessel carries the vapour at a velocity the correlation gave though it is not
    /// defined for this feed (the object sizes on the magnitude of a negative velocity).
    bool VelocityUndefined() const;
    /// Sized: the object answered S_OK, the path did not fail, no required result is empty
    /// and the allowable velocity is one the correlation defines or the design block gave.
    bool Sized() const;
    /// The case was refused as unusable input (exit status 2, "bad input" in a batch).
    bool Refused() const { return static_cast<bool>(refusal); }
};

/// Whether the value at this SizingOutcome::values index is the one the design block gave
/// (up to the last bits of a length turned into a ratio and back).
bool IsGivenValue(const SizingCase& c, const SizingOutcome& outcome, int index);

/// Whether the value at this SizingOutcome::values index is a preset residence time the host
/// fixed in a rating (see SizingOutcome::defaultLightTime), still as it was fixed.
bool IsDefaultValue(const SizingOutcome& outcome, int index);

/// Plays the host sequence for the case on a fresh object of its own; never throws for
/// anything the object reports.
SizingOutcome SizeCase(const SizingCase& c);

/// The stream as the object's driver derives it from the case: the assumed liquid taken from
/// the vapour when the object asked for it, and the volume flows.
StreamState FeedAsSized(const SizingCase& c, bool liquidAssumed);

/// The results a sized vessel must have and this outcome lacks, in words.
std::vector<std::string> MissingResults(const SizingCase& c, const SizingOutcome& outcome);

/// One or two sentences telling the engineer why the case was not sized and what to change;
/// empty when it was sized.
std::string ExplainFailure(const SizingCase& c, const SizingOutcome& outcome);

/// The sentence for one HRESULT of Calculate.
std::string ExplainResult(HRESULT result, const SizingCase& c);

}  // namespace kestrol::host
