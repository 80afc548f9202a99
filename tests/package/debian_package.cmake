# Makes the Debian package, unpacks it into DIR/root and checks that it is whole and works from
# there: its fields, the files where hosts and man look, the bundle as lilv sees it, and a
# render by the unpacked tool with the unpacked module.
#
#   cmake -DCPACK=<cpack> -DDPKG_DEB=<dpkg-deb> -DLV2INFO=<lv2info> -DCONFIG=<CPackConfig.cmake>
#         -DVERSION=<project version> -DDIR=<scratch folder> -P debian_package.cmake
cmake_minimum_required(VERSION 3.25)

function(run)
  cmake_parse_arguments(ARG "" "STATUS;OUTPUT" "COMMAND" ${ARGN})
  execute_process(COMMAND ${ARG_COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE out)
  if(NOT ARG_STATUS)
    set(ARG_STATUS 0)
  endif()
  if(NOT status STREQUAL ARG_STATUS)
    list(JOIN ARG_COMMAND " " command)
    message(FATAL_ERROR "exit ${status}, not ${ARG_STATUS}: ${command}\n${out}")
  endif()
  if(ARG_OUTPUT)
    set(${ARG_OUTPUT} "${out}" PARENT_SCOPE)
  endif()
endfunction()

function(expect_match what regex text)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "${what}: expected to match '${regex}', got:\n${text}")
  endif()
endfunction()

file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR}/home ${DIR}/render)
run(COMMAND ${CPACK} -G DEB --config ${CONFIG} -B ${DIR}/out)
file(GLOB packages ${DIR}/out/zandor-limiter_${VERSION}_*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one zandor-limiter_${VERSION}_<arch>.deb, found: ${packages}")
endif()

run(COMMAND ${DPKG_DEB} -f ${packages} Package Version Depends Maintainer OUTPUT fields)
expect_match("package fields" "Package: zandor-limiter\nVersion: ${VERSION}\n" "${fields}")
expect_match("dependencies" "Depends:[^\n]*libsndfile1" "${fields}")
expect_match("maintainer" "Maintainer: [^\n]+<[^\n]+@" "${fields}")

set(root ${DIR}/root)
run(COMMAND ${DPKG_DEB} -x ${packages} ${root})
foreach(file usr/bin/zandor-render usr/lib/vst/ZandorLimiter.so
             usr/lib/lv2/ZandorLimiter.lv2/manifest.ttl usr/share/man/man1/zandor-render.1.gz)
  if(NOT EXISTS ${root}/${file})
    message(FATAL_ERROR "the package holds no /${file}")
  endif()
endforeach()

# lilv, searching only the unpacked folder, finds the bundle's plug-in and its binary there.
set(ENV{LV2_PATH} ${root}/usr/lib/lv2)
run(COMMAND ${LV2INFO} "https://tarnwick.example/zandor-limiter#stereo" OUTPUT info)
expect_match("lv2info" "${root}/usr/lib/lv2/ZandorLimiter.lv2/ZandorLimiter.so" "${info}")

# The unpacked tool, with a home of no plug-ins, renders with the module beside it.
set(ENV{HOME} ${DIR}/home)
set(tool ${root}/usr/bin/zandor-render)
run(COMMAND ${tool} --version OUTPUT version)
expect_match("--version" "^zandor-render ${VERSION}\n$" "${version}")
run(COMMAND ${tool} --demo --out-dir ${DIR}/render OUTPUT report)
if(NOT EXISTS ${DIR}/render/demo-limited.wav)
  message(FATAL_ERROR "the unpacked tool wrote no demo-limited.wav:\n${report}")
endif()
# It was the unpacked module that rendered: damaged, it stops the tool, though the build tree's
# module is still there to be found.
file(WRITE ${root}/usr/lib/vst/ZandorLimiter.so "")
run(COMMAND ${tool} ${DIR}/render/demo-input.wav ${DIR}/render/again.wav STATUS 4)
