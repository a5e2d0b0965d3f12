// The nozzles of a sized vessel: the smallest standard pipe for the inlet, the vapour outlet and
// each liquid outlet that keeps its service within its limit. Reads the case and the sized
// vector; never changes a sized number.
#pragma once

#include <array>
#include <cstddef>

#include "model/case_file.h"
#include "model/sizing_run.h"

namespace kestrol::process {

enum class Service { Inlet, VapourOutlet, LightLiquidOutlet, HeavyLiquidOutlet };

/// "inlet", "vapour_outlet", "light_liquid_outlet", "heavy_liquid_outlet".
const char* ServiceKey(Service s);

/// What a service's limit bounds.
enum class LimitKind { Momentum, Velocity };

/// One standard pipe: nominal size [in] and inside diameter [m].
struct Pipe {
    double nominalInches;
    double insideDiameter;
};

/// The pipe table the nozzles are chosen from, smallest first.
const Pipe* PipesBegin();
const Pipe* PipesEnd();

struct Nozzle {
    Service service = Service::Inlet;
    bool fits = false;              ///< a pipe of the table meets the limit
    double nominalInches = 0.0;     ///< 0 when none fits
    double insideDiameter = 0.0;    ///< [m]; 0 when none fits
    double velocity = 0.0;          ///< [m/s] through that pipe
    double momentum = 0.0;          ///< rho v^2 [Pa]
    double limit = 0.0;             ///< [Pa] or [m/s] by kind
    LimitKind kind = LimitKind::Momentum;
    double volumeFlow = 0.0;        ///< [m3/s]
    double density = 0.0;           ///< [kg/m3]
};

/// The smallest pipe of the table through which `volumeFlow` [m3/s] of density `density`
/// [kg/m3] stays within `limit` (a momentum [Pa] or a velocity [m/s]).
Nozzle ChooseNozzle(Service service, double volumeFlow, double density, LimitKind kind, double limit);

/// The inlet's momentum limit [Pa] for its device (the unset device as none).
double InletMomentumLimit(host::InletDevice device);

struct Nozzles {
    std::array<Nozzle, 4> items{};
    std::size_t count = 0;
    double vesselDiameter = 0.0;  ///< [m]
    const Nozzle* begin() const { return items.data(); }
    const Nozzle* end() const { return items.data() + count; }
};

/// A nozzle wider than this share of the vessel's diameter is too large for the shell [-].
inline constexpr double kLargestNozzleShare = 0.5;

/// The nozzles of a sized case; none for a case that is not sized.
Nozzles SizeNozzles(const host::SizingCase& c, const host::SizingOutcome& o);

}  // namespace kestrol::process
