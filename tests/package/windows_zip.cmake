# Makes the Windows ZIP and checks what it holds: the DLL in its format's folder and the install
# note, at the top of one folder named like the archive.
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
set(expected ${NAME}/INSTALL.txt ${NAME}/vst/ZandorLimiter.dll)
if(NOT held STREQUAL expected)
  message(FATAL_ERROR "the ZIP holds '${held}', not '${expected}'")
endif()
file(READ ${DIR}/unpacked/${NAME}/INSTALL.txt note)
if(NOT note MATCHES "vst\\\\ZandorLimiter.dll")
  message(FATAL_ERROR "the install note does not name vst\\ZandorLimiter.dll:\n${note}")
endif()
