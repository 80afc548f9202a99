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
#   lv2   target <name>_lv2: the bundle <build>/lv2/<name>.lv2/ with its module and the
#         Turtle files the generator <name>_lv2_ttl writes from the plug-in's own answers.
#         Linux only: Windows builds skip it.
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
endfunction()
