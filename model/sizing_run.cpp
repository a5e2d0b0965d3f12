#include "model/sizing_run.h"

#include <cmath>
#include <cstdio>

#include "model/object_handle.h"
#include "sizing/host_questions.h"

namespace kestrol::host {
namespace {

/// The object requires a positive auxiliary value before it calculates and reads it nowhere
/// else; a host with nothing to say there passes 1.
constexpr double kAuxiliaryValue = 1.0;

struct HostAnswers {
    double percent;
    double density;
    bool asked;
};

// The callback is a plain function, so each thread keeps the answers of the case it sizes.
thread_local HostAnswers* currentAnswers = nullptr;

double STDMETHODCALLTYPE AnswerHost(std::int32_t code) {
    if (currentAnswers == nullptr) return kEmptyValue;
    currentAnswers->asked = true;
    if (code == kAssumedPercentCode) return currentAnswers->percent;
    if (code == kAssumedDensityCode) return currentAnswers->density;
    return kEmptyValue;
}

class AnswerScope {
public:
    explicit AnswerScope(HostAnswers& answers) noexcept : saved_(currentAnswers) { currentAnswers = &answers; }
    ~AnswerScope() { currentAnswers = saved_; }
    AnswerScope(const AnswerScope&) = delete;
    AnswerScope& operator=(const AnswerScope&) = delete;

private:
    HostAnswers* saved_;
};

// Every input afresh, so that a second Calculate on the object starts from the case as the
// engineer wrote it, not from the flows the first one converted.
void SetInputs(ISeparatorSizing& object, const SizingCase& c) {
    object.SetPropertyCallback(&AnswerHost);
    object.SetPressure(c.Get(kPressure));
    object.SetTemperature(c.Get(kTemperature));
    object.SetVapourMassFlow(c.Get(kVapourMassFlow));
    object.SetVapourDensity(c.Get(kVapourDensity));
    object.SetLightLiquidMassFlow(c.Get(kLightLiquidMassFlow));
    object.SetLightLiquidDensity(c.Get(kLightLiquidDensity));
    object.SetHeavyLiquidMassFlow(c.Get(kHeavyLiquidMassFlow));
    object.SetHeavyLiquidDensity(c.Get(kHeavyLiquidDensity));
    object.SetAssumedLiquidPercent(kEmptyValue);
    object.SetVapourVolumeFlow(kEmptyValue);
    object.SetLightLiquidVolumeFlow(kEmptyValue);
    object.SetHeavyLiquidVolumeFlow(kEmptyValue);
    object.SetAuxiliaryValue1(kAuxiliaryValue);
}

void WriteDesign(ISeparatorSizing& object, const SizingCase& c) {
    // A level the engineer gives decides that liquid's residence time, unless the time is
    // given too: the preset default would otherwise stand in the report as if it held.
    if (c.Gives(Slot::LightLayerThickness) && !c.Gives(Slot::LightResidenceTime))
        object.SetValue(kEmptyValue, Index(Slot::LightResidenceTime));
    if (c.Gives(Slot::HeavyLevel) && !c.Gives(Slot::HeavyResidenceTime)) object.SetValue(kEmptyValue, Index(Slot::HeavyResidenceTime));
    const auto& keys = CaseKeys();
    for (std::size_t i = kStreamKeyCount; i < keys.size(); ++i) {
        const double v = c.values[i];
        if (IsEmpty(v)) continue;
        // Negative tells the sizing the value is given, not to be computed.
        object.SetValue(keys[i].writeFixed ? -v : v, Index(keys[i].slot));
    }
}

/// Marks a vertical run as a later pass: the vertical path then takes no default time beside a
/// given level and computes that liquid's time from the level, as it does on every pass after
/// the first.
constexpr double kLaterPass = 1.0;

/// The design gives a level without that liquid's residence time: a rating, in which the level
/// decides the time.
bool LevelDecidesATime(const SizingCase& c) {
    return (c.Gives(Slot::LightLayerThickness) && !c.Gives(Slot::LightResidenceTime)) ||
           (c.Gives(Slot::HeavyLevel) && !c.Gives(Slot::HeavyResidenceTime));
}

/// Fixes the preset residence time in this slot; returns it, or kEmptyValue when the presets
/// left none there.
double FixPresetTime(ISeparatorSizing& object, Slot slot) {
    const double preset = object.GetValue(Index(slot));
    if (!IsSetAndFinite(preset) || !(preset > 0.0)) return kEmptyValue;
    object.SetValue(-preset, Index(slot));
    return preset;
}

/// The sequence of a rating, after the design is written. The object's first vertical pass takes
/// the default time of a liquid whose time is not fixed even when its level is, and a
/// three-phase first pass then shares the vessel's room between the two times, so a level
/// would decide nothing; a later pass computes the time from the level. A later pass needs a
/// time or a level for each liquid, so a liquid with neither keeps its preset time, fixed. The
/// horizontal path takes every time from a given level whatever the pass, but with one level
/// and a free diameter it sizes the free liquid by that liquid's fixed time, which is then the
/// preset one.
void PrepareRating(ISeparatorSizing& object, const SizingCase& c, int orientation, SizingOutcome& outcome) {
    if (!LevelDecidesATime(c)) return;
    const bool lightFree = !c.Gives(Slot::LightLayerThickness) && !c.Gives(Slot::LightResidenceTime);
    const bool heavyFree = c.HasHeavyLiquid() && !c.Gives(Slot::HeavyLevel) && !c.Gives(Slot::HeavyResidenceTime);
    if (orientation == 0) {
        if (lightFree) outcome.defaultLightTime = FixPresetTime(object, Slot::LightResidenceTime);
        if (heavyFree) outcome.defaultHeavyTime = FixPresetTime(object, Slot::HeavyResidenceTime);
        object.SetValue(kLaterPass, Index(Slot::FirstPassFlag));
    } else if (orientation == 1 && c.HasHeavyLiquid() && !c.Gives(Slot::Diameter)) {
        if (lightFree && c.Gives(Slot::HeavyLevel)) outcome.defaultLightTime = FixPresetTime(object, Slot::LightResidenceTime);
        if (heavyFree && c.Gives(Slot::LightLayerThickness)) outcome.defaultHeavyTime = FixPresetTime(object, Slot::HeavyResidenceTime);
    }
}

/// The design as the orientation's path can take it. The horizontal path always writes the
/// length from the diameter and the ratio, so a given length becomes the ratio (with the
/// diameter) or the diameter (with the ratio) that give it.
SizingCase AsThePathTakesIt(const SizingCase& c, int orientation) {
    if (orientation != 1 || !c.Gives(Slot::OverallLength)) return c;
    SizingCase written = c;
    const int lengthKey = FindCaseKey("overall_length_m", true);
    const int diameterKey = FindCaseKey("diameter_m", true);
    const int ratioKey = FindCaseKey("ratio", true);
    const double length = c.Get(lengthKey);
    if (c.Gives(Slot::Diameter) && !c.Gives(Slot::Ratio)) {
        written.values[static_cast<std::size_t>(ratioKey)] = length / c.Get(diameterKey) - kHeadsOverDiameter;
    } else if (!c.Gives(Slot::Diameter) && c.Gives(Slot::Ratio)) {
        written.values[static_cast<std::size_t>(diameterKey)] = length / (c.Get(ratioKey) + kHeadsOverDiameter);
    }
    written.values[static_cast<std::size_t>(lengthKey)] = kEmptyValue;
    return written;
}

/// The key to blame when the object refuses the feed.
const char* KeyOfResult(HRESULT result) {
    if (result == SIZING_E_NOFLOW || result == SIZING_E_NOVAPOUR) return "vapour_mass_flow_kg_h";
    if (result == SIZING_E_NOPERCENT) return "assumed_liquid_percent";
    if (result == SIZING_E_NOLIQUIDDENSITY) return "assumed_liquid_density_kg_m3";
    return nullptr;
}

int OrientationNumber(Orientation o) { return o == Orientation::Vertical ? 0 : o == Orientation::Horizontal ? 1 : -1; }

void Snapshot(ISeparatorSizing& object, SizingOutcome& outcome) {
    for (int i = 1; i <= kSlotCount; ++i) outcome.values[static_cast<std::size_t>(i)] = object.GetValue(i);
}

void AskHoldupTime(ISeparatorSizing& object, SizingOutcome& outcome) {
    double time = kEmptyValue;
    if (outcome.orientation == 0) {
        if (IsEmpty(object.CalcVerticalLevels(&time))) time = kEmptyValue;
    } else {
        time = object.CalcHorizontalLevelTime();
    }
    if (std::isfinite(time) && time >= 0.0) outcome.values[kHoldupIndex] = time;
}

struct Required {
    Slot slot;
    const char* words;
    bool heavyOnly;
};

const Required kRequired[] = {
    {Slot::Diameter, "inside diameter", false},
    {Slot::OverallLength, "overall length", false},
    {Slot::Ratio, "length-to-diameter ratio", false},
    {Slot::HeavyLevel, "heavy liquid level", true},
    {Slot::LightLayerThickness, "light liquid layer", false},
    {Slot::LightResidenceTime, "light liquid residence time", false},
    {Slot::HeavyResidenceTime, "heavy liquid residence time", true},
    {Slot::MinimumLevel, "minimum liquid level", false},
    {Slot::WallThickness, "wall thickness", false},
    {Slot::VesselCost, "vessel cost", false},
    {Slot::PlatformCost, "platform and ladder cost", false},
    {Slot::TotalCost, "total cost", false},
};

std::string Hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

/// A number as the sentences about the feed show it: short, any magnitude.
std::string Shown(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", v);
    return text;
}

/// The key of the liquid the correlation weighs against the vapour.
const char* LiquidDensityKey(const SizingOutcome& o) {
    return o.liquidAssumed ? "assumed_liquid_density_kg_m3" : "light_liquid_density_kg_m3";
}

/// Why the gas-load correlation gives this feed no velocity the sizing can use, naming what to
/// change; the numbers are the feed's as the object took it.
std::string GasLoadProblem(const SizingCase& c, const SizingOutcome& o) {
    const design::GasLoad& load = *o.gasLoad;
    const StreamState feed = FeedAsSized(c, o.liquidAssumed);
    const std::string liquidDensity = std::string(LiquidDensityKey(o)) + " of " + Shown(feed.lightLiquidDensity) + " kg/m3";
    const std::string vapourDensity = "vapour_density_kg_m3 of " + Shown(feed.vapourDensity) + " kg/m3";
    const std::string parameter = "its flow parameter (WL/WV) sqrt(rhoV/rhoL)";
    switch (load.verdict) {
        case design::GasLoadVerdict::InputUnset:
            return "The gas-load correlation lacks a finite vapour or light liquid flow or density: give vapour_mass_flow_kg_h, "
                   "vapour_density_kg_m3 and the light liquid's flow and density.";
        case design::GasLoadVerdict::FlowRatioNotFinite:
            return "The vapour_mass_flow_kg_h of " + Shown(feed.vapourMassFlow) + " kg/h is too small for the gas-load correlation: " +
                   parameter + " overflows, so it gives no allowable vapour velocity. Give a larger vapour_mass_flow_kg_h.";
        case design::GasLoadVerdict::FlowParameterNotFinite:
            return "The gas-load correlation gives no allowable vapour velocity: " + parameter + " is not a finite number at a " +
                   liquidDensity + " and a " + vapourDensity + ". Check both densities.";
        case design::GasLoadVerdict::FlowParameterNotPositive:
            return "The gas-load correlation gives no allowable vapour velocity: " + parameter + " comes to 0 for " +
                   Shown(feed.lightLiquidMassFlow) + " kg/h of liquid against " + Shown(feed.vapourMassFlow) + " kg/h of vapour, at a " +
                   liquidDensity + " and a " + vapourDensity + ". Check the liquid's flow and both densities.";
        case design::GasLoadVerdict::DensitiesNotApart:
            return "The gas-load correlation gives no allowable vapour velocity: it takes the root of the liquid's density less the "
                   "vapour's, and the " + liquidDensity + " is not above the " + vapourDensity + ". Check both densities.";
        case design::GasLoadVerdict::VelocityNotFinite:
            return "The gas-load correlation gives no allowable vapour velocity: its velocity overflows, the " + vapourDensity +
                   " being too small beside the " + liquidDensity + ". Check both densities.";
        case design::GasLoadVerdict::VelocityNotPositive: {
            const std::string gives = "The gas-load correlation is not defined for this feed: at " + parameter + " of " +
                                      Shown(load.flowParameter) + ", below the " + Shown(design::FlowParameterWhereFitReachesZero()) +
                                      " where its fit falls through zero, it gives an allowable vapour velocity of " + Shown(load.velocity) +
                                      " m/s, which is not positive.";
            // Exactly 0 stops the presets; a negative velocity is kept, and every path reads its magnitude.
            if (!(load.velocity < 0.0)) return gives + " No vessel can carry the vapour at that velocity.";
            return gives + " The sizing object takes its magnitude, " + Shown(-load.velocity) +
                   " m/s, as the allowable velocity and sizes on it; a velocity the correlation does not give is no basis for a "
                   "design, so no vessel is reported.";
        }
        case design::GasLoadVerdict::Usable: break;
    }
    return "The sizing object could not allocate its result vector for the presets: the machine is short of memory.";
}

std::string JoinWords(const std::vector<std::string>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " and " : ", ";
        text += words[i];
    }
    return text;
}

}  // namespace

