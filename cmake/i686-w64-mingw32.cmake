# The simulator's own 32-bit process: the files that ship, run in the x86 lane.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(DROVANA_LANE x86)
set(DROVANA_MANIFEST_ARCH x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
