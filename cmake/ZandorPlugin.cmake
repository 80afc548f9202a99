# zandor_add_plugin(<name> LIBRARY <target> FACTORY <source> FORMATS <format>...)
#
# Declares every loadable module of one plug-in. LIBRARY is the static library holding the
# plug-in class, FACTORY the source defining axo_create_module_factory for it. Each module
# compiles get_axoi and that factory into itself, so no archive depends on the plug-in and
# no program ends up with two factories.
#
# Formats:
#   vst2  target <name>: the VST 2.4 module (which also exports get_axoi), written to
#         <build>/vst/bridge/<name>.so on Linux and <name>.dll on Windows.
#   lv2   target <name>_lv2: the bundle <build>/lv2/bundles/<name>.lv2/ with its module and
#         the Turtle files the generator <name>_lv2_ttl writes from the plug-in's answers.
#         Linux only: Windows builds skip it.
#   vst3  target <name>_vst3: the bundle <build>/vst3/bundles/<name>.vst3/ with its module in
#         the folder of the platform and Contents/Resources/moduleinfo.json, which the
#         generator <name>_vst3_info writes from the plug-in's answers.
#   clap  target <name>_clap: the module <build>/clap/<name>.clap (a shared object on Linux,
#         a DLL on Windows).
# Each module is installed where hosts look for its format (cmake/ZandorInstall.cmake).
function(zandor_add_plugin name)
  cmake_parse_arguments(ARG "" "LIBRARY;FACTORY" "FORMATS" ${ARGN})

  add_library(${name}_entry OBJECT ${PROJECT_SOURCE_DIR}/framework/axo_entry.cpp ${ARG_FACTORY})
  target_link_libraries(${name}_entry PUBLIC ${ARG_LIBRARY})

  if(vst2 IN_LIST ARG_FORMATS)
    zandor_add_vst2_module(${name} ${ARG_LIBRARY})
  endif()
  if(vst3 IN_LIST ARG_FORMATS)
    zandor_add_vst3_bundle(${name} ${ARG_LIBRARY})
  endif()
  if(clap IN_LIST ARG_FORMATS)
    zandor_add_clap_module(${name} ${ARG_LIBRARY} ${ARG_FACTORY})
  endif()
  if(lv2 IN_LIST ARG_FORMATS AND UNIX AND NOT CMAKE_CROSSCOMPILING)
    zandor_add_lv2_bundle(${name} ${ARG_LIBRARY})
  endif()
endfunction()

# The module a VST host opens. Its own source holds the VST entry point, which calls
# get_axoi, so both entry points are linked in; hidden visibility by default keeps every
# other symbol inside.
function(zandor_add_vst2_module name library)
  set(bridge ${PROJECT_SOURCE_DIR}/vst/bridge)
  add_library(${name} MODULE ${bridge}/vst_entry.cpp)
  set_target_properties(${name} PROPERTIES
    PREFIX "" OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/vst/bridge)
  target_link_libraries(${name} PRIVATE ${name}_entry vst_bridge ${library})
  if(NOT WIN32)
    # Template code the compiler instantiates from the standard library would otherwise
    # leave the module too, where a host's own copy could clash with it.
    target_link_options(${name} PRIVATE "LINKER:--version-script=${bridge}/vst2_module.map")
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${bridge}/vst2_module.map)
  else()
    # The module-definition file names the exports exactly, undecorated on 32-bit Windows
    # too, and exports nothing else.
    set(ZANDOR_MODULE_NAME ${name})
    configure_file(${bridge}/vst2_module.def.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.def @ONLY)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
  endif()
  zandor_install_plugin(vst2 TARGET ${name})
endfunction()

# The LV2 bundle: the module, which exports only lv2_descriptor, and the Turtle files, which
# a generator linked with the same plug-in writes from its answers after every change.
function(zandor_add_lv2_bundle name library)
  set(adapter ${PROJECT_SOURCE_DIR}/lv2)
  set(bundle ${PROJECT_BINARY_DIR}/lv2/bundles/${name}.lv2)
  add_library(${name}_lv2 MODULE ${adapter}/lv2_entry.cpp)
  set_target_properties(${name}_lv2 PROPERTIES
    PREFIX "" OUTPUT_NAME ${name} LIBRARY_OUTPUT_DIRECTORY ${bundle})
  target_link_libraries(${name}_lv2 PRIVATE ${name}_entry lv2_bridge ${library})
  target_link_options(${name}_lv2 PRIVATE "LINKER:--version-script=${adapter}/lv2_module.map")
  set_property(TARGET ${name}_lv2 APPEND PROPERTY LINK_DEPENDS ${adapter}/lv2_module.map)

  add_executable(${name}_lv2_ttl ${adapter}/lv2_ttl_generator.cpp)
  target_link_libraries(${name}_lv2_ttl PRIVATE ${name}_entry lv2_turtle ${library})
  set(module_file ${name}${CMAKE_SHARED_MODULE_SUFFIX})
  add_custom_command(
    OUTPUT ${bundle}/manifest.ttl ${bundle}/${name}.ttl
    COMMAND ${CMAKE_COMMAND} -E make_directory ${bundle}
    COMMAND ${name}_lv2_ttl ${bundle} ${module_file}
    DEPENDS ${name}_lv2_ttl
    COMMENT "Describing ${name}.lv2")
  add_custom_target(${name}_lv2_ttl_files DEPENDS ${bundle}/manifest.ttl ${bundle}/${name}.ttl)
  add_dependencies(${name}_lv2 ${name}_lv2_ttl_files)

  zandor_install_plugin(lv2 TARGET ${name}_lv2 BUNDLE ${bundle})
endfunction()

