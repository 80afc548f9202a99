# 32-bit Windows (x86), cross-built with MinGW-w64.
set(ZANDOR_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
# Single-precision arithmetic in SSE2 registers, as on x86-64: the x87 unit would carry
# intermediates at extended precision and the 32-bit module would round differently from
# the others.
set(ZANDOR_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
