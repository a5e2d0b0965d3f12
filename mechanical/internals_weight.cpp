#include "mechanical/internals_weight.h"

#include <cmath>

#include "core/values.h"
#include "process/settling.h"

namespace kestrol::mechanical {
namespace {

/// "A commonly used selection would consist of 0.011 in diameter wire mesh possessing a void
/// volume of approximately 97 %, [and] a density of 12 lb/cu.ft." (processengineer.info,
/// Vertical Knockout Drum - Wire Mesh Mist Eliminators) [lb/ft3].
constexpr double kMeshPadPoundsPerCubicFoot = 12.0;
constexpr double kKilogramsPerPound = 0.45359237;
/// "A typical pad is about 6 inches thick" (selfgrowth.com, "Do you know enough about mist
/// eliminators?", wire mesh) [m]; the same page's 4, 6 or 12 in stock thicknesses have 6 in in
/// the middle (processengineer.info, as above).
constexpr double kTypicalPadThickness = 6.0 * kFoot / 12.0;


}  // namespace

double MeshPadDensity() { return kMeshPadPoundsPerCubicFoot * kKilogramsPerPound / (kFoot * kFoot * kFoot); }

InternalsWeight WeighInternals(const host::SizingCase& c, const host::SizingOutcome& o) {
    InternalsWeight w;
    const host::MistEliminator element = process::ElementOf(c, o);
    const double thickness = o.MagnitudeAt(Slot::MistEliminatorHeight);
    if (element == host::MistEliminator::None) {
        w.gap = InternalsGap::NoElement;
    } else if (element != host::MistEliminator::Mesh) {
        w.gap = InternalsGap::NotMesh;
    } else if (o.orientation != 0) {
        // Lying down the pad's area follows its arrangement (across the vapour space or at the
        // outlet), which the sizing does not fix.
        w.gap = InternalsGap::NotUpright;
    } else {
        const double d = o.MagnitudeAt(Slot::Diameter);
        w.padThickness = thickness > 0.0 ? thickness : kTypicalPadThickness;
        w.pad = kPiOver4 * d * d * w.padThickness * MeshPadDensity();
        w.gap = InternalsGap::None;
        w.computed = true;
    }
    return w;
}

}  // namespace kestrol::mechanical
