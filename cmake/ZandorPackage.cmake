# The packages: what the install rules put under the prefix (cmake/ZandorInstall.cmake), for
#   Linux:   cpack -G DEB  (cmake --workflow --preset deb)  -> zandor-limiter_<version>_<arch>.deb
#   Windows: cpack -G ZIP  (cmake --workflow --preset win32-zip or win64-zip)
#            -> ZandorLimiter-<version>-win32.zip or -win64.zip, the DLLs and an install note
# A plug-in format joins the packages by installing through zandor_install_plugin.
set(CPACK_PACKAGE_NAME zandor-limiter)
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_CONTACT "Tarnwick <zandor@tarnwick.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://tarnwick.example/zandor-limiter)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "look-ahead peak limiter: VST 2.4 and LV2 plug-ins and a render tool")
set(CPACK_PACKAGE_DESCRIPTION
    "A look-ahead peak limiter for 32-bit float audio, stereo or mono, with three controls\n\
(Threshold, Ceiling, Release) and 64 frames of look-ahead. It comes as a VST 2.4 module for\n\
Linux hosts, as the LV2 bundle ZandorLimiter.lv2, and with zandor-render, which limits audio\n\
files from the shell to a loudness target under a true-peak ceiling.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  math(EXPR bits "${CMAKE_SIZEOF_VOID_P} * 8")
  set(CPACK_PACKAGE_FILE_NAME ZandorLimiter-${PROJECT_VERSION}-win${bits})
  # The note names the folder of each format in the archive.
  zandor_plugin_install_dir(ZANDOR_VST_FOLDER vst2)
  zandor_plugin_install_dir(ZANDOR_VST3_FOLDER vst3)
  zandor_plugin_install_dir(ZANDOR_CLAP_FOLDER clap)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/INSTALL-windows.txt.in
                 ${PROJECT_BINARY_DIR}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/INSTALL.txt DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  # The tool needs libsndfile and libsoxr; the modules need only the C and C++ runtimes.
  # dpkg-shlibdeps reads that from the binaries themselves; without it, the list is written out.
  find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libsndfile1, libsoxr0")
  endif()
endif()

include(CPack)
