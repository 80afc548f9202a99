# GoogleTest: the system package on native builds, built from Debian's sources when cross
# building for Windows (the tests then run under the emulator, wine).
if(ZANDOR_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    # GoogleTest 1.12 names its targets GTest::gtest and GTest::gtest_main itself.
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

# One test executable, registered with CTest as one test: per-case discovery would start
# one process per case, which costs too much under wine.
function(zandor_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
endfunction()

# zandor_add_pe_check(<test name> <module target> EXPORTS <name>... [VST2])
# On Windows builds, checks a module's export and import tables (cmake/check_pe_tables.cmake).
# It reads the file only, so it runs also where wine cannot run the build's programs.
function(zandor_add_pe_check name target)
  cmake_parse_arguments(ARG "VST2" "" "EXPORTS" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(format pei-i386)
  else()
    set(format pei-x86-64)
  endif()
  string(REPLACE ";" "," exports "${ARG_EXPORTS}")
  add_test(NAME ${name}
           COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:${target}>
                   -DFORMAT=${format} -DEXPORTS=${exports} -DVST2=${ARG_VST2}
                   -P ${PROJECT_SOURCE_DIR}/cmake/check_pe_tables.cmake)
  set_tests_properties(${name} PROPERTIES LABELS no_execution)
endfunction()
