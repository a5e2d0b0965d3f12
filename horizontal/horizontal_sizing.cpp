#include "horizontal/horizontal_sizing.h"

namespace kestrol::horizontal {

// The horizontal path is not built yet: it reports failure, as the interface allows.
double SizeHorizontalVessel(const StreamState&, SlotAccess&) { return kEmptyValue; }

}  // namespace kestrol::horizontal