bool SizingOutcome::VelocityUndefined() const {
    return !velocityGiven && gasLoad.has_value() && gasLoad->verdict != design::GasLoadVerdict::Usable;
}

bool SizingOutcome::Sized() const {
    if (result != S_OK || pathFailed || Refused() || VelocityUndefined()) return false;
    for (const Required& r : kRequired)
        if (!r.heavyOnly && !IsSetAndFinite(At(r.slot))) return false;
    return true;
}

SizingOutcome SizeCase(const SizingCase& c) {
    SizingOutcome outcome;
    HostAnswers answers{c.Get(kAssumedLiquidPercent), c.Get(kAssumedLiquidDensity), false};
    AnswerScope scope(answers);
    ObjectHandle handle = CreateSizingInstance();
    if (!handle) {
        outcome.result = E_OUTOFMEMORY;
        return outcome;
    }
    ISeparatorSizing& object = *handle;
    outcome.velocityGiven = c.Gives(Slot::VapourVelocity);
    // Once the object has taken the feed as far as its presets, the correlation is judged on
    // the same feed: whether a sized vessel rests on a velocity it defines, or why the presets failed.
    const auto judgeGasLoad = [&] {
        outcome.liquidAssumed = answers.asked;
        if (outcome.result == S_OK || outcome.result == SIZING_E_PRESET)
            outcome.gasLoad = design::EvaluateGasLoad(FeedAsSized(c, outcome.liquidAssumed));
    };
    SetInputs(object, c);
    int orientation = OrientationNumber(c.orientation);
    if (orientation >= 0) {
        outcome.refusal = CheckDesign(c, orientation);
        if (outcome.Refused()) return outcome;
    }

    if (c.orientation == Orientation::Auto || c.HasDesign()) {
        // With no orientation in the vector, Calculate validates the feed and derives the
        // flows, then stops at the orientation: exactly the first steps of a host that goes
        // on step by step.
        const HRESULT prepared = object.Calculate(0);
        if (prepared != SIZING_E_ORIENTATION) {
            outcome.result = prepared == S_OK ? E_FAIL : prepared;  // S_OK cannot happen without an orientation
            if (const char* key = KeyOfResult(outcome.result)) outcome.refusal = {key, ExplainResult(outcome.result, c)};
            Snapshot(object, outcome);
            judgeGasLoad();
            return outcome;
        }
        if (orientation >= 0) object.SetOrientation(orientation);
        if (IsEmpty(object.PresetOptions())) {
            outcome.result = SIZING_E_PRESET;
            judgeGasLoad();
            return outcome;
        }
        outcome.orientationChosen = orientation < 0;
        orientation = TruncateToInt32(object.GetValue(Index(Slot::Orientation)));
        if (outcome.orientationChosen) {
            outcome.refusal = CheckDesign(c, orientation);
            if (outcome.Refused()) {
                outcome.orientation = orientation;
                return outcome;
            }
        }
    }

    if (c.HasDesign()) {
        const SizingCase written = AsThePathTakesIt(c, orientation);
        WriteDesign(object, written);
        PrepareRating(object, written, orientation, outcome);
        const double path = orientation == 0 ? object.SizeVertical() : object.SizeHorizontalVessel();
        outcome.pathFailed = IsEmpty(path);
    } else {
        SetInputs(object, c);
        object.SetOrientation(orientation);
        outcome.result = object.Calculate(0);
        if (const char* key = KeyOfResult(outcome.result)) outcome.refusal = {key, ExplainResult(outcome.result, c)};
    }
    outcome.orientation = orientation;
    judgeGasLoad();
    Snapshot(object, outcome);
    if (outcome.Sized()) AskHoldupTime(object, outcome);
    return outcome;
}

