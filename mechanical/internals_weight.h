// The internals allowance of a sized vessel at design conditions: the wire-mesh pad of an
// upright vessel, the one internal whose size the sizing fixes. Other internals (inlet device,
// vortex breakers, supports) are not weighed.
#pragma once

#include "model/case_file.h"
#include "model/sizing_run.h"

namespace kestrol::mechanical {

/// Bulk density of a knitted wire-mesh pad [kg/m3].
double MeshPadDensity();

/// Why no internals weight was given.
enum class InternalsGap { None, NoElement, NotMesh, NotUpright };

struct InternalsWeight {
    bool computed = false;
    InternalsGap gap = InternalsGap::NoElement;
    double padThickness = 0.0;  ///< [m]
    double pad = 0.0;           ///< [kg]
};

/// The mesh pad of an upright vessel across its whole section, as thick as the sized
/// mist-eliminator height or, where the sizing leaves none, a typical pad.
InternalsWeight WeighInternals(const host::SizingCase& c, const host::SizingOutcome& o);

}  // namespace kestrol::mechanical
