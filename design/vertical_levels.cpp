#include "design/vertical_levels.h"

namespace kestrol::design {

// Not built yet: reports failure, as the interface allows.
double CalcVerticalLevels(const StreamState&, SlotAccess&, double*) { return kEmptyValue; }

}  // namespace kestrol::design
