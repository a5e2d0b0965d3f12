#include "design/horizontal_level_time.h"

namespace kestrol::design {

// Not built yet: reports failure, as the interface allows.
double CalcHorizontalLevelTime(const StreamState&, SlotAccess&) { return kEmptyValue; }

}  // namespace kestrol::design
