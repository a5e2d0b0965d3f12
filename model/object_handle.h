// How the host gets its sizing objects: the way a simulator does, as ISeparatorSizing
// pointers that it releases when done.
#pragma once

#include <memory>

#include "sizing/separator_sizing.h"

namespace kestrol::host {

struct ReleaseInterface {
    void operator()(ISeparatorSizing* object) const noexcept { object->Release(); }
};
using ObjectHandle = std::unique_ptr<ISeparatorSizing, ReleaseInterface>;

/// A new object with one reference; null when it could not be created.
ObjectHandle CreateSizingInstance();

}  // namespace kestrol::host
