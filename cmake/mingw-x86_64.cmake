# Cross build of the 64-bit Windows server and everything around it, with Debian's mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KESTROL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
