// How many sizing objects live in this module: owned here, where they are made, and read by
// the module's DllCanUnloadNow.
#pragma once

#include "platform/windows_api.h"

namespace kestrol {

LONG LiveObjectCount() noexcept;

namespace object_count {
void Created() noexcept;
void Destroyed() noexcept;
}  // namespace object_count

}  // namespace kestrol
