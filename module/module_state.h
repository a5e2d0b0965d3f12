// Module-wide state: the instance handle the loader gave us and the server's lock count.
#pragma once

#include "platform/windows_api.h"

namespace kestrol::module {

/// Remembers the handle of the module's own file (given on process attach).
void RecordInstance(HINSTANCE instance) noexcept;
HINSTANCE Instance() noexcept;

void LockServer(bool lock) noexcept;
LONG LockCount() noexcept;
/// S_OK when no object lives and no lock is held, else S_FALSE.
HRESULT CanUnloadNow() noexcept;

}  // namespace kestrol::module