StreamState FeedAsSized(const SizingCase& c, bool liquidAssumed) {
    StreamState feed;
    feed.vapourMassFlow = c.Get(kVapourMassFlow);
    feed.vapourDensity = c.Get(kVapourDensity);
    feed.lightLiquidMassFlow = c.Has(kLightLiquidMassFlow) ? c.Get(kLightLiquidMassFlow) : 0.0;
    feed.lightLiquidDensity = c.Get(kLightLiquidDensity);
    feed.heavyLiquidMassFlow = c.Get(kHeavyLiquidMassFlow);
    feed.heavyLiquidDensity = c.Get(kHeavyLiquidDensity);
    if (liquidAssumed) {
        feed.assumedLiquidPercent = c.Get(kAssumedLiquidPercent);
        feed.lightLiquidDensity = c.Get(kAssumedLiquidDensity);
        feed.TakeAssumedLiquid();
    }
    feed.DeriveVolumeFlows();
    return feed;
}

bool IsGivenValue(const SizingCase& c, const SizingOutcome& outcome, int index) {
    /// Relative difference of a length that went through the ratio and back.
    constexpr double kRoundTrip = 1e-12;
    if (index < 1 || index > kSlotCount) return false;
    const Slot slot = static_cast<Slot>(index);
    if (!c.Gives(slot)) return false;
    const double given = c.Given(slot);
    const double v = std::fabs(outcome.values[static_cast<std::size_t>(index)]);
    return IsSetAndFinite(outcome.values[static_cast<std::size_t>(index)]) && std::fabs(v - given) <= kRoundTrip * given;
}

