# Where `cmake --install` puts each part of the product.
#
# System-wide (the default, and what the packages hold), under CMAKE_INSTALL_PREFIX and DESTDIR:
#   <prefix>/lib/vst/ZandorLimiter.so       the VST 2 module
#   <prefix>/lib/lv2/ZandorLimiter.lv2/     the LV2 bundle
#   <prefix>/bin/zandor-render               the render tool (GNUInstallDirs' bindir)
#   <prefix>/share/man/man1/zandor-render.1.gz   its manual page (GNUInstallDirs' mandir)
# The plug-in folders are lib/<format>, never the multiarch library folder: hosts look in
# /usr/lib/vst, /usr/lib/lv2 and their /usr/local twins, and nowhere else.
#
# For one user, `cmake --install <build> --component user` puts the same files in the folders
# hosts search in that user's home (~/.vst, ~/.lv2), the tool in ~/.local/bin and its page in
# ~/.local/share/man/man1. The home is the one of whoever runs the install, read then, not when
# the build was configured. That component is left out of the default install and the packages.
#
# Windows builds install each format's folder at the top of the install tree (vst/...), beside
# the install note; that tree is what the ZIP package holds.
include(GNUInstallDirs)

# zandor_plugin_folder(<format> <folder>)
# Declares where a plug-in format installs: lib/<folder> under the prefix (a cache variable,
# ZANDOR_<FOLDER>_INSTALL_DIR, that a packager may change) and ~/.<folder> for one user.
function(zandor_plugin_folder format folder)
  string(TOUPPER ${folder} upper)
  if(WIN32)
    set(default ${folder})
  else()
    set(default lib/${folder})
  endif()
  # Build trees configured before installs followed the prefix cached the user's home here,
  # as a PATH: that value is dropped so that the tree installs under the prefix.
  get_property(type CACHE ZANDOR_${upper}_INSTALL_DIR PROPERTY TYPE)
  if(type STREQUAL "PATH")
    unset(ZANDOR_${upper}_INSTALL_DIR CACHE)
  endif()
  set(ZANDOR_${upper}_INSTALL_DIR ${default} CACHE STRING
      "Folder, under the install prefix unless absolute, for the ${format} plug-ins")
  set_property(GLOBAL PROPERTY ZANDOR_FOLDER_OF_${format} ${folder})
endfunction()

# One line per format. A format joins the installs and the packages with a line here and a
# call of zandor_install_plugin in the function that declares its module.
zandor_plugin_folder(vst2 vst)
zandor_plugin_folder(lv2 lv2)
zandor_plugin_folder(vst3 vst3)
zandor_plugin_folder(clap clap)

# The folder a format installs into, as given to install(DESTINATION).
function(zandor_plugin_install_dir out format)
  get_property(folder GLOBAL PROPERTY ZANDOR_FOLDER_OF_${format})
  if(NOT folder)
    message(FATAL_ERROR "zandor_plugin_install_dir: no folder declared for format '${format}'")
  endif()
  string(TOUPPER ${folder} upper)
  set(${out} ${ZANDOR_${upper}_INSTALL_DIR} PARENT_SCOPE)
endfunction()

# zandor_install_plugin(<format> TARGET <target> [BUNDLE <folder> [MODULE_FOLDER <path>]])
# Installs a plug-in module of one format, system-wide and, in the "user" component, into the
# user's ~/.<folder>. With BUNDLE, the module lives in that bundle folder (in MODULE_FOLDER
# within it), which is installed whole; the module goes through install(TARGETS) all the same,
# so that packages strip it.
function(zandor_install_plugin format)
  cmake_parse_arguments(ARG "" "TARGET;BUNDLE;MODULE_FOLDER" "" ${ARGN})
  zandor_plugin_install_dir(destination ${format})
  get_property(folder GLOBAL PROPERTY ZANDOR_FOLDER_OF_${format})
  set(module_destination ${destination})
  if(ARG_BUNDLE)
    get_filename_component(bundle_name ${ARG_BUNDLE} NAME)
    set(module_destination ${destination}/${bundle_name}/${ARG_MODULE_FOLDER})
    install(DIRECTORY ${ARG_BUNDLE} DESTINATION ${destination}
            PATTERN "*${CMAKE_SHARED_MODULE_SUFFIX}" EXCLUDE)
    zandor_install_for_user(.${folder} DIRECTORY "${ARG_BUNDLE}")
  else()
    zandor_install_for_user(.${folder} MODULE "$<TARGET_FILE:${ARG_TARGET}>")
  endif()
  install(TARGETS ${ARG_TARGET} LIBRARY DESTINATION ${module_destination}
          RUNTIME DESTINATION ${module_destination})
endfunction()

# zandor_install_for_user(<folder under the home> <MODULE|PROGRAM|FILE|DIRECTORY> <path>)
# The per-user copy of one installed file. Written as install code so that the home is read
# when the install runs; DESTDIR still applies.
function(zandor_install_for_user folder type path)
  if(WIN32)
    return()
  endif()
  install(CODE "file(INSTALL DESTINATION \"\$ENV{HOME}/${folder}\" TYPE ${type} FILES \"${path}\")"
          COMPONENT user EXCLUDE_FROM_ALL)
endfunction()

# zandor_install_tool(<target> NAME <one line for the manual page's NAME section>
#                     [DEPENDS <what else --help reads>...])
# Installs a command-line tool and its manual page, which help2man makes at build time from
# the tool's own --help and --version, so the page always lists the options the tool takes.
function(zandor_install_tool target)
  cmake_parse_arguments(ARG "" "NAME" "DEPENDS" ${ARGN})
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  zandor_install_for_user(.local/bin PROGRAM "$<TARGET_FILE:${target}>")

  find_program(HELP2MAN help2man REQUIRED)
  find_program(GZIP gzip REQUIRED)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${target}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env TOOL=$<TARGET_FILE:${target}>
            ${HELP2MAN} --no-info --section=1 "--name=${ARG_NAME}" --output=${page}
            ${PROJECT_SOURCE_DIR}/cmake/help_for_manual_page.sh
    COMMAND ${GZIP} -9nf ${page}
    DEPENDS ${target} ${ARG_DEPENDS} ${PROJECT_SOURCE_DIR}/cmake/help_for_manual_page.sh
    COMMENT "Writing the manual page of ${target}")
  add_custom_target(${target}_manual_page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  zandor_install_for_user(.local/share/man/man1 FILE "${page}.gz")
endfunction()

# The way from the installed tool's folder to a format's installed plug-ins ("../lib/vst"), so
# that the tool finds the module installed with it under any prefix.
function(zandor_path_from_tool_to_plugins out format)
  zandor_plugin_install_dir(destination ${format})
  set(root ${CMAKE_INSTALL_PREFIX})
  if(NOT IS_ABSOLUTE ${CMAKE_INSTALL_BINDIR} AND NOT IS_ABSOLUTE ${destination})
    # Both under the prefix: the way between them holds whatever prefix the install uses.
    set(root /prefix)
  endif()
  cmake_path(ABSOLUTE_PATH destination BASE_DIRECTORY ${root} NORMALIZE)
  set(bindir ${CMAKE_INSTALL_BINDIR})
  cmake_path(ABSOLUTE_PATH bindir BASE_DIRECTORY ${root} NORMALIZE)
  file(RELATIVE_PATH path ${bindir} ${destination})
  set(${out} ${path} PARENT_SCOPE)
endfunction()
