# Checks that a render file has the committed size and SHA-256 digest.
#   cmake -DRENDER=<file> -DSIZE=<bytes> -DSHA256=<digest> -P check_render_digest.cmake
file(SIZE "${RENDER}" size)
file(SHA256 "${RENDER}" digest)
if(NOT size EQUAL SIZE OR NOT digest STREQUAL SHA256)
  message(FATAL_ERROR "${RENDER} is ${size} bytes with SHA-256 ${digest}; the committed render "
                      "is ${SIZE} bytes with SHA-256 ${SHA256}. After an intended change of the "
                      "output, commit the new size and digest in tests/module/CMakeLists.txt.")
endif()