bool IsDefaultValue(const SizingOutcome& outcome, int index) {
    const double fixed = index == Index(Slot::LightResidenceTime)   ? outcome.defaultLightTime
                         : index == Index(Slot::HeavyResidenceTime) ? outcome.defaultHeavyTime
                                                                    : kEmptyValue;
    if (IsEmpty(fixed)) return false;
    const double v = outcome.values[static_cast<std::size_t>(index)];
    return IsSetAndFinite(v) && std::fabs(v) == fixed;
}

std::vector<std::string> MissingResults(const SizingCase& c, const SizingOutcome& outcome) {
    std::vector<std::string> missing;
    for (const Required& r : kRequired) {
        if (r.heavyOnly && !c.HasHeavyLiquid()) continue;
        if (!IsSetAndFinite(outcome.At(r.slot))) missing.emplace_back(r.words);
    }
    if (outcome.VelocityUndefined()) missing.emplace_back("allowable vapour velocity");
    return missing;
}

std::string ExplainResult(HRESULT result, const SizingCase& c) {
    if (result == SIZING_E_NOFLOW) return "The feed has no flow at all: give a positive vapour_mass_flow_kg_h.";
    if (result == SIZING_E_NOVAPOUR)
        return "The feed has no vapour, or AuxiliaryValue1 is not positive: a separator needs a vapour flow, so give a positive "
               "vapour_mass_flow_kg_h (through the interface, SetVapourMassFlow and a positive SetAuxiliaryValue1).";
    if (result == SIZING_E_MISSINGINPUT) {
        std::vector<std::string> absent;
        for (int key : {kPressure, kTemperature, kVapourMassFlow, kVapourDensity})
            if (!c.Has(key)) absent.emplace_back(CaseKeys()[static_cast<std::size_t>(key)].key);
        if (absent.empty()) return "The sizing object reports a missing input: pressure, temperature, vapour flow and vapour density are all required.";
        return "An input the sizing needs is missing: give " + JoinWords(absent) + ".";
    }
    if (result == SIZING_E_NOPERCENT)
        return "The feed carries no liquid, so the sizing takes part of the vapour as liquid: give assumed_liquid_percent "
               "(0.5 to 10) and assumed_liquid_density_kg_m3, or give the light liquid flow and density.";
    if (result == SIZING_E_NOLIQUIDDENSITY) {
        // The object refuses a density it finds too small as it refuses none.
        if (c.Has(kAssumedLiquidDensity))
            return "The feed carries no liquid and the assumed liquid density of " + Shown(c.Get(kAssumedLiquidDensity)) +
                   " kg/m3 is below the least the sizing object accepts: give a larger assumed_liquid_density_kg_m3.";
        return "The feed carries no liquid and the assumed liquid has no density: give assumed_liquid_density_kg_m3.";
    }
    if (result == SIZING_E_NOVECTOR) return "The sizing object could not allocate its result vector: the machine is short of memory.";
    if (result == SIZING_E_PRESET)
        return "The sizing object could not preset its design options: the gas-load correlation gives the feed no allowable "
               "vapour velocity (check the flows and densities), or the machine is short of memory.";
    if (result == SIZING_E_ORIENTATION) return "The orientation must be vertical or horizontal; write \"auto\" to let the sizing choose.";
    if (result == E_OUTOFMEMORY) return "No sizing object could be created: the machine is short of memory.";
    return "The sizing object failed unexpectedly (" + Hex(result) + "); please report this case.";
}

