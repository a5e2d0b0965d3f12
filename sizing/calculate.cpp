// The calculation driver: checks the feed, supplies a liquid when there is none, derives the
// volume flows, presets the options and runs the sizing path the orientation selects.
#include <cmath>

#include "design/cost.h"
#include "design/presets.h"
#include "horizontal/horizontal_sizing.h"
#include "sizing/host_questions.h"
#include "sizing/sizing_object.h"
#include "vertical/vertical_sizing.h"

namespace kestrol {
namespace {

/// Light-liquid mass flow below which the feed counts as carrying no liquid [kg/h].
constexpr double kLeastLiquidFlow = 0.01;
/// The assumed liquid's density must exceed this [kg/m3].
constexpr double kLeastLiquidDensity = 0.0001;

double SetOrZero(double v) { return IsEmpty(v) ? 0.0 : v; }

}  // namespace

double SizingObject::AskHost(std::int32_t code) const {
    // A host that installed no callback has no answer to give.
    return callback_ != nullptr ? callback_(code) : kEmptyValue;
}

HRESULT SizingObject::CalculateUnguarded() {
    ISeparatorSizing& self = *this;
    StreamState& feed = feed_;

    const double totalFlow = SetOrZero(feed.heavyLiquidMassFlow) + SetOrZero(feed.lightLiquidMassFlow) + SetOrZero(feed.vapourMassFlow);
    if (!(totalFlow > 0.0)) return SIZING_E_NOFLOW;
    if (!(feed.auxiliaryValue1 > 0.0)) return SIZING_E_NOVAPOUR;
    if (!(feed.vapourMassFlow > 0.0)) return SIZING_E_NOVAPOUR;
    if (!IsSetAndFinite(feed.temperature) || !IsSetAndFinite(feed.pressure) || !IsSetAndFinite(feed.vapourMassFlow) ||
        !IsSetAndFinite(feed.vapourDensity))
        return SIZING_E_MISSINGINPUT;

    // Read before the vector may be created: a missing vector saves as -32767.
    const std::int32_t orientation = TruncateToInt32(self.GetValue(Index(Slot::Orientation)));
    if (vector_ == nullptr && self.AllocValues(kSlotCount) < 0) return SIZING_E_NOVECTOR;

    if (!(feed.lightLiquidMassFlow >= kLeastLiquidFlow)) {
        if (IsEmpty(feed.assumedLiquidPercent)) {
            double percent = AskHost(kAssumedPercentCode);
            if (std::isnan(percent)) percent = kEmptyValue;
            if (IsEmpty(percent)) return SIZING_E_NOPERCENT;
            if (percent < kLeastAssumedPercent) percent = kLeastAssumedPercent;
            if (percent > kMostAssumedPercent) percent = kMostAssumedPercent;
            feed.assumedLiquidPercent = percent;
        }
        const double density = AskHost(kAssumedDensityCode);
        feed.lightLiquidDensity = density;  // kept even when refused
        if (!(density > kLeastLiquidDensity)) return SIZING_E_NOLIQUIDDENSITY;
        feed.TakeAssumedLiquid();
    }
    feed.DeriveVolumeFlows();

    // The object's own operations run here without the interface and its guards, which this
    // call already holds: no host can replace them. A failure that is no check of its own
    // (only a bug could cause one) then fails Calculate rather than passing for a failed path.
    ObjectSlots slots(*this);
    if (IsEmpty(design::PresetOptions(feed, slots))) return SIZING_E_PRESET;
    self.SetValue(static_cast<double>(orientation), Index(Slot::Orientation));

    // A path that succeeds would end with the finishing step, and nothing between it and the
    // one below writes a slot the step reads (Slot::FirstPassFlag is not one): run on what it left, the
    // step writes the same values again, so only the one below runs.
    double pathResult = kEmptyValue;
    switch (TruncateToInt32(self.GetValue(Index(Slot::Orientation)))) {
        case 0: pathResult = vertical::SizeVertical(feed, slots, design::Finish::LeaveToCaller); break;
        case 1: pathResult = horizontal::SizeHorizontalVessel(feed, slots, design::Finish::LeaveToCaller); break;
        default: return SIZING_E_ORIENTATION;
    }
    if (IsEmpty(pathResult)) self.SetValue(feed.assumedLiquidPercent, Index(Slot::FirstPassFlag));

    design::EstimateVesselCost(feed, slots);
    return S_OK;
}

}  // namespace kestrol
