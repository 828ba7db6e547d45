# same_trace.cmake -- cave-tracecheck and cave-demo --headless replay one script: the same trace, and the drag takes hold
#   cmake -DTRACECHECK=<exe> -DDEMO=<exe> -DASSETS=<dir> -DSCRIPT=<file> -DFRAMES=<n> -DOUTPUT=<dir> -P same_trace.cmake
file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
execute_process(COMMAND ${TRACECHECK} demo ${ASSETS} ${SCRIPT} ${FRAMES} ${OUTPUT}/tracecheck.csv
                RESULT_VARIABLE result ERROR_VARIABLE log)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cave-tracecheck failed (${result}): ${log}")
endif()
if(NOT log MATCHES "body [0-9]+ picked")
  message(FATAL_ERROR "the script's drag picked no body: ${log}")
endif()
execute_process(COMMAND ${DEMO} --data ${ASSETS} --headless --frames ${FRAMES} --script ${SCRIPT}
                        --trace ${OUTPUT}/cave-demo.csv
                RESULT_VARIABLE result ERROR_VARIABLE log)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cave-demo failed (${result}): ${log}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT}/tracecheck.csv ${OUTPUT}/cave-demo.csv
                RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "the traces of cave-tracecheck and cave-demo differ (${OUTPUT})")
endif()