# The VST3 bundle: the module, which exports only the factory and the module entry and exit,
# in the folder hosts look in for this platform, and the metadata written by a generator
# linked with the same plug-in.
function(zandor_add_vst3_bundle name library)
  set(adapter ${PROJECT_SOURCE_DIR}/vst3)
  set(bundle ${PROJECT_BINARY_DIR}/vst3/bundles/${name}.vst3)
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(arch x86-win)
  elseif(WIN32)
    set(arch x86_64-win)
  else()
    set(arch ${CMAKE_SYSTEM_PROCESSOR}-linux)
  endif()
  add_library(${name}_vst3 MODULE ${adapter}/vst3_entry.cpp)
  set_target_properties(${name}_vst3 PROPERTIES
    PREFIX "" OUTPUT_NAME ${name} LIBRARY_OUTPUT_DIRECTORY ${bundle}/Contents/${arch})
  target_link_libraries(${name}_vst3 PRIVATE ${name}_entry vst3_bridge ${library})
  if(WIN32)
    set_target_properties(${name}_vst3 PROPERTIES SUFFIX .vst3)
    set(ZANDOR_MODULE_NAME ${name})
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(ZANDOR_FACTORY_SYMBOL GetPluginFactory@0)
    else()
      set(ZANDOR_FACTORY_SYMBOL GetPluginFactory)
    endif()
    configure_file(${adapter}/vst3_module.def.in ${CMAKE_CURRENT_BINARY_DIR}/${name}_vst3.def @ONLY)
    target_sources(${name}_vst3 PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}_vst3.def)
  else()
    set_target_properties(${name}_vst3 PROPERTIES SUFFIX .so)
    target_link_options(${name}_vst3 PRIVATE "LINKER:--version-script=${adapter}/vst3_module.map")
    set_property(TARGET ${name}_vst3 APPEND PROPERTY LINK_DEPENDS ${adapter}/vst3_module.map)
  endif()

  add_executable(${name}_vst3_info ${adapter}/vst3_moduleinfo_generator.cpp)
  target_link_libraries(${name}_vst3_info PRIVATE ${name}_entry vst3_moduleinfo ${library})
  set(info ${bundle}/Contents/Resources/moduleinfo.json)
  set(describe COMMAND ${CMAKE_COMMAND} -E make_directory ${bundle}/Contents/Resources)
  zandor_emulator_runs(runs)
  if(NOT CMAKE_CROSSCOMPILING)
    list(APPEND describe COMMAND $<TARGET_FILE:${name}_vst3_info> ${info} ${name}.vst3)
  elseif(runs)
    # The generator of a Windows build runs under wine, in the prefix the tests use.
    list(APPEND describe COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=-all
         WINEPREFIX=${PROJECT_SOURCE_DIR}/build/wineprefix ${CMAKE_CROSSCOMPILING_EMULATOR}
         $<TARGET_FILE:${name}_vst3_info> ${info} ${name}.vst3)
  else()
    # Where wine cannot run this build's programs (a kernel that refuses 32-bit ones), the
    # description comes from the Linux build of this checkout: the same plug-in gives the
    # same answers on every platform.
    set(linux_info ${PROJECT_SOURCE_DIR}/build/default/vst3/bundles/${name}.vst3/Contents/Resources/moduleinfo.json)
    list(APPEND describe COMMAND ${CMAKE_COMMAND} -E copy ${linux_info} ${info})
  endif()
  add_custom_command(
    OUTPUT ${info}
    ${describe}
    DEPENDS ${name}_vst3_info
    COMMENT "Describing ${name}.vst3")
  add_custom_target(${name}_vst3_info_file DEPENDS ${info})
  add_dependencies(${name}_vst3 ${name}_vst3_info_file)

  zandor_install_plugin(vst3 TARGET ${name}_vst3 BUNDLE ${bundle} MODULE_FOLDER Contents/${arch})
endfunction()

# Whether this build's programs can run here: natively, or under the cross-compiling
# emulator when it starts on this machine (wine's 32-bit loader does not where the kernel
# refuses 32-bit programs).
function(zandor_emulator_runs out)
  set(runs TRUE)
  if(CMAKE_CROSSCOMPILING)
    execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --version
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
    if(NOT status EQUAL 0)
      set(runs FALSE)
    endif()
  endif()
  set(${out} ${runs} PARENT_SCOPE)
endfunction()

# The CLAP module: exports only clap_entry, named <name>.clap on every platform. It compiles
# in the plug-in's factory but not get_axoi, whose export attribute would otherwise put a
# second export into the Windows DLL.
function(zandor_add_clap_module name library factory)
  set(adapter ${PROJECT_SOURCE_DIR}/clap)
  add_library(${name}_clap MODULE ${adapter}/clap_entry.cpp ${factory})
  set_target_properties(${name}_clap PROPERTIES
    PREFIX "" SUFFIX ".clap" OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/clap)
  target_link_libraries(${name}_clap PRIVATE clap_bridge ${library})
  if(NOT WIN32)
    target_link_options(${name}_clap PRIVATE "LINKER:--version-script=${adapter}/clap_module.map")
    # Hosts load with every symbol resolved at once: an unresolved one must fail the link.
    # Sanitizer builds leave their runtime's symbols to the program that loads the module.
    if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
      target_link_options(${name}_clap PRIVATE "LINKER:-z,defs")
    endif()
    set_property(TARGET ${name}_clap APPEND PROPERTY LINK_DEPENDS ${adapter}/clap_module.map)
  else()
    set(ZANDOR_MODULE_NAME ${name})
    configure_file(${adapter}/clap_module.def.in ${CMAKE_CURRENT_BINARY_DIR}/${name}_clap.def @ONLY)
    target_sources(${name}_clap PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}_clap.def)
  endif()
  zandor_install_plugin(clap TARGET ${name}_clap)
endfunction()
