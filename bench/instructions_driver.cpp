// Makes N sizings of one case on one object, the loop a simulator runs, so that an
// instruction counter can be put around it: tools/instructions.sh runs it under callgrind
// at two values of N and takes the difference per call.
//
//     kestrol_instructions CASE N
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/feeds.h"

namespace {

using kestrol::kEmptyValue;
using kestrol::bench::Object;

/// Read back through a volatile, so the calls cannot be dropped as unused.
volatile double sink = 0.0;

void RunDefaultCase(const kestrol::bench::DefaultCase& c, long calls) {
    Object object(*c.feed, c.orientation);
    for (long i = 0; i < calls; ++i) sink = sink + object->Calculate(0);
}

void RunNoLiquid(long calls) {
    Object object(kestrol::bench::kNoLiquid, 0);
    for (long i = 0; i < calls; ++i) {
        object->SetLightLiquidMassFlow(kEmptyValue);
        object->SetAssumedLiquidPercent(kEmptyValue);
        object->SetVapourMassFlow(kestrol::bench::kNoLiquid.vapourFlow);
        sink = sink + object->Calculate(0);
    }
}

void RunRatingAroundOneLevel(const kestrol::bench::Feed& feed, long calls) {
    Object object(feed, 1);
    object->Calculate(0);
    for (long i = 0; i < calls; ++i) {
        object->PresetOptions();
        object->SetValue(-0.3, 7);
        object->SetValue(-600.0, 6);
        sink = sink + object->SizeHorizontalVessel();
    }
}

int Usage() {
    std::fprintf(stderr, "usage: kestrol_instructions CASE N\ncases:");
    for (const auto& c : kestrol::bench::kDefaultCases) std::fprintf(stderr, " %s", c.name);
    std::fprintf(stderr, " NoLiquid RateAroundOneLevel SlowestOneLevel\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Usage();
    char* end = nullptr;
    const long calls = std::strtol(argv[2], &end, 10);
    if (*end != '\0' || calls < 0) return Usage();
    const std::string name = argv[1];
    for (const auto& c : kestrol::bench::kDefaultCases) {
        if (name == c.name) {
            RunDefaultCase(c, calls);
            return 0;
        }
    }
    if (name == "NoLiquid") {
        RunNoLiquid(calls);
    } else if (name == "RateAroundOneLevel") {
        RunRatingAroundOneLevel(kestrol::bench::kThreePhase, calls);
    } else if (name == "SlowestOneLevel") {
        RunRatingAroundOneLevel(kestrol::bench::kFlood, calls);
    } else {
        return Usage();
    }
    return 0;
}
