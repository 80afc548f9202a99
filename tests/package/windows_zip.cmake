# Makes the Windows ZIP and checks what it holds: each format's module in its folder and the
# install note naming them, at the top of one folder named like the archive.
#
#   cmake -DCPACK=<cpack> -DCONFIG=<CPackConfig.cmake> -DNAME=<archive name, no .zip>
#         -DDIR=<scratch folder> -P windows_zip.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${DIR})
execute_process(COMMAND ${CPACK} -G ZIP --config ${CONFIG} -B ${DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0 OR NOT EXISTS ${DIR}/${NAME}.zip)
  message(FATAL_ERROR "cpack -G ZIP made no ${NAME}.zip (exit ${status}):\n${out}")
endif()
file(ARCHIVE_EXTRACT INPUT ${DIR}/${NAME}.zip DESTINATION ${DIR}/unpacked)
file(GLOB_RECURSE held RELATIVE ${DIR}/unpacked ${DIR}/unpacked/*)
list(SORT held)
if(NAME MATCHES "win32$")
  set(arch x86-win)
else()
  set(arch x86_64-win)
endif()
set(bundle ${NAME}/vst3/ZandorLimiter.vst3/Contents)
set(expected ${NAME}/INSTALL.txt ${NAME}/clap/ZandorLimiter.clap ${NAME}/vst/ZandorLimiter.dll
    ${bundle}/Resources/moduleinfo.json ${bundle}/${arch}/ZandorLimiter.vst3)
if(NOT held STREQUAL expected)
  message(FATAL_ERROR "the ZIP holds '${held}', not '${expected}'")
endif()
file(READ ${DIR}/unpacked/${NAME}/INSTALL.txt note)
foreach(file vst\\\\ZandorLimiter.dll vst3\\\\ZandorLimiter.vst3 clap\\\\ZandorLimiter.clap)
  if(NOT note MATCHES "${file}")
    message(FATAL_ERROR "the install note does not name ${file}:\n${note}")
  endif()
endforeach()
