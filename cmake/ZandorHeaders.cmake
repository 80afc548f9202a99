# zandor_expose_headers(<library> <folder>)
# Lets <library>, and the code that links it, include the headers of <folder> as
# "<folder>/<name>.h", and no other folder of the repository. The include path is a folder of
# the build tree that holds one link, <folder>, to the sources, so a layer that does not link a
# library cannot reach its headers either. <library>_headers is the same path alone, for code
# that needs a folder's declarations but not its code (the render tool reads the AXOI and
# VST 2.4 records of the module it hosts).
function(zandor_expose_headers library folder)
  set(root ${PROJECT_BINARY_DIR}/include/${library})
  cmake_path(GET folder PARENT_PATH parent)
  file(MAKE_DIRECTORY ${root}/${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  add_library(${library}_headers INTERFACE)
  target_include_directories(${library}_headers INTERFACE ${root})
  target_link_libraries(${library} PUBLIC ${library}_headers)
endfunction()
