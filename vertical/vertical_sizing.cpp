#include "vertical/vertical_sizing.h"

namespace kestrol::vertical {

// The vertical path is not built yet: it reports failure, as the interface allows.
double SizeVertical(const StreamState&, SlotAccess&) { return kEmptyValue; }

}  // namespace kestrol::vertical
