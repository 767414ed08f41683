# The x64 twin: the same sources as 64-bit Windows programs, so that the
# suite runs under 64-bit Wine on hosts that cannot run 32-bit x86 code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