std::string ExplainFailure(const SizingCase& c, const SizingOutcome& outcome) {
    if (outcome.Sized()) return {};
    if (outcome.result == SIZING_E_PRESET && outcome.gasLoad) return GasLoadProblem(c, outcome);
    if (outcome.result != S_OK) return ExplainResult(outcome.result, c);
    if (outcome.VelocityUndefined())
        return GasLoadProblem(c, outcome) + " Give design.allowable_vapour_velocity_m_s to size the vessel.";
    const char* kind = outcome.orientation == 0 ? "vertical" : "horizontal";
    // A vessel with its dimensions but no wall: the wall formula has no positive denominator,
    // which only the pressure (against the material's stress and the joint) brings about.
    if (IsSetAndFinite(outcome.At(Slot::Diameter)) && IsSetAndFinite(outcome.At(Slot::OverallLength)) &&
        !IsSetAndFinite(outcome.At(Slot::WallThickness)) && !c.Gives(Slot::WallThickness)) {
        char numbers[160];
        std::snprintf(numbers, sizeof numbers, "%g kPa is beyond what the wall formula can carry at an allowable stress of %g kPa and a joint efficiency of %g",
                      c.Get(kPressure), std::fabs(outcome.At(Slot::AllowableStress)), std::fabs(outcome.At(Slot::JointEfficiency)));
        return std::string("The ") + kind + " vessel could not be sized; missing: " + JoinWords(MissingResults(c, outcome)) +
               ". pressure_kPa: " + numbers + "; lower the pressure or choose a stronger material (design.material_code).";
    }
    std::string text = std::string("The ") + kind + " vessel could not be sized; missing: " + JoinWords(MissingResults(c, outcome)) + ".";
    if (c.HasDesign())
        text += " Check the design block: a fixed diameter, ratio, length or level may leave no room for the liquid "
                "hold-up and the vapour space, or contradict another fixed value.";
    else
        text += " The flows may need a vessel beyond the sizing's limits (40 m diameter or ratio 40); check the flows and densities.";
    return text;
}

}  // namespace kestrol::host
