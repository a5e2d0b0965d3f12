#include "process/nozzles.h"

#include <array>
#include <cmath>
#include <iterator>

#include "core/stream_state.h"
#include "process/pipe_schedule.h"

namespace kestrol::process {
namespace {

/// Feed nozzle momentum rho_mix v^2 [Pa] by inlet device (Shell DEP 31.22.05.11-Gen., December
/// 2007, Appendix II "Sizing of the feed and outlet nozzles": no device 1400, half-open pipe
/// 2100, Schoepentoeter (a vane inlet) 8000). The DEP gives no figure for an inlet cyclone;
/// it takes the vane inlet's, the highest the DEP allows, since a cyclone absorbs at least as
/// much momentum (NeqSim, InletDeviceModel, rates inlet vanes "high" and cyclones "very high").
constexpr double kInletNone = 1400.0;
constexpr double kInletHalfPipe = 2100.0;
constexpr double kInletVane = 8000.0;
constexpr double kInletCyclone = kInletVane;
/// Gas outlet nozzle rho_G v^2 [Pa] (the same Appendix II: 4500).
constexpr double kVapourOutletMomentum = 4500.0;
/// Liquid outlet nozzle velocity [m/s]: 1 m/s, the figure company standards, Shell's DEPs among
/// them, take against gas drawn down into the liquid (Cheresources forum, "Separator liquid
/// outlet nozzle sizing", April 2007).
constexpr double kLiquidOutletVelocity = 1.0;

constexpr double kMetresPerMm = 1e-3;
/// Full-precision circle constant: a nozzle's area is the layer's own, not the sizing's.
constexpr double kExactPiOver4 = 0.78539816339744830962;

constexpr std::array<Pipe, std::size(kSchedule40)> MakePipes() {
    std::array<Pipe, std::size(kSchedule40)> pipes{};
    for (std::size_t i = 0; i < pipes.size(); ++i) pipes[i] = {kSchedule40[i].nps, kSchedule40[i].idMm * kMetresPerMm};
    return pipes;
}
constexpr std::array<Pipe, std::size(kSchedule40)> kPipes = MakePipes();

double Magnitude(const host::SizingOutcome& o, Slot s) { return std::fabs(o.At(s)); }

void Through(Nozzle& n, double diameter) {
    n.insideDiameter = diameter;
    n.velocity = n.volumeFlow / (kExactPiOver4 * diameter * diameter);
    n.momentum = n.density * n.velocity * n.velocity;
}

}  // namespace

const char* ServiceKey(Service s) {
    switch (s) {
        case Service::Inlet: return "inlet";
        case Service::VapourOutlet: return "vapour_outlet";
        case Service::LightLiquidOutlet: return "light_liquid_outlet";
        case Service::HeavyLiquidOutlet: return "heavy_liquid_outlet";
    }
    return "";
}

const Pipe* PipesBegin() { return kPipes.data(); }
const Pipe* PipesEnd() { return kPipes.data() + kPipes.size(); }

Nozzle ChooseNozzle(Service service, double volumeFlow, double density, LimitKind kind, double limit) {
    Nozzle n;
    n.service = service;
    n.kind = kind;
    n.limit = limit;
    n.volumeFlow = volumeFlow;
    n.density = density;
    for (const Pipe& pipe : kPipes) {
        Through(n, pipe.insideDiameter);
        if ((kind == LimitKind::Momentum ? n.momentum : n.velocity) <= limit) {
            n.fits = true;
            n.nominalInches = pipe.nominalInches;
            return n;
        }
    }
    // None fits: the velocity and momentum through the largest pipe show by how much.
    return n;
}

double InletMomentumLimit(host::InletDevice device) {
    switch (device) {
        case host::InletDevice::HalfPipe: return kInletHalfPipe;
        case host::InletDevice::Vane: return kInletVane;
        case host::InletDevice::Cyclone: return kInletCyclone;
        case host::InletDevice::None:
        case host::InletDevice::Unset: break;
    }
    return kInletNone;
}

Nozzles SizeNozzles(const host::SizingCase& c, const host::SizingOutcome& o) {
    Nozzles out;
    if (!o.Sized() || (o.orientation != 0 && o.orientation != 1)) return out;
    const StreamState feed = host::FeedAsSized(c, o.liquidAssumed);
    const bool heavy = feed.HasHeavyLiquid();
    out.vesselDiameter = Magnitude(o, Slot::Diameter);
    const double qV = feed.vapourVolumeFlow, qL = feed.lightLiquidVolumeFlow, qH = heavy ? feed.heavyLiquidVolumeFlow : 0.0;
    const double mass = qV * feed.vapourDensity + qL * feed.lightLiquidDensity + (heavy ? qH * feed.heavyLiquidDensity : 0.0);
    const double volume = qV + qL + qH;
    out.items[out.count++] = ChooseNozzle(Service::Inlet, volume, mass / volume, LimitKind::Momentum, InletMomentumLimit(c.process.inletDevice));
    out.items[out.count++] = ChooseNozzle(Service::VapourOutlet, qV, feed.vapourDensity, LimitKind::Momentum, kVapourOutletMomentum);
    out.items[out.count++] = ChooseNozzle(Service::LightLiquidOutlet, qL, feed.lightLiquidDensity, LimitKind::Velocity, kLiquidOutletVelocity);
    if (heavy) out.items[out.count++] = ChooseNozzle(Service::HeavyLiquidOutlet, qH, feed.heavyLiquidDensity, LimitKind::Velocity, kLiquidOutletVelocity);
    return out;
}

}  // namespace kestrol::process
