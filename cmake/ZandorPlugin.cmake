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
# Each module is installed where hosts look for its format (cmake/ZandorInstall.cmake).
function(zandor_add_plugin name)
  cmake_parse_arguments(ARG "" "LIBRARY;FACTORY" "FORMATS" ${ARGN})

  add_library(${name}_entry OBJECT ${PROJECT_SOURCE_DIR}/framework/axo_entry.cpp ${ARG_FACTORY})
  target_link_libraries(${name}_entry PUBLIC ${ARG_LIBRARY})

  if(vst2 IN_LIST ARG_FORMATS)
    zandor_add_vst2_module(${name} ${ARG_LIBRARY})
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
