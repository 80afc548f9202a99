# Renders a file through one plug-in of the bundle with lilv's lv2apply, a host we did not
# write, with the threshold at -6 dB, and checks the result.
#
#   cmake -DLV2APPLY=<lv2apply> -DSIGNAL=<lv2apply_signal> -DURI=<plug-in> -DCHANNELS=<n>
#         -DDIR=<scratch folder> -P lv2apply_render.cmake      (with LV2_PATH set)
cmake_minimum_required(VERSION 3.25)

file(MAKE_DIRECTORY ${DIR})
set(in ${DIR}/in-${CHANNELS}.wav)
set(out ${DIR}/out-${CHANNELS}.wav)
file(REMOVE ${out})
foreach(step "${SIGNAL};write;${in};${CHANNELS}"
             "${LV2APPLY};-i;${in};-o;${out};-c;threshold;-6;${URI}"
             "${SIGNAL};check;${in};${out}")
  execute_process(COMMAND ${step} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    list(JOIN step " " command)
    message(FATAL_ERROR "failed (${status}): ${command}")
  endif()
endforeach()
