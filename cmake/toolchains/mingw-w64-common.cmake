# Shared part of the Windows cross toolchains. The including file sets ZANDOR_MINGW_TRIPLE,
# CMAKE_SYSTEM_PROCESSOR and ZANDOR_MINGW_ARCH_FLAGS.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives the test programs std::thread and std::mutex; the module
# itself locks with critical sections. Either way -static links winpthread into the binary.
set(CMAKE_C_COMPILER ${ZANDOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZANDOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZANDOR_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZANDOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C99 printf family from the MinGW runtime instead of the system's msvcrt one: %zu and
# %lld work, and numbers are formatted exactly as on Linux (parameter display texts).
set(CMAKE_C_FLAGS_INIT "${ZANDOR_MINGW_ARCH_FLAGS} -D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "${ZANDOR_MINGW_ARCH_FLAGS} -D__USE_MINGW_ANSI_STDIO=1")

# A host loads the module into its own process: it must not need libgcc, libstdc++ or
# winpthread DLLs beside it, only DLLs that every Windows installation has.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
endforeach()
