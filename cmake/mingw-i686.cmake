# Cross build of the 32-bit Windows server and everything around it, with Debian's mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KESTROL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Hosts built by other compilers call in with the stack aligned to 4 bytes only.
set(CMAKE_C_FLAGS_INIT "-mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-mincoming-stack-boundary=2")
