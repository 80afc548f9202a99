# 64-bit Windows (x86-64), cross-built with MinGW-w64. SSE2 is the baseline there.
set(ZANDOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ZANDOR_MINGW_ARCH_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
