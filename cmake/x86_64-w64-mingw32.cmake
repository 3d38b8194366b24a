# The same sources as 64-bit programs, for the x64 lane: hosts that cannot
# execute 32-bit code run these under wine64. Nothing built here ships.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(DROVANA_LANE x64)
set(DROVANA_MANIFEST_ARCH amd64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
