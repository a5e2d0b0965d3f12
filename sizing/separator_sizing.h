// ISeparatorSizing, its identifiers, the HRESULTs of Calculate and the host callback type, as
// the component's own code sees them: the public host header, brought into namespace kestrol.
#pragma once

#include "kestrol/kestrol.h"

namespace kestrol {

using ::CLSID_SeparatorSizing;
using ::HostPropertyCallback;
using ::IID_ISeparatorSizing;
using ::ISeparatorSizing;

}  // namespace kestrol
