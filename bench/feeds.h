// The feeds of the default cases, and an object set up with one of them the way a simulator
// prepares it; shared by the timings and the instruction-count driver.
#pragma once

#include <cstdint>

#include "sizing/sizing_object.h"

namespace kestrol::bench {

struct Feed {
    double lightDensity, lightFlow, heavyDensity, heavyFlow, vapourDensity, vapourFlow, pressure, temperature;
};
inline constexpr Feed kTwoPhase = {800.0, 2000.0, kEmptyValue, kEmptyValue, 10.0, 5000.0, 1000.0, 40.0};
inline constexpr Feed kThreePhase = {780.0, 8000.0, 1010.0, 3000.0, 12.0, 5000.0, 2500.0, 30.0};
inline constexpr Feed kHorizontalTwoPhase = {800.0, 10000.0, kEmptyValue, kEmptyValue, 10.0, 5000.0, 1000.0, 40.0};
inline constexpr Feed kNoLiquid = {kEmptyValue, kEmptyValue, kEmptyValue, kEmptyValue, 10.0, 1000.0, 1000.0, 40.0};
/// The three-phase feed with a vapour flow no vessel can carry: the one-level search starts
/// from a diameter of tens of kilometres and runs all its passes.
inline constexpr Feed kFlood = {780.0, 8000.0, 1010.0, 3000.0, 12.0, 4.0e11, 2500.0, 30.0};

/// The default cases: a feed and the orientation it is sized in.
struct DefaultCase {
    const char* name;
    const Feed* feed;
    std::int32_t orientation;
};
inline constexpr DefaultCase kDefaultCases[] = {
    {"VerticalTwoPhase", &kTwoPhase, 0},
    {"VerticalThreePhase", &kThreePhase, 0},
    {"HorizontalTwoPhase", &kHorizontalTwoPhase, 1},
    {"HorizontalThreePhase", &kThreePhase, 1},
};

inline double STDMETHODCALLTYPE AssumedLiquid(std::int32_t code) { return code == 0 ? 5.0 : 800.0; }

class Object {
public:
    Object(const Feed& feed, std::int32_t orientation) : object_(CreateSizingObject()) {
        object_->SetLightLiquidDensity(feed.lightDensity);
        object_->SetLightLiquidMassFlow(feed.lightFlow);
        object_->SetHeavyLiquidDensity(feed.heavyDensity);
        object_->SetHeavyLiquidMassFlow(feed.heavyFlow);
        object_->SetVapourDensity(feed.vapourDensity);
        object_->SetVapourMassFlow(feed.vapourFlow);
        object_->SetPressure(feed.pressure);
        object_->SetTemperature(feed.temperature);
        object_->SetAuxiliaryValue1(1.0);
        object_->SetPropertyCallback(&AssumedLiquid);
        object_->SetOrientation(orientation);
    }
    ~Object() { object_->Release(); }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    ISeparatorSizing* operator->() { return object_; }

private:
    ISeparatorSizing* object_;
};

}  // namespace kestrol::bench
